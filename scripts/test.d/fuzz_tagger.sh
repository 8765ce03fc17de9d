#!/usr/bin/env bash
# Bounded fuzz runs of the tagger (libFuzzer, ASan, UBSan): the model loader and sentence
# tagging, each for FUZZ_TAGGER_SECONDS (default 25) seconds, on a class transducer and
# models made by the compiler's writers. Fails on any crash, leak or broken invariant.
set -euo pipefail
started=$SECONDS
cd "$(dirname "$0")/../.."
seconds=${FUZZ_TAGGER_SECONDS:-25}
work=build/fuzz_tagger
mkdir -p "$work"
if [ -d /dev/shm ] && [ -w /dev/shm ]; then tmp=$(mktemp -d /dev/shm/fuzz_tagger.XXXXXX)
else tmp=$(mktemp -d "$work/tmp.XXXXXX"); fi
trap 'rm -rf "$tmp"' EXIT

flags=(-std=c++20 -O1 -g -Wall -Wextra -fsanitize=fuzzer,address,undefined
       -fno-sanitize-recover=all -Iinclude -Ilib)
clang++-14 "${flags[@]}" lib/*/*.cpp tests/fuzz/fuzz_tagger_model.cpp -o "$work/fuzz_tagger_model"
clang++-14 "${flags[@]}" lib/*/*.cpp tests/fuzz/fuzz_tag_sentence.cpp -o "$work/fuzz_tag_sentence"
clang++-14 -std=c++20 -O1 -Wall -Wextra -I. -Iinclude -Ilib compiler/*.cpp lib/*/*.cpp \
  tests/fuzz/fuzz_tagger_seeds.cpp -o "$work/fuzz_tagger_seeds"
rm -rf "$work/seeds"
"$work/fuzz_tagger_seeds" "$work/seeds"
export FUZZ_TAGGER_FSM=$work/seeds/class.vtm FUZZ_TAGGER_MODEL=$work/seeds/good.model
for target in model sentence; do
  case $target in
    model) bin=fuzz_tagger_model corpus=$work/seeds/models max_len=4096 ;;
    sentence) bin=fuzz_tag_sentence corpus=$work/seeds/sentences max_len=512 ;;
  esac
  TMPDIR="$tmp" "$work/$bin" -max_total_time="$seconds" -max_len=$max_len \
    -artifact_prefix="$work/" -print_final_stats=0 "$corpus" 2>"$work/$target.log" ||
    { tail -50 "$work/$target.log"; exit 1; }
  echo "fuzz_tagger $target: $(grep '^Done' "$work/$target.log" || true)"
done
echo "-- fuzz_tagger: $((SECONDS - started)) s"
