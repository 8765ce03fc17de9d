#!/usr/bin/env bash
# Windows stage: installs MinGW-w64 and Wine, cross-builds the shipped 32-bit Windows files
# (vtmrt.dll and the administration programs) and checks them, and runs the test suite
# under Wine. Where this kernel cannot execute 32-bit code, Wine cannot run the 32-bit
# build; then the 64-bit build of the same sources runs the tests instead.
set -euo pipefail
cd "$(dirname "$0")/../.."
jobs=$(nproc)
started=$SECONDS

bash scripts/deps.sh windows
echo "-- packages ready after $((SECONDS - started)) s"

# Every Wine process of this stage uses prefixes under build/wine; their servers are
# stopped at the end, whatever happens.
wine_root=$PWD/build/wine
rm -rf "$wine_root"
mkdir -p "$wine_root"
stop_servers() {
  for prefix in "$wine_root"/*/; do
    [ -f "$prefix/system.reg" ] && WINEPREFIX=$prefix /usr/lib/wine/wineserver64 -k 2>/dev/null
  done
  return 0
}
trap stop_servers EXIT

run_preset() {
  local preset=$1
  echo "-- $preset: configure, build, test"
  local t0=$SECONDS
  cmake --preset "$preset" </dev/null >/dev/null
  cmake --build --preset "$preset" -j"$jobs" </dev/null
  local t1=$SECONDS
  WINEPREFIX=$wine_root/$preset ctest --preset "$preset" -j"$jobs" </dev/null
  echo "-- $preset: build $((t1 - t0)) s, tests $((SECONDS - t1)) s"
}

run_preset windows-x86
if ! scripts/wine/run.sh --probe i386; then
  echo "-- this kernel runs no 32-bit code (so neither does Wine): tests run on the 64-bit build"
  run_preset windows-x64
fi
echo "-- windows stage: $((SECONDS - started)) s"
