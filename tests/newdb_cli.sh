#!/usr/bin/env bash
# tiv-newdb from the command line: it makes an encrypted database that the sqlcipher shell opens with
# the program's password and plain sqlite3 cannot read, and it never touches an existing file.
set -u
newdb="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

"$newdb" "$work/data/tiv.dat" >/dev/null || fail "tiv-newdb did not create a database"
[ "$(stat -c %a "$work/data/tiv.dat")" = 600 ] || fail "the database is readable by others"

counters=$(printf "PRAGMA key='lumbrawinxoctep';\nSELECT count(*) FROM tb_FolderMax WHERE folder1=10000;\n" |
    sqlcipher "$work/data/tiv.dat" 2>&1 | tail -n 1)
[ "$counters" = 3 ] || fail "sqlcipher with the password read '$counters' counter rows, expected 3"

if sqlite3 "$work/data/tiv.dat" "SELECT count(*) FROM tb_User;" >/dev/null 2>&1; then
    fail "plain sqlite3 could read the database"
fi

before=$(sha256sum "$work/data/tiv.dat")
if "$newdb" "$work/data/tiv.dat" 2>"$work/err"; then
    fail "tiv-newdb overwrote an existing file"
fi
grep -q "already exists" "$work/err" || fail "the refusal does not say why: $(cat "$work/err")"
[ "$(sha256sum "$work/data/tiv.dat")" = "$before" ] || fail "the existing file was changed"

"$newdb" >/dev/null 2>&1 && fail "tiv-newdb without a path succeeded"
echo "1 passed, 0 failed"
