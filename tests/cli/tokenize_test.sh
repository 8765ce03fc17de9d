#!/usr/bin/env bash
# Tests of `vtm tokenize` as a real process, on a small tokenizer transducer made here
# (it copies chunks, splits a full stop off and writes "QU" for "Q"): the tsv, JSON and
# sentence output, UTF-8 offsets, HTML with the bundled tag dictionary, text read in
# 64 KiB pieces, and bad input: invalid UTF-8, NUL bytes, an overlong token, an unclosed
# script element, a bad tag dictionary and a transducer without a tokenizing function.
# Usage: tokenize_test.sh VTM_EXECUTABLE
set -uo pipefail
vtm=$1
data=$(cd "$(dirname "$0")/data" && pwd)
source "$(dirname "$0")/expect.sh"

# The tokenizer: printable ASCII and é copied; "." gets a space before it; Q gives QU.
att=$work/tok.att
for code in $(seq 33 126); do
  c=$(printf "\\$(printf '%03o' "$code")")
  case "$c" in .|Q) continue ;; esac
  printf '0\t0\t%s\t%s\n' "$c" "$c"
done > "$att"
printf '0\t0\té\té\n0\t1\t@0@\t@_SPACE_@\n1\t0\t.\t.\n0\t2\tQ\tQ\n2\t0\t@0@\tU\n0\n' >> "$att"
tok=$work/tok.vtm
"$vtm" build -q --tokenizing "$att" -o "$tok" || { echo "cannot build"; exit 1; }
tokenize() { "$vtm" tokenize -t "$tok" "$@"; }

tab=$'\t'
expect "tsv" 0 "0${tab}5${tab}word${tab}Hello
5${tab}1${tab}punct,closing${tab},
7${tab}5${tab}word${tab}world
12${tab}1${tab}punct,closing,sentence-end${tab}.
13${tab}2${tab}line-break,paragraph${tab}" tokenize <<< $'Hello, world.\n'
# Offsets and lengths count UTF-8 bytes; a normalized form is printed as the text.
expect "utf-8 and normalized" 0 "0${tab}5${tab}word${tab}café
6${tab}1${tab}word${tab}QU
7${tab}1${tab}punct,closing,sentence-end${tab}." bash -c "printf 'café Q.' | $vtm tokenize -t $tok"
# --split-words hands plain words to the transducer too: Q alone becomes QU.
expect "split words" 0 "0${tab}1${tab}word${tab}Q
2${tab}1${tab}word${tab}Q" bash -c "printf 'Q Q' | $vtm tokenize -t $tok"
expect "split words" 0 "0${tab}1${tab}word${tab}QU
2${tab}2${tab}word${tab}ab
4${tab}1${tab}punct,closing${tab},
6${tab}1${tab}word${tab}QU
7${tab}1${tab}punct,closing,sentence-end${tab}." \
  bash -c "printf 'Q ab, Q.' | $vtm tokenize -t $tok --split-words"
expect "json" 0 '{"offset":0,"length":1,"classes":["word"],"text":"Q","norm":"QU"}
{"offset":1,"length":1,"classes":["punct","closing","sentence-end"],"text":"."}' \
  bash -c "printf Q. | $vtm tokenize -t $tok --format json"
expect "sentences" 0 "Hello , world .
Next one !
Yes ! \"
No
New para" tokenize --sentences <<< $'Hello, world. Next one!\nYes!" No\n\nNew para'
expect "line paragraph" 0 "a
b" tokenize --sentences --line-paragraph <<< $'a\nb'

# HTML with the bundled tag dictionary: block tags break paragraphs, scripts are one
# markup token, whitespace gives no tokens.
html='<p>Hi <b>there</b></p><script>var x = "<p>";</script><br>Bye'
expect "html tsv" 0 "0${tab}3${tab}sentence-end,markup,paragraph${tab}<p>
3${tab}2${tab}word${tab}Hi
6${tab}3${tab}tag-kept${tab}<b>
9${tab}5${tab}word${tab}there
14${tab}4${tab}tag-kept${tab}</b>
18${tab}4${tab}sentence-end,markup,paragraph${tab}</p>
22${tab}31${tab}markup${tab}<script>var x = \"<p>\";</script>
53${tab}4${tab}sentence-end,markup,paragraph${tab}<br>
57${tab}3${tab}word${tab}Bye" tokenize --html <<< "$html"
expect "html sentences" 0 "Hi there
Bye" tokenize --html --sentences <<< "$html"

