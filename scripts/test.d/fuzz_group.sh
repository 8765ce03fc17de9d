#!/usr/bin/env bash
# Bounded fuzz run of vtm_group (libFuzzer, ASan, UBSan) over the bundled English grouper
# (compiled by the release build): random tag sequences, capacities, name areas and
# flags for FUZZ_GROUP_SECONDS (default 20) seconds. Fails on any crash, leak or broken
# record invariant.
set -euo pipefail
started=$SECONDS
cd "$(dirname "$0")/../.."
seconds=${FUZZ_GROUP_SECONDS:-20}
build=${VTM_BUILD_DIR:-build/release}
grouper=$build/share/vtmrt/english-chunks.vtm
work=build/fuzz_group
mkdir -p "$work/corpus"
if [ ! -f "$grouper" ]; then
  cmake --build "$build" --target english_chunks >"$work/build.log" 2>&1 ||
    { tail -20 "$work/build.log"; echo "fuzz_group: FAILED: the English grouper cannot be built"; exit 1; }
fi
# The library sources the grouper needs (frame, transducers, walks, dictionary, grouper),
# as lib/CMakeLists.txt lists them, compiled two at a time.
flags=(-std=c++20 -O1 -g -Wall -Wextra -Werror -fsanitize=fuzzer-no-link,address,undefined
  -fno-sanitize-recover=all -Iinclude -Ilib)
mkdir -p "$work/obj"
sed -n 's@^  \(\(frame\|fst\|lookup\|dict\|group\)/[a-z_]*\.cpp\).*@\1@p' lib/CMakeLists.txt |
  xargs -P 2 -I{} sh -c 'o="$1/obj/$(echo "$2" | tr / _).o"; shift 2; clang++-14 "$@" -c "lib/$0" -o "$o"' \
    {} "$work" "{}" "${flags[@]}"
clang++-14 "${flags[@]}" -fsanitize=fuzzer "$work"/obj/*.o tests/fuzz/fuzz_group.cpp \
  -o "$work/fuzz_group"
printf '\x01\x10\x40\x05\x06\x07' >"$work/corpus/short"
printf '\x03\x27\x77\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a' >"$work/corpus/sorted"
VTM_FUZZ_GROUPER=$grouper "$work/fuzz_group" -max_total_time="$seconds" -max_len=2048 \
  -artifact_prefix="$work/" -print_final_stats=0 "$work/corpus" 2>"$work/log" ||
  { tail -50 "$work/log"; exit 1; }
echo "fuzz_group: $(grep '^Done' "$work/log" || true)"
echo "-- fuzz_group: $((SECONDS - started)) s"
