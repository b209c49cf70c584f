#!/bin/bash
# scripts/build-sample-db leaves the sample database in rollback-journal
# mode, even when the sqlite3 shell turns WAL mode on at its start (as a
# ~/.sqliterc can): a database in WAL mode can be read only by those who may
# write its directory.
# Usage: tests/sample_db_test.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source=$1
build=$2
work=$build/test-data/sample_db
rm -rf "$work"
mkdir -p "$work/bin"
shell=$(command -v sqlite3) || { echo "FAIL: sqlite3 is missing: apt-get install sqlite3"; exit 1; }
cat > "$work/bin/sqlite3" <<SHIM
#!/bin/sh
exec $shell -cmd 'PRAGMA journal_mode = WAL;' "\$@"
SHIM
chmod +x "$work/bin/sqlite3"
PATH=$work/bin:$PATH "$source/scripts/build-sample-db" "$work/sample.db" "$build/veloran_dialect.so"
versions=$(od -An -tu1 -j 18 -N 2 "$work/sample.db" | tr -s ' ')
if [ "$versions" != " 1 1" ]; then
  echo "FAIL: the sample database's header has the versions$versions (2 2: WAL mode; 1 1: rollback journal)"
  exit 1
fi
echo "PASS: the sample database is in rollback-journal mode"
