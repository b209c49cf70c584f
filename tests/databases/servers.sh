# Starts and stops a PostgreSQL 15 server and a MariaDB server of their own
# for a test: each in its own data directory under $servers_dir, listening on
# a free loopback port and on a Unix socket in that directory, as user nobody
# when run as root (neither server runs as root).  Sourced by the tests; the
# caller stops them with stop_servers in its EXIT trap.
#   servers_dir=DIR; . tests/databases/servers.sh
#   start_postgresql & start_mariadb & wait   (then postgresql_port, ...)

pg_bin=/usr/lib/postgresql/15/bin

# A loopback port that nothing listens on now.
free_port() {
  /usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# COMMAND... as the servers' user.
as_server_user() {
  if [ "$(id -u)" -eq 0 ]; then
    setpriv --reuid=nobody --regid=nogroup --clear-groups -- "$@"
  else
    "$@"
  fi
}

servers_available() {
  [ -x "$pg_bin/initdb" ] && command -v mariadbd >/dev/null &&
    command -v mariadb-install-db >/dev/null
}

# The server's log, when it failed to start.
server_failed() {
  echo "$1 did not start; its log:" >&2
  tail -n 20 "$2" >&2 2>/dev/null || true
  return 1
}

# Writes postgresql_port and postgresql_socket_dir into $servers_dir/pg.env.
start_postgresql() {
  dir=$servers_dir/pg
  mkdir -p "$dir"
  [ "$(id -u)" -ne 0 ] || chown nobody:nogroup "$dir"
  as_server_user "$pg_bin/initdb" -D "$dir/data" -A trust -U veloran_admin --no-sync \
    -E UTF8 --locale=C >"$dir/initdb.log" 2>&1 || server_failed initdb "$dir/initdb.log" || return 1
  # The free port may be taken before the server binds it: three tries.
  for try in 1 2 3; do
    port=$(free_port)
    if as_server_user "$pg_bin/pg_ctl" -D "$dir/data" -l "$dir/log" -w -t 30 \
         -o "-k $dir -p $port -c listen_addresses=127.0.0.1 -c fsync=off -c full_page_writes=off" \
         start >/dev/null 2>&1; then
      break
    fi
    [ "$try" -lt 3 ] || { server_failed PostgreSQL "$dir/log"; return 1; }
  done
  printf 'postgresql_port=%s\npostgresql_socket_dir=%s\n' "$port" "$dir" >"$servers_dir/pg.env"
}

# Writes mariadb_port and mariadb_socket into $servers_dir/my.env.
start_mariadb() {
  dir=$servers_dir/my
  mkdir -p "$dir"
  [ "$(id -u)" -ne 0 ] || chown nobody:nogroup "$dir"
  mariadb-install-db --no-defaults --datadir="$dir/data" --user=nobody \
    --auth-root-authentication-method=normal --skip-test-db >"$dir/install.log" 2>&1 ||
    server_failed mariadb-install-db "$dir/install.log" || return 1
  # The free port may be taken before the server binds it: three tries.
  for try in 1 2 3; do
    port=$(free_port)
    mariadbd --no-defaults --datadir="$dir/data" --user=nobody --socket="$dir/sock" \
      --port="$port" --bind-address=127.0.0.1 --pid-file="$dir/pid" --log-error="$dir/log" \
      --skip-log-bin --innodb-flush-log-at-trx-commit=0 --innodb-buffer-pool-size=64M \
      --innodb-log-file-size=16M >/dev/null 2>&1 &
    echo $! >"$dir/server.pid"
    tries=0
    until mariadb --no-defaults -S "$dir/sock" -uroot -e 'SELECT 1' >/dev/null 2>&1; do
      tries=$((tries + 1))
      if [ "$tries" -ge 150 ] || ! kill -0 "$(cat "$dir/server.pid")" 2>/dev/null; then
        break
      fi
      sleep 0.2
    done
    if mariadb --no-defaults -S "$dir/sock" -uroot -e 'SELECT 1' >/dev/null 2>&1; then
      break
    fi
    kill -9 "$(cat "$dir/server.pid")" 2>/dev/null || true
    [ "$try" -lt 3 ] || { server_failed MariaDB "$dir/log"; return 1; }
  done
  printf 'mariadb_port=%s\nmariadb_socket=%s\n' "$port" "$dir/sock" >"$servers_dir/my.env"
}

stop_servers() {
  if [ -f "$servers_dir/pg/data/postmaster.pid" ]; then
    as_server_user "$pg_bin/pg_ctl" -D "$servers_dir/pg/data" -m immediate -w stop \
      >/dev/null 2>&1 || true
  fi
  if [ -f "$servers_dir/my/server.pid" ]; then
    pid=$(cat "$servers_dir/my/server.pid")
    kill "$pid" 2>/dev/null || true
    # Up to 10 s for its shutdown, then no more waiting.
    tries=0
    while kill -0 "$pid" 2>/dev/null && [ "$tries" -lt 50 ]; do
      sleep 0.2
      tries=$((tries + 1))
    done
    kill -9 "$pid" 2>/dev/null || true
  fi
}
