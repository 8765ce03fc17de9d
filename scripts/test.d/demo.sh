#!/usr/bin/env bash
# The main job end to end: scripts/demo.sh (installs the English data, builds, compiles the
# English transducer and tokenizers, runs the demo), then checks a few of its answers
# (analyses, generation, the tokenized HTML page, the phrases of vtm chunk) and that a second run does not compile
# the transducer again.
set -euo pipefail
cd "$(dirname "$0")/../.."
log=$(mktemp)
trap 'rm -f "$log"' EXIT
bash scripts/demo.sh > "$log" 2>&1 || { cat "$log"; exit 1; }
english=build/release/share/vtmrt/english.vtm
vtm=build/release/cli/vtm
for want in '  children           child' '  go[vblex][past]    went' 'Coverage: ' \
  "  The old keeper didn't hurry ." '  At 6:30 a.m. the boats went out ; by noon'; do
  grep -qF -- "$want" "$log" || { echo "demo output lacks '$want'"; cat "$log"; exit 1; }
done
# With the English tagger (the Brown corpus installed), the demo ends with vtm chunk.
if [ -f build/release/share/vtmrt/english-tagger.model ]; then
  for want in '  [np The/at old/jj lighthouse/nn keeper/nn ] [vp walked/vbd ]' \
    '  [np The/at old/jj keeper/nn ] [vp didn'"'"'t/dod* hurry/vb ] ./.'; do
    grep -qF -- "$want" "$log" || { echo "demo output lacks '$want'"; cat "$log"; exit 1; }
  done
fi
got=$(echo houses | "$vtm" lookup)
[ "$got" == $'houses\thouse[n][pl]\nhouses\thouse[vblex][pri][p3][sg]' ] ||
  { echo "echo houses | vtm lookup printed:"; echo "$got"; exit 1; }
before=$(stat -c %Y "$english")
sleep 1
bash scripts/demo.sh > "$log" 2>&1
[ "$(stat -c %Y "$english")" == "$before" ] || { echo "the English transducer was rebuilt"; exit 1; }
echo "demo: ok"
