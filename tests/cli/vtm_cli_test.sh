#!/usr/bin/env bash
# vtm command line: exit status 0 ok / 1 failure / 2 usage, --help on every subcommand,
# --version, build from a file and from stdin, info, and line-numbered build errors.
set -u
vtm=$1
work=$2
rm -rf "$work" && mkdir -p "$work" && cd "$work"
failures=0
expect() {  # expect STATUS DESCRIPTION -- command...
  local want=$1 what=$2
  shift 3
  "$@" >out.txt 2>err.txt
  local got=$?
  if [ "$got" != "$want" ]; then
    echo "FAIL: $what: exit $got, expected $want"; cat err.txt; failures=$((failures + 1))
  fi
}
contains() {  # contains FILE TEXT DESCRIPTION
  grep -qF -- "$2" "$1" || { echo "FAIL: $3: '$2' not in $1"; cat "$1"; failures=$((failures + 1)); }
}

printf '0\t1\tc\tc\n1\t2\ta\ta\n2\t3\tt\tt\n3\t4\t@0@\t<n>\n4\n' > cat.att
expect 0 "version" -- "$vtm" --version
contains out.txt "vtm 2.2" "version text"
expect 0 "help" -- "$vtm" --help
for sub in build info; do
  expect 0 "$sub --help" -- "$vtm" "$sub" --help
done
contains out.txt "network statistics" "info help"
"$vtm" build --help > help.txt; contains help.txt "Weights are ignored" "build help mentions weights"
expect 2 "no subcommand" -- "$vtm"
expect 2 "unknown subcommand" -- "$vtm" frobnicate
expect 2 "build without output" -- "$vtm" build --analysis cat.att
expect 2 "build without input" -- "$vtm" build -o x.vtm
expect 2 "bad --function" -- "$vtm" build -o x.vtm --function 300=cat.att
expect 2 "bad --date" -- "$vtm" build -o x.vtm --analysis cat.att --date yesterday
expect 2 "bad --version-text" -- "$vtm" build -o x.vtm --analysis cat.att --version-text 12
expect 1 "missing file" -- "$vtm" build -o x.vtm --analysis nothere.att
contains err.txt "cannot open nothere.att" "missing file message"
printf '0\t1\tc\tc\n1\tq\ta\ta\n' > bad.att
expect 1 "bad state number" -- "$vtm" build -o x.vtm --analysis bad.att
contains err.txt "bad.att: line 2: state number 'q' is not a non-negative integer" "line number"
: > empty.att
expect 1 "empty file" -- "$vtm" build -o x.vtm --analysis empty.att
contains err.txt "empty" "empty message"
expect 0 "build" -- "$vtm" build -o cat.vtm --analysis cat.att --expansion cat.att \
  --language 9 --date 2020-01-02 --copyright "(c) me" --version-text 3.1 -v
contains err.txt "function 12" "verbose statistics"
expect 0 "build from stdin" -- bash -c "\"$vtm\" build -q -o cat2.vtm --function 12=- --date 1577923200 --language 9 --copyright '(c) me' --version-text 3.1 --expansion cat.att < cat.att"
cmp -s cat.vtm cat2.vtm || { echo "FAIL: stdin build differs from file build"; failures=$((failures + 1)); }
expect 0 "info" -- "$vtm" info cat.vtm
for line in "copyright: (c) me" "version: 3.1" "creation date: 1577923200" "language: 9" \
            "capabilities: 0x089" "functions: 1->0 12->1" "tags: 1" "characters: 3"; do
  contains out.txt "$line" "info output"
done
expect 1 "info on a non-transducer" -- "$vtm" info cat.att
exit $((failures > 0))
