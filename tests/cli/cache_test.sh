#!/usr/bin/env bash
# `vtm lookup` and `vtm generate` give the same output, messages and exit status with their
# output memo (the default, a tiny one that keeps starting afresh, with threads) as
# without it (--no-cache), on random inputs with many repeated lines: words with and
# without results, UTF-8 words, CR LF line ends, rejected lines and warnings, in every
# mode, as JSON and with a client dictionary.
# Usage: cache_test.sh VTM_EXECUTABLE
set -uo pipefail
vtm=$1
data=$(cd "$(dirname "$0")/data" && pwd)
source "$(dirname "$0")/expect.sh"

mini=$work/mini.vtm
"$vtm" build -q --analysis "$data/mini.att" --generation "$data/mini.att" \
  --stemming "$data/mini-stems.att" -o "$mini" || { echo "cannot build the test transducer"; exit 1; }

# The lines drawn from, one per line (written with printf so that bytes stay bytes).
printf '%b\n' houses house ran run running children child 'caf\xc3\xa9s' 'na\xc3\xafve' xyz '' \
  '[' 'caf\xe9' 'ca\xc5\x8b' 'ran\r' 'house\r' 'child[n][pl]' 'house[n][sg]' 'house[n][pl]' \
  'caf\xc3\xa9[n][sg]' 'run[vblex][past]' '@#' 'h\xc3\xa9' 'housesx' > "$work/vocabulary.txt"

# LINES lines drawn with a skewed distribution (low ranks far more often), from a seed.
draw() {
  awk -v seed="$1" -v lines="$2" 'BEGIN { srand(seed) } { w[n++] = $0 }
    END { for (i = 0; i < lines; i++) { r = int(n * rand() * rand() * rand()); print w[r] } }' \
    "$work/vocabulary.txt"
}

variants=("lookup" "lookup -m stem" "lookup -m first" "lookup -m shortest" "lookup --format json"
  "lookup --dict $data/entries.txt" "lookup -m stem --dict $data/entries.txt" "generate"
  "generate --format json")
configs=("" "--cache-entries 3" "--cache-entries 1" "-j 3" "-j 3 --cache-entries 2")
cases=0
for seed in $(seq 1 12); do
  # Some inputs large enough that -j 3 cuts batches between three threads.
  lines=$((seed % 3 == 0 ? 4000 : 50 + seed * 40))
  draw "$seed" "$lines" > "$work/in.txt"
  [ $((seed % 4)) -eq 0 ] && head -c -1 "$work/in.txt" > "$work/in2.txt" && mv "$work/in2.txt" "$work/in.txt"
  for variant in "${variants[@]}"; do
    # shellcheck disable=SC2086
    "$vtm" $variant -t "$mini" --no-cache < "$work/in.txt" > "$work/want.out" 2> "$work/want.err"
    want_rc=$?
    for config in "${configs[@]}"; do
      # shellcheck disable=SC2086
      "$vtm" $variant -t "$mini" $config < "$work/in.txt" > "$work/got.out" 2> "$work/got.err"
      rc=$?
      cases=$((cases + 1))
      [ "$rc" -eq "$want_rc" ] || fail "seed $seed, $variant $config: exit status $rc, wanted $want_rc"
      cmp -s "$work/want.out" "$work/got.out" || fail "seed $seed, $variant $config: output differs"
      cmp -s "$work/want.err" "$work/got.err" || fail "seed $seed, $variant $config: stderr differs"
    done
  done
done
# Input that hardly repeats, then repeats again: the memo rests while it does not pay and
# comes back; the output stays the same throughout.
{ awk 'BEGIN { for (i = 0; i < 40000; i++) print (i % 50 == 0 ? "houses" : "house" i) }'
  draw 99 30000; } > "$work/rare.txt"
for variant in "lookup" "lookup --format json" "generate"; do
  # shellcheck disable=SC2086
  "$vtm" $variant -t "$mini" --no-cache < "$work/rare.txt" > "$work/want.out" 2> "$work/want.err"
  for config in "" "-j 3" "--cache-entries 5"; do
    # shellcheck disable=SC2086
    "$vtm" $variant -t "$mini" $config < "$work/rare.txt" > "$work/got.out" 2> "$work/got.err"
    cases=$((cases + 1))
    cmp -s "$work/want.out" "$work/got.out" || fail "rare repeats, $variant $config: output differs"
    cmp -s "$work/want.err" "$work/got.err" || fail "rare repeats, $variant $config: stderr differs"
  done
done
# The inputs hold every kind of line, and the comparison is not vacuous.
grep -q maison <("$vtm" lookup -t "$mini" --dict "$data/entries.txt" < "$work/in.txt" 2>/dev/null) ||
  fail "the last input has no dictionary word"
[ -s "$work/want.err" ] || fail "the last input gave no message"
expect "bad cache size" 2 "" "$vtm" lookup -t "$mini" --cache-entries x <<< house
expect "help" 0 "" bash -c "$vtm lookup --help | grep -q -- --no-cache && $vtm generate --help | grep -q -- --cache-entries"

[ "$failures" -eq 0 ] || { echo "$failures failures"; exit 1; }
echo "output memo: $cases runs compared, all the same"
