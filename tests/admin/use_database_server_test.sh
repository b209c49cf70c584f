#!/bin/bash
# The way to PostgreSQL and back, as an operator takes it, on a server of
# the test's own: veloran-load-database loads the sample; the build's
# veloran-use-database --server postgresql writes the data source whole
# (the file's other section kept byte for byte, the reader's password in
# it, the file made root:www-data 0640), and the search through it is the
# sample's page; a data source through which no page comes (a wrong port)
# is refused; a plain veloran-use-database on the server's section is
# refused, --replace goes back to the file; veloran-load-database --drop
# leaves neither the database nor the role.
# Needs root (it tries the data source as www-data), PostgreSQL 15,
# psqlODBC and psycopg2; skips (77) otherwise.
# Usage: tests/admin/use_database_server_test.sh SOURCE_DIR BUILD_DIR
set -uo pipefail
top=$(cd "$1" && pwd)
build=$(cd "$2" && pwd)
use_database=$build/tests/admin/veloran-use-database
odbc_dir=/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null || gcc -print-multiarch)/odbc
[ "$(id -u)" -eq 0 ] || { echo "SKIP: needs root, to try the data source as www-data"; exit 77; }
[ -x /usr/lib/postgresql/15/bin/initdb ] || { echo "SKIP: no PostgreSQL 15 (postgresql-15)"; exit 77; }
[ -f "$odbc_dir/psqlodbca.so" ] || { echo "SKIP: no psqlODBC (odbc-postgresql)"; exit 77; }
/usr/bin/python3 -c 'import psycopg2' 2>/dev/null || { echo "SKIP: no python3-psycopg2"; exit 77; }

work=$(mktemp -d /tmp/veloran-use-server.XXXXXX)
chmod 0755 "$work"
servers_dir=$work
. "$top/tests/databases/servers.sh"
trap 'stop_servers; rm -rf "$work"' EXIT
trap 'exit 1' INT TERM HUP
start_postgresql > "$work/pg.out" 2>&1 || { cat "$work/pg.out"; exit 1; }
. "$work/pg.env"
failures=0
check() {  # check WHAT COMMAND...
  if "${@:2}"; then echo "ok: $1"; else echo "FAIL: $1"; failures=$((failures + 1)); fi
}
psql_admin() {
  psql -X -At -h "$postgresql_socket_dir" -p "$postgresql_port" -U veloran_admin -d postgres -c "$1"
}

cp "$build/sample.db" "$work/sample.db"
chmod 0644 "$work/sample.db"
echo 'reader secret 1' > "$work/reader.pw"
chmod 0600 "$work/reader.pw"
/usr/bin/python3 "$top/admin/veloran-load-database" --quiet --target postgresql \
  --indexer "$build/veloran-index-database" --host "$postgresql_socket_dir" \
  --port "$postgresql_port" --user veloran_admin --reader-password-file "$work/reader.pw" \
  "$work/sample.db" || { echo "FAIL: the load"; exit 1; }

odbc=$work/odbc
mkdir "$odbc"
printf '%s\n' '; The operator'"'"'s data sources' '[Other]' 'Database=/srv/other.db' '' > "$work/other"
"$top/scripts/write-dsn" "$work/sample.db" "$work/file-dsn" "$build/veloran_dialect.so"
{ cat "$work/other"; cat "$work/file-dsn/odbc.ini"; } > "$odbc/odbc.ini"
chmod 0644 "$odbc/odbc.ini"
page() {
  setpriv --reuid=www-data --regid=www-data --init-groups env -i ODBCSYSINI="$odbc" ODBCINI=/dev/null \
    QUERY_STRING='ID=100&ly=12' "$build/neighbor_search" 2>&1
}
golden=$top/tests/golden/sample_sun_12ly.txt
key() { ODBCSYSINI=$odbc ODBCINI=/dev/null odbcinst -q -s -n Veloran | sed -n "s/^$1=//p"; }
other_kept() { [ "$(head -c "$(stat -c %s "$work/other")" "$odbc/odbc.ini")" = "$(cat "$work/other")" ]; }

# To PostgreSQL: a wrong port first, refused.
cp "$odbc/odbc.ini" "$work/before"
check "a data source through which no page comes is refused" eval \
  '! ODBCSYSINI=$odbc "$use_database" --server postgresql --host "$postgresql_socket_dir" \
       --port "$(free_port)" --reader-password-file "$work/reader.pw" > "$work/out" 2>&1 &&
   grep -q "gets no result page" "$work/out" && cmp -s "$work/before" "$odbc/odbc.ini"'
check "--server postgresql writes the data source" \
  env ODBCSYSINI="$odbc" "$use_database" --quiet --server postgresql --host "$postgresql_socket_dir" \
    --port "$postgresql_port" --reader-password-file "$work/reader.pw"
check "  through the adapter to psqlODBC" eval \
  '[ "$(key Target)" = "$odbc_dir/psqlodbca.so" ] && [ "$(key Servername)" = "$postgresql_socket_dir" ]'
check "  with the reader's password" eval '[ "$(key Password)" = "reader secret 1" ]'
check "  the file now root:www-data 0640" eval '[ "$(stat -c "%U:%G %a" "$odbc/odbc.ini")" = "root:www-data 640" ]'
check "  the other section kept" other_kept
check "  the sample's page through it" eval 'page | cmp -s - "$golden"'

# Back to the file.
cp "$odbc/odbc.ini" "$work/before"
check "a plain switch to a file is refused, saying --replace" eval \
  '! ODBCSYSINI=$odbc "$use_database" "$work/sample.db" > "$work/out" 2>&1 &&
   grep -q -e "--replace" "$work/out" && cmp -s "$work/before" "$odbc/odbc.ini"'
check "--replace goes back to the file" env ODBCSYSINI="$odbc" "$use_database" --quiet --replace "$work/sample.db"
check "  the section is the file's, whole" eval \
  '[ "$(tail -n +"$(($(wc -l < "$work/other") + 1))" "$odbc/odbc.ini")" = "$(cat "$work/file-dsn/odbc.ini")" ]'
check "  the other section kept" other_kept
check "  the sample's page through it" eval 'page | cmp -s - "$golden"'

# What the loader made, dropped.
check "--drop drops the database and the role" \
  /usr/bin/python3 "$top/admin/veloran-load-database" --quiet --target postgresql --drop \
    --host "$postgresql_socket_dir" --port "$postgresql_port" --user veloran_admin
check "  no database veloran left" eval '[ -z "$(psql_admin "SELECT datname FROM pg_database WHERE datname LIKE '"'"'veloran%'"'"'")" ]'
check "  no role veloran_reader left" eval '[ -z "$(psql_admin "SELECT rolname FROM pg_roles WHERE rolname = '"'"'veloran_reader'"'"'")" ]'
echo "$failures failed"
[ "$failures" -eq 0 ]
