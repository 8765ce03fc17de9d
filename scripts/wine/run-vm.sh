#!/usr/bin/env bash
# Runs the Wine tests of the 32-bit Windows build (windows-x86 preset, configured with
# -DVTM_WINE_TESTS=ON) under 32-bit Wine in a Debian 12 guest (scripts/wine/guest-image.sh):
# in a chroot where this kernel runs 32-bit code, else in a virtual machine (qemu, software
# emulation) whose own kernel does. The guest sees the source tree, build included, at its
# path here: through a bind mount, or 9p in the virtual machine.
# Usage: run-vm.sh [--all] [BUILD_DIR]
#   BUILD_DIR  default build/windows-x86; it must lie inside the source tree
#   --all      every test group, also those too slow under emulation for CI (see below)
# Environment: VTM_GUEST_VM=1 uses the virtual machine even where a chroot would do;
#   VTM_GUEST_CACHE, VTM_GUEST_MIRROR as for guest-image.sh.
# Every step has a time limit; a step that fails or overruns ends the script with status 1
# and a message naming it. Needs root.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
src=$(cd "$here/../.." && pwd)
all_groups=(lib tools)
# Under emulation in CI: the groups measured to fit the stage's budget.
vm_groups=(lib tools)
started=$SECONDS

say() { echo "run-vm: $*"; }
fail() { say "FAILED: $*" >&2; exit 1; }
trap 'say "FAILED: unexpected error on line $LINENO" >&2' ERR

want_all=0 build=""
for arg in "$@"; do
  case "$arg" in
    --all) want_all=1 ;;
    -*) echo "usage: run-vm.sh [--all] [BUILD_DIR]" >&2; exit 2 ;;
    *) build=$arg ;;
  esac
