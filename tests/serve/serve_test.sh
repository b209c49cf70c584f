#!/bin/bash
# scripts/serve started as root: it refuses a build or site directory that
# another account could write, never follows a link planted in the site,
# writes its configuration 0644 whatever the umask, runs the requests as
# www-data and never as root, stops with a message when www-data cannot
# read the build or the database is in WAL mode, and otherwise serves the
# page.  Each case is a build directory of its own (the program, the
# dialect extension and the sample database, with its data source).  On a
# directory that is not built yet, it says first what it does, builds the
# site alone (not the tests) with a few lines of progress and serves it;
# a failed build shows the compiler's error and stops.
# Needs root (chown, runuser); skips (status 77) otherwise.
# Usage: tests/serve/serve_test.sh SOURCE_DIR BUILD_DIR
set -uo pipefail
source=$1
build=$2
if [ "$(id -u)" -ne 0 ]; then
  echo "SKIP: needs root, to serve as root and run requests as www-data"
  exit 77
fi
for tool in curl sqlite3 runuser; do
  command -v $tool >/dev/null || { echo "FAIL: $tool is missing; scripts/test installs it"; exit 1; }
done
PATH=$PATH:/usr/sbin:/sbin command -v lighttpd >/dev/null ||
  { echo "FAIL: lighttpd is missing; scripts/test installs it"; exit 1; }
id www-data >/dev/null 2>&1 || { echo "FAIL: there is no user www-data"; exit 1; }

work=$build/test-data/serve
rm -rf "$work"
mkdir -p "$work"
chmod 755 "$work"
failures=0
passed=0
fail() { echo "FAIL: $case: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $case"; passed=$((passed + 1)); }

# A build directory at DIR that scripts/serve can serve without building,
# with the project's driver beside the extension.
make_build() {
  local dir=$1
  mkdir -p "$dir"
  cp "$build/neighbor_search" "$build/entry_page.exe" "$build/neighbours" "$build/veloran_dialect.so" "$build/veloran_odbc.so" "$build/sample.db" "$dir/"
  "$source/scripts/write-dsn" "$dir/sample.db" "$dir/odbc" "$dir/veloran_dialect.so"
}
free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])' 2>/dev/null ||
    echo $((20000 + RANDOM % 20000))
}

# Runs scripts/serve on the build DIR with the umask UMASK (on the port
# $fixed_port, or a free one), waiting for it to answer as long as it
# runs (it may be building); when it stops by itself, its exit status is
# in $status and its messages in $log; when it serves, the page of a search
# is in $page and the user of the server in $server_user, and the server is
# stopped; the entry page of the Sun is in $entry, the site's page of a
# search in $neighbours and its script in $script.
serve() {
  local dir=$1 mask=${2:-022} pid
  port=${fixed_port:-$(free_port)}
  log=$work/serve-$case.log
  status="" page="" entry="" neighbours="" script="" server_user=""
  (umask "$mask"; VELORAN_BUILD_DIR=$dir exec "$source/scripts/serve" --port "$port") > "$log" 2>&1 &
  pid=$!
  while :; do
    if ! kill -0 "$pid" 2>/dev/null; then
      wait "$pid"
      status=$?
      return
    fi
    curl -s -o /dev/null "http://127.0.0.1:$port/" && break
    sleep 0.2
  done
  page=$(curl -s "http://127.0.0.1:$port/cgi-bin/neighbor_search?ID=100&ly=5")
  entry=$(curl -s "http://127.0.0.1:$port/cgi-bin/entry_page.exe?ID=100")
  neighbours=$(curl -s "http://127.0.0.1:$port/cgi-bin/neighbours?ID=100&ly=5")
  script=$(curl -s "http://127.0.0.1:$port/neighbours.js")
  server_user=$(ps -o user= -p "$pid")
  kill -TERM "$pid"
  wait "$pid"
}
expect_refusal() {  # WORDS...: serve stopped with status 1 and said them
  if [ "$status" != 1 ]; then
    fail "scripts/serve did not stop with status 1 (status '${status:-serving}')"
    return 1
  fi
  local words
  for words in "$@"; do
    grep -qF -- "$words" "$log" || { fail "its message does not say '$words':"; sed 's/^/    /' "$log"; return 1; }
  done
}
expected_page=$(QUERY_STRING='ID=100&ly=5' ODBCSYSINI=$build/odbc ODBCINI=$build/odbc/odbc.ini \
                "$build/neighbor_search" | sed '1,2d')
