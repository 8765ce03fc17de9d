#!/usr/bin/env bash
# instconf against the real (Wine) registry: what it prints, and what `reg query` then
# finds under HKLM\SOFTWARE\Meridane\CorvaneServer; values written by other programs are
# listed as the store reads them.
# Usage: instconf_wine_test.sh HARNESS TEMPLATE_PREFIX MACHINE INSTCONF_EXE
set -uo pipefail
source "$1"
wine_setup "$2" "$3"
instconf=$4
key='HKLM\SOFTWARE\Meridane\CorvaneServer'

run() {  # runs instconf; sets out, err (line ends as LF) and status
  out=$(wine "$instconf" "$@" </dev/null 2>"$work/err" | tr -d '\r')
  status=${PIPESTATUS[0]}
  err=$(tr -d '\r' < "$work/err")
}
# "name type data" of one value, as reg query prints it.
value_of() { wine reg query "$key\\$1" /v "$2" </dev/null 2>/dev/null | tr -d '\r' | awk -v n="$2" '$1 == n { $1 = $1; print }'; }

run
check "no instances: nothing listed" "" "$out"
check "status without arguments" 1 "$status"
wine reg query "$key" </dev/null >/dev/null 2>&1
check "the listing creates the product key" 0 "$?"

run -serverNum 3 -port 8765
check "port alone prints one line" "setting port[3] to 8765" "$out"
check "status after a change" 1 "$status"
check "port stored as a number" "port REG_DWORD 0x223d" "$(value_of 3 port)"

run -gpf ON -setdir 'C:\srv data'
check "old and new directory, then gpf (ON is off)" \
  "Old data dir[0] is: 
New data dir[0] is: C:\\srv data
setting gpf flag to off" "$out"
check "data_dir stored as a string" 'data_dir REG_SZ C:\srv data' "$(value_of 0 data_dir)"
check "gpf stored as 0" "gpf REG_DWORD 0x0" "$(value_of 0 gpf)"

run -serverNum 2 -gpf on -serverNum 7 -port 0
check "last -serverNum wins; port 0 is not given" "setting gpf flag to on" "$out"
check "gpf on stored as 1 in instance 7" "gpf REG_DWORD 0x1" "$(value_of 7 gpf)"
wine reg query "$key\\2" </dev/null >/dev/null 2>&1
check "instance 2 untouched" 1 "$?"

run -setdir 'D:\new' -serverNum 0
check "directory replaced" "Old data dir[0] is: C:\\srv data
New data dir[0] is: D:\\new" "$out"

# Values written by another program: a port stored as a string is no port.
wine reg add "$key\\5" /v data_dir /d 'E:\five' /f </dev/null >/dev/null 2>&1
wine reg add "$key\\5" /v port /d 8080 /f </dev/null >/dev/null 2>&1
wine reg add "$key\\9" /v port /t REG_DWORD /d 9090 /f </dev/null >/dev/null 2>&1
wine reg add "$key\\10" /v port /t REG_DWORD /d 1010 /f </dev/null >/dev/null 2>&1
run
check "listing of instances 0 to 9" "data directory[0] = D:\\new
port number[3]    = 8765
data directory[5] = E:\\five
port number[9]    = 9090" "$out"

run -delete
check "-delete is a usage error" 1 "$status"
check "no output on standard output for a usage error" "" "$out"
usage_pattern='^Usage: .*instconf(\.exe)? \[-serverNum <num>\] \[-setdir <data-dir>\] \[-port <num>\] \[-gpf \{on\|off\}\] \[-delete\]$'
check "usage line with the program's name" 1 "$(grep -cE "$usage_pattern" <<< "$err")"
run -port
check "option without its value is a usage error" "1 1" "$status $(grep -cE "$usage_pattern" <<< "$err")"

finish
