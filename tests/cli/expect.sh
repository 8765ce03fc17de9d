# Shared helpers of the process tests of `vtm`, sourced by the test scripts.
# Sets $work (a scratch folder removed on exit) and counts failures in $failures.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
# expect NAME WANTED_STATUS WANTED_OUTPUT COMMAND...: stdout and status of a command.
expect() {
  local name=$1 status=$2 wanted=$3; shift 3
  local got rc
  got=$("$@" 2>"$work/stderr"); rc=$?
  [ "$rc" -eq "$status" ] || fail "$name: exit status $rc, wanted $status ($(head -c 300 "$work/stderr"))"
  [ "$got" == "$wanted" ] || fail "$name: output differs:"$'\n'"$got"$'\n'"--- wanted:"$'\n'"$wanted"
}
# run_status NAME WANTED_STATUS COMMAND...: status of a command; its stdout and stderr are
# left in $work/out.txt and $work/err.txt for `contains`.
run_status() {
  local name=$1 status=$2; shift 2
  local rc
  "$@" >"$work/out.txt" 2>"$work/err.txt"; rc=$?
  [ "$rc" -eq "$status" ] || fail "$name: exit status $rc, wanted $status ($(head -c 300 "$work/err.txt"))"
}
# contains FILE TEXT NAME: FILE holds TEXT.
contains() {
  grep -qF -- "$2" "$1" || fail "$3: '$2' not in $1: $(head -c 300 "$1")"
}
