#!/usr/bin/env bash
# The main job: installs what is missing (build tools, the English data of apertium-en-es
# and lt-print), builds the library and the `vtm` command, compiles the bundled English
# transducer from that data (only when it is missing or out of date), then analyses the
# sample paragraph data/sample-en.txt and generates a few word forms back, and
# tokenizes the paragraph and the small HTML page data/sample-en.html with the English
# tokenizer transducers (compiled with foma's help).
# With the English tagger trained from the Brown corpus, it tags the first sentence and
# ends with `vtm chunk`: the paragraph and the HTML page as noun, prepositional and verb
# phrases.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh build english
# The Brown corpus the English tagger is trained from; the demo goes on without it.
bash scripts/deps.sh brown || echo "demo.sh: no Brown corpus: the tagger part is left out" >&2
echo "Building vtmrt, the vtm command and the English transducer (the first run takes a while)..."
cmake --preset release >/dev/null
cmake --build --preset release -j"$(nproc)" --target vtmrt vtm english_data english_tokenizers >/dev/null
if cmake --build --preset release --target help | grep -q english_tagger; then
  echo "Training the English tagger on the Brown corpus (once; about a minute)..."
  cmake --build --preset release -j"$(nproc)" --target english_tagger >/dev/null
fi
# The grouper takes in the tagger's tags: built after it.
cmake --build --preset release -j"$(nproc)" --target english_chunks >/dev/null
vtm=build/release/cli/vtm
english=build/release/share/vtmrt/english.vtm
[ -f "$english" ] || { echo "demo.sh: $english was not built" >&2; exit 1; }

bold() { if [ -t 1 ]; then printf '\033[1m%s\033[0m\n' "$*"; else printf '%s\n' "$*"; fi; }
# Joins the lookup output (word TAB result lines, a blank line after each word) into one
# line per word: the word, then its results separated by " | ".
per_word() {
  awk -F'\t' 'NF == 0 { if (w != "") printf "  %-18s %s\n", w, r; w = ""; r = ""; next }
              { w = $1; r = r (r == "" ? "" : " | ") ($2 == "+?" ? "(unknown)" : $2) }'
}

echo
bold "The sample paragraph ($(wc -w < data/sample-en.txt) words):"
sed 's/^/  /' data/sample-en.txt
words=$(grep -oE "[A-Za-z]+('[a-z]+)?" data/sample-en.txt | tr '[:upper:]' '[:lower:]')

echo
bold "Analyses of its first sentence (vtm lookup, the default English transducer):"
# The lexicon is case-sensitive and lists the lower-case forms of common words.
sed -n '1,2p' data/sample-en.txt | tr '\n' ' ' | sed 's/\..*//' | grep -oE "[A-Za-z]+" |
  tr '[:upper:]' '[:lower:]' | "$vtm" lookup | per_word

echo
bold "Lemmas of a few words (vtm lookup --mode stem):"
printf '%s\n' children followed questions went wrote | "$vtm" lookup --mode stem | per_word

total=$(printf '%s\n' "$words" | wc -l)
unknown=$(printf '%s\n' "$words" | "$vtm" lookup | grep -c $'\t+?$' || true)
echo
bold "Coverage: $((total - unknown)) of $total running words of the paragraph have an analysis."

echo
bold "Generation (vtm generate): analyses back to word forms:"
printf '%s\n' 'child[n][pl]' 'go[vblex][past]' 'write[vblex][pp]' 'good[adj][sint][sup]' \
  'ship[n][pl]' 'storm[n][pl]' | "$vtm" generate | per_word

if [ -f build/release/share/vtmrt/english-tagger.model ]; then
  echo
  bold "Parts of speech of the first sentence (vtm tag, Brown corpus tags):"
  # Punctuation split from the words, one sentence per line, as the tagger reads them.
  sed -n '1,2p' data/sample-en.txt | tr '\n' ' ' | sed 's/\..*/ ./; s/,/ ,/g' |
    "$vtm" tag | fold -s -w 88 | sed 's/^/  /'
fi

echo
bold "Tokens of its first sentence (vtm tokenize: UTF-8 offset, length, classes, text):"
sed -n '1,2p' data/sample-en.txt | "$vtm" tokenize | sed -n '1,12p' | sed 's/^/  /'

echo
bold "Its sentences with Penn Treebank tokens (vtm tokenize -t en-ptb --sentences):"
"$vtm" tokenize -t build/release/share/vtmrt/en-ptb.vtm --sentences data/sample-en.txt |
  sed -n '1,4p' | sed 's/^/  /'

echo
bold "The small HTML page data/sample-en.html as sentences (vtm tokenize --html --sentences):"
"$vtm" tokenize --html --sentences data/sample-en.html | sed 's/^/  /'

echo
bold "Try it yourself:"
echo "  echo houses | $vtm lookup"
echo "  echo 'house[n][pl]' | $vtm generate"
echo "  echo \"Don't stop, Mr. Smith.\" | $vtm tokenize -t build/release/share/vtmrt/en-ptb.vtm"
echo "  $vtm lookup --help"
if [ -f build/release/share/vtmrt/english-tagger.model ]; then
  echo "  echo 'the boats went out .' | $vtm tag"
  echo "  $vtm chunk --html -f json data/sample-en.html"
fi

if [ -f build/release/share/vtmrt/english-tagger.model ]; then
  echo
  bold "Phrases of the paragraph (vtm chunk: tokenized, tagged and grouped in one process):"
  "$vtm" chunk data/sample-en.txt | fold -s -w 88 | sed 's/^/  /'
  echo
  bold "Phrases of the HTML page (vtm chunk --html):"
  "$vtm" chunk --html data/sample-en.html | fold -s -w 88 | sed 's/^/  /'
fi
