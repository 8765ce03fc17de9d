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
