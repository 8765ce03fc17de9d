#!/usr/bin/env bash
# Instruction counts of lookup, stable on a shared machine: runs `vtm lookup` over a word
# list under callgrind and prints instructions per word for the whole process and for the
# lookup walk (vtm::LookupWalk, inclusive: the walk with its accepts and decoding), and,
# with ANNOTATE=1, the walk's cost per source line (this needs line tables: a build
# configured with -DCMAKE_CXX_FLAGS=-g). LOOKUP_ARGS adds options to `vtm lookup`, such
# as --no-cache: by default the command answers a repeated line from its output memo,
# so the whole-process figure then counts each distinct word's lookup about once.
# Usage: bench/walk_instructions.sh WORDS_FILE [TRANSDUCER] [VTM]
#   WORDS_FILE  one word per line (e.g. 100,000 Brown tokens)
#   TRANSDUCER  default: the bundled English transducer of the release build
#   VTM         default: build/release/cli/vtm
# Needs valgrind (callgrind_annotate comes with it).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
words=${1:?usage: walk_instructions.sh WORDS_FILE [TRANSDUCER] [VTM]}
fst=${2:-$root/build/release/share/vtmrt/english.vtm}
vtm=${3:-$root/build/release/cli/vtm}
command -v valgrind >/dev/null || { echo "walk_instructions.sh: valgrind missing" >&2; exit 1; }
[ -x "$vtm" ] || { echo "walk_instructions.sh: no $vtm" >&2; exit 1; }
[ -f "$fst" ] || { echo "walk_instructions.sh: no $fst" >&2; exit 1; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

valgrind --tool=callgrind --callgrind-out-file="$tmp/cg.out" "$vtm" lookup ${LOOKUP_ARGS:-} -t "$fst" "$words" \
  >"$tmp/out.txt" 2>"$tmp/err.txt"
n=$(wc -l <"$words")
total=$(callgrind_annotate "$tmp/cg.out" | awk '/PROGRAM TOTALS/ {gsub(",", "", $1); print $1}')
# Calls of the walk and its inclusive cost, from the callers' call records.
# A function's name is written once, with its number, on whichever fn= or cfn= line comes
# first; later lines give the number alone.
read -r calls walk < <(awk '
  /^c?fn=/ { match($1, /\([0-9]+\)/); key = substr($1, RSTART, RLENGTH)
             if (index($0, "vtm::LookupWalk(")) id[key] = 1
             inwalk = $1 ~ /^cfn/ && id[key] == 1; next }
  /^calls=/ { if (inwalk) { split($1, c, "="); calls += c[2]; take = 1 } next }
  take { walk += $2; take = 0; inwalk = 0 }
  END { print calls + 0, walk + 0 }' "$tmp/cg.out")
echo "words: $n  walk calls: $calls"
echo "whole process: $total instructions, $((total / n)) per word"
[ "$calls" -gt 0 ] && echo "lookup walk: $walk instructions, $((walk / calls)) per call"
if [ "${ANNOTATE:-0}" = 1 ]; then
  callgrind_annotate --auto=yes --show-percs=no "$tmp/cg.out" "$root/lib/lookup/walk_core.h" |
    awk '/-- Auto-annotated source: .*walk_core.h/ {on = 1} on' | head -400
fi