done
build=$(cd "${build:-$src/build/windows-x86}" && pwd) || fail "no build folder"
case "$build/" in
  "$src"/*) ;;
  *) fail "the build folder $build is not inside the source tree $src" ;;
esac
case "$src" in *[[:space:]]*) fail "the source tree's path has white space: $src" ;; esac
[ "$(id -u)" -eq 0 ] || fail "needs root (chroot, or qemu with a root-owned share)"
wine_tests=$(ctest --test-dir "$build" -N -L wine 2>/dev/null | sed -n 's/^Total Tests: //p')
[ "${wine_tests:-0}" -gt 0 ] ||
  fail "the build at $build has no Wine tests (configure it with -DVTM_WINE_TESTS=ON)"

if [ -z "${VTM_GUEST_VM:-}" ] && bash "$here/runs-32bit.sh"; then
  mode=chroot groups=("${all_groups[@]}")
else
  mode=vm groups=("${vm_groups[@]}")
fi
[ "$want_all" -eq 1 ] && groups=("${all_groups[@]}")
say "32-bit Wine in a $mode guest; test groups: ${groups[*]} ($wine_tests Wine tests in the build)"

deps=(guest)
[ "$mode" = vm ] && deps+=(vm)
timeout -k 10 900 bash "$src/scripts/deps.sh" "${deps[@]}" </dev/null ||
  fail "step packages: cannot install the host's tools for the guest"

t0=$SECONDS
guest=$(timeout -k 10 1200 bash "$here/guest-image.sh" </dev/null) ||
  fail "step image: the guest could not be built or found (see above)"
say "step image: $((SECONDS - t0)) s ($guest)"
sed 's/^/  /' "$guest/versions"

out=$build/guest
mkdir -p "$out"
result=$out/result
rm -f "$result" "$out"/*.log
command=(bash "$here/guest-run.sh" "$build" "$result" "${groups[@]}")

run_chroot() {  # run_chroot SECONDS
  timeout -k 10 "$1" unshare --mount --propagation private --fork -- /bin/sh -ec '
    root=$1 src=$2; shift 2
    mount -t proc proc "$root/proc"
    mount --rbind /dev "$root/dev"
    mount -t tmpfs tmpfs "$root/tmp"
    mkdir -p "$root$src"
    mount --bind "$src" "$root$src"
    exec chroot "$root" /usr/bin/env -i "$@"' run_chroot "$guest/root" "$src" "${command[@]}" \
    </dev/null
}

# The virtual machine's root disk: an ext4 image of the guest's root, made once. Until a
# run has made the Wine prefix in it, the machine writes to it; afterwards every run works
# on a throw-away overlay (qemu's snapshot mode).
disk_image() {
  [ -f "$guest/disk.img" ] && return 0
  rm -f "$guest/disk.img.new"
  # Sparse; room for the tests' copies of the 32-bit prefix (about 600 MB each).
  mkfs.ext4 -q -F -L vtmguest -d "$guest/root" "$guest/disk.img.new" 10G >/dev/null &&
    mv "$guest/disk.img.new" "$guest/disk.img"
}

run_vm() {
  local limit=$1 boot_limit=300 snapshot=on console=$out/console.log
  [ -f "$guest/disk.prefix" ] || snapshot=off
  { printf 'exec'; printf ' %q' "${command[@]}"; echo; } >"$out/command"
  : >"$console"
  # Without SMAP: with it, this emulator faults the kernel on the return to every 32-bit
  # Wine process. no_timer_check: on a busy host the emulated processor is too slow for
  # the kernel's check of the timer interrupt, which then stops the boot.
  qemu-system-x86_64 -accel tcg -cpu max,-smap -m 3072 -smp 1 \
    -nographic -no-reboot -nic none \
    -kernel "$guest/vmlinuz" -initrd "$guest/initrd.gz" \
    -append "console=ttyS0 root=/dev/vda rw panic=-1 no_timer_check quiet loglevel=3 vtm.src=$src vtm.command=$out/command" \
    -drive "file=$guest/disk.img,if=virtio,format=raw,cache=unsafe,snapshot=$snapshot" \
    -virtfs "local,path=$src,mount_tag=src,security_model=passthrough,id=src" \
    </dev/null >"$console" 2>&1 &
  local qemu=$! t0=$SECONDS booted=0
  # The guest's output goes to the console log; its verdicts reach the result file.
  while kill -0 "$qemu" 2>/dev/null; do
    sleep 2
    if [ "$booted" -eq 0 ] && grep -q 'vtm-guest: kernel up' "$console"; then
      booted=1
      say "step boot: $((SECONDS - t0)) s"
    fi
    if [ "$booted" -eq 0 ] && [ $((SECONDS - t0)) -ge "$boot_limit" ]; then
      kill "$qemu"
      tail -n 20 "$console" >&2
      fail "step boot: the guest kernel did not start its init within $boot_limit s"
    fi
    if [ $((SECONDS - t0)) -ge "$limit" ]; then
      kill "$qemu"
      tail -n 20 "$console" >&2
      fail "step tests: the virtual machine did not finish within $limit s"
    fi
  done
  wait "$qemu" || true
  if [ "$booted" -eq 0 ]; then
    tr -d '\r' <"$console" | grep -v '^[[:space:]]*$' | tail -n 20 >&2
    fail "step boot: the guest kernel stopped before starting its init (see $console)"
  fi
  { grep -E -- '^-- guest:|vtm-guest:|PASSED|FAILED|tests passed|tests failed|passed, [0-9]+ failed' \
    "$console" || true; } | tr -d '\r' | sed 's/^/  /'
  if [ "$snapshot" = off ] && grep -q '^prefix 0 ' "$result" 2>/dev/null; then
    touch "$guest/disk.prefix"
  fi
}

t0=$SECONDS
if [ "$mode" = chroot ]; then
  run_chroot "${VTM_GUEST_LIMIT:-1500}" || true
else
  exec 8>"$guest/vm.lock"
  flock -w 1200 8 || fail "step disk: another run holds $guest/vm.lock"
  timeout -k 10 600 bash -c "$(declare -f disk_image); guest=$guest; disk_image" ||
    fail "step disk: cannot make the guest's disk image"
  say "step disk: $((SECONDS - t0)) s"
  # A machine that writes to the disk keeps the lock; one with an overlay does not need it.
  [ -f "$guest/disk.prefix" ] && flock -u 8
  run_vm "${VTM_GUEST_LIMIT:-1500}"
fi
say "guest run: $((SECONDS - t0)) s"

# Every step the guest was asked for must have ended, each with status 0.
[ -f "$result" ] || fail "step guest: the guest wrote no results (see $out)"
status=0
for step in prefix "${groups[@]}"; do
  line=$(grep "^$step " "$result" | tail -n 1) || line=""
  if [ -z "$line" ]; then
    say "FAILED: step $step did not finish (see $out)" >&2
    status=1
  elif [ "$(cut -d' ' -f2 <<<"$line")" != 0 ]; then
    say "FAILED: step $step: status $(cut -d' ' -f2 <<<"$line") (see $out/$step.log)" >&2
    status=1
  else
    say "step $step: $(cut -d' ' -f3 <<<"$line" | sed 's/^[0-9]*$/& s/')"
  fi
done
grep -qx end "$result" || { say "FAILED: the guest did not finish its run" >&2; status=1; }
say "32-bit Wine tests ($mode): $([ "$status" -eq 0 ] && echo passed || echo FAILED)," \
  "$((SECONDS - started)) s"
exit "$status"
