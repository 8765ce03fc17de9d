# Sourced by the Wine tests of the administration programs. wine_setup gives the test a
# fresh Wine prefix, a copy of the template prefix (cp -a: a copy, never hard links, so
# nothing the test writes reaches the template), with its own wineserver kept alive for
# the whole test (services die about a second after the last Wine process otherwise) and
# Wine's helper processes started once with every stream discarded (helpers started later
# by a test program would inherit the test's pipes and keep ctest waiting). The exit trap
# stops that server with everything it runs and removes the prefix.
#
#   wine_setup TEMPLATE_PREFIX i386|amd64
#   wine PROGRAM [ARG...]           runs a Windows program (or built-in command) there
#   win_path UNIX_PATH              prints the path as Windows programs see it (Z:\...)
#   check WHAT EXPECTED ACTUAL      compares, prints a diff and counts failures
#   finish                          prints the summary; exit status 1 on any failure

wine_setup() {
  local template=$1 machine=$2 wine_dir=${VTM_WINE_DIR:-/usr/lib/wine}
  case "$machine" in
    i386) wine_loader=$wine_dir/wine; unset WINELOADER ;;
    amd64) wine_loader=$wine_dir/wine64; export WINELOADER=$wine_loader ;;
    *) echo "unknown machine $machine" >&2; exit 2 ;;
  esac
  export WINESERVER=$wine_dir/wineserver64
  [ -x "$WINESERVER" ] || WINESERVER=$wine_dir/wineserver32
  export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  [ -f "$template/system.reg" ] || { echo "no template prefix at $template" >&2; exit 2; }
  work=$(mktemp -d "${TMPDIR:-/tmp}/vtm-wine-test.XXXXXX")
  export WINEPREFIX=$work/prefix
  trap wine_teardown EXIT
  cp -a "$template" "$WINEPREFIX"
  "$WINESERVER" -p </dev/null >/dev/null 2>&1
  "$wine_loader" cmd /c exit </dev/null >/dev/null 2>&1
  failures=0 checks=0
}

wine_teardown() {
  "$WINESERVER" -k </dev/null >/dev/null 2>&1 || true
  "$WINESERVER" -w </dev/null >/dev/null 2>&1 || true
  rm -rf "$work"
}

wine() { "$wine_loader" "$@"; }

win_path() { printf 'Z:%s' "$(tr / '\\' <<< "$1")"; }

check() {
  checks=$((checks + 1))
  if [ "$2" != "$3" ]; then
    failures=$((failures + 1))
    echo "FAIL: $1"
    diff <(printf '%s\n' "$2") <(printf '%s\n' "$3") | sed 's/^/    /'
  fi
}

finish() {
  echo "$((checks - failures)) passed, $failures failed"
  [ "$failures" -eq 0 ]
}
