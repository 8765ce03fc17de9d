#!/usr/bin/env bash
# Whole-process tokenizing speed on the 10 MB English text of the peers' make_data.sh
# (TEXT, default /tmp/vtm-peers/data/text10mb.txt), output to /dev/null, side by side in
# one run: `vtm tokenize` (tsv, en-brown and en-ptb), ICU's word break iterator
# (bench/peers/icu_words.cpp, built here against libicu-dev) and `tr -s` splitting at
# spaces (the no-rules bound). The machine is shared, so each command is timed by its CPU
# time (user + system, /usr/bin/time), best of RUNS (default 5) runs taken in turn; a run
# times REPS (default 10) executions in one go, since the clock ticks in 10 ms steps and
# one execution takes about a tenth of a second.
# Prints a markdown table: CPU seconds, MB/s and the ratio to ICU.
# Usage: bench/tokenize_peers.sh   (needs a release build; installs the peers group)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
text=${TEXT:-/tmp/vtm-peers/data/text10mb.txt}
runs=${RUNS:-5}
reps=${REPS:-10}
build=${BUILD:-$root/build/release}
out=$build/bench-tokenize
mkdir -p "$out"
[ -f "$text" ] || { echo "no $text: run the peers' make_data.sh" >&2; exit 1; }
bash "$root/scripts/deps.sh" peers >/dev/null
g++ -O2 -std=c++17 "$root/bench/peers/icu_words.cpp" -o "$out/icu_words" -licuuc -licudata
vtm=$build/cli/vtm
share=$build/share/vtmrt
bytes=$(wc -c <"$text")

names=("vtm tokenize (en-brown)" "vtm tokenize (en-ptb)" "ICU word break" "tr")
commands=("$vtm tokenize -t $share/en-brown.vtm $text"
  "$vtm tokenize -t $share/en-ptb.vtm $text"
  "$out/icu_words $text"
  "tr -s ' ' '\n' < $text")
declare -a best
for ((r = 0; r < runs; ++r)); do
  for i in "${!commands[@]}"; do
    # vtm reports the characters outside code page 1252 and exits 1: that is expected.
    /usr/bin/time -f '%U %S' -o "$out/time" \
      bash -c "for ((k = 0; k < $reps; ++k)); do ${commands[$i]} >/dev/null 2>&1; done" || true
    t=$(tail -n 1 "$out/time" | awk -v n="$reps" '{printf "%.4f", ($1 + $2) / n}')
    best[i]=$(awk -v a="${best[i]:-999}" -v b="$t" 'BEGIN{print (b < a) ? b : a}')
  done
done
icu=${best[2]}
echo "text: $bytes bytes; CPU time (user + system) per execution, best of $runs runs of $reps"
echo
echo "| command | CPU s | MB/s | vs ICU |"
echo "|---|---|---|---|"
for i in "${!names[@]}"; do
  awk -v n="${names[$i]}" -v t="${best[$i]}" -v b="$bytes" -v icu="$icu" \
    'BEGIN{printf "| %s | %.4f | %.0f | %.2f |\n", n, t, b / 1e6 / t, icu / t}'
done
