#!/usr/bin/env bash
# Creates the template Wine prefix that every Wine test copies: a fresh prefix with the
# null graphics driver (windows exist and can be read and closed without any display).
# Usage: make_template_prefix.sh PREFIX i386|amd64
# With $VTM_WINE_TEMPLATE naming a prefix this script made, the new one is a copy of it.
set -euo pipefail
prefix=$1 machine=$2 wine_dir=${VTM_WINE_DIR:-/usr/lib/wine}
case "$machine" in
  i386) loader=$wine_dir/wine; export WINEARCH=win32; unset WINELOADER ;;
  amd64) loader=$wine_dir/wine64; export WINEARCH=win64 WINELOADER=$wine_dir/wine64 ;;
esac
export WINESERVER=$wine_dir/wineserver64
[ -x "$WINESERVER" ] || WINESERVER=$wine_dir/wineserver32
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
rm -rf "$prefix"
mkdir -p "$(dirname "$prefix")"
if [ -n "${VTM_WINE_TEMPLATE:-}" ] && [ -f "$VTM_WINE_TEMPLATE/system.reg" ]; then
  # A ready prefix made by this script (the 32-bit Wine guest keeps one: making a prefix
  # takes minutes under emulation).
  cp -a "$VTM_WINE_TEMPLATE" "$prefix"
else
  "$loader" wineboot -i </dev/null >/dev/null 2>&1
  "$loader" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f </dev/null >/dev/null 2>&1
  # Everything written reaches the prefix's files when its server ends.
  "$WINESERVER" -w </dev/null >/dev/null 2>&1
fi
[ -f "$prefix/system.reg" ] && grep -q '"Graphics"="null"' "$prefix/user.reg"
echo "template prefix ready: $prefix"
