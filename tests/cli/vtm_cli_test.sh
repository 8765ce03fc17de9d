#!/usr/bin/env bash
# vtm command line: exit status 0 ok / 1 failure / 2 usage, --help on every subcommand,
# --version, build from a file and from stdin, info, and line-numbered build errors.
set -u
vtm=$1
source "$(dirname "$0")/expect.sh"
cd "$work"

printf '0\t1\tc\tc\n1\t2\ta\ta\n2\t3\tt\tt\n3\t4\t@0@\t<n>\n4\n' > cat.att
run_status "version" 0 "$vtm" --version
contains "$work/out.txt" "vtm 2.2" "version text"
run_status "help" 0 "$vtm" --help
for sub in build info; do
  run_status "$sub --help" 0 "$vtm" "$sub" --help
done
contains "$work/out.txt" "network statistics" "info help"
"$vtm" build --help > help.txt; contains help.txt "Weights are ignored" "build help mentions weights"
run_status "no subcommand" 2 "$vtm"
run_status "unknown subcommand" 2 "$vtm" frobnicate
run_status "build without output" 2 "$vtm" build --analysis cat.att
run_status "build without input" 2 "$vtm" build -o x.vtm
run_status "bad --function" 2 "$vtm" build -o x.vtm --function 300=cat.att
run_status "bad --date" 2 "$vtm" build -o x.vtm --analysis cat.att --date yesterday
run_status "bad --version-text" 2 "$vtm" build -o x.vtm --analysis cat.att --version-text 12
run_status "missing file" 1 "$vtm" build -o x.vtm --analysis nothere.att
contains "$work/err.txt" "cannot open nothere.att" "missing file message"
printf '0\t1\tc\tc\n1\tq\ta\ta\n' > bad.att
run_status "bad state number" 1 "$vtm" build -o x.vtm --analysis bad.att
contains "$work/err.txt" "bad.att: line 2: state number 'q' is not a non-negative integer" "line number"
: > empty.att
run_status "empty file" 1 "$vtm" build -o x.vtm --analysis empty.att
contains "$work/err.txt" "empty" "empty message"
run_status "build" 0 "$vtm" build -o cat.vtm --analysis cat.att --expansion cat.att \
  --language 9 --date 2020-01-02 --copyright "(c) me" --version-text 3.1 -v
contains "$work/err.txt" "function 12" "verbose statistics"
run_status "build from stdin" 0 bash -c "\"$vtm\" build -q -o cat2.vtm --function 12=- --date 1577923200 --language 9 --copyright '(c) me' --version-text 3.1 --expansion cat.att < cat.att"
cmp -s cat.vtm cat2.vtm || fail "stdin build differs from file build"
printf 'tact\n' > sample.txt
printf 'ca\xfft\n' > bad-sample.txt
run_status "build with a code sample" 0 "$vtm" build -q -o cat3.vtm --analysis cat.att \
  --code-sample sample.txt --code-sample sample.txt
printf 'cat\n' | "$vtm" lookup -t cat3.vtm > sample-lookup.txt
contains sample-lookup.txt "cat[n]" "lookup with sample-ranked codes"
run_status "code sample not UTF-8" 1 "$vtm" build -q -o x.vtm --analysis cat.att --code-sample bad-sample.txt
contains "$work/err.txt" "bad-sample.txt: the code sample is not UTF-8 text" "code sample message"
run_status "fitted code sample" 0 "$vtm" build -q -v -o cat4.vtm --analysis cat.att \
  --code-sample sample.txt --code-sample-fit
contains "$work/err.txt" "sample characters without escapes" "fitted sample statistics"
printf 'cat\n' | "$vtm" lookup -t cat4.vtm > fit-lookup.txt
cmp -s sample-lookup.txt fit-lookup.txt || fail "lookup with a fitted sample differs"
run_status "fit without a sample" 2 "$vtm" build -q -o x.vtm --analysis cat.att --code-sample-fit
run_status "info" 0 "$vtm" info cat.vtm
for line in "copyright: (c) me" "version: 3.1" "creation date: 1577923200" "language: 9" \
            "capabilities: 0x089" "functions: 1->0 12->1" "tags: 1" "characters: 3"; do
  contains "$work/out.txt" "$line" "info output"
done
run_status "info on a non-transducer" 1 "$vtm" info cat.att
exit $((failures > 0))
