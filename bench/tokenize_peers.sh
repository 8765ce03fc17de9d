#!/usr/bin/env bash
# Whole-process tokenizing speed on the 10 MB English text of the peers' make_data.sh
# (TEXT, default /tmp/vtm-peers/data/text10mb.txt), output to /dev/null, side by side in
# one run with hyperfine (RUNS, default 5): `vtm tokenize` (tsv, en-brown and en-ptb),
# ICU's word break iterator (bench/peers/icu_words.cpp, built here against libicu-dev)
# and `tr -s` splitting at spaces (the no-rules bound). Needs a release build and
# scripts/deps.sh peers (hyperfine, libicu-dev).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
text=${TEXT:-/tmp/vtm-peers/data/text10mb.txt}
runs=${RUNS:-5}
build=${BUILD:-$root/build/release}
out=$build/bench-tokenize
mkdir -p "$out"
[ -f "$text" ] || { echo "no $text: run the peers' make_data.sh" >&2; exit 1; }
g++ -O2 -std=c++17 "$root/bench/peers/icu_words.cpp" -o "$out/icu_words" -licuuc -licudata
vtm=$build/cli/vtm
share=$build/share/vtmrt
echo "text: $(wc -c < "$text") bytes"
hyperfine -w 1 -r "$runs" --export-markdown "$out/report.md" \
  -n "vtm tokenize (en-brown)" "$vtm tokenize -t $share/en-brown.vtm $text" \
  -n "vtm tokenize (en-ptb)" "$vtm tokenize -t $share/en-ptb.vtm $text" \
  -n "ICU word break" "$out/icu_words $text" \
  -n "tr" "tr -s ' ' '\n' < $text" 2>&1 | tail -n 30
cat "$out/report.md"