# Text read in 64 KiB pieces: every token's offsets point at its text in the input.
python3 - "$work/big.txt" <<'PY'
import random, sys
random.seed(5)
words = ["alpha", "b\u00e9ta", "Q.", "end.", "x,", "(y)", "\n", "\n\n", "caf\u00e9"]
with open(sys.argv[1], "w", encoding="utf-8") as f:
    f.write(" ".join(random.choice(words) for _ in range(60000)))
PY
tokenize "$work/big.txt" > "$work/big.tsv" || fail "big: exit status"
python3 - "$work/big.txt" "$work/big.tsv" <<'PY' || fail "big: offsets do not match the input"
import sys
data = open(sys.argv[1], "rb").read()
count = 0
for line in open(sys.argv[2], encoding="utf-8"):
    off, length, classes, text = line.rstrip("\n").split("\t")
    span = data[int(off):int(off) + int(length)]
    if text and text != "QU" and span.decode("utf-8") != text:
        sys.exit(f"token at {off}: {span!r} != {text!r}")
    count += 1
if count < 60000: sys.exit(f"only {count} tokens")
PY
# The tsv and JSON lines are written by different code: they give the same offsets.
tokenize --format json "$work/big.txt" > "$work/big.json" || fail "big: json exit status"
python3 - "$work/big.tsv" "$work/big.json" <<'PY' || fail "big: tsv and json offsets differ"
import json, sys
tsv = [tuple(map(int, l.split("\t")[:2])) for l in open(sys.argv[1], encoding="utf-8")]
js = [(o["offset"], o["length"]) for o in map(json.loads, open(sys.argv[2], encoding="utf-8"))]
if tsv != js or len(tsv) < 60000: sys.exit(f"{len(tsv)} tsv lines, {len(js)} json lines")
PY
[ "$(grep -c "${tab}word${tab}alpha$" "$work/big.tsv")" -eq "$(grep -o 'alpha' "$work/big.txt" | wc -l)" ] ||
  fail "big: alpha count"

# Bad input.
expect "invalid utf-8" 1 "0${tab}1${tab}word${tab}a
2${tab}1${tab}word${tab}b" bash -c "printf 'a\xffb' | $vtm tokenize -t $tok"
grep -qF "byte 1: invalid UTF-8" "$work/stderr" || fail "invalid utf-8: message"
expect "nul bytes" 0 "0${tab}1${tab}word${tab}a
2${tab}1${tab}word${tab}b" bash -c "printf 'a\0b' | $vtm tokenize -t $tok"
head -c 5000000 /dev/zero | tr '\0' 'x' > "$work/long.txt"
printf ' end\n' >> "$work/long.txt"
expect "overlong token" 1 "5000001${tab}3${tab}word${tab}end
5000004${tab}1${tab}line-break${tab}" tokenize "$work/long.txt"
grep -qF "byte 0: a token longer than 4 MiB was skipped" "$work/stderr" || fail "overlong: message"
{ printf 'a <script>'; head -c 300000 /dev/zero | tr '\0' 'y'; } > "$work/script.html"
expect "unclosed script" 0 "0${tab}1${tab}word${tab}a" \
  bash -c "$vtm tokenize -t $tok --html --format tsv $work/script.html | head -1"
[ "$("$vtm" tokenize -t "$tok" --html "$work/script.html" | wc -l)" -eq 2 ] || fail "unclosed script: 2 tokens"
printf 'p\n' > "$work/bad-tags.txt"
expect "bad tag dictionary" 1 "" tokenize --html --tags "$work/bad-tags.txt" <<< "x"
grep -qF "single-field entry before the first tag specification" "$work/stderr" || fail "bad tags: message"
"$vtm" build -q --analysis "$data/mini.att" -o "$work/analysis.vtm"
expect "no tokenizing function" 1 "" "$vtm" tokenize -t "$work/analysis.vtm" <<< "x"
[ -s "$work/stderr" ] || fail "no tokenizing function: message"
expect "missing file" 1 "" tokenize "$work/none.txt"

if [ "$failures" -ne 0 ]; then echo "$failures failure(s)"; exit 1; fi
echo "vtm tokenize: all checks passed"
