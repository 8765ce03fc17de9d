#!/usr/bin/env bash
# Python speed of the text chain (Tokenizer, Tagger, vtmrt.chunk) on running English
# text: default the peers' 10 MB text ($PEERS_OUT/data/text10mb.txt, made by
# /work/shared/peers/make_data.sh). Needs a release build with the Python package and the
# bundled English tokenizer, tagger and grouper (scripts/deps.sh python english brown).
# Usage: bench/python/run_text.sh [TEXT_FILE]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "$here/../.." && pwd)/build/release
text=${1:-${PEERS_OUT:-/tmp/vtm-peers}/data/text10mb.txt}
[ -f "$text" ] || { echo "run_text.sh: no $text (run the peers' make_data.sh)" >&2; exit 1; }
for f in python/vtmrt/__init__.py share/vtmrt/en-brown.vtm share/vtmrt/english-tagger.model \
  share/vtmrt/english-chunks.vtm; do
  [ -f "$build/$f" ] || { echo "run_text.sh: no $build/$f: build the release preset" >&2; exit 1; }
done
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg); $(date -u '+%Y-%m-%d %H:%M UTC')"
PYTHONPATH=$build/python /usr/bin/python3 "$here/text_bench.py" "$text"
