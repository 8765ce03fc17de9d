#!/usr/bin/env bash
# Analysis, generation and start-up of `vtm` against foma (flookup) and HFST
# (hfst-optimized-lookup) on the same English lexicon, in one run:
#   - instructions per word of the whole process under callgrind (stable on a shared
#     machine): analysis of TOKENS Brown tokens, generation of the distinct analyses that
#     vtm gives for their distinct forms, start-up (loading and one word);
#   - vtm's walk alone (LookupWalk / InverseWalk inclusive, per call);
#   - vtm both as it runs by default (with its output memo, which answers a repeated line
#     without looking it up again) and with --no-cache (every line looked up);
#   - wall-time ratios with hyperfine (analysis over WALL_TOKENS tokens, generation over
#     the analyses ten times), and the CPU time (user + system) of the same runs;
#   - checks that the tools agree (analyses of every distinct form, generation of every
#     analysis, as sets);
#   - writes the table into bench/README.md (between the lookup-instructions markers).
# Every tool's file is built from the same AT&T text: the lexicon section of Debian's
# apertium-en-es analyzer (cmake/english_lexicon.sh). vtm's file carries analysis (12)
# and generation (23) compiled from it, like the bundled transducer, with its character
# codes fitted to a sample of running text (`--code-sample-fit`): the Brown tokens after the
# first WALL_TOKENS, which neither benchmark input holds. The file ranked by arc counts
# alone (en-arcs.vtm) is built too, for its size and as a check of the results.
# Usage: bench/lookup_instructions.sh [BUILD_DIR]   (needs valgrind and scripts/deps.sh peers)
# Environment: BENCH_OUT (work folder, default BUILD_DIR/bench-instructions), TOKENS
# (default 100000), WALL_TOKENS (default 1000000), RUNS (hyperfine runs, default 5),
# README (file to write the table into; "-" for none).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/release}" && pwd)
vtm=$build/cli/vtm
out=${BENCH_OUT:-$build/bench-instructions}
ntokens=${TOKENS:-100000}
nwall=${WALL_TOKENS:-1000000}
runs=${RUNS:-5}
readme=${README:-$root/bench/README.md}
analyzer=${APERTIUM_EN_ANALYZER:-/usr/share/apertium/apertium-eng-spa/eng-spa.automorf.bin}
for tool in valgrind flookup foma hfst-txt2fst hfst-fst2fst hfst-invert hfst-optimized-lookup; do
  command -v "$tool" >/dev/null ||
    { echo "lookup_instructions.sh: $tool missing (valgrind; scripts/deps.sh peers)" >&2; exit 1; }
done
[ -x "$vtm" ] || { echo "lookup_instructions.sh: no $vtm: build the release preset" >&2; exit 1; }
mkdir -p "$out"
cd "$out"

echo "== files" >&2
brown=$("$root/bench/peers/brown_corpus.sh")
"$root/bench/peers/corpus_tokens.py" "$brown" all tokens-all.txt distinct-all.txt
tail -n +$((nwall + 1)) tokens-all.txt >code-sample.txt
fit=()
[ -s code-sample.txt ] && fit=(--code-sample code-sample.txt --code-sample-fit)
"$root/cmake/english_lexicon.sh" "$analyzer" lexicon.att stems.att
"$vtm" build -q --drop-unmappable --analysis lexicon.att -o en-analysis-arcs.vtm
"$vtm" build -q --drop-unmappable --analysis lexicon.att --generation lexicon.att -o en-arcs.vtm
"$vtm" build -q --drop-unmappable --analysis lexicon.att "${fit[@]}" -o en-analysis.vtm
"$vtm" build -q --drop-unmappable --analysis lexicon.att --generation lexicon.att "${fit[@]}" \
  -o en.vtm
sed 's/@_SPACE_@/ /g' lexicon.att >lexicon.foma.att # foma wants a literal space
foma -q -e "read att lexicon.foma.att" -e "save stack en.foma" -s >/dev/null
hfst-txt2fst -i lexicon.att -o en.hfst
hfst-fst2fst -O -i en.hfst -o en.hfstol
hfst-invert -i en.hfst | hfst-fst2fst -O -o en-gen.hfstol

