#!/usr/bin/env bash
# Tests of `vtm lookup` and `vtm generate` as real processes: exact output, exit statuses
# and messages, on a small transducer compiled from tests/cli/data/mini.att.
# Usage: cli_test.sh VTM_EXECUTABLE
set -uo pipefail
vtm=$1
data=$(cd "$(dirname "$0")/data" && pwd)
source "$(dirname "$0")/expect.sh"
stderr_has() { grep -qF -- "$2" "$work/stderr" || fail "$1: stderr lacks '$2': $(head -c 300 "$work/stderr")"; }

mini=$work/mini.vtm
"$vtm" build -q --analysis "$data/mini.att" --generation "$data/mini.att" \
  --stemming "$data/mini-stems.att" -o "$mini" || { echo "cannot build the test transducer"; exit 1; }
look() { "$vtm" lookup -t "$mini" "$@"; }

# --- The peers' output form: every result, "+?" for none, a blank line after each word.
expect "analyze" 0 "$(printf 'houses\thouse[n][pl]\nhouses\thouse[vblex][pri][p3][sg]\n\nxyz\t+?\n\n\t+?\n\nran\trun[vblex][past]')" \
  look <<< $'houses\nxyz\n\nran'
expect "stem, first, shortest" 0 "$(printf 'running\trun\n\nrunning\trun\n\nchildren\tchild')" \
  bash -c "printf 'running\n' | $vtm lookup -t $mini -m stem; printf 'running\n' | $vtm lookup -t $mini -m first; printf 'children\n' | $vtm lookup -t $mini --mode shortest"
expect "generate" 0 "$(printf 'child[n][pl]\tchildren\n\nhouse[n][zz]\t+?')" \
  "$vtm" generate -t "$mini" <<< $'child[n][pl]\nhouse[n][zz]'
expect "json" 0 '{"word":"house","results":["house[n][sg]","house[vblex][inf]"]}
{"word":"q\"\\","results":[]}' look --format json <<< $'house\nq"\\'
expect "CR LF input, file arguments" 0 "$(printf 'ran\trun[vblex][past]\n\nran\trun[vblex][past]')" \
  bash -c "printf 'ran\r\n' > $work/in.txt; $vtm lookup -t $mini $work/in.txt - < $work/in.txt"
expect "empty input" 0 "" look < /dev/null
expect "last line without a line end" 0 "$(printf 'ran\trun[vblex][past]')" bash -c "printf ran | $vtm lookup -t $mini"

# --- UTF-8 at the edges: converted to code page 1252 and back.
expect "utf-8 in and out" 0 "$(printf 'cafés\tcafé[n][pl]\n\ncafé[n][sg]\tcafé')" \
  bash -c "printf 'cafés\n' | $vtm lookup -t $mini; printf 'café[n][sg]\n' | $vtm generate -t $mini"
expect "invalid utf-8" 1 "$(printf 'ran\trun[vblex][past]\n\ncaf\xe9\t+?\n\nran\trun[vblex][past]')" \
  bash -c "printf 'ran\ncaf\xe9\nran\n' | $vtm lookup -t $mini"
stderr_has "invalid utf-8" "vtm lookup: stdin:2: invalid UTF-8 at byte 4"
expect "not in code page 1252" 1 "$(printf 'ca\xc5\x8b\t+?')" bash -c "printf 'ca\xc5\x8b\n' | $vtm lookup -t $mini"
stderr_has "not in code page 1252" "stdin:1: character at byte 3 is not in Windows code page 1252"
expect "invalid utf-8 in json" 1 '{"word":"a\ufffd","results":[],"error":"invalid UTF-8 at byte 2"}' \
  bash -c "set -o pipefail; printf 'a\xff\n' | $vtm lookup -t $mini --format json | sed 's/\xef\xbf\xbd/\\\\ufffd/'"
expect "outside the alphabet" 0 "$(printf 'h\xc3\xa9\t+?\n\n@#\t+?')" look <<< $'h\xc3\xa9\n@#'
expect "unclosed tag" 0 "$(printf '[\t+?')" look <<< '['
stderr_has "unclosed tag" "stdin:1: warning: The input word contains an incomplete tag specifier."

