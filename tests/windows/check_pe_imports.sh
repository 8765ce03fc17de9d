#!/usr/bin/env bash
# Checks built Windows files: each is a PE image for the expected machine and imports only
# DLLs that every Windows system has (no MinGW runtime DLL: libgcc, libstdc++ and
# winpthreads are linked statically). Optional "FILE:gui" / "FILE:console" also checks
# the subsystem; "--allow NAME.dll" accepts one more DLL (the project's own, for clients).
# Usage: check_pe_imports.sh OBJDUMP i386|amd64 [--allow NAME.dll] FILE[:gui|:console]...
set -euo pipefail
objdump=$1 machine=$2
shift 2
system_dlls=" kernel32.dll user32.dll advapi32.dll shell32.dll msvcrt.dll "
if [ "${1:-}" = "--allow" ]; then
  system_dlls+="$(tr '[:upper:]' '[:lower:]' <<< "$2") "
  shift 2
fi
case "$machine" in
  i386) format=pei-i386 ;;
  amd64) format=pei-x86-64 ;;
  *) echo "unknown machine $machine"; exit 2 ;;
esac

status=0
for arg in "$@"; do
  file=${arg%%:*} want=""
  [ "$arg" != "$file" ] && want=${arg##*:}
  dump=$("$objdump" -p "$file")
  if ! grep -q "file format $format\$" <<< "$dump"; then
    echo "$file: not a $format image"; status=1
  fi
  while read -r dll; do
    lower=$(tr '[:upper:]' '[:lower:]' <<< "$dll")
    if [[ "$system_dlls" != *" $lower "* ]]; then
      echo "$file imports $dll, which is not a system DLL"; status=1
    fi
  done < <(sed -n 's/^[[:space:]]*DLL Name: //p' <<< "$dump")
  subsystem=$(sed -n 's/^Subsystem[[:space:]]*[0-9a-f]*[[:space:]]*(\(.*\))$/\1/p' <<< "$dump")
  case "$want" in
    gui) [ "$subsystem" = "Windows GUI" ] || { echo "$file: subsystem $subsystem, not GUI"; status=1; } ;;
    console) [ "$subsystem" = "Windows CUI" ] || { echo "$file: subsystem $subsystem, not console"; status=1; } ;;
  esac
done
[ "$status" -eq 0 ] && echo "PE files OK: $#, $format, system imports only"
exit $status
