#!/usr/bin/env bash
# Tests of `vtm train` and `vtm tag` as real processes: a small tagged corpus is trained
# into a class transducer and a model, which then tag sentences in every input and
# output format; malformed corpora, a model of another transducer, and sentences and
# words that no buffer holds give messages and exit statuses, never a crash.
# Usage: tag_test.sh VTM_EXECUTABLE
set -uo pipefail
vtm=$1
source "$(dirname "$0")/expect.sh"

# Words seen once teach the guesser: the plural nouns ending in -s at the end.
corpus=$(cd "$(dirname "$0")/data" && pwd)/small.tagged
train() { "$vtm" train -q "$@"; }
expect "train" 0 "" train -t "$work/t.vtm" -m "$work/t.model" "$corpus"
tag() { "$vtm" tag -t "$work/t.vtm" -m "$work/t.model" "$@"; }

expect "slash" 0 "the/dt dog/nn barks/vbz ./." tag <<< "the dog barks ."
expect "capital at the start" 0 "The/dt cat/nn can/md bark/vb ./." tag <<< "The cat can bark ."
expect "unknown word guessed by its suffix" 0 "the/dt frogs/nns bark/vb ./." tag <<< "the frogs bark ."
expect "tsv" 0 "$(printf 'the\tdt\ndog\tnn\n\na\tdt\ncat\tnn')" tag --output tsv <<< $'the dog\na cat'
expect "json" 0 '{"tokens":["the","dog"],"tags":["dt","nn"]}' tag --output json <<< "the dog"
expect "conll" 0 "$(printf 'the/dt dog/nn\na/dt cat/nn')" tag --format conll <<< $'the\t_\ndog\n\na\ncat'
expect "empty line" 0 "$(printf 'the/dt\n\nthe/dt')" tag <<< $'the\n\nthe'
expect "case exact" 0 "the/dt dog/nn" tag --case exact <<< "the dog"
expect "file argument" 0 "the/dt dog/nn" tag <(echo "the dog")

# Malformed corpora: a message with the line, exit status 1, no files written.
printf 'the/dt dog/nn\nthe dog/nn\n' >"$work/noslash.tagged"
expect "token without a slash" 1 "" train -t "$work/x.vtm" -m "$work/x.model" "$work/noslash.tagged"
grep -qF 'noslash.tagged:2: token "the" has no "/"' "$work/stderr" || fail "message: $(cat "$work/stderr")"
printf 'the/dt dog/\n' >"$work/notag.tagged"
expect "empty tag" 1 "" train -t "$work/x.vtm" -m "$work/x.model" "$work/notag.tagged"
grep -qF "has an empty tag" "$work/stderr" || fail "message: $(cat "$work/stderr")"
printf 'the/dt /nn\n' >"$work/noword.tagged"
expect "empty word" 1 "" train -t "$work/x.vtm" -m "$work/x.model" "$work/noword.tagged"
printf 'the/d[t\n' >"$work/bracket.tagged"
expect "bracket in a tag" 1 "" train -t "$work/x.vtm" -m "$work/x.model" "$work/bracket.tagged"
[ -e "$work/x.vtm" ] || [ -e "$work/x.model" ] && fail "files written for a bad corpus"
expect "missing corpus" 1 "" train -t "$work/x.vtm" -m "$work/x.model" "$work/none.tagged"

# A model trained for another transducer (another version text) is refused.
expect "train other" 0 "" train --version-text 2.0 -t "$work/o.vtm" -m "$work/o.model" "$corpus"
expect "model mismatch" 1 "" "$vtm" tag -t "$work/t.vtm" -m "$work/o.model" <<< "the dog"
grep -qF "do not match in language and version" "$work/stderr" ||
  fail "mismatch message: $(cat "$work/stderr")"
head -c 40 "$work/t.model" >"$work/cut.model"
expect "truncated model" 1 "" "$vtm" tag -t "$work/t.vtm" -m "$work/cut.model" <<< "the dog"
expect "no model" 1 "" "$vtm" tag -t "$work/t.vtm" -m "$work/none.model" <<< "the dog"

# Limits: a sentence of more than 100000 tokens and a word of a megabyte are reported
# with their line; the other sentences are tagged.
long=$(head -c 200002 /dev/zero | tr '\0' 'a' | sed 's/aa/a /g')
word=$(head -c 1048576 /dev/zero | tr '\0' 'x')
printf 'the dog\n%s\n%s\nthe cat\n' "$long" "$word" >"$work/limits.txt"
expect "limits" 1 "$(printf 'the/dt dog/nn\nthe/dt cat/nn')" tag "$work/limits.txt"
grep -qF "line 2: a sentence has more than 100000 tokens" "$work/stderr" || fail "long: $(cat "$work/stderr")"
grep -qF "line 3: a sentence has more than 1000000 bytes" "$work/stderr" || fail "word: $(cat "$work/stderr")"
expect "bad option" 2 "" tag --output xml <<< "the"

# Growth: sentences of 2 to 6000 tokens and of words up to 9000 bytes, in rising and then
# falling order, make the buffers grow within one process; each line must be tagged as a
# process that sees it alone tags it.
: >"$work/grow.txt"
for n in 1 100 129 1000 3000 2 4; do
  printf 'the dog %.0s' $(seq "$n") | sed 's/ $//' >>"$work/grow.txt"
  echo >>"$work/grow.txt"
done
printf 'the %s dog\n' "$(head -c 9000 /dev/zero | tr '\0' s)" >>"$work/grow.txt"
echo "the cats" >>"$work/grow.txt"
tag "$work/grow.txt" >"$work/grow.out" 2>"$work/stderr" || fail "growth: $(cat "$work/stderr")"
while IFS= read -r line; do tag <<< "$line"; done <"$work/grow.txt" >"$work/alone.out"
cmp -s "$work/grow.out" "$work/alone.out" || fail "growth: one process tags differently"
[ "$(wc -l <"$work/grow.out")" -eq 9 ] || fail "growth: $(wc -l <"$work/grow.out") lines"
[ "$(tr ' ' '\n' <"$work/grow.out" | grep -c '^dog/nn$')" -eq 4237 ] || fail "growth: dog tags"

[ "$failures" -eq 0 ] && echo "tag tests passed" || echo "$failures failure(s)"
exit $((failures > 0))
