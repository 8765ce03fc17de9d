#!/usr/bin/env bash
# The main job: install what is missing, build, and run the demo on bundled data.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh build
cmake --preset release >/dev/null
cmake --build --preset release -j"$(nproc)" >/dev/null
./build/release/tests/c_header_test && echo "vtmrt built; library frame works."
