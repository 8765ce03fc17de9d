#!/usr/bin/env bash
# Extracts the English lexicon from an lttoolbox analyzer (apertium-eng-spa) as AT&T text:
# lt-print -H writes every section of the .bin, separated by "--" lines; the lexicon is
# the largest one (the others are punctuation, apostrophes and number patterns).
# Writes LEXICON (surface : lemma and tags) and STEMS, the same transducer with every tag
# on the output side replaced by epsilon (surface : lemma), for the stemming function.
# Usage: english_lexicon.sh ANALYZER.bin LEXICON.att STEMS.att
set -euo pipefail
bin=$1 lexicon=$2 stems=$3
tmp=$(mktemp "${lexicon}.XXXXXX")
trap 'rm -f "$tmp"' EXIT
lt-print -H "$bin" > "$tmp"
awk '/^--$/ { s++; next } { n[s + 0]++ }
     END { best = 0; for (i in n) if (n[i] > n[best]) best = i; print best }' "$tmp" |
  { read -r best
    awk -v want="$best" '/^--$/ { s++; next } s == want' "$tmp" > "$lexicon.part"; }
[ -s "$lexicon.part" ] || { echo "english_lexicon.sh: no transducer in $bin" >&2; exit 1; }
awk 'BEGIN { FS = OFS = "\t" }
     NF >= 4 && $4 ~ /^<[^<>]+>$/ { $4 = "@0@" } { print }' "$lexicon.part" > "$stems.part"
mv "$lexicon.part" "$lexicon"
mv "$stems.part" "$stems"