# --- Lines over 1 MiB are reported and skipped; the others are looked up.
{ echo ran; head -c 1100000 /dev/zero | tr '\0' a; echo; echo run; head -c 2200000 /dev/zero | tr '\0' b; } > "$work/long.txt"
expect "long lines" 1 "$(printf 'ran\trun[vblex][past]\n\nrun\trun[vblex][inf]\nrun\trun[n][sg]')" look "$work/long.txt"
stderr_has "long lines" "$work/long.txt:2: line longer than 1 MiB, skipped"
stderr_has "long lines" "$work/long.txt:4: line longer than 1 MiB, skipped"

# --- Threads share one transducer; the output keeps the input order.
for i in $(seq 1 3000); do printf 'houses\nran\nxyz\ncafés\nchild[n][pl]\n'; done > "$work/many.txt"
look < "$work/many.txt" > "$work/one.out"
look -j 3 < "$work/many.txt" > "$work/three.out" || fail "-j 3: exit status"
cmp -s "$work/one.out" "$work/three.out" || fail "-j 3 output differs from -j 1"
[ "$(grep -c . "$work/one.out")" -eq 18000 ] || fail "-j 1: wrong number of output lines"
"$vtm" generate -t "$mini" -j 2 < "$work/many.txt" > "$work/gen.out" || fail "generate -j 2: exit status"
[ "$(grep -cxF $'child[n][pl]\tchildren' "$work/gen.out")" -eq 3000 ] || fail "generate -j 2: output"

# --- Client dictionary (UTF-8 entry file), consulted first in analyze and stem modes.
expect "dict" 0 "$(printf 'house\tmaison[n][fr]\n\nnaïve\t[n][loan]\n\nran\trun[vblex][past]')" \
  look --dict "$data/entries.txt" <<< $'house\nnaïve\nran'
expect "dict with first" 2 "" look --dict "$data/entries.txt" -m first <<< house
printf '[t]\nx\ny\tz\nlonely\n' > "$work/bad-entries.txt"
expect "dict entry before tag" 1 "" look --dict "$work/bad-entries.txt" <<< house
stderr_has "dict entry before tag" "$work/bad-entries.txt: The specified file loaded as client dictionary"

# --- Files and arguments.
expect "missing transducer" 1 "" "$vtm" lookup -t "$work/none.vtm" <<< house
stderr_has "missing transducer" "vtm lookup: $work/none.vtm: The file cannot be opened"
head -c 60 "$mini" > "$work/short.vtm"
expect "damaged transducer" 1 "" "$vtm" generate -t "$work/short.vtm" <<< house
stderr_has "damaged transducer" "vtm generate: $work/short.vtm: The file is of the wrong type, or is damaged."
expect "unreadable input" 1 "" look "$work/none.txt"
stderr_has "unreadable input" "vtm lookup: $work/none.txt: No such file or directory"
expect "unknown mode" 2 "" look -m fast <<< house
expect "bad thread count" 2 "" look -j 0 <<< house
expect "help" 0 "" bash -c "$vtm lookup --help | grep -c 'code page 1252' >/dev/null && $vtm generate --help >/dev/null"
"$vtm" --version | grep -qx 'vtm 2.2' || fail "--version"

# --- The bundled transducer, found relative to the executable.
mkdir -p "$work/prefix/bin" "$work/prefix/share/vtmrt"
cp "$vtm" "$work/prefix/bin/vtm"
expect "no bundled transducer" 1 "" "$work/prefix/bin/vtm" lookup <<< ran
stderr_has "no bundled transducer" "no -t given and no bundled English transducer in:"
cp "$mini" "$work/prefix/share/vtmrt/english.vtm"
expect "bundled transducer" 0 "$(printf 'ran\trun[vblex][past]')" "$work/prefix/bin/vtm" lookup <<< ran

[ "$failures" -eq 0 ] || { echo "$failures failures"; exit 1; }
echo "vtm lookup/generate: all checks passed"