expected_entry=$(QUERY_STRING='ID=100' ODBCSYSINI=$build/odbc ODBCINI=$build/odbc/odbc.ini \
                 "$build/entry_page.exe" | sed '1,2d')
expected_neighbours=$(QUERY_STRING='ID=100&ly=5' ODBCSYSINI=$build/odbc ODBCINI=$build/odbc/odbc.ini \
                      "$build/neighbours" | sed '1,2d')

case=serves_as_www_data
make_build "$work/$case"
serve "$work/$case"
if [ "$page" != "$expected_page" ] || [ "$entry" != "$expected_entry" ] ||
   [ "$neighbours" != "$expected_neighbours" ] || [ "$script" != "$(cat "$source/web/neighbours.js")" ] ||
   [ "$server_user" != www-data ]; then
  fail "page ${page:0:60}..., entry ${entry:0:60}..., server user '$server_user' (status ${status:-serving}): $(cat "$log")"
else
  pass
fi

case=world_writable_build
make_build "$work/$case"
chmod 777 "$work/$case"
serve "$work/$case"
expect_refusal "$work/$case" "every account may write it" && pass

case=build_of_another_user
make_build "$work/$case"
chown -R nobody "$work/$case"
serve "$work/$case"
expect_refusal "$work/$case" "belongs to nobody" && pass

case=group_writable_parent
mkdir -p "$work/$case"
chgrp www-data "$work/$case"
chmod 775 "$work/$case"
make_build "$work/$case/build"
serve "$work/$case/build"
expect_refusal "the directory $work/$case above it" "the group www-data may write it" && pass

case=sticky_parent
mkdir -p "$work/$case"
chmod 1777 "$work/$case"
make_build "$work/$case/build"
serve "$work/$case/build"
[ "$page" = "$expected_page" ] && pass || fail "not served from below a sticky directory: $(cat "$log")"

case=site_is_a_link
make_build "$work/$case"
mkdir -m 700 "$work/$case-private"
ln -s "$work/$case-private" "$work/$case/site"
serve "$work/$case"
expect_refusal "$work/$case/site is not a directory" &&
  [ "$(stat -c %a "$work/$case-private")" = 700 ] && [ -z "$(ls -A "$work/$case-private")" ] && pass ||
  fail "the private directory was changed: $(stat -c %a "$work/$case-private"), $(ls -A "$work/$case-private")"

# Links in a site that only root can write were put there by root; still,
# root writes and hands over files under new names, never through them.
case=links_in_the_site
make_build "$work/$case"
mkdir -p "$work/$case/site/htdocs" "$work/$case/site/cgi-bin"
echo secret > "$work/$case-secret"
chmod 600 "$work/$case-secret"
fixed_port=$(free_port)
for name in "error-$fixed_port.log" "lighttpd-$fixed_port.conf" htdocs/index.html; do
  ln -s "$work/$case-secret" "$work/$case/site/$name"
done
serve "$work/$case"
unset fixed_port
if [ "$(stat -c '%U %a' "$work/$case-secret")" != "root 600" ] || [ "$(cat "$work/$case-secret")" != secret ]; then
  fail "the file behind the links was changed: $(stat -c '%U %a' "$work/$case-secret"), $(head -c 80 "$work/$case-secret")"
elif [ -L "$work/$case/site/error-$port.log" ] || [ "$(stat -c %U "$work/$case/site/error-$port.log")" != www-data ]; then
  fail "the error log is not a file of www-data's"
elif [ -L "$work/$case/site/lighttpd-$port.conf" ] || [ -L "$work/$case/site/htdocs/index.html" ]; then
  fail "the configuration or the form is still a link"
elif [ "$page" != "$expected_page" ]; then
  fail "not served: $(cat "$log")"
