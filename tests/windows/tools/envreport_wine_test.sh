#!/usr/bin/env bash
# envreport under Wine with the null graphics driver: its message box exists and is read
# and closed by a helper program (found by its title "System Info"). "ipconfig" is run
# through the command interpreter, which finds the ipconfig.bat of the working directory
# first: it prints the host name on line 4 as Windows' ipconfig does.
# Usage: envreport_wine_test.sh HARNESS TEMPLATE_PREFIX MACHINE ENVREPORT_EXE READER_EXE
set -uo pipefail
source "$1"
wine_setup "$2" "$3"
envreport=$4 reader=$5
key='HKLM\SOFTWARE\Meridane\CorvaneServer\0'

cd "$work"
printf '%s\r\n' '@echo off' 'echo.' 'echo Windows IP Configuration' 'echo.' \
  'echo    Host Name . . . . . . . . . . . . : report-host' \
  'echo    Primary Dns Suffix  . . . . . . . : example.test' > ipconfig.bat

show_report() {  # runs envreport and the reader; sets report (LF line ends) and statuses
  wine "$envreport" </dev/null >/dev/null 2>&1 &
  local program=$!
  report=$(wine "$reader" "System Info" 30 </dev/null 2>"$work/reader.err"; echo ".$?")
  reader_status=${report##*.}
  report=${report%.*}
  wait "$program"
  program_status=$?
}

product_type=$(wine reg query 'HKLM\SYSTEM\CurrentControlSet\Control\ProductOptions' \
  /v ProductType </dev/null 2>/dev/null | tr -d '\r' | awk '$1 == "ProductType" { print $3 }')

wine reg add "$key" /v version /d "7.4.1" /f </dev/null >/dev/null 2>&1
show_report
check "box read and closed" 0 "$reader_status"
check "envreport exits 0 once the box is closed" 0 "$program_status"
mapfile -t lines < <(printf '%s' "$report" | tr -d '\r')
check "blank first line" "" "${lines[0]-}"
check "platform line" 1 "$(grep -cE \
  '^Platform: Windows NT [0-9]+\.[0-9]+   Build: [0-9]+   ServicePack: .*$' <<< "${lines[1]-}")"
check "product type from the registry" "Product Type: $product_type" "${lines[2]-}"
check "blank line before memory" "" "${lines[3]-}"
check "memory line" 1 "$(grep -cE \
  '^Memory: [0-9]+ \([0-9]+ free\)   Virtual: [0-9]+ \([0-9]+ free\)$' <<< "${lines[4]-}")"
check "host name and version, then three line ends" "
Hostname: report-host
Corvane version: 7.4.1


." "$(printf '%s' "$report" | tr -d '\r' | sed -n '6,$p'; echo .)"

# Without a version value the host name line is followed by the three line ends.
wine reg delete "$key" /v version /f </dev/null >/dev/null 2>&1
show_report
check "no version: host name line then three line ends" "Hostname: report-host



." "$(printf '%s' "$report" | tr -d '\r' | sed -n '7,$p'; echo .)"

# ipconfig that prints fewer than four lines: the last line read is taken.
printf '%s\r\n' '@echo off' 'echo Host: short-host' > ipconfig.bat
show_report
check "short output: last line" "Hostname: short-host" "$(printf '%s' "$report" | tr -d '\r' | sed -n 7p)"
check "report ends there" 10 "$(printf '%s' "$report" | tr -d '\r' | wc -l)"

finish
