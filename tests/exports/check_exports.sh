#!/usr/bin/env bash
# Checks that the shared library exports exactly the functions the public header
# declares, and that the .def export list (with ordinals) names the same functions.
set -euo pipefail
header=$1 def=$2 lib=$3
tmp=$(mktemp -d); trap 'rm -rf "$tmp"' EXIT

# Declarations: "VTMRT_API <type> <name>(" possibly with pointer stars.
grep -E '^VTMRT_API ' "$header" | sed -E 's/\(.*//; s/.*[ *]([A-Za-z_][A-Za-z0-9_]*)$/\1/' |
  sort -u > "$tmp/header"
grep -E '^[[:space:]]+[A-Za-z_][A-Za-z0-9_]*' "$def" | sed -E 's/^[[:space:]]+([A-Za-z0-9_]+).*/\1/' |
  sort -u > "$tmp/def"
nm -D --defined-only "$lib" | awk '$2 ~ /^[TWiV]$/ {print $3}' | sed 's/@.*//' | sort -u > "$tmp/lib"

status=0
if ! diff -u "$tmp/header" "$tmp/def" > "$tmp/d1"; then
  echo "header and .def differ (- header, + def):"; cat "$tmp/d1"; status=1
fi
if ! diff -u "$tmp/header" "$tmp/lib" > "$tmp/d2"; then
  echo "header and library exports differ (- header, + library):"; cat "$tmp/d2"; status=1
fi

# Ordinals: camelCase names in 1-72, snake_case names in 200-272, none used twice.
awk '/^[[:space:]]+[A-Za-z_]/ {
       name=$1; sub(/=.*/, "", name); ord=$NF; sub(/@/, "", ord); ord += 0
       if (seen[ord]++) { print "ordinal used twice: " ord; bad=1 }
       snake = (name ~ /^vtm_/)
       if (snake && (ord < 200 || ord > 272)) { print "snake_case ordinal out of range: " name " " ord; bad=1 }
       if (!snake && (ord < 1 || ord > 72)) { print "camelCase ordinal out of range: " name " " ord; bad=1 }
     }
     END { exit bad }' "$def" || status=1

[ "$status" -eq 0 ] && echo "exports OK: $(wc -l < "$tmp/header") names"
exit $status
