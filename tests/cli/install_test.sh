#!/usr/bin/env bash
# Installs a build tree into a fresh prefix and builds a small consumer against it twice:
# with find_package(vtmrt) and with pkg-config. Both must compile, link and run.
# Usage: install_test.sh BUILD_DIR SOURCE_DIR [extra compiler flags]
set -euo pipefail
build=$1 src=$2 flags=${3:-}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

cmake --install "$build" --prefix "$prefix" >/dev/null
wanted=(include/vtmrt.h)
[ -x "$build/cli/vtm" ] && wanted+=(bin/vtm)
for f in "${wanted[@]}"; do
  [ -e "$prefix/$f" ] || { echo "not installed: $f"; exit 1; }
done
lib=$(find "$prefix" -name 'libvtmrt.so*' -type f | head -1)
pc=$(find "$prefix" -name vtmrt.pc | head -1)
[ -n "$lib" ] && [ -n "$pc" ] || { echo "library or vtmrt.pc not installed"; exit 1; }
# The sanitizer runtime of an instrumented library need not come first in a consumer.
export ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0:detect_leaks=0

expect="vtmrt 2.2; open: -1 "
cmake -S "$src/tests/cli/install_consumer" -B "$work/consumer" -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_C_FLAGS="$flags" >/dev/null
cmake --build "$work/consumer" >/dev/null
out=$("$work/consumer/consumer")
[[ "$out" == "$expect"* ]] || { echo "find_package consumer printed: $out"; exit 1; }

# Move the prefix: the pkg-config file must still find its library and header.
mv "$prefix" "$work/moved"
export PKG_CONFIG_PATH=$(dirname "${pc/$prefix/$work/moved}")
libdir=$(pkg-config --variable=libdir vtmrt)
# shellcheck disable=SC2046
cc $flags "$src/tests/cli/install_consumer/consumer.c" -o "$work/pc_consumer" \
  $(pkg-config --cflags --libs vtmrt)
out=$(LD_LIBRARY_PATH=$libdir "$work/pc_consumer")
[[ "$out" == "$expect"* ]] || { echo "pkg-config consumer printed: $out"; exit 1; }
echo "install ok: find_package and pkg-config consumers run"
