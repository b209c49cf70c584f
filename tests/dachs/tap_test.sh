#!/bin/sh
# Publishes a synthetic star database through DaCHS as an operator would:
# a PostgreSQL server of the test's own (tests/databases/servers.sh), the
# database loaded with veloran-load-database, DaCHS set up by
# veloran-publish-dachs in a directory of the test's own, and DaCHS's
# server on a free loopback port; then check_tap.py asks it through pyvo
# and stilts and compares the stars with the programs' pages on the same
# database.  Exit status 77 (skipped) when DaCHS or the servers are not
# installed.
# Usage: tests/dachs/tap_test.sh SOURCE_DIR BUILD_DIR
set -eu
[ $# -eq 2 ] || { echo "usage: tests/dachs/tap_test.sh SOURCE_DIR BUILD_DIR" >&2; exit 2; }
top=$(cd "$1" && pwd)
build=$(cd "$2" && pwd)

work=$(mktemp -d)
chmod 0755 "$work"
servers_dir=$work
. "$top/tests/databases/servers.sh"
dachs_pid=
# DaCHS runs in a session of its own (setsid), whose whole process group
# is stopped: nothing of it outlives the test.
stop_dachs() {
  [ -n "$dachs_pid" ] || return 0
  kill -TERM "-$dachs_pid" 2>/dev/null || true
  wait "$dachs_pid" 2>/dev/null || true
}
trap 'stop_dachs; stop_servers; rm -rf "$work"' EXIT
trap 'exit 1' INT TERM HUP

[ -x "$pg_bin/initdb" ] || { echo "skipped: PostgreSQL 15 is not installed (postgresql-15)" >&2; exit 77; }
command -v dachs >/dev/null && /usr/bin/python3 -c 'import gavo, pyvo, psycopg2' 2>/dev/null ||
  { echo "skipped: DaCHS or pyvo is missing (python3-gavo, python3-pyvo, python3-psycopg2)" >&2; exit 77; }
command -v stilts >/dev/null || { echo "skipped: stilts is missing" >&2; exit 77; }

start_postgresql >"$work/pg.out" 2>&1 || { cat "$work/pg.out" >&2; exit 1; }
. "$work/pg.env"
psql() { "$pg_bin/psql" -X -q -h "$postgresql_socket_dir" -p "$postgresql_port" -U veloran_admin "$@"; }
psql -d postgres -c "CREATE DATABASE gavo ENCODING 'UTF8' TEMPLATE template0"

# A synthetic catalogue, as the site reads it from the SQLite file and as
# DaCHS reads it from the server.
database=$work/stars.db
"$build/tests/make_synthetic_db" "$database" 3000 5 "$top/db/schema.sql" \
  "$build/veloran_dialect.so" >/dev/null
"$top/scripts/write-dsn" --driver "$build/veloran_odbc.so" "$database" "$work/odbc" \
  "$build/veloran_dialect.so"
/usr/bin/python3 "$top/admin/veloran-load-database" --target postgresql --quiet \
  --host "$postgresql_socket_dir" --port "$postgresql_port" --user veloran_admin \
  --indexer "$build/veloran-index-database" "$database"

# DaCHS's configuration: its files under $work/gavo, its server on a free
# port, run as the servers' user.
dachs_port=$(free_port)
group=$(id -gn)
[ "$(id -u)" -ne 0 ] || group=nogroup
cat >"$work/gavo.rc" <<EOF
[general]
rootDir: $work/gavo
group: $group
logLevel: warning
[web]
bindAddress: 127.0.0.1
serverPort: $dachs_port
serverURL: http://127.0.0.1:$dachs_port
user: $(id -un)
[ivoa]
authority: veloran.test
EOF
mkdir -p "$work/gavo" "$work/home"
[ "$(id -u)" -ne 0 ] || { chown nobody:nogroup "$work/gavo" "$work/home"; sed -i 's/^user: .*/user: nobody/' "$work/gavo.rc"; }
as_dachs_user() {
  as_server_user env GAVOSETTINGS="$work/gavo.rc" GAVOCUSTOM=/dev/null HOME="$work/home" "$@"
}
server="host=$postgresql_socket_dir port=$postgresql_port user=veloran_admin"
as_dachs_user "$top/admin/veloran-publish-dachs" --quiet --rd "$top/dachs/q.rd" \
  --gavo-dsn "$server dbname=gavo" --source-dsn "$server dbname=veloran"

run_as=
[ "$(id -u)" -ne 0 ] || run_as="setpriv --reuid=nobody --regid=nogroup --clear-groups --"
# The job is no group leader, so setsid runs DaCHS in its own place: $! is
# its process and its group.
setsid $run_as env GAVOSETTINGS="$work/gavo.rc" GAVOCUSTOM=/dev/null HOME="$work/home" \
  dachs serve debug >"$work/dachs.log" 2>&1 &
dachs_pid=$!
tries=0
until curl -sf "http://127.0.0.1:$dachs_port/tap/availability" >/dev/null; do
  tries=$((tries + 1))
  if [ "$tries" -ge 150 ] || ! kill -0 "$dachs_pid" 2>/dev/null; then
    echo "DaCHS did not start; its log:" >&2
    tail -n 20 "$work/dachs.log" >&2
    exit 1
  fi
  sleep 0.2
done

ODBCSYSINI=$work/odbc ODBCINI=$work/odbc/odbc.ini \
  /usr/bin/python3 "$top/tests/dachs/check_tap.py" "http://127.0.0.1:$dachs_port/tap" "$build"
