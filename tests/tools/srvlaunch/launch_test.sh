#!/usr/bin/env bash
# srvlaunch run as a process with fake systemctl and xdg-open first on PATH: one case group per
# run, chosen by the first argument, so the slow waits run in parallel. Waits are checked from
# below exactly (pauses are never shorter); the upper bounds only catch gross errors, as a
# loaded machine stretches every attempt.
# Usage: launch_test.sh <case> <srvlaunch> <regtool>
#   cases: start (service states, shell results), late_hostname, no_settings, no_shortcut_file
source "$(dirname "$0")/../common/harness.sh"
case_name=$1 srvlaunch=$2 regtool=$3
fakebin=$(cd "$(dirname "$0")/fakebin" && pwd)
export PATH="$fakebin:$PATH" FAKE_LOG="$scratch/calls"
unit=corvane-server.service
mkdir -p "$scratch/data" "$scratch/inst/bin/x"

# Runs srvlaunch from inst/bin/x (it moves two levels up, to inst) with a fresh call log.
# Only shell built-ins here: some cases run it with a PATH that has nothing but the fakes.
launch() {
  : >"$FAKE_LOG"
  run "$BASH" -c 'cd "$1" && exec "$2" </dev/null' - "$scratch/inst/bin/x" "$srvlaunch"
  slurp calls "$FAKE_LOG"
}

shortcut_is() {  # CASE URL PATH
  local content
  slurp content "$3"
  same "$1: shortcut" $'[InternetShortcut]\nurl='"$2"$'\n' "$content"
}

settings() {  # port host data_dir
  "$regtool" set-number 0 port "$1"
  "$regtool" set-string 0 hostname "$2"
  "$regtool" set-string 0 data_dir "$3"
}

case "$case_name" in
start)
  # Already running (start succeeds at once): shortcut written, its URL opened.
  settings 8080 web.example "$scratch/data/"
  launch
  expect "already running" 0 "" ""
  same "already running: calls" "systemctl show --property=LoadState --value $unit
systemctl start $unit
xdg-open http://web.example:8080/admin
" "$calls"
  shortcut_is "already running" http://web.example:8080/admin "$scratch/data//srvlaunch.url"

  # A relative data directory counts from two levels above the starting directory.
  "$regtool" set-string 0 data_dir rel
  mkdir -p "$scratch/inst/rel"
  launch
  expect "relative data dir" 0 "" ""
  shortcut_is "relative data dir" http://web.example:8080/admin "$scratch/inst/rel/srvlaunch.url"

  FAKE_LOAD_STATE=not-found launch
  expect "unknown unit" 10 "" ""
  same "unknown unit: not started" "systemctl show --property=LoadState --value $unit
" "$calls"

  FAKE_START_STATUS=1 launch
  expect "start fails" 11 "" ""
  same "start fails: nothing opened" "systemctl show --property=LoadState --value $unit
systemctl start $unit
" "$calls"

  FAKE_OPEN_STATUS=3 launch
  expect "browser cannot be opened: xdg-open's status" 3 "" ""
  mkdir -p "$scratch/no-xdg-open"
  ln -s "$fakebin/systemctl" "$scratch/no-xdg-open/"
  PATH="$scratch/no-xdg-open" launch
  expect "no xdg-open: no program associated" 31 "" ""

  # No service manager: message, a line read from standard input, status 1.
  no_manager=$'OpenSCManager failed.\nError exit: 1\n'
  PATH="$scratch/empty" run "$srvlaunch" </dev/null
  expect "no systemctl at all" 1 "" "$no_manager"
  mkfifo "$scratch/stdin"
  (FAKE_MANAGER=down PATH="$fakebin" "$srvlaunch" <"$scratch/stdin" >"$scratch/nm.out" \
    2>"$scratch/nm.err"; echo $? >"$scratch/nm.status") &
  exec 3>"$scratch/stdin"
  sleep 1
  [ -e "$scratch/nm.status" ] && fail "no service manager: did not wait for a line"
  echo "any key" >&3
  exec 3>&-
  wait
  status=$(cat "$scratch/nm.status")
  slurp out "$scratch/nm.out"
  slurp err "$scratch/nm.err"
  expect "systemd unreachable" 1 "" "$no_manager"
  ;;
late_hostname)
  # The service stores its host name 2.5 s after starting: attempts at 0, 1 and 2 s miss it,
  # the fourth at 3 s finds it.
  "$regtool" set-number 0 port 9090
  "$regtool" set-string 0 data_dir "$scratch/data"
  export FAKE_ON_START="sleep 2.5; '$regtool' set-string 0 hostname late.example"
  launch
  end=$(now)
  expect "hostname after three seconds" 0 "" ""
  within "fourth attempt" "$(cat "$FAKE_LOG.started")" "$end" 3.0 7.0
  shortcut_is "late host name" http://late.example:9090/admin "$scratch/data/srvlaunch.url"
  ;;
no_settings)
  # The host name never appears: ten attempts, nine pauses, status 1, nothing written.
  "$regtool" set-number 0 port 9090
  "$regtool" set-string 0 data_dir "$scratch/data"
  start=$(now)
  launch
  end=$(now)
  expect "settings never complete" 1 "" ""
  within "ten attempts one second apart" "$start" "$end" 9.0 14.0
  [ -e "$scratch/data/srvlaunch.url" ] && fail "shortcut written without settings"
  case "$calls" in *xdg-open*) fail "browser opened without settings" ;; esac
  ;;
no_shortcut_file)
  # The data directory does not exist: ten attempts at creating the file, then status 1.
  settings 8080 web.example "$scratch/missing"
  start=$(now)
  launch
  end=$(now)
  expect "shortcut cannot be created" 1 "" ""
  within "ten attempts one second apart" "$start" "$end" 9.0 14.0
  case "$calls" in *xdg-open*) fail "browser opened without a shortcut" ;; esac
  ;;
*)
  fail "unknown case $case_name" ;;
esac

finish
