#!/usr/bin/env bash
# Checks the export table of the built vtmrt.dll: it exports exactly the functions that
# the public header declares, each by the name and ordinal that the .def file gives, and
# every alias line "alias=target @N" is a second name of the target's code (same address).
# Usage: check_pe_exports.sh OBJDUMP HEADER DEF DLL
set -euo pipefail
objdump=$1 header=$2 def=$3 dll=$4
tmp=$(mktemp -d); trap 'rm -rf "$tmp"' EXIT

grep -E '^VTMRT_API ' "$header" | sed -E 's/\(.*//; s/.*[ *]([A-Za-z_][A-Za-z0-9_]*)$/\1/' |
  sort -u > "$tmp/header"

# .def lines: "name @N" or "alias=target @N" -> "name N target" (target = name itself).
awk '/^[[:space:]]+[A-Za-z_]/ {
       name = $1; target = name
       if (index(name, "=")) { target = substr(name, index(name, "=") + 1); sub(/=.*/, "", name) }
       ord = $NF; sub(/@/, "", ord)
       print name, ord + 0, target
     }' "$def" | sort > "$tmp/def"

# Export table -> "name ordinal rva", ordinal = index + ordinal base.
"$objdump" -p "$dll" > "$tmp/dump"
awk '/^Ordinal Base/ { base = $3 + 0 }
     /^Export Address Table -- / { part = "eat"; next }
     /^\[Ordinal\/Name Pointer\] Table/ { part = "names"; next }
     /^$/ { part = "" }
     part == "eat" && /Export RVA/ {
       line = $0; gsub(/[][]/, " ", line); split(line, f, " ")
       rva[f[1] + 0] = f[4]
     }
     part == "names" {
       line = $0; gsub(/[][]/, " ", line); split(line, f, " ")
       names[f[2]] = f[1] + 0
     }
     END { for (n in names) print n, names[n] + base, rva[names[n]] }' "$tmp/dump" |
  sort > "$tmp/dll"

status=0
[ -s "$tmp/dll" ] || { echo "no export table found in $dll"; exit 1; }
cut -d' ' -f1 "$tmp/def" | sort -u > "$tmp/def_names"
cut -d' ' -f1 "$tmp/dll" | sort -u > "$tmp/dll_names"
if ! diff -u "$tmp/header" "$tmp/def_names" > "$tmp/d"; then
  echo "header and .def differ (- header, + def):"; cat "$tmp/d"; status=1
fi
if ! diff -u "$tmp/def_names" "$tmp/dll_names" > "$tmp/d"; then
  echo ".def and DLL export names differ (- def, + dll):"; cat "$tmp/d"; status=1
fi

# Ordinals and aliases.
while read -r name ord target; do
  got=$(awk -v n="$name" '$1 == n { print $2, $3 }' "$tmp/dll")
  [ -n "$got" ] || continue
  read -r got_ord got_rva <<< "$got"
  if [ "$got_ord" != "$ord" ]; then
    echo "$name: ordinal $got_ord in the DLL, $ord in the .def"; status=1
  fi
  if [ "$target" != "$name" ]; then
    target_rva=$(awk -v n="$target" '$1 == n { print $3 }' "$tmp/dll")
    if [ -z "$target_rva" ] || [ "$target_rva" != "$got_rva" ]; then
      echo "$name: not the same function as $target (address $got_rva vs ${target_rva:-none})"
      status=1
    fi
  fi
done < "$tmp/def"

[ "$status" -eq 0 ] && echo "PE exports OK: $(wc -l < "$tmp/dll") names with their ordinals"
exit $status
