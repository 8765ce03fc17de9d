#!/usr/bin/env bash
# Bounded fuzz run of the client dictionary entry-file loader (libFuzzer, ASan, UBSan).
# Builds the target straight from the sources it needs, seeds a corpus with small entry
# files, and fuzzes for FUZZ_DICT_SECONDS (default 20) seconds. Fails on any crash,
# leak or broken invariant.
set -euo pipefail
cd "$(dirname "$0")/../.."
seconds=${FUZZ_DICT_SECONDS:-20}
work=build/fuzz_dict
mkdir -p "$work/corpus" "$work/tmp"

clang++-14 -std=c++20 -O1 -g -Wall -Wextra -Werror \
  -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
  -Iinclude -Ilib lib/frame/*.cpp lib/dict/*.cpp tests/fuzz/fuzz_dict_entries.cpp \
  -o "$work/fuzz_dict_entries"

seed() { printf "$2" > "$work/corpus/$1"; }
seed groups '; tags\n[html-para]\np\ndiv\n[html-sent]\np\n'
seed fields 'br\tbr[html-tag-keep]\na\tmid\tlast\nempty\t\n'
seed crlf '[t]\r\nkey\r\nk\tv\r\n  spaced\n'
seed before_tag '[t]\nkey1\nk2\tv2\nkey3\n'

TMPDIR="$work/tmp" "$work/fuzz_dict_entries" -max_total_time="$seconds" -max_len=4096 \
  -artifact_prefix="$work/" -print_final_stats=0 "$work/corpus" 2>"$work/log" || { tail -50 "$work/log"; exit 1; }
rm -f "$work"/tmp/*
echo "fuzz_dict: $(grep '^Done' "$work/log" || true)"
