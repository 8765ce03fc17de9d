#!/usr/bin/env bash
# Runs the whole test suite: release build and tests, the same under ASan+UBSan, and
# the bounded fuzz runs. Installs missing Debian packages first.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

bash scripts/deps.sh build

for preset in release asan; do
  echo "== $preset: configure, build, test"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j"$jobs"
  ctest --preset "$preset" -j"$jobs"
done

for extra in scripts/test.d/*.sh; do
  [ -e "$extra" ] || continue
  echo "== $(basename "$extra" .sh)"
  bash "$extra"
done
echo "== all tests passed"
