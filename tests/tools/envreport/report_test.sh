#!/usr/bin/env bash
# envreport run as a process: the report on standard output without a display, byte for byte
# except the free-memory figures; the same text handed to zenity when there is a display.
# Usage: report_test.sh <envreport> <regtool>
source "$(dirname "$0")/../common/harness.sh"
envreport=$1 regtool=$2
fakebin=$(cd "$(dirname "$0")/fakebin" && pwd)
export FAKE_LOG="$scratch/zenity-args"

# The expected text, with the memory line replaced by the pattern it must match.
IFS=. read -r major minor patch _ <<<"$(uname -r | sed 's/[^0-9.].*//')"
platform="Platform: $(uname -s) $((10#${major:-0})).$((10#${minor:-0}))   Build: $((10#${patch:-0}))   ServicePack: "
host=$(uname -n)
memory_pattern='^Memory: ([0-9]+) \(([0-9]+) free\)   Virtual: ([0-9]+) \(([0-9]+) free\)$'
total_ram=$(($(getconf _PHYS_PAGES) * $(getconf PAGESIZE)))

# check_report CASE TEXT VERSION-LINE: the exact text with the memory line masked, then the
# memory figures.
check_report() {
  local masked memory_line
  masked=$(printf '%s' "$2" | sed '4s/.*/MEMORY/'; printf x)
  same "$1: report" $'\n'"$platform"$'\n\nMEMORY\n\nHostname: '"$host"$'\n'"$3"$'\n\n\n' \
    "${masked%x}"
  memory_line=$(printf '%s' "$2" | sed -n 4p)
  if [[ $memory_line =~ $memory_pattern ]]; then
    same "$1: total memory in bytes (beyond 31 bits as it is)" "$total_ram" \
      "${BASH_REMATCH[1]}"
    [ "${BASH_REMATCH[2]}" -le "${BASH_REMATCH[1]}" ] &&
      [ "${BASH_REMATCH[4]}" -le "${BASH_REMATCH[3]}" ] || fail "$1: free above total"
  else
    fail "$1: memory line '$memory_line'"
  fi
}

run "$envreport"
[ "$status" = 0 ] || fail "no version: exit status $status"
same "no version: stderr" "" "$err"
check_report "no version" "$out" ""

"$regtool" set-string 0 version "7.4.1 (build 2210)"
run "$envreport"
[ "$status" = 0 ] || fail "version: exit status $status"
check_report "version" "$out" "Corvane version: 7.4.1 (build 2210)"

# A display and zenity: the report goes to the dialog, nothing to standard output.
DISPLAY=:7 PATH="$fakebin:$PATH" run "$envreport"
expect "dialog" 0 "" ""
mapfile -d '' args <"$FAKE_LOG"
same "dialog arguments" "--info|--title|System Info|--no-markup|--text" \
  "$(IFS='|'; echo "${args[*]:0:5}")"
check_report "dialog text" "${args[5]}" "Corvane version: 7.4.1 (build 2210)"
[ "${#args[@]}" = 6 ] || fail "dialog: ${#args[@]} arguments"

# A dialog that could not be shown (zenity failing, or missing) leaves the report on stdout.
FAKE_ZENITY_STATUS=255 WAYLAND_DISPLAY=wayland-0 PATH="$fakebin:$PATH" run "$envreport"
[ "$status" = 0 ] || fail "zenity fails: exit status $status"
check_report "zenity fails" "$out" "Corvane version: 7.4.1 (build 2210)"
DISPLAY=:7 PATH="$scratch/nothing" run "$envreport"
[ "$status" = 0 ] || fail "no zenity: exit status $status"
check_report "no zenity" "$out" "Corvane version: 7.4.1 (build 2210)"

# A broken store only loses the version line.
export CORVANE_REGISTRY="$scratch/broken"
echo "not a database" >"$CORVANE_REGISTRY"
run "$envreport"
[ "$status" = 0 ] || fail "broken store: exit status $status"
check_report "broken store" "$out" ""

finish
