#!/usr/bin/env bash
# Bounded fuzz run of the transducer loader (libFuzzer, ASan, UBSan). Builds the target
# from the library sources with clang++-14, writes a seed corpus with the transducer
# file writer, and fuzzes for FUZZ_LOAD_SECONDS (default 45) seconds. Fails on any
# crash, leak or broken loader invariant.
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds=${FUZZ_LOAD_SECONDS:-45}
work=build/fuzz_load
mkdir -p "$work/corpus"
# Every input goes through a file: keep those writes in memory when possible.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then tmp=$(mktemp -d /dev/shm/fuzz_load.XXXXXX)
else tmp=$(mktemp -d "$work/tmp.XXXXXX"); fi
trap 'rm -rf "$tmp"' EXIT

# The whole library goes in, so the target can grow to any operation on a transducer.
clang++-14 -std=c++20 -O1 -g -Wall -Wextra \
  -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
  -Iinclude -Ilib lib/*/*.cpp tests/fuzz/fuzz_load.cpp \
  -o "$work/fuzz_load"
clang++-14 -std=c++20 -O1 -Wall -Wextra -I. -Ilib compiler/file_writer.cpp \
  tests/fuzz/fuzz_load_seeds.cpp -o "$work/fuzz_load_seeds"
"$work/fuzz_load_seeds" "$work/corpus"

TMPDIR="$tmp" "$work/fuzz_load" -max_total_time="$seconds" -max_len=8192 \
  -artifact_prefix="$work/" -print_final_stats=0 "$work/corpus" 2>"$work/log" ||
  { tail -50 "$work/log"; exit 1; }
echo "fuzz_load: $(grep '^Done' "$work/log" || true)"
