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

# Hostile input: a line over 1 MiB is reported by number and skipped without being held
# or echoed; a NUL is reported, not taken as the fragment's end (which would list every
# word); invalid UTF-8 is reported as vtm lookup reports it. The other lines are served.
four=$(printf 'house\nhouse\nhouses\nhouses')
expect "long line" 1 "$four" bash -c "{ head -c 2000000 /dev/zero | tr '\\0' a; printf '\\nhous\\n'; } |
  \"\$0\" complete -t \"\$1\"" "$vtm" "$mini"
grep -qx "vtm complete: stdin:1: line longer than 1 MiB, skipped" "$work/stderr" ||
  fail "long line: message: $(head -c 300 "$work/stderr")"
[ "$(wc -c <"$work/stderr")" -lt 200 ] || fail "long line: the line is echoed"
complete_printf() { printf "$1" | complete; }  # bash strings cannot hold a NUL
expect "NUL" 1 "$(printf 'houses\nhouses')" complete_printf '\0houses\nhouses\nhou\0\n'
[ "$(grep -c "a NUL byte at byte 1, skipped" "$work/stderr")" -eq 1 ] &&
  grep -q "stdin:3: a NUL byte at byte 4, skipped" "$work/stderr" || fail "NUL: messages"
expect "invalid UTF-8" 1 "$four" complete <<< $'ca\xff\nhous'
grep -qx "vtm complete: stdin:1: invalid UTF-8 at byte 3" "$work/stderr" || fail "invalid UTF-8"
expect "no final LF" 0 "$four" bash -c 'printf hous | "$0" complete -t "$1"' "$vtm" "$mini"

if [ "$failures" -ne 0 ]; then echo "$failures failure(s)"; exit 1; fi
echo "vtm complete: all checks passed"
