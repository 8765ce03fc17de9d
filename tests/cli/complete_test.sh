#!/usr/bin/env bash
# Tests of `vtm complete` as a real process on a small transducer whose expansion
# function is the surface side of tests/cli/data/mini.att: prefixes, infixes with --skip,
# length limits, pages too small for one word, and the exit statuses.
# Usage: complete_test.sh VTM_EXECUTABLE
set -uo pipefail
vtm=$1
data=$(cd "$(dirname "$0")/data" && pwd)
source "$(dirname "$0")/expect.sh"

mini=$work/mini.vtm
"$vtm" build -q --expansion "$data/mini.att" -o "$mini" || { echo "cannot build"; exit 1; }
analysis=$work/analysis.vtm
"$vtm" build -q --analysis "$data/mini.att" -o "$analysis" || { echo "cannot build"; exit 1; }
complete() { "$vtm" complete -t "$mini" "$@"; }

# The surface side lists each word once per analysis: both readings of "houses" show.
expect "prefix" 0 "$(printf 'house\nhouse\nhouses\nhouses')" complete <<< "hous"
# Every page size gives the same list; pages smaller than a word grow for it.
for page in 2 7 16 4096; do
  expect "page $page" 0 "$(printf 'run\nrun\nran\nrunning\ncafé\ncafés')" \
    complete --page "$page" <<< $'r\ncaf'
done
expect "skip and max" 0 "$(printf 'house\nhouse')" complete --skip 1 --max 6 <<< "ous"
expect "min" 0 "running" complete --min 4 <<< "ru"
expect "no such word" 0 "" complete <<< $'zz\n\xc3\xa7'
expect "no expansion function" 1 "" "$vtm" complete -t "$analysis" <<< "a"
grep -qF "has no expansion function" "$work/stderr" || fail "message for a missing function 1"
expect "missing file" 1 "" "$vtm" complete -t "$work/none.vtm" <<< "a"
expect "bad page" 2 "" complete --page 1 <<< "a"

if [ "$failures" -ne 0 ]; then echo "$failures failure(s)"; exit 1; fi
echo "vtm complete: all checks passed"
