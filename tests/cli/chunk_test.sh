#!/usr/bin/env bash
# `vtm build --chunk-grammar` and `vtm group` as processes: grammar errors with line and
# column, the three output formats, nested groups and subgroups, the input formats, a
# sentence with an unknown tag reported while the others are grouped, and tags that begin
# with a bracket renamed for the grouper.
set -uo pipefail
vtm=$1
source "$(dirname "$0")/expect.sh"

printf 'at\njj\nnn\nin\nvb\n-lrb-\n' >"$work/tags"
printf 'NP: {<at>?<jj>*<nn>+}\nPP: {<in><NP>}\n' >"$work/g"
printf 'JP: {<jj>+}\n' >"$work/sub"
expect "build" 0 "" "$vtm" build -q -o "$work/g.vtm" --tags "$work/tags" \
  --chunk-grammar "$work/g" --chunk-subgrammar "$work/sub"

printf 'NP: {<at>}\n  {<nn>*}\n' >"$work/bad"
expect "empty-matching pattern refused" 1 "" "$vtm" build -q -o "$work/x.vtm" --tags "$work/tags" \
  --chunk-grammar "$work/bad"
grep -q "bad: line 2, column 3: pattern {<nn>\*} matches the empty tag sequence" "$work/stderr" ||
  fail "empty-matching pattern message: $(cat "$work/stderr")"
printf 'NP: {<at><jj}\n' >"$work/bad"
expect "syntax error" 1 "" "$vtm" build -q -o "$work/x.vtm" --tags "$work/tags" \
  --chunk-grammar "$work/bad"
grep -q "bad: line 1, column 10: unclosed '<'" "$work/stderr" || fail "syntax message: $(cat "$work/stderr")"
expect "grammar without tags" 2 "" "$vtm" build -q -o "$work/x.vtm" --chunk-grammar "$work/g"

input='the/at old/jj man/nn in/in the/at jj/jj park/nn
he/vb (/( ran/vb'
expect "bracketed" 0 "[np the/at old/jj man/nn ] [pp in/in [np the/at jj/jj park/nn ] ]
he/vb (/( ran/vb" "$vtm" group -g "$work/g.vtm" <<<"$input"
expect "subgroups" 0 "[np the/at [jp old/jj ] man/nn ] [pp in/in [np the/at [jp jj/jj ] park/nn ] ]
he/vb (/( ran/vb" "$vtm" group -g "$work/g.vtm" --subgroups <<<"$input"
expect "tsv" 0 "1	0	3	np	the old man
1	3	4	pp	in the jj park
1	4	3	np	the jj park" "$vtm" group -g "$work/g.vtm" -f tsv <<<"$input"
expect "json" 0 '{"sentence":1,"groups":[{"label":"np","first":0,"count":2,"text":"a \"b\""}]}' \
  "$vtm" group -g "$work/g.vtm" -f json --input json <<<'[["a","at"],["\"b\"","nn"]]'
expect "tsv input" 0 "[np a/at b/nn ]
[np c/nn ]" "$vtm" group -g "$work/g.vtm" --input tsv <<<$'a\tat\nb\tnn\n\nc\tnn\n'
expect "unknown tag" 1 "[np a/nn ]
b/zz
[np c/nn ]" "$vtm" group -g "$work/g.vtm" <<<$'a/nn\nb/zz\nc/nn'
grep -q "line 2: " "$work/stderr" || fail "unknown tag: no message for line 2: $(cat "$work/stderr")"
expect "missing grouper" 1 "" "$vtm" group -g "$work/none.vtm" <<<"a/nn"

[ "$failures" -eq 0 ] && echo "chunk cli: all passed"
exit $((failures > 0))
