#!/usr/bin/env bash
# instconf's command line and output, byte for byte: listing, changes, usage errors, exit 1.
# Usage: command_line_test.sh <instconf> <regtool>
source "$(dirname "$0")/../common/harness.sh"
instconf=$1 regtool=$2
usage_tail=' [-serverNum <num>] [-setdir <data-dir>] [-port <num>] [-gpf {on|off}] [-delete]'

run "$instconf"
expect "no arguments, no instances" 1 "" ""
same "reading creates the product key" 'SOFTWARE\Meridane\CorvaneServer' \
  "$(sqlite3 "$CORVANE_REGISTRY" "SELECT group_concat(name, '\\') FROM registry_keys")"

run "$instconf" -serverNum 3 -port 8765
expect "port of instance 3" 1 $'setting port[3] to 8765\n' ""

for args in "-delete" "-x 1" "-Port 80" "-port" "-port 80 -serverNum" "-setdir /d extra" "-gpf"; do
  # shellcheck disable=SC2086 # the arguments are meant to split
  run "$instconf" $args
  expect "usage error for '$args'" 1 "" "Usage: $instconf$usage_tail"$'\n'
done
run bash -c 'exec -a "inst conf" "$0" -setdir /never -delete' "$instconf"
expect "usage names the program as invoked, nothing applied" 1 "" "Usage: inst conf$usage_tail"$'\n'
run "$regtool" get-string 0 data_dir 1024
same "rejected command line stored nothing" $'0 \n' "$out"

run "$instconf" -setdir /srv/one
expect "first data dir" 1 $'Old data dir[0] is: \nNew data dir[0] is: /srv/one\n' ""
run "$instconf" -setdir /srv/two
expect "second data dir" 1 $'Old data dir[0] is: /srv/one\nNew data dir[0] is: /srv/two\n' ""

run "$instconf" -gpf ON
expect "gpf ON is off" 1 $'setting gpf flag to off\n' ""
run "$regtool" get-number 0 gpf
same "gpf stored 0" $'1 0\n' "$out"
run "$instconf" -gpf on
expect "gpf on" 1 $'setting gpf flag to on\n' ""
run "$regtool" get-number 0 gpf
same "gpf stored 1" $'1 1\n' "$out"

run "$instconf" -gpf off -port 81 -port 82 -setdir /a -serverNum 9 -setdir /b -serverNum 2 -gpf on
expect "fixed order of actions, last value wins" 1 \
  $'Old data dir[2] is: \nNew data dir[2] is: /b\nsetting port[2] to 82\nsetting gpf flag to on\n' ""
run "$instconf" -port 0 -serverNum 5
expect "port 0 is not given" 1 "" ""
run "$instconf" -port 80 -port abc -serverNum 6
expect "last port not a number: not given" 1 "" ""
run "$instconf" -port ' +90x' -serverNum 6
expect "port read as %d reads" 1 $'setting port[6] to 90\n' ""
run "$instconf" -port 99999999999 -serverNum 6
expect "port out of range is not given" 1 "" ""
run "$instconf" -serverNum -1 -port -5
expect "negative numbers pass through" 1 $'setting port[-1] to -5\n' ""

# A directory of 1023 bytes fits the 1024-byte buffer with its terminator; 1024 bytes do not.
dir1023=/$(printf 'd%.0s' $(seq 1022))
run "$instconf" -serverNum 4 -setdir "$dir1023"
expect "longest data dir that fits" 1 $'Old data dir[4] is: \nNew data dir[4] is: '"$dir1023"$'\n' ""
run "$instconf" -serverNum 4 -setdir "${dir1023}x"
expect "too long data dir reads as absent" 1 \
  $'Old data dir[4] is: '"$dir1023"$'\nNew data dir[4] is: \n' ""

# Listing: instances 0 to 9 only; a port stored as a string is absent; names ignore case.
"$regtool" set-number 10 port 1010
"$regtool" set-string 10 data_dir /ten
"$regtool" set-string 5 port 8080
"$regtool" set-string 5 DATA_DIR /five
"$regtool" set-number 7 PORT 7070
"$regtool" set-string 9 data_dir /nine
run "$instconf"
expect "listing" 1 "data directory[0] = /srv/two
data directory[2] = /b
port number[2]    = 82
port number[3]    = 8765
data directory[5] = /five
port number[6]    = 90
port number[7]    = 7070
data directory[9] = /nine
" ""

finish
