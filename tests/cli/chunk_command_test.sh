#!/usr/bin/env bash
# `vtm chunk` as a real process: the bundled English tokenizer (found beside the
# executable, as users get it) with a small tagger trained here and a small grouper
# compiled here. Exact output on a short text and an HTML page in the three formats and
# with subgroups; -j 1 and -j 2 against `vtm tokenize --sentences | vtm tag | vtm group`
# over the same files on a text of many batches; bad input (NUL bytes, invalid UTF-8, an
# unclosed script, an endless sentence, missing data files and inputs).
# Usage: chunk_command_test.sh VTM_EXECUTABLE
set -uo pipefail
vtm=$1
source "$(dirname "$0")/expect.sh"

corpus=$(cd "$(dirname "$0")/data" && pwd)/small.tagged
"$vtm" train -q -t "$work/t.vtm" -m "$work/t.model" "$corpus" || fail "train"
# The grouper's tag alphabet: the tagger's tags, listed by the tagger, in two lists.
expect "tag list" 0 "$(printf '%s\n' . dt in jj md nn nns vb vbz)" \
  bash -c "$vtm tag --list-tags -t $work/t.vtm -m $work/t.model | LC_ALL=C sort"
"$vtm" tag --list-tags -t "$work/t.vtm" -m "$work/t.model" | grep -v '^v' >"$work/tags"
printf 'vb\nvbz\nnn\n' >"$work/more-tags"
printf 'NP: {<dt>?<jj>*<nn.*>+}\nPP: {<in><NP>}\nVP: {<md>?<vb.*>}\n' >"$work/g"
printf 'JP: {<jj>+}\n' >"$work/sub"
"$vtm" build -q -o "$work/g.vtm" --tags "$work/tags" --tags "$work/more-tags" \
  --chunk-grammar "$work/g" --chunk-subgrammar "$work/sub" || fail "build the grouper"
tagger=(--tagger "$work/t.vtm" -m "$work/t.model")
mine=("${tagger[@]}" -g "$work/g.vtm")
chunk() { "$vtm" chunk "${mine[@]}" "$@"; }

printf 'The old dog barks. A cat sleeps in the house.\n\nDogs chase the cats\n' >"$work/s.txt"
expect "text" 0 "[np The/dt old/jj dog/nn ] [vp barks/vbz ] ./.
[np A/dt cat/nn ] [vp sleeps/vbz ] [pp in/in [np the/dt house/nn ] ] ./.
[np Dogs/nns ] [vp chase/vb ] [np the/dt cats/nns ]" chunk "$work/s.txt"
expect "subgroups from stdin" 0 "[np The/dt [jp old/jj ] dog/nn ] [vp barks/vbz ] ./." \
  chunk --subgroups <<<"The old dog barks."
tab=$'\t'
expect "tsv" 0 "1${tab}0${tab}3${tab}np${tab}The old dog
1${tab}3${tab}1${tab}vp${tab}barks
2${tab}0${tab}2${tab}np${tab}A cat
2${tab}2${tab}1${tab}vp${tab}sleeps
2${tab}3${tab}3${tab}pp${tab}in the house
2${tab}4${tab}2${tab}np${tab}the house
3${tab}0${tab}1${tab}np${tab}Dogs
3${tab}1${tab}1${tab}vp${tab}chase
3${tab}2${tab}2${tab}np${tab}the cats" chunk -f tsv "$work/s.txt"
expect "json" 0 '{"sentence":1,"groups":[{"label":"np","first":0,"count":3,"text":"The old dog"},{"label":"vp","first":3,"count":1,"text":"barks"}]}' \
  chunk --format json <<<"The old dog barks."
expect "two files, numbered on" 0 "1${tab}0${tab}2${tab}np${tab}the cats
2${tab}0${tab}2${tab}np${tab}the dog" \
  bash -c "printf 'the cats\n' >$work/a.txt; printf 'the dog\n' | $vtm chunk ${mine[*]} -f tsv $work/a.txt -"

# HTML: the title and every block are sentences; the script is one markup token.
printf '<html><head><title>Dogs</title><script>var x = "<p>";</script></head>\n<body><h1>The old dog</h1><p>The dog <b>barks</b>. The cat sleeps</p></body></html>\n' >"$work/p.html"
expect "html" 0 "[np Dogs/nns ]
[np The/dt old/jj dog/nn ]
[np The/dt dog/nn ] [vp barks/vbz ] ./.
[np The/dt cat/nn ] [vp sleeps/vbz ]" chunk --html "$work/p.html"

