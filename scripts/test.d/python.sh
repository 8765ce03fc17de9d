#!/usr/bin/env bash
# The Python package: installs pybind11 and pytest (scripts/deps.sh python) and the
# English data, builds the extension and the bundled English transducer and grouper in
# the release tree, runs the package's tests (ctest label "python"; the English comparison with
# `vtm lookup` is required here, not skipped), then installs the package with
# `cmake --install` into a scratch prefix and uses it from /usr/bin/python3.
set -euo pipefail
started=$SECONDS
cd "$(dirname "$0")/../.."
root=$(pwd)
build=$root/build/release
fail() { echo "python: FAILED: $*"; exit 1; }

bash scripts/deps.sh python english || fail "cannot install the python and english packages"
cmake --preset release >/dev/null || fail "configure failed"
grep -q '^pybind11_DIR:PATH=/' "$build/CMakeCache.txt" || fail "pybind11 not found by CMake"
cmake --build --preset release -j"$(nproc)" --target vtmrt_python vtm english_data english_chunks ||
  fail "build failed"
VTM_REQUIRE_ENGLISH=1 ctest --preset release -L python -j"$(nproc)" || fail "tests failed"

# Installed use: the package, library and data under a scratch prefix, imported by
# Debian's interpreter from outside the source and build trees.
prefix=$(mktemp -d "${TMPDIR:-/tmp}/vtm-py-install.XXXXXX")
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null || fail "cmake --install failed"
site=$(sed -n 's/^VTM_PYTHON_INSTALL_DIR:STRING=//p' "$build/CMakeCache.txt")
(cd "$prefix" && PYTHONPATH="$prefix/$site" /usr/bin/python3 -c '
import sys, vtmrt
assert vtmrt.__file__.startswith(sys.argv[1]), vtmrt.__file__
with vtmrt.Transducer() as en:
    assert en.path.startswith(sys.argv[1]), en.path
    assert en.analyze("houses") == ["house[n][pl]", "house[vblex][pri][p3][sg]"]
with vtmrt.Grouper() as chunks:
    assert chunks.group(["at", "jj", "nn"]) == [vtmrt.Group("np", 0, 3)]
print("python: installed package works:", vtmrt.__file__)
' "$prefix") || fail "the installed package does not work"
echo "-- python: $((SECONDS - started)) s"
