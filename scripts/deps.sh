#!/usr/bin/env bash
# Installs the Debian packages that building and testing need, if any are missing.
# Idempotent and non-interactive. Usage: scripts/deps.sh [group...]
#   groups: build (default), english (the English data the demo compiles: apertium-en-es,
#   and lt-print from lttoolbox-dev), peers (English data and the open-source peers), windows
set -euo pipefail

build_pkgs=(build-essential cmake pkg-config libgtest-dev libgmock-dev libbenchmark-dev
  libcli11-dev libfmt-dev nlohmann-json3-dev libsqlite3-dev sqlite3 libpython3-dev python3
  clang-14 libclang-rt-14-dev binutils)
english_pkgs=(apertium-en-es lttoolbox lttoolbox-dev)
peers_pkgs=(apertium-en-es lttoolbox lttoolbox-dev foma hfst hyperfine nodejs npm)
windows_pkgs=(g++-mingw-w64-i686 g++-mingw-w64-x86-64 googletest wine wine32:i386 wine64)

groups=("$@")
[ ${#groups[@]} -eq 0 ] && groups=(build)

wanted=()
for g in "${groups[@]}"; do
  case "$g" in
    build) wanted+=("${build_pkgs[@]}") ;;
    english) wanted+=("${english_pkgs[@]}") ;;
    peers) wanted+=("${peers_pkgs[@]}") ;;
    windows) wanted+=("${windows_pkgs[@]}") ;;
    *) echo "deps.sh: unknown group $g" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${wanted[@]}"; do
  # Node.js from other sources bundles npm, and Debian's npm package conflicts with it.
  [ "$p" = npm ] && command -v npm >/dev/null && continue
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
for p in "${missing[@]}"; do
  if [[ "$p" == *:i386 ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
  fi
done
echo "Installing: ${missing[*]}" >&2
$SUDO apt-get update -qq || true
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