echo "== inputs" >&2
"$root/bench/peers/corpus_tokens.py" "$brown" "$ntokens" tokens.txt distinct.txt
"$root/bench/peers/corpus_tokens.py" "$brown" "$nwall" tokens-wall.txt distinct-wall.txt
echo house >one.txt
echo 'house[n][pl]' >one-gen.txt
echo 'house<n><pl>' >one-gen.foma.txt
# Analyses to generate from: every distinct analysis of the distinct forms, in vtm's
# notation (tags in brackets) and the peers' (tags in angle brackets).
"$vtm" lookup -t en.vtm <distinct.txt | awk -F'\t' 'NF >= 2 && $2 != "+?" { print $2 }' |
  LC_ALL=C sort -u >analyses.txt
sed 's/\[\([^][]*\)\]/<\1>/g' analyses.txt >analyses.foma.txt
for i in 1 2 3 4 5 6 7 8 9 10; do cat analyses.txt; done >analyses-wall.txt
for i in 1 2 3 4 5 6 7 8 9 10; do cat analyses.foma.txt; done >analyses-wall.foma.txt
nanalyses=$(wc -l <analyses.txt)

echo "== same results" >&2
# One line per word: the word TAB its results sorted and joined by |; <tag> becomes [tag].
norm() {
  awk -F'\t' 'NF >= 2 { gsub(/<[^<>]*>/, "[&]", $1); gsub(/\[</, "[", $1); gsub(/>\]/, "]", $1)
                        gsub(/<[^<>]*>/, "[&]", $2); gsub(/\[</, "[", $2); gsub(/>\]/, "]", $2)
                        print $1 "\t" ($NF == "+?" ? "" : $2) }' | LC_ALL=C sort -u |
    awk -F'\t' '$1 != w { if (NR > 1) print w "\t" a; w = $1; a = $2; next }
                { a = a (a == "" || $2 == "" ? "" : "|") $2 } END { if (NR) print w "\t" a }'
}
"$vtm" lookup -t en.vtm <distinct.txt | norm >same.vtm
flookup -i en.foma <distinct.txt | norm >same.flookup
hfst-optimized-lookup en.hfstol <distinct.txt | norm >same.hfst
"$vtm" generate -t en.vtm <analyses.txt | norm >gen.vtm
flookup en.foma <analyses.foma.txt | norm >gen.flookup
hfst-optimized-lookup en-gen.hfstol <analyses.foma.txt | norm >gen.hfst
agree() { diff "$1" "$2" | grep -c '^>' || true; }
# The fitted codes change no result, nor its place in the list.
"$vtm" lookup -t en-arcs.vtm <tokens.txt >arcs-analysis.out
"$vtm" lookup -t en.vtm <tokens.txt | cmp -s - arcs-analysis.out && same_fit=yes || same_fit=NO
"$vtm" generate -t en-arcs.vtm <analyses.txt >arcs-generation.out
"$vtm" generate -t en.vtm <analyses.txt | cmp -s - arcs-generation.out || same_fit=NO
differ_analysis=$(agree same.flookup same.vtm)
differ_analysis_hfst=$(agree same.flookup same.hfst)
differ_generation=$(agree gen.flookup gen.vtm)
differ_generation_hfst=$(agree gen.flookup gen.hfst)

