#!/usr/bin/env bash
# srvlaunch against Wine's service control manager with a real test service named
# "Corvane Server" (created with sc), and the shell's "open" recorded by pointing Wine's
# browser launcher (HKCU\Software\Wine\WineBrowser) at a logging script.
# Usage: srvlaunch_wine_test.sh HARNESS TEMPLATE_PREFIX MACHINE SRVLAUNCH_EXE SERVICE_EXE
set -uo pipefail
source "$1"
wine_setup "$2" "$3"
srvlaunch=$4 service_exe=$5
key='HKLM\SOFTWARE\Meridane\CorvaneServer\0'
service="Corvane Server"

data=$work/data
mkdir -p "$data"
browser_log=$work/browser.log
printf '#!/bin/sh\nprintf "%%s\\n" "$@" >> "%s"\n' "$browser_log" > "$work/browser.sh"
chmod +x "$work/browser.sh"
: > "$browser_log"
wine reg add 'HKCU\Software\Wine\WineBrowser' /v Browsers /d "$work/browser.sh" /f </dev/null >/dev/null 2>&1
wine reg add "$key" /v port /t REG_DWORD /d 8080 /f </dev/null >/dev/null 2>&1
wine reg add "$key" /v data_dir /d "$(win_path "$data")" /f </dev/null >/dev/null 2>&1

launch() {  # runs srvlaunch; sets status and seconds
  local start=$SECONDS
  wine "$srvlaunch" </dev/null >"$work/out" 2>&1
  status=$?
  seconds=$((SECONDS - start))
}
# Waits (up to 10 s) for the browser to have been started N times in all.
browser_calls() {
  for _ in $(seq 50); do
    [ "$(wc -l < "$browser_log")" -ge "$1" ] && break
    sleep 0.2
  done
  cat "$browser_log"
}

launch
check "no such service: status 10" 10 "$status"
check "no message for status 10" "" "$(cat "$work/out")"

create_service() {  # Wine's sc has no "config": the service is made anew per start type
  wine sc delete "$service" </dev/null >/dev/null 2>&1
  wine sc create "$service" binpath= "$(win_path "$service_exe") svhost" start= "$1" \
    </dev/null >/dev/null 2>&1
  check "test service created ($1)" 0 "$?"
}
create_service disabled
launch
check "service cannot be started: status 11" 11 "$status"
check "no shortcut without the service" no "$([ -e "$data/srvlaunch.url" ] && echo yes || echo no)"

# The service stores its host name three seconds after it started: the launcher's first
# three reads miss it, the fourth finds it.
create_service demand
launch
check "service started: status 0" 0 "$status"
check "waited for the host name (at least 3 s, well under ten attempts)" yes \
  "$([ "$seconds" -ge 3 ] && [ "$seconds" -le 8 ] && echo yes || echo "no: $seconds s")"
check "shortcut file, two lines in text mode" \
  "$(printf '[InternetShortcut]\r\nurl=http://svhost:8080/admin\r')" "$(cat "$data/srvlaunch.url")"
check "browser opened the administration page" "http://svhost:8080/admin" "$(browser_calls 1)"

# Already running: goes straight on; a trailing backslash doubles before the file name,
# which Windows reads as one separator.
wine reg add "$key" /v data_dir /d "$(win_path "$data")\\" /f </dev/null >/dev/null 2>&1
wine reg add "$key" /v port /t REG_DWORD /d 9191 /f </dev/null >/dev/null 2>&1
rm -f "$data/srvlaunch.url"
launch
check "service already running: status 0" 0 "$status"
check "no long wait when the settings are there" yes \
  "$([ "$seconds" -le 5 ] && echo yes || echo "no: $seconds s")"
check "shortcut rewritten with the new port" "url=http://svhost:9191/admin" \
  "$(tr -d '\r' < "$data/srvlaunch.url" | sed -n 2p)"
check "browser opened again" "http://svhost:8080/admin
http://svhost:9191/admin" "$(browser_calls 2)"

# Settings that never appear: ten attempts one second apart, then status 1.
wine reg delete "$key" /v hostname /f </dev/null >/dev/null 2>&1
launch
check "host name missing: status 1" 1 "$status"
check "ten attempts, nine pauses of a second" yes \
  "$([ "$seconds" -ge 9 ] && [ "$seconds" -le 20 ] && echo yes || echo "no: $seconds s")"

finish