# Many batches, one thread and two, against the three commands in a pipe.
awk -v seed=7 'BEGIN { srand(seed); split("the dog dogs cat cats house old barks sleeps chase can bark in a", w, " ")
  for (s = 0; s < 6000; s++) { n = 1 + int(rand() * 12); line = ""
    for (i = 0; i < n; i++) line = line (i ? " " : "") w[1 + int(rand() * 14)]
    printf "%s%s", line, (rand() < 0.1 ? ".\n\n" : ". ") } }' >"$work/many.txt"
"$vtm" tokenize --sentences "$work/many.txt" | "$vtm" tag -t "$work/t.vtm" -m "$work/t.model" |
  "$vtm" group -g "$work/g.vtm" --subgroups -f tsv >"$work/piped.tsv" || fail "pipe"
piped_sentences=$("$vtm" tokenize --sentences "$work/many.txt" | wc -l)
[ "$piped_sentences" -gt 5000 ] || fail "many: $piped_sentences sentences, wanted over 5,000"
for j in 1 2; do
  chunk -j "$j" --subgroups -f tsv "$work/many.txt" >"$work/chunk$j.tsv" || fail "-j $j: status"
  cmp -s "$work/piped.tsv" "$work/chunk$j.tsv" || fail "-j $j differs from the pipe"
done
[ "$(cut -f1 "$work/chunk2.tsv" | sort -un | wc -l)" -gt 5000 ] ||
  fail "many: fewer than 5,000 sentences with groups compared"

# Bad input.
expect "nul bytes separate words" 0 "[np the/dt dog/nn ] [vp barks/vbz ]" \
  bash -c "printf 'the dog\0barks' | $vtm chunk ${mine[*]}"
expect "invalid utf-8 is read as a space" 1 "[np the/dt dog/nn ] [vp barks/vbz ]" \
  bash -c "printf 'the dog\xffbarks' | $vtm chunk ${mine[*]}"
contains "$work/stderr" "vtm chunk: stdin: byte 7: invalid UTF-8 (read as a space)" "invalid utf-8"
{ printf 'the dog barks <script>'; head -c 300000 /dev/zero | tr '\0' 'y'; } >"$work/script.html"
expect "unclosed script ends the text" 0 "[np the/dt dog/nn ] [vp barks/vbz ]" \
  chunk --html "$work/script.html"
# A sentence without end longer than the tagger takes is cut, reported, and still grouped.
awk 'BEGIN { for (i = 0; i < 100003; i++) printf "the dog "; print "" }' >"$work/endless.txt"
run_status "endless sentence" 0 chunk -f tsv "$work/endless.txt"
contains "$work/err.txt" "a sentence of more than 100000 tokens or 999999 bytes was cut there" "endless"
[ "$(cut -f1 "$work/out.txt" | sort -u | tr '\n' ' ')" == "1 2 3 " ] ||
  fail "endless: sentences $(cut -f1 "$work/out.txt" | sort -u | tr '\n' ' '), wanted 1 2 3"
[ "$(wc -l <"$work/out.txt")" -eq 100003 ] || fail "endless: $(wc -l <"$work/out.txt") groups"
expect "missing model" 1 "" "$vtm" chunk --tagger "$work/t.vtm" -m "$work/none.model" -g "$work/g.vtm" <<<"the dog"
contains "$work/stderr" "none.model" "missing model"
expect "missing grouper" 1 "" "$vtm" chunk "${tagger[@]}" -g "$work/none.vtm" <<<"the dog"
contains "$work/stderr" "none.vtm" "missing grouper"
expect "missing tokenizer" 1 "" chunk --tokenizer "$work/none-tok.vtm" <<<"the dog"
contains "$work/stderr" "none-tok.vtm" "missing tokenizer"
expect "grouper that is no grouper" 1 "" "$vtm" chunk "${tagger[@]}" -g "$work/t.vtm" <<<"the dog"
expect "missing input" 1 "" chunk "$work/none.txt"
contains "$work/stderr" "none.txt" "missing input"
printf 'dt\nnn\n' >"$work/few-tags"
"$vtm" build -q -o "$work/few.vtm" --tags "$work/few-tags" --chunk-grammar <(echo 'NP: {<dt><nn>}')
expect "tag unknown to the grouper" 1 "[np the/dt dog/nn ]
the/dt cat/nn sleeps/vbz" "$vtm" chunk "${tagger[@]}" -g "$work/few.vtm" <<<$'the dog\n\nthe cat sleeps'
contains "$work/stderr" "vtm chunk: stdin: sentence 2: " "unknown tag"
contains "$work/stderr" "1 of 2 sentences could not be tagged or grouped" "unknown tag summary"

[ "$failures" -eq 0 ] && echo "vtm chunk: all passed"
exit $((failures > 0))