echo "== callgrind" >&2
# total NAME INPUT COMMAND...: instructions of the whole process, output discarded.
total() {
  local name=$1 input=$2
  shift 2
  valgrind --tool=callgrind --callgrind-out-file="$name.cg" "$@" <"$input" >/dev/null 2>"$name.err"
  awk '/^summary:/ { print $2 }' "$name.cg"
}
# walk NAME FUNCTION: calls of FUNCTION and its inclusive cost per call, from the callers'
# call records in NAME.cg.
walk() {
  awk -v fn="$2" '
    /^c?fn=/ { match($1, /\([0-9]+\)/); key = substr($1, RSTART, RLENGTH)
               if (index($0, fn)) id[key] = 1
               inwalk = $1 ~ /^cfn/ && id[key] == 1; next }
    /^calls=/ { if (inwalk) { split($1, c, "="); calls += c[2]; take = 1 } next }
    take { cost += $2; take = 0; inwalk = 0 }
    END { printf "%d\n", calls ? cost / calls : 0 }' "$1.cg"
}
a_vtm=$(total a-vtm tokens.txt "$vtm" lookup -t en.vtm)
a_vtm_nc=$(total a-vtm-nc tokens.txt "$vtm" lookup --no-cache -t en.vtm)
a_flookup=$(total a-flookup tokens.txt flookup -i en.foma)
a_hfst=$(total a-hfst tokens.txt hfst-optimized-lookup -f en.hfstol)
g_vtm=$(total g-vtm analyses.txt "$vtm" generate -t en.vtm)
g_vtm_nc=$(total g-vtm-nc analyses.txt "$vtm" generate --no-cache -t en.vtm)
g_flookup=$(total g-flookup analyses.foma.txt flookup en.foma)
g_hfst=$(total g-hfst analyses.foma.txt hfst-optimized-lookup -f en-gen.hfstol)
s_vtm=$(total s-vtm one.txt "$vtm" lookup -t en.vtm)
s_flookup=$(total s-flookup one.txt flookup -i en.foma)
s_hfst=$(total s-hfst one.txt hfst-optimized-lookup -f en.hfstol)
sg_vtm=$(total sg-vtm one-gen.txt "$vtm" generate -t en.vtm)
walk_a=$(walk a-vtm-nc 'vtm::LookupWalk(')
walk_g=$(walk g-vtm-nc 'vtm::InverseWalk(')
# Lookups that the memo left to do: calls of the library's lookup in the default run.
calls() {
  awk -v fn="$2" '/^c?fn=/ { match($1, /\([0-9]+\)/); key = substr($1, RSTART, RLENGTH)
                             if (index($0, fn)) id[key] = 1
                             inwalk = $1 ~ /^cfn/ && id[key] == 1; next }
                  /^calls=/ { if (inwalk) { split($1, c, "="); n += c[2] } }
                  END { print n + 0 }' "$1.cg"
}
looked_up=$(calls a-vtm 'vtm::LookupWalk(')
per() { echo $(($1 / $2)); }

echo "== wall time" >&2
ratio_a="" ratio_g="" ratio_a_nc="" ratio_g_nc=""
if command -v hyperfine >/dev/null; then
  hyperfine --style none --warmup 1 --runs "$runs" --export-json wall-a.json \
    -n vtm "$vtm lookup -t en.vtm < tokens-wall.txt > /dev/null" \
    -n vtm-nc "$vtm lookup --no-cache -t en.vtm < tokens-wall.txt > /dev/null" \
    -n flookup "flookup -i en.foma < tokens-wall.txt > /dev/null" \
    -n hfst "hfst-optimized-lookup -f en.hfstol < tokens-wall.txt > /dev/null" >/dev/null
  hyperfine --style none --warmup 1 --runs "$runs" --export-json wall-g.json \
    -n vtm "$vtm generate -t en.vtm < analyses-wall.txt > /dev/null" \
    -n vtm-nc "$vtm generate --no-cache -t en.vtm < analyses-wall.txt > /dev/null" \
    -n flookup "flookup en.foma < analyses-wall.foma.txt > /dev/null" \
    -n hfst "hfst-optimized-lookup -f en-gen.hfstol < analyses-wall.foma.txt > /dev/null" \
    >/dev/null
  # "wall ratio / CPU ratio" of each peer against vtm (peer time divided by vtm's time).
  ratios() {
    /usr/bin/python3 - "$1" <<'EOF'
import json, sys
r = {x["command"]: x for x in json.load(open(sys.argv[1]))["results"]}
cpu = lambda x: x["user"] + x["system"]
for v in (r["vtm"], r["vtm-nc"]):
    print(" ".join(f'{r[p]["median"] / v["median"]:.2f}x/{cpu(r[p]) / cpu(v):.2f}x'
                   for p in ("flookup", "hfst")))
print(" ".join(f'{r[p]["median"] * 1000:.0f}' for p in ("vtm", "vtm-nc", "flookup", "hfst")))
EOF
  }
  { read -r ratio_a; read -r ratio_a_nc; read -r ms_a; } < <(ratios wall-a.json)
  { read -r ratio_g; read -r ratio_g_nc; read -r ms_g; } < <(ratios wall-g.json)
