#!/usr/bin/env bash
# Splits the Brown corpus (NLTK form: files ca01 .. cr09, one sentence per line, word/TAG
# tokens) into the tagger's training and test data, one sentence per line:
#   OUT/train.tagged  files whose number does not end in 0
#   OUT/test.tagged   files whose number ends in 0
# Tags are simplified: lower case, a leading "fw-" and trailing "-tl", "-hl", "-nc"
# removed, compounds such as "ppss+md" kept (190 tags); "(" and ")" become "-lrb-" and
# "-rrb-", so that no tag looks like a bracket.
# Usage: brown_tagged.sh CORPUS_DIR OUT_DIR
set -euo pipefail
corpus=$1 out=$2
mkdir -p "$out"
simplify() {
  awk '
    function simplify(tag) {
      tag = tolower(tag)
      sub(/^fw-/, "", tag)
      while (match(tag, /-(tl|hl|nc)$/)) tag = substr(tag, 1, RSTART - 1)
      if (tag == "(") tag = "-lrb-"
      if (tag == ")") tag = "-rrb-"
      return tag
    }
    NF > 0 {
      line = ""
      for (i = 1; i <= NF; i++) {
        n = split($i, part, "/")
        word = substr($i, 1, length($i) - length(part[n]) - 1)
        line = line (i > 1 ? " " : "") word "/" simplify(part[n])
      }
      print line
    }' "$@"
}
shopt -s nullglob
train=("$corpus"/c[a-r][0-9][1-9])
test=("$corpus"/c[a-r][0-9]0)
[ ${#train[@]} -gt 0 ] && [ ${#test[@]} -gt 0 ] || {
  echo "brown_tagged.sh: no Brown files (ca01 ...) in $corpus" >&2
  exit 1
}
simplify "${train[@]}" > "$out/train.tagged.part"
simplify "${test[@]}" > "$out/test.tagged.part"
mv "$out/train.tagged.part" "$out/train.tagged"
mv "$out/test.tagged.part" "$out/test.tagged"
