# Helpers shared by the process tests of the administration programs (sourced, not run).
# Each test script gets its own scratch directory and registry store, so tests run in parallel.
set -u

failures=0
scratch=$(mktemp -d "${TMPDIR:-/tmp}/corvane-admin-test.XXXXXX")
trap 'chmod -R u+rwx "$scratch" 2>/dev/null; rm -rf "$scratch"' EXIT
export CORVANE_REGISTRY="$scratch/store/registry.db"
unset DISPLAY WAYLAND_DISPLAY

# slurp VAR FILE: the file's exact bytes (up to a NUL) into VAR, with shell built-ins only, so
# it works whatever PATH a test sets.
slurp() {
  IFS= read -r -d '' "$1" <"$2" || true
}

# run CMD...: runs a command; leaves its exact standard output, standard error and exit status
# in $out, $err and $status.
run() {
  "$@" >"$scratch/.out" 2>"$scratch/.err"
  status=$?
  slurp out "$scratch/.out"
  slurp err "$scratch/.err"
}

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# same CASE EXPECTED ACTUAL: byte-exact comparison, with a diff on mismatch.
same() {
  if [ "$2" != "$3" ]; then
    fail "$1"
    diff <(printf '%s' "$2") <(printf '%s' "$3") >&2
  fi
}

# expect CASE STATUS STDOUT STDERR: checks the last run.
expect() {
  [ "$status" = "$2" ] || fail "$1: exit status $status, expected $2"
  same "$1 (stdout)" "$3" "$out"
  same "$1 (stderr)" "$4" "$err"
}

# Seconds since the epoch with fractions, for timing waits.
now() { date +%s.%N; }

# within CASE START END LOW HIGH: END - START lies in [LOW, HIGH) seconds.
within() {
  awk -v s="$2" -v e="$3" -v lo="$4" -v hi="$5" 'BEGIN { d = e - s; exit !(d >= lo && d < hi) }' ||
    fail "$1: took $(awk -v s="$2" -v e="$3" 'BEGIN { print e - s }') s, expected [$4, $5)"
}

finish() {
  [ "$failures" -eq 0 ] || { echo "$failures check(s) failed" >&2; exit 1; }
  exit 0
}