else
  pass
fi

case=umask_000
make_build "$work/$case"
serve "$work/$case" 000
conf_mode=$(stat -c %a "$work/$case/site/lighttpd-$port.conf" 2>/dev/null)
dir_modes=$(stat -c %a "$work/$case/site" "$work/$case/site/htdocs" "$work/$case/site/cgi-bin" | tr '\n' ' ')
if [ "$conf_mode" != 644 ] || [ "$dir_modes" != "755 755 755 " ]; then
  fail "configuration mode '$conf_mode', site directories $dir_modes"
else
  pass
fi

case=www_data_cannot_read
mkdir -m 700 "$work/$case"
make_build "$work/$case/build"
serve "$work/$case/build"
expect_refusal "www-data may not enter $work/$case" "chmod o+x $work/$case" &&
  ! grep -q "server.username" "$work/$case/build/site/lighttpd-$port.conf" 2>/dev/null && pass

case=wal_database
make_build "$work/$case"
chmod 755 "$work/$case"
sqlite3 "$work/$case/sample.db" 'PRAGMA journal_mode=WAL' >/dev/null
serve "$work/$case"
expect_refusal "did not give a result page" "is in WAL mode" "PRAGMA journal_mode=DELETE" && pass

# A directory not built yet: the first line says what happens and how
# long it takes, the build shows a few lines of progress and none of its
# own, only the site is built (the tests are left to scripts/test, which
# the configuration keeps on), and the pages are served.
case=builds_the_site_alone
serve "$work/$case"
build_lines=$(grep -cvE '^(serve|setup): ' "$log")
if [ -n "$status" ] || [ "$page" != "$expected_page" ] || [ "$entry" != "$expected_entry" ] ||
   [ "$neighbours" != "$expected_neighbours" ]; then
  fail "not served (status '${status:-serving}'): $(cat "$log")"
elif ! head -n 1 "$log" | grep -qE "^serve: building the site into $work/$case before serving it \\(a few minutes: .* on 2 .*cores, "; then
  fail "the first line does not say what happens and how long it takes: $(head -n 1 "$log")"
elif [ "$build_lines" -ne 1 ] || [ "$(wc -l < "$log")" -gt 9 ] ||
     ! grep -qE '^setup: built in [0-9]+' "$log"; then
  fail "not a few lines of progress and the address: $(cat "$log")"
elif ! grep -q 'Built target served_site' "$work/$case/site-build.log" ||
     grep -q 'tests/' "$work/$case/site-build.log" ||
     ! grep -q '^VELORAN_TESTS:BOOL=ON$' "$work/$case/CMakeCache.txt"; then
  fail "not the site alone, or the tests left off for good: $(grep 'Built target' "$work/$case/site-build.log")"
else
  pass
fi

# A build that fails (every compilation stopped by an #error, set in the
# configuration as a fault would be) shows the compiler's error, says where
# the whole output is, and serves nothing.
case=failed_build_shows_its_error
mkdir -p "$work/$case"
echo '#error fault injected by the serve test' > "$work/$case-fault.h"
cmake -S "$source" -B "$work/$case" >/dev/null &&
  cmake -S "$source" -B "$work/$case" -DCMAKE_C_FLAGS="-include $work/$case-fault.h" \
        -DCMAKE_CXX_FLAGS="-include $work/$case-fault.h" >/dev/null
serve "$work/$case"
if [ -z "$status" ] || [ "$status" -eq 0 ] || grep -q '^Open http' "$log"; then
  fail "served, or stopped with status 0 (status '${status:-serving}'): $(cat "$log")"
elif ! grep -q '^setup: the build failed' "$log" ||
     ! grep -q "error: #error fault injected by the serve test" "$log" ||
     ! grep -q "^setup: the whole output of the build is in $work/$case/site-build.log$" "$log"; then
  fail "the failure does not show its error and log: $(cat "$log")"
else
  pass
fi

echo "$passed passed, $failures failed"
[ "$failures" -eq 0 ] || { echo "(logs in $work)"; exit 1; }
rm -rf "$work"
