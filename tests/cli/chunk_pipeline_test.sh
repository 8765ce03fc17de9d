#!/usr/bin/env bash
# `vtm chunk` equals `vtm tokenize --sentences | vtm tag | vtm group` on real English text
# with the bundled tokenizer, tagger and grouper, with one thread and with two, in the
# three output formats and with subgroups. The text is Brown corpus running text: the
# corpus files given (NLTK's word/TAG form) with their tags taken off, until at least
# SENTENCES sentences (default 400).
# Every tag of the tagger must be known to the grouper.
# Usage: chunk_pipeline_test.sh VTM_EXECUTABLE CORPUS_FILE... [-n SENTENCES]
set -uo pipefail
vtm=$1
shift
wanted=400
files=()
while [ $# -gt 0 ]; do
  case "$1" in
    -n) wanted=$2; shift 2 ;;
    *) files+=("$1"); shift ;;
  esac
done
source "$(dirname "$0")/expect.sh"
[ ${#files[@]} -gt 0 ] || { echo "no corpus files"; exit 1; }

# Tags off, a paragraph per corpus line: the tokenizer finds the sentences again.
awk -v wanted="$wanted" 'NF { s = ""; for (i = 1; i <= NF; i++) { t = $i; sub(/\/[^\/]*$/, "", t)
  s = s (i > 1 ? " " : "") t } print s "\n"; if (++n >= wanted) exit }' "${files[@]}" >"$work/text.txt"
sentences=$("$vtm" tokenize --sentences "$work/text.txt" | wc -l)
[ "$sentences" -ge "$wanted" ] || fail "only $sentences sentences in the text"
compared=0
for options in "" "--subgroups -f tsv" "-f json"; do
  # shellcheck disable=SC2086
  "$vtm" tokenize --sentences "$work/text.txt" | "$vtm" tag | "$vtm" group $options >"$work/piped" ||
    fail "pipe ($options) failed"
  for j in 1 2; do
    # shellcheck disable=SC2086
    "$vtm" chunk -j "$j" $options "$work/text.txt" >"$work/chunk" || fail "chunk -j $j $options failed"
    if cmp -s "$work/piped" "$work/chunk"; then
      compared=$((compared + 1))
    else
      fail "chunk -j $j $options differs from the pipe: $(diff "$work/piped" "$work/chunk" | head -5)"
    fi
  done
done
# The grouper's tag alphabet holds every tag the tagger can give.
"$vtm" tag --list-tags >"$work/tags" || fail "vtm tag --list-tags failed"
tags=$(wc -l <"$work/tags")
[ "$tags" -gt 50 ] || fail "the tagger lists only $tags tags"
awk '{ print "w/" $0 }' "$work/tags" | "$vtm" group >/dev/null 2>"$work/unknown" ||
  fail "tags of the tagger unknown to the grouper: $(head -3 "$work/unknown")"
[ "$failures" -eq 0 ] &&
  echo "vtm chunk: all $tags tags of the tagger known to the grouper;" \
    "equal to the pipe in $compared runs over $sentences sentences"
exit $((failures > 0))
