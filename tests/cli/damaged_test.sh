#!/usr/bin/env bash
# `vtm` on damaged English transducers (bit-flipped copies found by probing): a lookup
# whose walk leaves the network is an error for that word (exit 1), never "+?" with exit
# 0; completion on a copy whose expansion network has gained a cycle ends, with the
# listing cut at --limit and reported.
# Usage: damaged_test.sh VTM_EXECUTABLE
set -uo pipefail
vtm=$1
data=$(cd "$(dirname "$0")/data/damaged" && pwd)
source "$(dirname "$0")/expect.sh"

flipped=$work/flipped.vtm
gzip -dc "$data/english-flipped.vtm.gz" >"$flipped" || { echo "cannot unpack"; exit 1; }
leaving=$work/leaving.vtm
cp "$flipped" "$leaving"
while read -r offset value; do
  case $offset in '#'*) continue ;; esac
  printf "\\$(printf %03o "$value")" | dd of="$leaving" bs=1 seek="$offset" conv=notrunc status=none
done <"$data/lookup-loses-results.patch"

# vtm info finds the damage; lookup answers the words it can and fails the others.
"$vtm" info "$leaving" >"$work/info" 2>&1
[ $? -eq 1 ] || fail "info: exit status, wanted 1"
grep -q "incomplete: a state reference beyond its table" "$work/info" || fail "info: no damage found"
printf 'houses\nwalked\nthe\nrunning\n' | "$vtm" lookup -t "$leaving" >"$work/out" 2>"$work/err"
[ $? -eq 1 ] || fail "lookup: exit status $?, wanted 1"
grep -q $'^houses\thouse\\[n\\]\\[pl\\]$' "$work/out" || fail "lookup: houses not answered"
grep -q $'^the\tthe\\[det\\]' "$work/out" || fail "lookup: the not answered"
[ "$(grep -c 'stdin:[24]: The file is of the wrong type, or is damaged.' "$work/err")" -eq 2 ] ||
  fail "lookup: walked and running not reported: $(cat "$work/err")"

# Completion of "wa" has no end without a bound (millions of words in seconds).
printf 'wa\n' | timeout 120 "$vtm" complete -t "$flipped" --limit 50000 >"$work/out" 2>"$work/err"
status=$?
[ "$status" -eq 1 ] || fail "complete: exit status $status, wanted 1"
[ "$(wc -l <"$work/out")" -eq 50000 ] || fail "complete: $(wc -l <"$work/out") words, wanted 50000"
grep -qF "more than 50000 words; the listing was cut (--limit)" "$work/err" ||
  fail "complete: limit not reported: $(cat "$work/err")"
# The default limit ends it too; a short maximum length ends it with the whole list.
printf 'wa\n' | timeout 120 "$vtm" complete -t "$flipped" >"$work/out" 2>"$work/err"
status=$?
[ "$status" -eq 1 ] || fail "complete, default limit: exit status $status, wanted 1"
[ "$(wc -l <"$work/out")" -eq 1000000 ] || fail "complete: $(wc -l <"$work/out") words, wanted 1000000"
printf 'wa\n' | "$vtm" complete -t "$flipped" --max 20 >"$work/out" 2>"$work/err"
status=$?
[ "$status" -eq 0 ] || fail "complete --max 20: exit status $status, wanted 0"
[ "$(wc -l <"$work/out")" -eq 1010 ] || fail "complete --max 20: $(wc -l <"$work/out") words"

if [ "$failures" -ne 0 ]; then echo "$failures failure(s)"; exit 1; fi
echo "vtm on damaged transducers: all checks passed"
