#!/bin/sh
# The site's programs on PostgreSQL and on MariaDB, as a web server runs
# them: the built programs, the dialect adapter, Debian's psqlODBC and
# MariaDB Connector/ODBC, and servers of the test's own, loaded by
# veloran-load-database from the sample database and from a synthetic
# catalogue with ties.  Every value the programs read must arrive bit for
# bit as from the SQLite file, in the same order, and every page (searches,
# the site's search page, entry pages, the finder's hits, misses and
# suggestions, cone searches) byte for byte as on the SQLite file.  The
# loader must refuse what a server cannot store, and the reader write
# nothing.  The position index the loader writes must be read (the health
# check says so); after an UPDATE of Positions on each server (and a
# TRUNCATE on PostgreSQL) it must be stale, and the pages those of the
# same change made to the file.  Resident FastCGI workers on each server
# keep their connection and answer as the programs run once, through a
# reload, UPDATEs and connections the server ended (resident_test.py).
# Usage: tests/databases/database_pages_test.sh SOURCE_DIR BUILD_DIR
# Exits 77 (skipped) when a server or driver is not installed.
set -eu
[ $# -eq 2 ] || { echo "usage: tests/databases/database_pages_test.sh SOURCE_DIR BUILD_DIR" >&2; exit 2; }
top=$(cd "$1" && pwd)
build=$(cd "$2" && pwd)
odbc_dir=/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null || gcc -print-multiarch)/odbc
adapter=$build/adapter/libveloranadapter.so

work=$(mktemp -d)
chmod 0755 "$work"
servers_dir=$work
. "$top/tests/databases/servers.sh"
# A server still starting when the test ends is waited for, then stopped.
trap 'wait; stop_servers; rm -rf "$work"' EXIT
trap 'exit 1' INT TERM HUP
if ! servers_available; then
  echo "skipped: PostgreSQL 15 or MariaDB is not installed (postgresql-15, mariadb-server)" >&2
  exit 77
fi
for driver in psqlodbca.so libmaodbc.so; do
  [ -f "$odbc_dir/$driver" ] || { echo "skipped: no $odbc_dir/$driver (odbc-postgresql, odbc-mariadb)" >&2; exit 77; }
done
/usr/bin/python3 -c 'import psycopg2, pymysql' 2>/dev/null ||
  { echo "skipped: the loader's Python modules are missing (python3-psycopg2, python3-pymysql)" >&2; exit 77; }
[ -f "$adapter" ] || { echo "no dialect adapter at $adapter; build the project first" >&2; exit 1; }

# Both servers start meanwhile (MariaDB's install takes seconds).
start_postgresql >"$work/pg.out" 2>&1 &
pg_start=$!
start_mariadb >"$work/my.out" 2>&1 &
my_start=$!

# The synthetic catalogue: 3,000 stars, then a star at the very position of
# each of 150 others (equal distances from every centre) and a second star
# named as each of 30 others.
synthetic=$work/synthetic.db
"$build/tests/make_synthetic_db" "$synthetic" 3000 11 "$top/db/schema.sql" \
  "$build/veloran_dialect.so" >/dev/null
sqlite3 -batch -init /dev/null "$synthetic" >/dev/null <<SQL
.bail on
.load $build/veloran_dialect.so
INSERT INTO Positions (OwnerID, RA_hr, RA_min, RA_sec, Dec_deg, Dec_arcmin,
                       Dec_arcsec, Distance, DistanceError, LastUpdated)
SELECT OwnerID + 90000000, RA_hr, RA_min, RA_sec, Dec_deg, Dec_arcmin,
       Dec_arcsec, Distance, DistanceError, LastUpdated FROM Positions
WHERE OwnerID % 100 = 0 AND OwnerID > 100 AND Distance IS NOT NULL
ORDER BY OwnerID LIMIT 150;
INSERT INTO ProperNames (OwnerID, Name, IsSystemName)
SELECT OwnerID + 90000000, Name, 1 FROM ProperNames
WHERE OwnerID + 90000000 IN (SELECT OwnerID FROM Positions) LIMIT 30;
-- Seconds and distances to the last bit of a double, as a catalogue more
-- precise than these might have them.
UPDATE Positions SET RA_sec = RA_sec * 0.9999999 + 0.0000123456789,
                     Dec_arcsec = Dec_arcsec * 0.9999999 + 0.0000987654321,
                     Distance = Distance * 1.00000001234567
