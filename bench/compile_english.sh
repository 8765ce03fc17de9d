#!/usr/bin/env bash
# Compile-time and file-size benchmark of `vtm build` on Debian's English analyzer
# (apertium-en-es, exported with lt-print -H; the lexicon is its third section), next
# to the peers' files built from the same AT&T section: HFST optimized lookup, foma and
# lttoolbox. Usage: bench/compile_english.sh [BUILD_DIR]   (needs scripts/deps.sh peers)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
src=/usr/share/apertium/apertium-eng-spa/eng-spa.automorf.bin
lt-print -H "$src" >"$work/all.att"
awk 'BEGIN{s=1} /^--$/{s++; next} s==3' "$work/all.att" >"$work/lexicon.att"
runs=${RUNS:-5}
best=999999
for i in $(seq "$runs"); do
  t0=$(date +%s.%N)
  "$build/cli/vtm" build -q --drop-unmappable --analysis "$work/lexicon.att" -o "$work/en.vtm" \
    2>/dev/null
  t1=$(date +%s.%N)
  best=$(awk -v a="$best" -v b="$(awk "BEGIN{print $t1 - $t0}")" 'BEGIN{print (b < a) ? b : a}')
done
"$build/cli/vtm" build -q --drop-unmappable --analysis "$work/lexicon.att" \
  --expansion "$work/lexicon.att" -o "$work/en-both.vtm" 2>/dev/null
hfst-txt2fst -i "$work/lexicon.att" | hfst-fst2fst -O -o "$work/en.hfstol"
sed 's/@_SPACE_@/ /g' "$work/lexicon.att" >"$work/foma.att"
foma -q -e "read att $work/foma.att" -e "save stack $work/en.foma" -s >/dev/null
lt-comp -S -H lr "$work/lexicon.att" "$work/en.bin" >/dev/null
echo "vtm build, analysis only: best of $runs runs ${best} s"
for f in en.vtm en-both.vtm en.bin en.foma en.hfstol; do
  printf '%-12s %9d bytes\n' "$f" "$(stat -c %s "$work/$f")"
done
