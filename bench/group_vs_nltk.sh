#!/usr/bin/env bash
# `vtm group` against NLTK's RegexpParser on the gold-tagged Brown test split, side by
# side in one run: whole processes (vtm group with the bundled English grouper, tsv
# output; a Python process parsing every sentence with data/en/chunks.grammar), best of 3,
# and NLTK's in-process parse time alone. Prints tokens per second of each.
# Usage: bench/group_vs_nltk.sh [BUILD_DIR] [TAGGED_FILE]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
tagged=${2:-$build/chunk-nltk/brown-test.tagged}
[ -f "$tagged" ] || scripts/chunk/brown_test_split.sh "$build/chunk-nltk/corpus" "$tagged" >/dev/null
vtm=$build/cli/vtm
tokens=$(wc -w <"$tagged")
best() {  # best wall time of 3 runs of a command, in seconds
  local b=999999 t s
  for _ in 1 2 3; do
    s=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    t=$(echo "$s $(date +%s.%N)" | awk '{print $2 - $1}')
    b=$(echo "$t $b" | awk '{print ($1 < $2) ? $1 : $2}')
  done
  echo "$b"
}
vtm_s=$(best "$vtm" group -f tsv "$tagged")
nltk_py='
import sys, time
from nltk.chunk.regexp import RegexpParser
p = RegexpParser(open("data/en/chunks.grammar").read())
sents = []
for line in open(sys.argv[1], encoding="utf-8"):
    toks = line.split()
    if toks:
        sents.append([(t.rsplit("/", 1)[0], t.rsplit("/", 1)[1].replace("(", "-lrb-", 1)
                       if t.rsplit("/", 1)[1].startswith("(") else t.rsplit("/", 1)[1]) for t in toks])
t = time.perf_counter()
for s in sents: p.parse(s)
print(time.perf_counter() - t, file=sys.stderr)
'
nltk_s=$(best /usr/bin/python3 -c "$nltk_py" "$tagged")
nltk_in=$(/usr/bin/python3 -c "$nltk_py" "$tagged" 2>&1 >/dev/null | tail -1)
awk -v n="$tokens" -v v="$vtm_s" -v p="$nltk_s" -v q="$nltk_in" 'BEGIN {
  printf "tokens: %d\n", n
  printf "vtm group (process):      %6.2f s  %10.0f tokens/s\n", v, n / v
  printf "NLTK (process):           %6.2f s  %10.0f tokens/s\n", p, n / p
  printf "NLTK (parse alone):       %6.2f s  %10.0f tokens/s\n", q, n / q
  printf "vtm group / NLTK in-process: %.1f x\n", (n / v) / (n / q)
}'
