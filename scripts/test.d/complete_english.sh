#!/usr/bin/env bash
# Real-data check of partial-word expansion: the bundled English transducer's function 1
# is the surface side of the lexicon. For 200 random prefixes `vtm complete` (paging
# through a small output buffer) must list exactly the surface strings of the lexicon
# that begin with the prefix, as HFST enumerates them from the same AT&T text, without
# and with length limits, and with a skip count. Skips (status 0, reason printed) when
# the English data or HFST is not available.
set -uo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
build=${VTM_BUILD_DIR:-$root/build/release}
work=$build/complete-english
skip() { echo "complete_english: SKIPPED: $*"; exit 0; }
fail() { echo "complete_english: FAILED: $*"; exit 1; }

vtm=$build/cli/vtm
english=$build/share/vtmrt/english.vtm
lexicon=$build/english/lexicon.att
[ -x "$vtm" ] || skip "$vtm is not built"
mkdir -p "$build/complete-english"
bash scripts/deps.sh peers >"$build/complete-english/deps.log" 2>&1 ||
  skip "the peer packages cannot be installed ($(tail -1 "$build/complete-english/deps.log"))"
if [ ! -f "$english" ] || [ ! -f "$lexicon" ]; then
  # Configured again: the target exists only once the English data is installed.
  { cmake -S "$root" -B "$build" && cmake --build "$build" --target english_data; } \
    >"$build/complete-english/english_data.log" 2>&1 ||
    skip "the English transducer cannot be built (apertium-en-es and lt-print needed)"
fi
[ -f "$english" ] && [ -f "$lexicon" ] || skip "no English transducer in $build"
for tool in hfst-txt2fst hfst-project hfst-minimize hfst-fst2strings python3; do
  command -v "$tool" >/dev/null || skip "$tool is not installed"
done
mkdir -p "$work"
# Every surface string of the lexicon (UTF-8).
hfst-txt2fst -i "$lexicon" | hfst-project -p input | hfst-minimize | hfst-fst2strings \
  >"$work/surface.txt" || fail "hfst could not enumerate the surface strings"

python3 - "$vtm" "$english" "$work/surface.txt" <<'PY' || exit 1
import random, subprocess, sys
vtm, english, surface = sys.argv[1:4]
words = set()
for line in open(surface, encoding="utf-8"):
    word = line.rstrip("\n")
    try:
        word.encode("cp1252")  # the transducer drops what code page 1252 cannot hold
    except UnicodeEncodeError:
        continue
    words.add(word)
words = sorted(words)
rng = random.Random(7)
prefixes = set()
while len(prefixes) < 200:
    w = rng.choice(words)
    prefixes.add(w[: rng.randint(1, min(4, len(w)))])

def complete(prefix, *options):
    run = subprocess.run([vtm, "complete", "-t", english, "--page", "512", *options],
                         input=prefix + "\n", capture_output=True, text=True, encoding="utf-8")
    if run.returncode != 0:
        sys.exit(f"complete_english: FAILED: vtm complete {prefix!r}: {run.stderr.strip()}")
    return set(run.stdout.splitlines())

checks = [((), lambda w, p: w.startswith(p)),
          (("--min", "4", "--max", "9"), lambda w, p: w.startswith(p) and 4 <= len(w) < 9),
          (("--skip", "1", "--max", "12"), lambda w, p: w[1:].startswith(p) and len(w) < 12)]
failures = 0
listed = 0
for options, holds in checks:
    for prefix in sorted(prefixes):
        if options and options[0] == "--skip" and len(prefix) > 2:
            continue  # a shorter infix set keeps the run short
        got = complete(prefix, *options)
        want = {w for w in words if holds(w, prefix)}
        listed += len(got)
        if got != want:
            failures += 1
            if failures <= 5:
                print(f"complete_english: {prefix!r} {' '.join(options)}: "
                      f"{len(got - want)} extra, e.g. {sorted(got - want)[:3]}; "
                      f"{len(want - got)} missing, e.g. {sorted(want - got)[:3]}")
if failures:
    sys.exit(f"complete_english: FAILED: {failures} prefix runs differ from the surface strings")
print(f"complete_english: {len(prefixes)} prefixes, {listed} words listed, all equal to HFST's")
PY
