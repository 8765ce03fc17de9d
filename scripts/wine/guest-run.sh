#!/usr/bin/env bash
# Runs inside the 32-bit Wine guest (a chroot or a virtual machine, see run-vm.sh): makes
# the guest's 32-bit Wine prefix once, then runs test groups of a 32-bit Windows build
# under 32-bit Wine with the build's own ctest.
# Usage: guest-run.sh BUILD_DIR RESULT_FILE GROUP...
#   groups: lib    the library's unit tests and the C header program (ctest label wine)
#           tools  the administration programs: registry, service, shell, message box
# RESULT_FILE gets a line "STEP STATUS SECONDS" as each step ends (steps: prefix and the
# groups), then "end"; the output of each group's ctest run is in BUILD_DIR/guest/.
# RESULT_FILE and BUILD_DIR lie in the source tree this script is in.
set -uo pipefail
build=$1 result=$2
shift 2
here=$(cd "$(dirname "$0")" && pwd)
src=$(cd "$here/../.." && pwd)
template=/opt/vtm-wine/win32
export PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/tmp/home TMPDIR=/tmp LANG=C.UTF-8
out=$build/guest

# In the virtual machine the tree comes through 9p, and a large program that Wine maps
# from there faults while loading (a small one does not). There the parts of the tree the
# tests use (scripts, test sources, the build's programs and test lists) are copied to
# the guest's own disk at the same path, and the results go straight back to the share.
if [ "$(awk -v tree="$src" '$2 == tree { type = $3 } END { print type }' /proc/mounts)" = 9p ]; then
  # Temporary files on the disk: the machine's memory does not hold the prefix copies.
  export TMPDIR=/var/tmp/vtm HOME=/var/tmp/vtm/home
  rm -rf /var/tmp/vtm /var/tmp/tree
  share=/mnt/share
  mkdir -p "$share" /var/tmp/tree
  mount --bind "$src" "$share"
  (
    cd "$share" &&
      find "${build#"$src"/}" \( -name guest -o -name CMakeFiles -o -name template-prefix \) \
        -prune -o \( -name '*.exe' -o -name '*.dll' -o -name CTestTestfile.cmake -o \
        -name DartConfiguration.tcl \) -print |
      tar -cf - cmake scripts tests -T -
  ) | tar -xf - -C /var/tmp/tree || { echo "guest-run.sh: cannot copy the tree" >&2; exit 1; }
  mount --bind /var/tmp/tree "$src"
  mkdir -p "$build/tests/tmp"
  out=$share/${build#"$src"/}/guest
  result=$share/${result#"$src"/}
  echo "-- guest: programs and test lists copied from the share ($(du -sh /var/tmp/tree | cut -f1))"
  # Under software emulation the exhaustive walk sweep alone outlasts its test's time limit
  # (about 2 minutes natively, more than 10 under emulation): compare every 16th graph,
  # as the sanitizer builds do.
  export VTM_SWEEP_STRIDE=${VTM_SWEEP_STRIDE:-16}
fi
mkdir -p "$HOME" "$out"
: >"$result"

# step NAME COMMAND...: runs one step and records its status and time.
step() {
  local name=$1 t0=$SECONDS status=0
  shift
  "$@" || status=$?
  echo "$name $status $((SECONDS - t0))" >>"$result"
  echo "-- guest: $name: status $status after $((SECONDS - t0)) s"
  return "$status"
}

# The prefix is made once per guest and kept in it; the tests use copies.
make_prefix() {
  rm -rf "$template.new" &&
    timeout -k 10 900 "$here/../../tests/windows/tools/make_template_prefix.sh" \
      "$template.new" i386 &&
    mv "$template.new" "$template"
}

run_group() {  # run_group NAME: the group's tests, its output in $out/NAME.log
  local regex
  case "$1" in
    lib) regex='^(vtmrt_tests_shard[0-9]+|c_header_test)$' ;;
    tools) regex='^(wine_template_prefix|instconf_wine|srvlaunch_wine|envreport_wine)$' ;;
    *) echo "guest-run.sh: unknown group $1" >&2; return 2 ;;
  esac
  rm -rf "$TMPDIR/vtm-wine" && mkdir -p "$TMPDIR/vtm-wine" &&
    cp -a "$template" "$TMPDIR/vtm-wine/win32" &&
    WINEPREFIX=$TMPDIR/vtm-wine/win32 VTM_WINE_TEMPLATE=$template \
      timeout -k 10 "${VTM_GUEST_GROUP_LIMIT:-1500}" ctest --test-dir "$build" -L wine -R "$regex" -V --no-tests=error \
      </dev/null >"$out/$1.log" 2>&1
  local status=$?
  # The per-test verdicts, the test programs' own summaries and ctest's total.
  sed 's/^[0-9]*: //' "$out/$1.log" |
    grep -E '^ *[0-9]+/[0-9]+ Test +#|\[  (PASSED|FAILED)  \]|^[0-9]+ passed, [0-9]+ failed|tests passed|tests failed'
  [ "$status" -eq 0 ] || tail -n 40 "$out/$1.log"
  return "$status"
}

echo "-- guest: $(uname -m) kernel $(uname -r), $(/usr/lib/wine/wine --version 2>/dev/null)"
if [ -f "$template/system.reg" ]; then
  echo "prefix 0 cached" >>"$result"
else
  step prefix make_prefix || { echo end >>"$result"; exit 1; }
fi
overall=0
for group in "$@"; do
  step "$group" run_group "$group" || overall=1
done
echo end >>"$result"
exit "$overall"