WHERE rowid % 3 = 0 AND RA_sec IS NOT NULL AND Dec_arcsec >= 0;
-- Texts in windows-1252 beyond ASCII: e acute, the euro sign and 0x81,
-- which no character has.
UPDATE ProperNames SET Name = Name || CAST(X'20E98081' AS TEXT) WHERE rowid % 3 = 0;
UPDATE Positions SET DistanceSource = CAST(X'4DFC6C6C657280' AS TEXT) WHERE rowid % 20 = 0;
UPDATE Spectra SET SpectrumSource = CAST(X'C5E5' AS TEXT) WHERE rowid % 20 = 0;
-- Forty proper names within two edits of each other ("Zedab", "Zedac",
-- ...), more than the finder reads for its suggestions: which it reads
-- first shows on the page.
INSERT INTO ProperNames (OwnerID, Name, IsSystemName)
SELECT OwnerID + 7, 'Zed' || char(97 + rowid % 5) || char(97 + rowid / 5 % 8), 0
FROM Positions WHERE OwnerID % 100 = 0 AND OwnerID > 100 ORDER BY OwnerID LIMIT 40;
.read $top/db/name_lookup.sql
SQL

# The requests, "PROGRAM QUERY_STRING" a line, for a database.
write_requests() {
  db=$1
  q() { sqlite3 -batch -init /dev/null "$db" "$1"; }
  stars=$(q "SELECT OwnerID FROM Positions WHERE OwnerID % 100 = 0 AND Distance IS NOT NULL
             AND (OwnerID < 100000000 AND rowid % $2 = 0 OR OwnerID = 100 OR
                  OwnerID > 90000000 AND rowid % 7 = 0) ORDER BY rowid")
  for id in $stars; do
    echo "neighbor_search ID=$id&ly=20"
    echo "neighbor_search ID=$id&minLY=2&ly=80&minRAHour=2&maxRAHour=20&minDecDeg=-40&maxDecDeg=50"
    echo "neighbours ID=$id&ly=30"
    echo "neighbours ID=$id&ly=30&format=csv"
    echo "entry_page.exe ID=$id"
  done
  echo "neighbor_search ly=1000&minRAHour=5&maxRAHour=6&minDecDeg=-10&maxDecDeg=10"
  echo "neighbor_search X=10&Y=10&Z=10&ly=20&minDecDeg=0"
  echo "neighbor_search X=0&Y=0&Z=0&ly=400"
  echo "neighbor_search ID=99999900&ly=10"
  echo "entry_page.exe ID=99999900"
  echo "entry_page.exe ID=101"
  q "SELECT DISTINCT Name FROM NameLookup WHERE rowid % $3 = 0 ORDER BY rowid" |
    while IFS= read -r name; do
      # The name as a browser sends it (windows-1252 bytes percent-encoded),
      # then its first four characters (a prefix search) and a misspelling.
      encoded=$(printf '%s' "$name" | od -An -v -tx1 | tr -d ' \n' | sed 's/../%&/g')
      echo "find_star name=$encoded"
      echo "find_star name=$(printf '%s' "$encoded" | cut -c1-12)"
      echo "find_star name=${encoded}x"
    done
  echo "find_star name=Zedxx"
  echo "find_star name=Zezz"
  echo "find_star name=Siriuss"
  echo "find_star name=nosuchstar"
  echo "cone_search RA=100&DEC=-16&SR=10"
  echo "cone_search RA=0&DEC=0&SR=180&VERB=3"
  echo "neighbours X=0&Y=0&Z=0&ly=60&format=json"
  echo "neighbours X=0&Y=0&Z=0&ly=60&format=votable"
}
write_requests "$build/sample.db" 1 2 >"$work/sample.requests"
write_requests "$synthetic" 100 120 >"$work/synthetic.requests"

# The data sources: SQLite through write-dsn; the servers through the
# project's templates, pointed at the test's servers.
data_source() {  # TEMPLATE OUT_DIR KEY=VALUE...
  template=$1 out=$2
  shift 2
  mkdir -p "$out"
  : >"$out/odbcinst.ini"
  sed -e "s|@VELORAN_ADAPTER@|$adapter|" -e "s|@VELORAN_SYSTEM_ODBC_DIR@|$odbc_dir|" \
    "$template" >"$out/odbc.ini"
  for setting in "$@"; do
    key=${setting%%=*}
    sed -i "s|^$key = .*|$key = ${setting#*=}|" "$out/odbc.ini"
  done
}
# The loader, with the index builder of this build.
load_database() {
  /usr/bin/python3 "$top/admin/veloran-load-database" --indexer "$build/veloran-index-database" "$@"
}
# What the health check of a data source says of the position index.
index_state() {  # SET DATABASE
  env -i PATH=/usr/bin:/bin ODBCSYSINI="$work/$1-$2" ODBCINI="$work/$1-$2/odbc.ini" \
    REQUEST_METHOD=GET QUERY_STRING= "$build/health" | tr -d '\r' |
    sed -n 's/^Veloran-Position-Index: //p'
}
expect_index() {  # STATE SET DATABASE WHEN
  state=$(index_state "$2" "$3")
  [ "$state" = "$1" ] || {
    echo "FAILED: $2 on $3 $4: the health check says Veloran-Position-Index: ${state:-(none)}, not $1" >&2
    exit 1
  }
}
wait "$pg_start" || { cat "$work/pg.out" >&2; exit 1; }
wait "$my_start" || { cat "$work/my.out" >&2; exit 1; }
. "$work/pg.env"
. "$work/my.env"
# The synthetic catalogue first goes where the sample goes, so that the
# sample's load below replaces a loaded database (the sample's pages show
# that nothing of the first is left).
load_database --quiet --target postgresql \
  --host "$postgresql_socket_dir" --port "$postgresql_port" --user veloran_admin \
  --database veloran_sample "$synthetic"
load_database --quiet --target mariadb \
  --socket "$mariadb_socket" --database veloran_sample "$synthetic"
for set in sample synthetic; do
  db=$build/sample.db
  [ "$set" = sample ] || db=$synthetic
  "$top/scripts/write-dsn" "$db" "$work/$set-sqlite" "$build/veloran_dialect.so"
  load_database --quiet --target postgresql \
    --host "$postgresql_socket_dir" --port "$postgresql_port" --user veloran_admin \
    --database "veloran_$set" "$db"
  load_database --quiet --target mariadb \
    --socket "$mariadb_socket" --database "veloran_$set" "$db"
  data_source "$top/admin/odbc-postgresql.ini.in" "$work/$set-postgresql" \
    "Servername=$postgresql_socket_dir" "Port=$postgresql_port" "Database=veloran_$set"
  data_source "$top/admin/odbc-mariadb.ini.in" "$work/$set-mariadb" \
    "Socket=$mariadb_socket" "Port=$mariadb_port" "Database=veloran_$set"
done

# Every value the programs read, as the bytes of their buffers, and the
# rows of each unordered statement in the same order as SQLite's.
for set in sample synthetic; do
  for database in sqlite postgresql mariadb; do
    env -i PATH=/usr/bin:/bin ODBCSYSINI="$work/$set-$database" \
      ODBCINI="$work/$set-$database/odbc.ini" "$build/tests/value_dump" >"$work/$set-$database.values"
  done
  for database in postgresql mariadb; do
    if ! cmp -s "$work/$set-sqlite.values" "$work/$set-$database.values"; then
      echo "FAILED: $set on $database: values differ from SQLite's (statement, then each row's buffers in hex):" >&2
      diff "$work/$set-sqlite.values" "$work/$set-$database.values" | head -n 10 >&2 || true
      exit 1
    fi
  done
done

# The data sources' reader may read, and write nothing.
for statement in "DELETE FROM Positions" "UPDATE StarFacts SET VMag = 0" "CREATE TABLE Planted (x int)" \
                 "UPDATE DataVersion SET Changes = 0"; do
  if psql -X -q -h "$postgresql_socket_dir" -p "$postgresql_port" -U veloran_reader \
       -d veloran_sample -c "$statement" >/dev/null 2>&1; then
    echo "FAILED: the PostgreSQL reader could run: $statement" >&2
    exit 1
  fi
  if mariadb --no-defaults -S "$mariadb_socket" -u veloran_reader veloran_sample \
       -e "$statement" >/dev/null 2>&1; then
    echo "FAILED: the MariaDB reader could run: $statement" >&2
    exit 1
  fi
done
[ "$(psql -X -At -h "$postgresql_socket_dir" -p "$postgresql_port" -U veloran_reader \
       -d veloran_sample -c 'SELECT COUNT(*) FROM Positions')" = \
  "$(sqlite3 "$build/sample.db" 'SELECT COUNT(*) FROM Positions')" ] ||
  { echo "FAILED: the PostgreSQL reader cannot count the positions" >&2; exit 1; }

# The loaded position index is read on each server, by the reader.  (The
# health check reads the sample's stars, which the synthetic catalogue
# has not.)
for database in postgresql mariadb; do
  expect_index in-use sample "$database" "after its load"
done

# A value that a server cannot store (the year 0) stops the load, naming
# table, row and value, and leaves the loaded database as it was (the pages
# below are read from it).
cp "$build/sample.db" "$work/year0.db"
sqlite3 "$work/year0.db" "UPDATE Positions SET LastUpdated = '0000-06-15' WHERE rowid = 5"
for target in postgresql mariadb; do
  if [ "$target" = postgresql ]; then
    server="--host $postgresql_socket_dir --port $postgresql_port --user veloran_admin"
  else
    server="--socket $mariadb_socket"
  fi
  # shellcheck disable=SC2086
  if load_database --quiet --target "$target" $server \
       --database veloran_sample "$work/year0.db" 2>"$work/refusal"; then
    echo "FAILED: $target: a date of the year 0 was loaded" >&2
    exit 1
  fi
  grep -q "Positions row 5, column LastUpdated: the value '0000-06-15'" "$work/refusal" || {
    echo "FAILED: $target: the refusal does not name the row and value:" >&2
    cat "$work/refusal" >&2
    exit 1
  }
done

# Each request on the three databases; the SQLite page is the expected one.
# Two runs at a time (each waits on its servers for much of its time), each
# writing its counts of passed and failed comparisons.
compare() {  # SET REQUESTS OUT
  set=$1 out=$3 passed=0 failed=0
  while read -r program query; do
    for database in sqlite postgresql mariadb; do
      env -i PATH=/usr/bin:/bin ODBCSYSINI="$work/$set-$database" \
        ODBCINI="$work/$set-$database/odbc.ini" REQUEST_METHOD=GET \
        QUERY_STRING="$query" "$build/$program" >"$out.$database" 2>"$out.$database.err" || true
    done
    for database in postgresql mariadb; do
      if cmp -s "$out.sqlite" "$out.$database"; then
        passed=$((passed + 1))
      else
        failed=$((failed + 1))
        if [ "$failed" -le 5 ]; then
          {
            echo "FAILED: $set on $database: $program?$query differs from SQLite's page:"
            diff "$out.sqlite" "$out.$database" | head -n 10 || true
            head -c 300 "$out.$database.err"
          } >"$out.failure.$failed"
        fi
      fi
    done
  done <"$2"
  echo "$passed $failed" >"$out"
}
compare_sets() {  # SET...
  for set in "$@"; do
    split -n r/2 "$work/$set.requests" "$work/$set.part."
    for part in "$work/$set.part."*; do
      compare "$set" "$part" "$part.counts" &
    done
  done
  wait
}
compare_sets sample synthetic

# A star of the sample moved on each server as in a copy of the file: the
# triggers mark the index stale, and the pages, read from Positions again,
# are the copy's.  The star is the Sun's nearest neighbour, whose distance
# no other star shares (an update moves its row to the end of PostgreSQL's
# table, which changes the order only of equal distances).
cp "$build/sample.db" "$work/changed.db"
star=$(sqlite3 "$work/changed.db" "SELECT OwnerID FROM Positions p WHERE OwnerID <> 100 AND
  Distance > 0 AND (SELECT COUNT(*) FROM Positions q WHERE q.Distance IN (p.Distance, p.Distance * 3)) = 1
  ORDER BY Distance LIMIT 1")
change="UPDATE Positions SET Distance = Distance * 3 WHERE OwnerID = $star"
sqlite3 "$work/changed.db" "$change"
"$top/scripts/write-dsn" "$work/changed.db" "$work/changed-sqlite" "$build/veloran_dialect.so"
cp -r "$work/sample-postgresql" "$work/changed-postgresql"
cp -r "$work/sample-mariadb" "$work/changed-mariadb"
psql -X -q -h "$postgresql_socket_dir" -p "$postgresql_port" -U veloran_admin \
  -d veloran_sample -v ON_ERROR_STOP=1 -c "$change"
mariadb --no-defaults -S "$mariadb_socket" -uroot veloran_sample -e "$change"
for database in postgresql mariadb; do
  expect_index stale changed "$database" "after an UPDATE of Positions"
done
# The change shows on the pages compared.
query="ID=100&ly=30"
for database in sample changed; do
  env -i PATH=/usr/bin:/bin ODBCSYSINI="$work/$database-sqlite" \
    ODBCINI="$work/$database-sqlite/odbc.ini" REQUEST_METHOD=GET QUERY_STRING="$query" \
    "$build/neighbours" >"$work/$database.page"
done
! cmp -s "$work/sample.page" "$work/changed.page" ||
  { echo "FAILED: moving star $star changes no page of the sample" >&2; exit 1; }
# The sample's requests, that page among them (the Sun's are always there).
cp "$work/sample.requests" "$work/changed.requests"
compare_sets changed

# PostgreSQL's trigger fires on TRUNCATE too (MariaDB's TRUNCATE fires
# none, as its manual page says): the row that says the index is current
# goes.  (The health check of a database without stars says nothing of
# the index.)
index_rows() {
  psql -X -At -h "$postgresql_socket_dir" -p "$postgresql_port" -U veloran_reader \
    -d veloran_synthetic -c "SELECT COUNT(*) FROM PositionIndexInfo"
}
[ "$(index_rows)" = 1 ] ||
  { echo "FAILED: synthetic on postgresql: no current index after its load" >&2; exit 1; }
# The data version the resident workers read moves with a TRUNCATE too,
# and with a change of a table's definition, which fires no trigger of a
# table (PostgreSQL's event trigger counts it).
data_version() {
  psql -X -At -h "$postgresql_socket_dir" -p "$postgresql_port" -U veloran_reader \
    -d veloran_synthetic -c "SELECT veloran_data_version()"
}
for change in "TRUNCATE Positions" \
              "ALTER TABLE Spectra ALTER COLUMN SpectralClass TYPE text USING lower(SpectralClass)"; do
  before=$(data_version)
  psql -X -q -h "$postgresql_socket_dir" -p "$postgresql_port" -U veloran_admin \
    -d veloran_synthetic -v ON_ERROR_STOP=1 -c "$change"
  after=$(data_version)
  [ -n "$before" ] && [ "$before" != "$after" ] ||
    { echo "FAILED: synthetic on postgresql: the data version is '$before' before $change and '$after' after" >&2; exit 1; }
done
[ "$(index_rows)" = 0 ] ||
  { echo "FAILED: synthetic on postgresql: the index is current after a TRUNCATE of Positions" >&2; exit 1; }

# The resident workers, on a database of their own on each server.
/usr/bin/python3 "$top/tests/databases/resident_test.py" "$top" "$build" "$work"

passed=0
failed=0
for counts in "$work"/*.counts; do
  read -r p f <"$counts"
  passed=$((passed + p))
  failed=$((failed + f))
done
cat "$work"/*.counts.failure.* >&2 2>/dev/null || true
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
