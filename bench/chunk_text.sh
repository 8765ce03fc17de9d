#!/usr/bin/env bash
# `vtm chunk` over running English text (default: the peers' 10 MB text, made by
# /work/shared/peers/make_data.sh as $PEERS_OUT/data/text10mb.txt) with -j 1 and -j 2,
# and the three commands of the same chain as separate processes, each timed with
# /usr/bin/time: wall and CPU (user + system) seconds, and tokens per second of both (the
# tokens are the words and marks of the tokenizer's sentences). On a shared machine the
# CPU figures are the comparable ones.
# Usage: bench/chunk_text.sh [BUILD_DIR] [TEXT_FILE]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
text=${2:-${PEERS_OUT:-/tmp/vtm-peers}/data/text10mb.txt}
vtm=$build/cli/vtm
[ -f "$text" ] || { echo "chunk_text: no $text (run the peers' make_data.sh)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$vtm" tokenize --sentences "$text" >"$work/sentences" 2>/dev/null || true
tokens=$(wc -w <"$work/sentences")
"$vtm" tag "$work/sentences" >"$work/tagged"
echo "text: $text, $(wc -c <"$text") bytes, $(wc -l <"$work/sentences") sentences, $tokens tokens"
printf '%-34s %8s %8s %12s %12s\n' "command" "wall s" "CPU s" "tok/s wall" "tok/s CPU"
timed() {  # timed NAME COMMAND...: one run, output to /dev/null
  local name=$1
  shift
  /usr/bin/time -f "%e %U %S" -o "$work/time" "$@" >/dev/null 2>"$work/stderr" || true
  read -r wall user sys < <(tail -1 "$work/time")
  awk -v n="$name" -v w="$wall" -v c="$(echo "$user + $sys" | bc)" -v t="$tokens" \
    'BEGIN { printf "%-34s %8.2f %8.2f %12.0f %12.0f\n", n, w, c, t / w, t / c }'
}
timed "vtm chunk -j 1" "$vtm" chunk -j 1 "$text"
timed "vtm chunk -j 2" "$vtm" chunk -j 2 "$text"
timed "vtm tokenize --sentences" "$vtm" tokenize --sentences "$text"
timed "vtm tag" "$vtm" tag "$work/sentences"
timed "vtm group" "$vtm" group "$work/tagged"
