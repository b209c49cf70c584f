#!/bin/sh
# isql through the data source "Veloran" on the driver: the table list, a
# table's columns, a SELECT, an INSERT that must be refused, and an endless
# query that the data source's QueryTimeout ends.
# Usage: isql_test.sh DRIVER.so DIALECT.so SAMPLE-BUILDER OUT-DIR
set -eu
driver=$1 dialect=$2 builder=$3 out=$4
rm -rf "$out"
mkdir -p "$out/odbc"
"$builder" "$out/sample.db" "$dialect" >/dev/null
cat > "$out/odbc/odbc.ini" <<INI
[Veloran]
Driver=$driver
Database=$out/sample.db
LoadExt=$dialect
QueryTimeout=1
INI
: > "$out/odbc/odbcinst.ini"
export ODBCSYSINI="$out/odbc" ODBCINI="$out/odbc/odbc.ini"
before=$(cksum < "$out/sample.db")
printf '%s\n' 'help' 'help Positions' \
  'SELECT Name FROM ProperNames WHERE INT(OwnerID / 100) = 1' \
  'SELECT INT(7.9) AS whole' \
  "INSERT INTO ProperNames(OwnerID, Name) VALUES (100, 'Sun')" \
  'WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c) SELECT max(i) FROM c' \
  | timeout 60 isql -b -v -m40 Veloran > "$out/isql.out" 2>&1 || true

fail=0
expect() {  # PATTERN WHAT
  if ! grep -q -- "$1" "$out/isql.out"; then
    echo "isql_test: missing $2 ($1)" >&2
    fail=1
  fi
}
expect '| *Positions *| *TABLE' 'the table list'
expect '| *Positions *| *Distance *| *8 ' 'the Distance column of Positions'
expect '| *Positions *| *LastUpdated *| *91 ' 'the date column of Positions'
expect '| *Sol *|' 'the SELECT of the Sun'
expect '| *7 *|' 'INT from the dialect extension'
expect '\[25000\].*\[Veloran\]\[SQLite\]invalid transaction state: statement would write to the database; this driver is read-only' 'the refused INSERT'
expect '\[[HS][Y1]T00\].*timeout expired' 'the endless query ended by QueryTimeout'
[ "$(cksum < "$out/sample.db")" = "$before" ] || { echo "isql_test: the database changed" >&2; fail=1; }
if [ "$fail" -ne 0 ]; then
  cat "$out/isql.out" >&2
  echo "0 passed, 1 failed"
  exit 1
fi
echo "1 passed, 0 failed"
