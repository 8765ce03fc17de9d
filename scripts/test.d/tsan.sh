#!/usr/bin/env bash
# ThreadSanitizer stage: builds the library and the threads test under the `tsan` preset and
# runs eight threads sharing one transducer (analysis, generation and completion, each
# thread with its own lookup buffer). Any data race report fails the stage.
set -euo pipefail
cd "$(dirname "$0")/../.."
started=$SECONDS
jobs=$(nproc)
cmake --preset tsan >/dev/null
cmake --build --preset tsan -j"$jobs"
ctest --preset tsan
echo "-- tsan: $((SECONDS - started)) s"
