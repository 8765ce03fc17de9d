#!/usr/bin/env bash
# Windows stage: installs MinGW-w64 and Wine, cross-builds the shipped 32-bit Windows files
# (vtmrt.dll and the administration programs) and checks them, and runs the test suite
# under Wine. Where this host's Wine cannot run 32-bit programs (no 32-bit user mode in
# the kernel, or no 32-bit Wine), the 32-bit build's Wine tests run under 32-bit Wine in
# a Debian guest (scripts/wine/run-vm.sh: a chroot, or a virtual machine under software
# emulation), and the 64-bit build of the same sources runs them under this host's Wine.
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

# run_preset PRESET [CTEST_ARG...]: configures (VTM_WINE_TESTS as set), builds and tests.
run_preset() {
  local preset=$1
  shift
  echo "-- $preset: configure, build, test"
  local t0=$SECONDS
  cmake --preset "$preset" -DVTM_WINE_TESTS="$wine_tests" </dev/null >/dev/null
  cmake --build --preset "$preset" -j"$jobs" </dev/null
  local t1=$SECONDS
  WINEPREFIX=$wine_root/$preset ctest --preset "$preset" -j"$jobs" "$@" </dev/null
  echo "-- $preset: build $((t1 - t0)) s, tests $((SECONDS - t1)) s"
}

if scripts/wine/run.sh --probe i386; then
  wine_tests=AUTO
  run_preset windows-x86
else
  # A chroot where this kernel runs 32-bit code, else a virtual machine under software
  # emulation (measured on a busy 2-core machine with an empty cache: image 214 s, disk
  # 23 s, boot 18-20 s, prefix 119 s, library tests 325 s, administration programs' tests
  # 305 s: about 17 minutes, the image made while the 32-bit build compiles).
  guest_vm=${VTM_GUEST_VM:-}
  bash scripts/wine/runs-32bit.sh || guest_vm=1
  echo "-- this host's Wine runs no 32-bit programs: the 32-bit build's Wine tests run in a" \
    "$([ -n "$guest_vm" ] && echo "virtual machine" || echo "chroot") guest"
  wine_tests=ON
  as_root=()
  [ "$(id -u)" -ne 0 ] && as_root=(sudo --preserve-env=VTM_GUEST_VM,VTM_GUEST_CACHE,VTM_GUEST_MIRROR)
  # The guest (mostly package downloads on a fresh machine) is made while the 32-bit build
  # compiles; run-vm.sh then finds it in the cache, or tries again and names the failing
  # step itself.
  guest_log=$wine_root/guest-image.log
  (
    guest_deps=(guest)
    [ -n "$guest_vm" ] && guest_deps+=(vm)
    timeout -k 10 900 "${as_root[@]}" bash scripts/deps.sh "${guest_deps[@]}" &&
      timeout -k 10 1200 "${as_root[@]}" bash scripts/wine/guest-image.sh >/dev/null
  ) </dev/null >"$guest_log" 2>&1 &
  image_job=$!
  trap 'kill "$image_job" 2>/dev/null || true; stop_servers' EXIT
  run_preset windows-x86 -LE wine
  image_status=0
  wait "$image_job" || image_status=$?
  echo "-- guest image made in advance: status $image_status, ready after $((SECONDS - started)) s"
  sed 's/^/   /' "$guest_log"
  VTM_GUEST_VM=$guest_vm "${as_root[@]}" bash scripts/wine/run-vm.sh build/windows-x86
  wine_tests=AUTO
  run_preset windows-x64
fi
echo "-- windows stage: $((SECONDS - started)) s"
