#!/usr/bin/env bash
# The registry store given hostile files, through instconf: another program's SQLite database
# is refused without a byte changed (not even its journal mode); a store that this process may
# read but not write lists its values, and a set to it says why it failed; no -wal or -shm
# file is left behind after a normal exit. The cases for another user run only as root
# (setpriv drops to nobody); they are skipped with a note otherwise.
# Usage: hostile_store_test.sh <instconf> <regtool>
source "$(dirname "$0")/../common/harness.sh"
instconf=$1 regtool=$2

# Another program's database, in the rollback-journal mode SQLite starts with.
foreign="$scratch/foreign.db"
sqlite3 "$foreign" 'CREATE TABLE t(x); INSERT INTO t VALUES(1);'
cp "$foreign" "$scratch/foreign.orig"
CORVANE_REGISTRY=$foreign run "$instconf" -serverNum 3 -setdir /x -port 8080 -gpf on
cmp -s "$foreign" "$scratch/foreign.orig" || fail "foreign database: bytes changed: $(cmp -l "$foreign" "$scratch/foreign.orig" | head -5 | tr '\n' ' ')"
same "foreign database: journal mode" "delete" "$(sqlite3 "$foreign" 'PRAGMA journal_mode')"
[ "$(grep -c 'not a registry store' <<<"$err")" -eq 3 ] || fail "foreign database: messages: $err"
CORVANE_REGISTRY=$foreign run "$instconf"
expect "foreign database: list" 1 "" ""
cmp -s "$foreign" "$scratch/foreign.orig" || fail "foreign database: changed by a listing"

# Sets and gets leave the store alone in its directory.
store_dir="$scratch/clean"
CORVANE_REGISTRY=$store_dir/r.db run "$instconf" -serverNum 2 -setdir /srv -port 81 -gpf on
CORVANE_REGISTRY=$store_dir/r.db run "$instconf"
expect "clean store: list" 1 $'data directory[2] = /srv\nport number[2]    = 81\n' ""
same "clean store: files after exit" "r.db" "$(ls "$store_dir")"

if [ "$(id -u)" -ne 0 ] || ! setpriv --reuid=65534 --regid=65534 --clear-groups true 2>/dev/null; then
  echo "hostile_store: another user's store: skipped (needs root and setpriv)"
  finish
fi
as_nobody() { setpriv --reuid=65534 --regid=65534 --clear-groups "$@"; }
chmod 755 "$scratch"
# A store in WAL mode in a directory the reader cannot write (no -shm can be made there).
readonly_dir="$scratch/readonly"
mkdir "$readonly_dir"
CORVANE_REGISTRY=$readonly_dir/s.db "$instconf" -serverNum 3 -setdir /x -port 8080 -gpf on >/dev/null
same "WAL store: journal mode" "wal" "$(sqlite3 "$readonly_dir/s.db" 'PRAGMA journal_mode')"
chmod 644 "$readonly_dir/s.db"
chmod 755 "$readonly_dir"
cp "$readonly_dir/s.db" "$scratch/s.orig"
CORVANE_REGISTRY=$readonly_dir/s.db run as_nobody "$instconf"
expect "read-only store: list" 1 $'data directory[3] = /x\nport number[3]    = 8080\n' ""
CORVANE_REGISTRY=$readonly_dir/s.db run as_nobody "$regtool" get-string 3 data_dir 1024
same "read-only store: get-string" "1 /x
" "$out"
CORVANE_REGISTRY=$readonly_dir/s.db run as_nobody "$instconf" -serverNum 3 -port 9090
expect "read-only store: set" 1 $'setting port[3] to 9090\n' \
  "instconf: cannot store \"port\" of instance 3 in the registry store $readonly_dir/s.db: Permission denied
"
cmp -s "$readonly_dir/s.db" "$scratch/s.orig" || fail "read-only store: changed"
same "read-only store: files" "s.db" "$(ls "$readonly_dir")"
# Another user's file in a directory that anyone may write: still not the reader's to change.
shared_dir="$scratch/shared"
mkdir "$shared_dir"
cp "$scratch/s.orig" "$shared_dir/s.db"
chmod 644 "$shared_dir/s.db"
chmod 1777 "$shared_dir"
CORVANE_REGISTRY=$shared_dir/s.db run as_nobody "$instconf"
expect "another user's store: list" 1 $'data directory[3] = /x\nport number[3]    = 8080\n' ""
CORVANE_REGISTRY=$shared_dir/s.db run as_nobody "$instconf" -serverNum 3 -gpf off
expect "another user's store: set" 1 $'setting gpf flag to off\n' \
  "instconf: cannot store \"gpf\" of instance 3 in the registry store $shared_dir/s.db: Permission denied
"
cmp -s "$shared_dir/s.db" "$scratch/s.orig" || fail "another user's store: changed"
finish
