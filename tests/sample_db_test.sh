#!/bin/bash
# scripts/build-sample-db leaves the sample database in rollback-journal
# mode, even when the sqlite3 shell turns WAL mode on at its start (as a
# ~/.sqliterc can): a database in WAL mode can be read only by those who may
# write its directory.  And no two stars of the sample share a system name.
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

# Every star of the sample is listed under a name of its own: no system
# name (proper name, else catalogue number) belongs to two stars.
shared=$("$shell" -batch "$work/sample.db" "
  SELECT group_concat(Name, ', ') FROM (
    SELECT Name FROM (
      SELECT OwnerID, Name FROM ProperNames WHERE IsSystemName = 1
      UNION ALL
      SELECT OwnerID, CatAbbrev || ' ' || Value FROM CatalogNumbers WHERE IsSystemName = 1)
    GROUP BY Name HAVING COUNT(DISTINCT OwnerID / 100) > 1)")
if [ -n "$shared" ]; then
  echo "FAIL: system names of more than one star in the sample: $shared"
  exit 1
fi
echo "PASS: every system name of the sample belongs to one star"
