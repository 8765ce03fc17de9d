#!/usr/bin/env bash
# Runs a Windows program under Wine: the cross builds' CMAKE_CROSSCOMPILING_EMULATOR.
# Usage: run.sh PROGRAM.exe [ARG...]      exit status is the program's
#        run.sh --probe i386|amd64       exit 0 when programs of that machine can run here
#
# The Wine loader (32- or 64-bit) follows the program's PE machine field. The prefix is
# $WINEPREFIX, or a per-machine default under $TMPDIR that is created on first use. The
# first call per prefix starts a wineserver that stays 60 s after its last client, and
# Wine's helper processes with every stream discarded: helpers started by a test would
# inherit its pipes and keep ctest waiting for their end.
set -euo pipefail

wine_dir=${VTM_WINE_DIR:-/usr/lib/wine}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

pe_machine() {  # prints i386, amd64 or unknown for a PE file
  local off
  off=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ') || off=""
  [ -n "$off" ] || { echo unknown; return; }
  case "$(od -An -tx2 -j$((off + 4)) -N2 "$1" | tr -d ' ')" in
    014c) echo i386 ;;
    8664) echo amd64 ;;
    *) echo unknown ;;
  esac
}

select_loader() {  # sets loader, WINELOADER, WINEARCH and the wineserver for a machine
  case "$1" in
    i386)
      loader=$wine_dir/wine
      export WINEARCH=win32
      unset WINELOADER
      ;;
    amd64)
      loader=$wine_dir/wine64
      export WINEARCH=win64 WINELOADER=$wine_dir/wine64
      ;;
    *) echo "run.sh: not a 32- or 64-bit x86 Windows program" >&2; exit 126 ;;
  esac
  if [ -x "$wine_dir/wineserver64" ]; then
    export WINESERVER=$wine_dir/wineserver64
  else
    export WINESERVER=$wine_dir/wineserver32
  fi
}

if [ "${1:-}" = "--probe" ]; then
  select_loader "${2:-}"
  # A 32-bit loader cannot start on a kernel without 32-bit user mode (ENOEXEC).
  exec "$loader" --version </dev/null >/dev/null 2>&1
fi

[ $# -ge 1 ] || { echo "usage: run.sh PROGRAM.exe [ARG...]" >&2; exit 2; }
select_loader "$(pe_machine "$1")"
export WINEPREFIX=${WINEPREFIX:-${TMPDIR:-/tmp}/vtmrt-wine-$(id -u)/$WINEARCH}

mkdir -p "$(dirname "$WINEPREFIX")"
(
  flock 9
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    "$loader" wineboot -i </dev/null >/dev/null 2>&1 9>&-
    "$WINESERVER" -w 9>&-
  fi
  # The server and helpers outlive this script: they must not hold the lock (fd 9).
  if "$WINESERVER" -p60 </dev/null >/dev/null 2>&1 9>&-; then
    "$loader" cmd /c exit </dev/null >/dev/null 2>&1 9>&- || true
  fi
) 9>"$WINEPREFIX.lock"

exec "$loader" "$@"
