#!/usr/bin/env bash
# The registry store under stress, through instconf: concurrent writers lose nothing and never
# fail; writers killed mid-write leave the old or the new value in an intact file; a store that
# is not a database, or cannot be read, reads as empty, is left untouched and crashes nothing.
# Usage: store_reliability_test.sh <instconf> <regtool> <rounds>
source "$(dirname "$0")/../common/harness.sh"
instconf=$1 regtool=$2 rounds=$3

# Two writers of different values of instance 1, and a reader, all at once.
(
  for i in $(seq $rounds); do
    "$instconf" -serverNum 1 -setdir "/dir/$i" >"$scratch/a.out" 2>&1
    expected=$(printf 'New data dir[1] is: /dir/%s' "$i")
    grep -qxF "$expected" "$scratch/a.out" || { echo "dir $i lost:"; cat "$scratch/a.out"; }
  done
) >"$scratch/a.log" 2>&1 &
writer_a=$!
(
  for i in $(seq $rounds); do
    "$instconf" -serverNum 1 -port $((1000 + i)) -gpf on >/dev/null 2>"$scratch/b.err"
    [ -s "$scratch/b.err" ] && cat "$scratch/b.err"
    got=$("$regtool" get-number 1 port 2>&1)
    [ "$got" = "1 $((1000 + i))" ] || echo "port $((1000 + i)) lost: $got"
  done
) >"$scratch/b.log" 2>&1 &
writer_b=$!
(
  for _ in $(seq $rounds); do "$instconf" 2>&1 >/dev/null; done
) >"$scratch/c.log" 2>&1 &
reader=$!
wait $writer_a $writer_b $reader
same "concurrent dir writer" "" "$(cat "$scratch/a.log")"
same "concurrent port writer" "" "$(cat "$scratch/b.log")"
same "concurrent reader" "" "$(cat "$scratch/c.log")"
run "$instconf"
expect "both last values kept" 1 "data directory[1] = /dir/$rounds
port number[1]    = $((1000 + rounds))
" ""

# A writer killed at a random moment of its run, again and again: the moment is drawn from
# half as long again as a whole run takes here, so kills land before, in and after its writes.
started=$(date +%s%N)
"$instconf" -serverNum 8 -setdir /timing -port 1 >/dev/null
run_ms=$((($(date +%s%N) - started) / 1000000 + 1))
dir_before="0 " port_before="0 -1"
for i in $(seq $rounds); do
  "$instconf" -serverNum 0 -setdir "/killed/$i" -port $((2000 + i)) >/dev/null 2>&1 &
  writer=$!
  delay_ms=$((RANDOM % (run_ms * 3 / 2)))
  sleep "$((delay_ms / 1000)).$(printf '%03d' $((delay_ms % 1000)))"
  kill -KILL $writer 2>/dev/null
  wait $writer 2>/dev/null
  integrity=$(sqlite3 "$CORVANE_REGISTRY" "PRAGMA integrity_check" 2>&1)
  [ "$integrity" = ok ] || fail "round $i: integrity check says: $integrity"
  dir=$("$regtool" get-string 0 data_dir 1024)
  port=$("$regtool" get-number 0 port)
  case "$dir" in
    "1 /killed/$i" | "$dir_before") ;;
    *) fail "round $i: data dir is '$dir', neither old '$dir_before' nor new" ;;
  esac
  case "$port" in
    "1 $((2000 + i))" | "$port_before") ;;
    *) fail "round $i: port is '$port', neither old '$port_before' nor new" ;;
  esac
  dir_before=$dir port_before=$port
done
[ "$dir_before" != "0 " ] || fail "no killed writer got as far as storing"

# A store file that is not a database: reads are empty, writes fail with a message naming the
# store and the reason, file kept.
export CORVANE_REGISTRY="$scratch/not-a-database"
printf 'port=8080\ndata_dir=/srv\n%.0s' $(seq 100) >"$CORVANE_REGISTRY"
cp "$CORVANE_REGISTRY" "$scratch/original"
run "$instconf" -setdir /new -port 8080 -gpf on
refused="in the registry store $CORVANE_REGISTRY: not a registry store (another program's database, or no database); left unchanged"
expect "not a database: set" 1 \
  $'Old data dir[0] is: \nNew data dir[0] is: \nsetting port[0] to 8080\nsetting gpf flag to on\n' \
  "instconf: cannot store \"data_dir\" of instance 0 $refused
instconf: cannot store \"port\" of instance 0 $refused
instconf: cannot store \"gpf\" of instance 0 $refused
"
run "$instconf"
expect "not a database: list" 1 "" ""
cmp -s "$CORVANE_REGISTRY" "$scratch/original" || fail "not a database: file was changed"

# Another program's SQLite database is not taken over.
export CORVANE_REGISTRY="$scratch/other.db"
sqlite3 "$CORVANE_REGISTRY" "CREATE TABLE settings(name, value); INSERT INTO settings VALUES('a', 1)"
run "$instconf" -setdir /new
expect "foreign database: set" 1 $'Old data dir[0] is: \nNew data dir[0] is: \n' \
  "instconf: cannot store \"data_dir\" of instance 0 in the registry store $CORVANE_REGISTRY: not a registry store (another program's database, or no database); left unchanged
"
same "foreign database untouched" "settings" \
  "$(sqlite3 "$CORVANE_REGISTRY" "SELECT group_concat(name) FROM sqlite_schema")"

# A store that cannot be opened at all: a directory, or (for non-root users) a file without
# read permission.
export CORVANE_REGISTRY="$scratch"
run "$instconf" -setdir /new
expect "store is a directory: set" 1 $'Old data dir[0] is: \nNew data dir[0] is: \n' \
  "instconf: cannot store \"data_dir\" of instance 0 in the registry store $CORVANE_REGISTRY: it is a directory
"
run "$instconf"
expect "store is a directory: list" 1 "" ""
if [ "$(id -u)" -ne 0 ]; then
  export CORVANE_REGISTRY="$scratch/locked/registry.db"
  "$instconf" -setdir /old >/dev/null
  chmod 000 "$CORVANE_REGISTRY" "$scratch/locked"
  run "$instconf" -setdir /new
  expect "unreadable store: set" 1 $'Old data dir[0] is: \nNew data dir[0] is: \n' \
    "instconf: cannot store \"data_dir\" of instance 0 in the registry store $CORVANE_REGISTRY: Permission denied
"
  chmod 755 "$scratch/locked"
fi

finish
