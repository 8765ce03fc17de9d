#!/usr/bin/env bash
# Times sumcheck against `md5sum -c` over the same checksum list: a scratch installation
# of 2,000 files holding 500 MB (1,900 files of 4-200 KB and 100 of about 4 MB), all
# unchanged, read from a warm cache. Uses hyperfine when installed, a timed loop otherwise.
# Usage: bench/sumcheck_bench.sh [BUILD_DIR]   (default build/release; needs sumcheck
# and mksums built there). Set KEEP=1 to keep the scratch tree.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
tools=$build/tools/scripthost
for program in sumcheck mksums; do
  [ -x "$tools/$program" ] || { echo "build $program first ($tools/$program)" >&2; exit 2; }
done
sumcheck=$(realpath "$tools/sumcheck")
mksums=$(realpath "$tools/mksums")

root=$(mktemp -d -t sumcheck-bench-XXXXXX)
[ "${KEEP:-0}" = 1 ] || trap 'rm -rf "$root"' EXIT
mkdir -p "$root/bin"

python3 - "$root" <<'PY'
import os, random, sys
root = sys.argv[1]
rng = random.Random(8)
small = [rng.randint(4 << 10, 200 << 10) for _ in range(1900)]
large_total = 500_000_000 - sum(small)
large = [large_total // 100] * 100
large[-1] += large_total - sum(large)
block = os.urandom(8 << 20)
for i, size in enumerate(small + large):
    folder = os.path.join(root, "dir%02d" % (i % 40))
    os.makedirs(folder, exist_ok=True)
    start = rng.randrange(len(block) - min(size, len(block)) + 1)
    with open(os.path.join(folder, "file%04d.bin" % i), "wb") as out:
        left = size
        while left:
            piece = block[start:start + left] or block[:left]
            out.write(piece)
            left -= len(piece)
            start = 0
PY

(cd "$root/bin" && env -u PYTHONUNBUFFERED "$mksums" >/dev/null)
awk -F: '{ print $2 "  " $1 }' "$root/lib/sums" > "$root/md5.list"
files=$(wc -l < "$root/lib/sums")
bytes=$(find "$root" -path "$root/lib" -prune -o -name md5.list -prune -o -type f -printf '%s\n' | awk '{ s += $1 } END { print s }')
echo "tree: $files files, $bytes bytes in $root; $(nproc) cores, load average $(cut -d" " -f1-3 /proc/loadavg)"
cat "$root"/dir*/* > /dev/null   # warm the cache

# Both must find the tree unchanged before they are timed.
(cd "$root/bin" && "$sumcheck") | grep -qx "No Corvane Server files have been modified."
(cd "$root" && md5sum -c --quiet md5.list)

check_sumcheck="cd '$root/bin' && '$sumcheck' > /dev/null"
check_md5sum="cd '$root' && md5sum -c --quiet md5.list"
if command -v hyperfine > /dev/null; then
  hyperfine --warmup 1 --runs "${RUNS:-5}" -n sumcheck "$check_sumcheck" -n "md5sum -c" "$check_md5sum"
else
  for name in sumcheck md5sum; do
    command_var=check_$name
    start=$(date +%s.%N)
    for _ in 1 2 3; do bash -c "${!command_var}"; done
    end=$(date +%s.%N)
    echo "$name: $(echo "($end - $start) / 3" | bc -l | cut -c1-6) s per run"
  done
fi
