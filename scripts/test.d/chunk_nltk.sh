#!/usr/bin/env bash
# Chunk grammars against NLTK's RegexpParser (Debian's python3-nltk): random grammars
# over a small tag set on random tag sequences, then the bundled English grammar and
# subgrammar on the gold-tagged Brown test split (every sentence must give NLTK's
# groups). Skips (status 0, reason printed) when NLTK cannot be installed; the Brown part
# alone is skipped when the corpus cannot be fetched.
set -uo pipefail
started=$SECONDS
cd "$(dirname "$0")/../.."
root=$(pwd)
build=${VTM_BUILD_DIR:-$root/build/release}
work=$build/chunk-nltk
vtm=$build/cli/vtm
skip() { echo "chunk_nltk: SKIPPED: $*"; exit 0; }
fail() { echo "chunk_nltk: FAILED: $*"; exit 1; }
[ -x "$vtm" ] || fail "$vtm is not built"
mkdir -p "$work"
bash scripts/deps.sh nltk >"$work/deps.log" 2>&1 ||
  skip "python3-nltk cannot be installed ($(tail -1 "$work/deps.log"))"
/usr/bin/python3 -c 'import nltk' 2>/dev/null || skip "NLTK does not import"

for seed in 1 2; do
  /usr/bin/python3 scripts/chunk/nltk_compare.py random "$vtm" 150 "$seed" ||
    fail "random grammars (seed $seed) differ from NLTK"
done

if scripts/chunk/brown_test_split.sh "$work/corpus" "$work/brown-test.tagged" >"$work/split.log" 2>&1; then
  cat "$work/split.log"
  /usr/bin/python3 scripts/chunk/nltk_compare.py brown "$vtm" data/en "$work/brown-test.tagged" ||
    fail "the English grammar differs from NLTK on the Brown test split"
else
  echo "chunk_nltk: Brown part SKIPPED: the corpus cannot be fetched ($(tail -1 "$work/split.log"))"
fi
echo "-- chunk_nltk: $((SECONDS - started)) s"