fi

size() { stat -c %s "$1"; }
report=$(
  cat <<EOF
Measured $(date -u '+%Y-%m-%d %H:%M') UTC by \`bench/lookup_instructions.sh\` (release build,
$(nproc) cores, load average $(cut -d' ' -f1 /proc/loadavg)). Instructions are callgrind's
counts for the whole process divided by the words given; vtm's file holds analysis (12)
and generation (23) compiled from the lexicon section of apertium-en-es. "vtm" is the
command as it runs by default: its output memo answers a line seen before without a
lookup (the analysis run looked up $(printf "%'d" "$looked_up") of the words); "--no-cache" looks up
every line, and the walk's cost per call is from that run.

| work | vtm | vtm walk per call | flookup (foma) | hfst-optimized-lookup |
|---|---:|---:|---:|---:|
| analysis, $(printf "%'d" "$ntokens") Brown tokens, per word | $(printf "%'d" "$(per "$a_vtm" "$ntokens")") | | $(printf "%'d" "$(per "$a_flookup" "$ntokens")") (\`-i\`) | $(printf "%'d" "$(per "$a_hfst" "$ntokens")") |
| analysis, the same, \`--no-cache\` | $(printf "%'d" "$(per "$a_vtm_nc" "$ntokens")") | $(printf "%'d" "$walk_a") | | |
| generation, $(printf "%'d" "$nanalyses") analyses, per analysis | $(printf "%'d" "$(per "$g_vtm" "$nanalyses")") | | $(printf "%'d" "$(per "$g_flookup" "$nanalyses")") | $(printf "%'d" "$(per "$g_hfst" "$nanalyses")") |
| generation, the same, \`--no-cache\` | $(printf "%'d" "$(per "$g_vtm_nc" "$nanalyses")") | $(printf "%'d" "$walk_g") | | |
| start-up: load and analyse one word | $(printf "%'d" "$s_vtm") | | $(printf "%'d" "$s_flookup") | $(printf "%'d" "$s_hfst") |
| start-up: load and generate one word | $(printf "%'d" "$sg_vtm") | | | |

Wall time (hyperfine, median of $runs; peer's time / vtm's time, wall / CPU user+system):
analysis of $(printf "%'d" "$nwall") tokens ${ratio_a:-not measured (no hyperfine)}, with --no-cache ${ratio_a_nc:-?} (flookup -i, hfst; medians vtm/vtm --no-cache/flookup/hfst ${ms_a:-?} ms);
generation of the analyses ten times ${ratio_g:-not measured}, with --no-cache ${ratio_g_nc:-?} (flookup, hfst; ${ms_g:-?} ms).
Results differ from flookup's for $differ_analysis of $(wc -l <distinct.txt) distinct forms
(hfst: $differ_analysis_hfst) and for $differ_generation of $nanalyses analyses (hfst:
$differ_generation_hfst). Files: vtm analysis only $(printf "%'d" "$(size en-analysis.vtm)") bytes (codes fitted to
$(printf "%'d" "$(wc -l <code-sample.txt)") later Brown tokens; ranked by arc counts alone $(printf "%'d" "$(size en-analysis-arcs.vtm)"), the same
results byte for byte: $same_fit), with generation $(printf "%'d" "$(size en.vtm)"); foma $(printf "%'d" "$(size en.foma)"); hfst
$(printf "%'d" "$(size en.hfstol)") + generator $(printf "%'d" "$(size en-gen.hfstol)").
EOF
)
echo "$report"
if [ "$readme" != - ]; then
  /usr/bin/python3 - "$readme" "$report" <<'EOF'
import sys
path, table = sys.argv[1], sys.argv[2]
begin, end = "<!-- lookup-instructions:begin -->", "<!-- lookup-instructions:end -->"
text = open(path, encoding="utf-8").read()
block = f"{begin}\n{table}\n{end}"
if begin in text and end in text:
    text = text[: text.index(begin)] + block + text[text.index(end) + len(end):]
else:
    text = text.rstrip("\n") + "\n\n" + block + "\n"
open(path, "w", encoding="utf-8").write(text)
EOF
fi
