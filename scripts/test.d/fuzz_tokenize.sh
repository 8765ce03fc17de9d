#!/usr/bin/env bash
# Bounded fuzz run of the tokenizer (libFuzzer, ASan, UBSan): random text, flags, tag
# dictionary, record and string-buffer sizes and piece splits. Fails on any crash, leak,
# record outside its text or buffer, or a difference between piece-wise and whole-text
# tokens. Runs for FUZZ_TOKENIZE_SECONDS (default 25) seconds.
set -euo pipefail
cd "$(dirname "$0")/../.."
started=$SECONDS
seconds=${FUZZ_TOKENIZE_SECONDS:-25}
work=build/fuzz_tokenize
mkdir -p "$work/corpus" "$work/tmp"

clang++-14 -std=c++20 -O1 -g -Wall -Wextra -Werror \
  -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
  -Iinclude -Ilib -I. lib/*/*.cpp compiler/*.cpp tests/fuzz/fuzz_tokenize.cpp \
  -o "$work/fuzz_tokenize"

seed() { printf "$2" > "$work/corpus/$1"; }
seed plain '\x00\x03\x05\x21Hello, world. Don'"'"'t stop (now)!\n\nQ.U e.g. 3.14 "x",\r\n'
seed html '\x0a\x02\x07\x55<p>x<b>y</b> <script>a<script>b</script>c</script>z<!-- c --> e.g.</script>tail'
seed broken '\x02\x01\x00\x13<a <b <!-- x <style>q</style'

TMPDIR="$work/tmp" "$work/fuzz_tokenize" -max_total_time="$seconds" -max_len=2048 \
  -artifact_prefix="$work/" -print_final_stats=0 "$work/corpus" 2>"$work/log" ||
  { tail -50 "$work/log"; exit 1; }
rm -f "$work"/tmp/*
echo "fuzz_tokenize: $(grep '^Done' "$work/log" || true)"
echo "-- fuzz_tokenize: $((SECONDS - started)) s"
