#!/usr/bin/env bash
# Fuzz stage: builds the `fuzz` preset once (clang 14, libFuzzer, ASan + UBSan; the library
# compiled once for every target) and runs each fuzz target of tests/fuzz for FUZZ_SECONDS
# (default 15) seconds on its committed corpus tests/fuzz/corpus/<target>/, as many at a
# time as there are cores. FUZZ_RUNS=N runs each target for N executions instead (the long
# runs made by hand), and FUZZ_TARGETS="a b" limits a run to those targets. New inputs go
# to build/fuzz/run, never into the repository.
# Fails on any crash, leak, timeout or broken invariant; prints each target's executions
# and the stage's wall time. Runtime files: the tagger targets' class transducer and model
# come from the seed maker; the grouper target reads the English grouper of the release
# build ($VTM_BUILD_DIR, default build/release), which it builds when missing.
set -euo pipefail
cd "$(dirname "$0")/../.."
started=$SECONDS
seconds=${FUZZ_SECONDS:-15}
runs=${FUZZ_RUNS:-}
if [ -n "$runs" ]; then limit=(-runs="$runs"); else limit=(-max_total_time="$seconds"); fi
jobs=$(nproc)
release=${VTM_BUILD_DIR:-build/release}
bin=build/fuzz/tests/fuzz
run=build/fuzz/run
corpora=tests/fuzz/corpus

cmake --preset fuzz >/dev/null
mkdir -p "$run"
cmake --build --preset fuzz -j"$jobs" >"$run/build.log" 2>&1 ||
  { tail -40 "$run/build.log"; echo "fuzz: FAILED: the fuzz preset does not build"; exit 1; }
echo "fuzz: built in $((SECONDS - started)) s"

grouper=$release/share/vtmrt/english-chunks.vtm
if [ ! -f "$grouper" ]; then
  cmake --build "$release" --target english_chunks >"$run/grouper.log" 2>&1 ||
    { tail -20 "$run/grouper.log"; echo "fuzz: FAILED: the English grouper cannot be built"; exit 1; }
fi
rm -rf "$run/tagger"
"$bin/fuzz_tagger_seeds" "$run/tagger"
export VTM_FUZZ_GROUPER=$grouper
export FUZZ_TAGGER_FSM=$run/tagger/class.vtm FUZZ_TAGGER_MODEL=$run/tagger/good.model

# Scratch files of the targets that load from a path: in memory when possible.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then scratch=$(mktemp -d /dev/shm/vtm_fuzz.XXXXXX)
else scratch=$(mktemp -d "$run/tmp.XXXXXX"); fi
trap 'rm -rf "$scratch"' EXIT
export TMPDIR=$scratch

# target max_len
targets=(
  "fuzz_load 8192"
  "fuzz_coding 8192"
  "fuzz_lookup 8192"
  "fuzz_inverse 8192"
  "fuzz_class 8192"
  "fuzz_expand 8192"
  "fuzz_dict_entries 4096"
  "fuzz_group 2048"
  "fuzz_tagger_model 4096"
  "fuzz_tag_sentence 512"
  "fuzz_tokenize 2048"
)

# fuzz TARGET MAX_LEN: one bounded run; new inputs go to the run folder, the committed
# corpus is only read.
fuzz() {
  local target=$1 max_len=$2
  [ -d "$corpora/$target" ] || { echo "no corpus $corpora/$target" >"$run/$target.log"; return 1; }
  rm -rf "${run:?}/$target" && mkdir -p "$run/$target"
  "$bin/$target" "${limit[@]}" -max_len="$max_len" -timeout=10 \
    -artifact_prefix="$run/$target-" -print_final_stats=1 \
    "$run/$target" "$corpora/$target" >"$run/$target.log" 2>&1
}

# `jobs` runs at a time; each leaves its exit status in <target>.status.
if [ -n "${FUZZ_TARGETS:-}" ]; then
  chosen=()
  for entry in "${targets[@]}"; do
    read -r target _ <<<"$entry"
    [[ " $FUZZ_TARGETS " == *" $target "* ]] && chosen+=("$entry")
  done
  [ "${#chosen[@]}" -gt 0 ] || { echo "fuzz: FAILED: no target named in FUZZ_TARGETS"; exit 1; }
  targets=("${chosen[@]}")
fi

for entry in "${targets[@]}"; do
  read -r target max_len <<<"$entry"
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n || true; done
  rm -f "$run/$target.status"
  { status=0; fuzz "$target" "$max_len" </dev/null || status=$?; echo "$status" >"$run/$target.status"; } &
done
wait

failed=0
for entry in "${targets[@]}"; do
  read -r target _ <<<"$entry"
  if [ "$(cat "$run/$target.status" 2>/dev/null)" = 0 ]; then
    executed=$(sed -n 's/^stat::number_of_executed_units: *//p' "$run/$target.log")
    took=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$run/$target.log")
    echo "fuzz: $target: ${executed:-?} executions in ${took:-$seconds} s"
  else
    tail -50 "$run/$target.log"
    echo "fuzz: $target: FAILED (log $run/$target.log)"
    failed=1
  fi
done
echo "-- fuzz: $((SECONDS - started)) s"
exit "$failed"
