#!/usr/bin/env bash
# Runs the whole test suite: release build and tests, the same under ASan+UBSan, then
# every stage in scripts/test.d (fuzzing, real English data, Windows, the demo).
# Installs missing Debian packages first. Prints each stage's wall time as it ends and
# a table of all of them with the total at the end, so the cost of a run is visible.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
run_started=$SECONDS
timings=()

# stage NAME COMMAND...: runs one stage and records its wall time, also when it fails.
stage() {
  local name=$1 t0=$SECONDS status=0
  shift
  echo "== $name"
  "$@" || status=$?
  local took=$((SECONDS - t0))
  timings+=("$(printf '%-22s %5d s' "$name" "$took")")
  if [ "$status" -ne 0 ]; then
    echo "== $name FAILED (status $status) after $took s"
    print_timings
    exit "$status"
  fi
  echo "== $name: $took s"
}

print_timings() {
  echo "== stage times"
  printf '   %s\n' "${timings[@]}"
  echo "   total                  $((SECONDS - run_started)) s"
}

# Chained with && because errexit does not apply inside a command tested by `||`.
build_and_test() {
  cmake --preset "$1" >/dev/null &&
    cmake --build --preset "$1" -j"$jobs" &&
    ctest --preset "$1" -j"$jobs"
}

# The Brown corpus comes before the release build, which trains the English tagger from
# it once; the tag_english stage only evaluates that tagger (and skips without a corpus).
brown_corpus() {
  bash scripts/deps.sh brown || echo "no Brown corpus: the English tagger is not trained"
}
stage deps bash scripts/deps.sh build
stage brown_corpus brown_corpus
for preset in release asan; do
  stage "$preset" build_and_test "$preset"
done
for extra in scripts/test.d/*.sh; do
  [ -e "$extra" ] || continue
  stage "$(basename "$extra" .sh)" bash "$extra"
done
print_timings
echo "== all tests passed"
