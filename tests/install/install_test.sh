#!/bin/bash
# scripts/install and scripts/uninstall, staged in temporary roots: every
# file and mode, the installed program answering through the installed data
# source byte for byte as build/neighbor_search does on the sample database,
# the refusals, and an uninstall that leaves each root exactly as it was.
# As root with VELORAN_TEST_SYSTEM_INSTALL=1 (CI), and only on a machine
# without an installed program or data source of the same name, also a real
# installation served by lighttpd, undone afterwards whatever happens.
# Usage: tests/install/install_test.sh BUILD_DIR
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: tests/install/install_test.sh BUILD_DIR" >&2; exit 2; }
build=$(cd "$1" && pwd)
top=$(cd "$(dirname "$0")/../.." && pwd)
install=$top/scripts/install
uninstall=$top/scripts/uninstall
query='ID=100&ly=20'
for f in neighbor_search veloran_dialect.so veloran_odbc.so sample.db; do
  [ -e "$build/$f" ] || { echo "no $build/$f: run scripts/setup first" >&2; exit 1; }
done
driver=$(dpkg -L libsqliteodbc | grep '/libsqlite3odbc\.so$' | head -n 1)
is_root=0
[ "$(id -u)" -ne 0 ] || is_root=1

work=$(mktemp -d /tmp/veloran-install-test.XXXXXX)
chmod 0755 "$work"  # the staged program runs as www-data too
lighttpd_pid=""
system_installed=0
cleanup() {
  status=$?
  if [ -n "$lighttpd_pid" ]; then
    kill "$lighttpd_pid" 2>/dev/null || true
    wait "$lighttpd_pid" 2>/dev/null || true
  fi
  if [ "$system_installed" -eq 1 ] && [ -f /var/lib/veloran/install-manifest ]; then
    echo "undoing the system installation" >&2
    "$uninstall" --force >&2 || true
  fi
  rm -rf "$work"
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

failures=0
fail() { echo "FAILED: $*" >&2; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }
check() {  # check DESCRIPTION COMMAND...
  local what=$1; shift
  if "$@"; then pass "$what"; else fail "$what"; fi
}

# Every entry under a directory: path, type, mode, owner, size, checksum.
listing() {
  (cd "$1" && find . -printf '%p\t%y\t%m\t%u:%g\t%s\n' | LC_ALL=C sort |
    while IFS=$'\t' read -r path type mode owner size; do
      sum=-
      [ "$type" != f ] || sum=$(sha256sum < "$path" | cut -c 1-64)
      printf '%s %s %s %s %s %s\n' "$path" "$type" "$mode" "$owner" "$size" "$sum"
    done)
}
same_listing() {  # same_listing BEFORE-FILE DIR
  listing "$2" > "$work/listing.now"
  diff -u "$1" "$work/listing.now" >&2
}

# The page of a program run as a web server runs it, with the data sources
# of ODBCSYSINI only.
page() {  # page PROGRAM ODBCSYSINI [USER]
  local as=()
  [ $# -lt 3 ] || as=(setpriv --reuid="$3" --regid="$3" --clear-groups)
  "${as[@]}" env -i PATH=/usr/bin:/bin QUERY_STRING="$query" ODBCSYSINI="$2" \
    ODBCINI="$work/no-user-dsns.ini" "$1"
}
same_bytes() { cmp "$1" "$2" >&2; }

"$top/scripts/write-dsn" "$build/sample.db" "$work/reference-odbc" "$build/veloran_dialect.so"
page "$build/neighbor_search" "$work/reference-odbc" > "$work/reference.html"
grep -q 'Proxima' "$work/reference.html" || { echo "the reference page lists no stars" >&2; exit 1; }

# A root holding what a machine has before the installation: another data
# source and another driver (in a layout of their own, with comments, which
# odbcinst would not keep), another CGI program.
make_root() {
  local root=$work/$1
  mkdir -p "$root/etc" "$root/usr/lib/cgi-bin"
  chmod 0755 "$root"
  printf '; data sources of this machine\n[Accounts]\nDriver = %s\nDatabase = /srv/accounts.db\n\n' \
    "$driver" > "$root/etc/odbc.ini"
  printf '[SQLite3]\nDescription=SQLite3 ODBC Driver\nDriver=libsqlite3odbc.so\nSetup=libsqlite3odbc.so\nUsageCount=1\n' \
    > "$root/etc/odbcinst.ini"
  printf '#!/bin/sh\necho other\n' > "$root/usr/lib/cgi-bin/other_program"
  chmod 0755 "$root/usr/lib/cgi-bin/other_program"
  printf '%s\n' "$root"
}
run_install() {  # run_install ROOT ARGS...: output in $work/out, $work/err
  local root=$1; shift
  "$install" --root "$root" --build-dir "$build" --no-build "$@" > "$work/out" 2> "$work/err"
}
dsn_value() {  # dsn_value ROOT SECTION-KIND NAME KEY
  ODBCSYSINI=$1/etc odbcinst -q "$2" -l -n "$3" 2>/dev/null | sed -n "s/^$4=//p"
}

echo "== installation into a staging root"
root=$(make_root main)
listing "$root" > "$work/main.before"
if run_install "$root"; then pass "install"; else fail "install: $(cat "$work/err")"; fi
owner=$(id -un):$(id -gn)
[ "$is_root" -eq 0 ] || owner=root:root
# path, type, mode, the file it is a copy of
while read -r path type mode source; do
  entry=$root/$path
  check "$path is a $type" test "-$type" "$entry"
  check "$path has mode $mode, owner $owner" test "$(stat -c '%a %U:%G' "$entry" 2>/dev/null)" = "$mode $owner"
  [ "$source" = - ] || check "$path is $source" cmp -s "$source" "$entry"
done <<TABLE
usr/lib/cgi-bin/neighbor_search f 755 $build/neighbor_search
usr/lib/veloran d 755 -
usr/lib/veloran/veloran_dialect.so f 644 $build/veloran_dialect.so
usr/lib/veloran/veloran_odbc.so f 644 $build/veloran_odbc.so
var/lib/veloran d 755 -
var/lib/veloran/veloran.db f 644 $build/sample.db
var/lib/veloran/install-manifest f 644 -
etc/lighttpd/conf-available d 755 -
etc/lighttpd/conf-available/50-veloran-neighbor-search.conf f 644 $top/web/lighttpd-neighbor-search.conf
TABLE
for path in usr/lib/cgi-bin/neighbor_search usr/lib/veloran/veloran_dialect.so \
    usr/lib/veloran/veloran_odbc.so var/lib/veloran/veloran.db \
    etc/lighttpd/conf-available/50-veloran-neighbor-search.conf; do
  check "the manifest lists $path" grep -q "^file	$root/$path	created	" "$root/var/lib/veloran/install-manifest"
done
# lighttpd takes the installed snippet, beside Debian's CGI set-up, without
# a word: it warns about unknown keys and limits, and still exits 0.
snippet=$root/etc/lighttpd/conf-available/50-veloran-neighbor-search.conf
lighttpd=$(PATH=$PATH:/usr/sbin:/sbin command -v lighttpd || true)
if [ -z "$lighttpd" ]; then
  fail "lighttpd is missing (scripts/test installs it): the lighttpd snippet is not checked"
else
  cat > "$work/snippet-test.conf" <<CONF
server.document-root = "$work"
server.port = 8080
server.modules += ( "mod_alias", "mod_cgi" )
\$HTTP["url"] =~ "^/cgi-bin/" {
	cgi.assign = ( "" => "" )
	alias.url += ( "/cgi-bin/" => "$root/usr/lib/cgi-bin/" )
}
include "$snippet"
CONF
  "$lighttpd" -tt -f "$work/snippet-test.conf" > "$work/snippet-test.out" 2>&1
  check "lighttpd takes the snippet without a word" test "$?:$(cat "$work/snippet-test.out")" = "0:"
  check "the snippet depends on Debian's CGI set-up" grep -q '^# -\*- depends: cgi -\*-$' "$snippet"
fi
# section kind, name, key, value
while read -r kind name key value; do
  check "$name: $key=$value" test "$(dsn_value "$root" "$kind" "$name" "$key")" = "$value"
done <<TABLE
-s Veloran Driver $root/usr/lib/veloran/veloran_odbc.so
-s Veloran Database file:$root/var/lib/veloran/veloran.db?mode=ro
-s Veloran Timeout 2000
-s Veloran LoadExt $root/usr/lib/veloran/veloran_dialect.so
-s Accounts Database /srv/accounts.db
-d VeloranSQLite Driver $root/usr/lib/veloran/veloran_odbc.so
-d SQLite3 Driver libsqlite3odbc.so
TABLE
for line in 'lighty-enable-mod cgi' 'server.modules += ( "mod_cgi" )' \
    "alias.url += ( \"/cgi-bin/\" => \"$root/usr/lib/cgi-bin/\" )" 'a2enmod cgid' \
    "ODBCSYSINI=$root/etc" "curl 'http://localhost/cgi-bin/neighbor_search?ID=100&ly=20'"; do
  check "it prints: $line" grep -qF -- "$line" "$work/out"
done
page "$root/usr/lib/cgi-bin/neighbor_search" "$root/etc" > "$work/main.html" || true
check "the installed program gives the reference page" same_bytes "$work/reference.html" "$work/main.html"
if [ "$is_root" -eq 1 ]; then
  page "$root/usr/lib/cgi-bin/neighbor_search" "$root/etc" www-data > "$work/www-data.html" || true
  check "it gives the reference page as www-data" same_bytes "$work/reference.html" "$work/www-data.html"
  for path in var/lib/veloran/probe var/lib/veloran/veloran.db; do
    check "www-data cannot write $path" \
      test "$(setpriv --reuid=www-data --regid=www-data --clear-groups sh -c "echo >> $root/$path" 2>/dev/null && echo wrote)" = ""
  done
fi

listing "$root" > "$work/main.installed"
if run_install "$root"; then fail "a second installation was not refused"; fi
check "a second installation is refused: already installed" grep -q 'already installed.*--force' "$work/err"
check "the refused installation changed nothing" same_listing "$work/main.installed" "$root"

"$uninstall" --root "$root" > "$work/out" 2> "$work/err" || fail "uninstall: $(cat "$work/err")"
check "uninstall says what it removed" grep -q "removed the data source Veloran from $root/etc/odbc.ini" "$work/out"
check "uninstall leaves the root exactly as it was" same_listing "$work/main.before" "$root"
"$uninstall" --root "$root" > "$work/out" 2>&1 || fail "a second uninstall failed: $(cat "$work/out")"
check "a second uninstall says nothing is installed" grep -q '^Nothing is installed' "$work/out"
check "a second uninstall changed nothing" same_listing "$work/main.before" "$root"

echo "== Debian's SQLite ODBC driver instead of the project's"
root=$(make_root debian-driver)
listing "$root" > "$work/debian-driver.before"
if run_install "$root" --driver sqliteodbc; then pass "install --driver sqliteodbc"; else fail "install --driver sqliteodbc: $(cat "$work/err")"; fi
check "the data source names Debian's driver" test "$(dsn_value "$root" -s Veloran Driver)" = "$driver"
check "the data source steps through rows" test "$(dsn_value "$root" -s Veloran StepAPI)" = 1
check "the project's driver is not installed" test ! -e "$root/usr/lib/veloran/veloran_odbc.so"
page "$root/usr/lib/cgi-bin/neighbor_search" "$root/etc" > "$work/debian-driver.html" || true
check "it gives the reference page" same_bytes "$work/reference.html" "$work/debian-driver.html"
"$uninstall" --root "$root" > "$work/out" 2> "$work/err" || fail "uninstall: $(cat "$work/err")"
check "uninstall leaves the root exactly as it was" same_listing "$work/debian-driver.before" "$root"

echo "== refusals, and --force"
# name, message; each root gets what it is refused for
while IFS='|' read -r name message; do
  root=$(make_root "$name")
  args=()
  case "$name" in
    other-program)
      printf '#!/bin/sh\necho an older search\n' > "$root/usr/lib/cgi-bin/neighbor_search"
      chmod 0700 "$root/usr/lib/cgi-bin/neighbor_search" ;;
    other-dsn)
      printf '[Veloran]\nDriver=%s\nDatabase=/srv/stars.db\n' "$driver" >> "$root/etc/odbc.ini" ;;
    other-driver)
      printf '[VeloranSQLite]\nDriver=/opt/other/libother.so\nUsageCount=1\n' >> "$root/etc/odbcinst.ini" ;;
    not-a-database)
      echo "ID|Name" > "$work/stars.txt"
      args=(--database "$work/stars.txt") ;;
    etc-not-a-directory)
      rm -r "${root:?}/etc"
      touch "$root/etc" ;;
  esac
  listing "$root" > "$work/$name.before"
  if run_install "$root" "${args[@]}"; then fail "$name: not refused"; fi
  check "$name: refused with '$message'" grep -q -- "$message" "$work/err"
  check "$name: the refusal changed nothing" same_listing "$work/$name.before" "$root"
  case "$name" in not-a-database|etc-not-a-directory) continue ;; esac
  if run_install "$root" --force; then pass "$name: --force installs"; else fail "$name: --force: $(cat "$work/err")"; fi
  page "$root/usr/lib/cgi-bin/neighbor_search" "$root/etc" > "$work/$name.html" || true
  check "$name: --force gives the reference page" same_bytes "$work/reference.html" "$work/$name.html"
  "$uninstall" --root "$root" > "$work/out" 2> "$work/err" || fail "$name: uninstall: $(cat "$work/err")"
  check "$name: uninstall puts back what --force replaced" grep -q '^put back the earlier' "$work/out"
  check "$name: uninstall leaves the root exactly as it was" same_listing "$work/$name.before" "$root"
done <<TABLE
other-program|neighbor_search exists and is a different program; remove it, or use --force
other-dsn|data source Veloran in .* already points at '/srv/stars.db'.* or use --force
other-driver|driver VeloranSQLite in .* already names '/opt/other/libother.so'.* or use --force
not-a-database|stars.txt is not a SQLite database
etc-not-a-directory|failed; undoing what was installed
TABLE

echo "== a replaced driver, its odbcinst.ini changed since"
root=$(make_root changed-driver)
printf '[VeloranSQLite]\nDriver=/opt/other/libother.so\nUsageCount=1\n' >> "$root/etc/odbcinst.ini"
if run_install "$root" --force; then pass "install --force over another driver"; else fail "install --force: $(cat "$work/err")"; fi
printf '[Added]\nDriver=/opt/added.so\n' > "$work/added-driver.ini"
ODBCSYSINI=$root/etc odbcinst -i -d -f "$work/added-driver.ini" >/dev/null
"$uninstall" --root "$root" > "$work/out" 2> "$work/err" || fail "uninstall: $(cat "$work/err")"
check "the earlier driver is back" test "$(dsn_value "$root" -d VeloranSQLite Driver)" = /opt/other/libother.so
check "with its usage count" test "$(dsn_value "$root" -d VeloranSQLite UsageCount)" = 1
check "the driver added later stays" test "$(dsn_value "$root" -d Added Driver)" = /opt/added.so

echo "== a root with drivers but no data sources"
root=$(make_root no-odbc-ini)
rm "$root/etc/odbc.ini"
listing "$root" > "$work/no-odbc-ini.before"
if run_install "$root"; then pass "install"; else fail "install: $(cat "$work/err")"; fi
"$uninstall" --root "$root" > "$work/out" 2> "$work/err" || fail "uninstall: $(cat "$work/err")"
check "uninstall leaves no odbc.ini behind" same_listing "$work/no-odbc-ini.before" "$root"

echo "== an empty root"
root=$work/empty
mkdir -m 0755 "$root"
if run_install "$root"; then pass "install into an empty root"; else fail "install into an empty root: $(cat "$work/err")"; fi
page "$root/usr/lib/cgi-bin/neighbor_search" "$root/etc" > "$work/empty.html" || true
check "it gives the reference page" same_bytes "$work/reference.html" "$work/empty.html"
"$uninstall" --root "$root" > "$work/out" 2> "$work/err" || fail "uninstall: $(cat "$work/err")"
check "uninstall leaves the root empty" test -z "$(ls -A "$root")"

echo "== another database"
root=$(make_root other-database)
cp "$build/sample.db" "$work/fewer.db"
sqlite3 -batch "$work/fewer.db" "DELETE FROM Positions WHERE OwnerID >= 323490000 AND OwnerID < 323490100"
"$top/scripts/write-dsn" "$work/fewer.db" "$work/fewer-odbc" "$build/veloran_dialect.so"
page "$build/neighbor_search" "$work/fewer-odbc" > "$work/fewer-reference.html"
check "the smaller database gives another page" test -n "$(cmp "$work/reference.html" "$work/fewer-reference.html" 2>&1 || true)"
cp "$root/etc/odbcinst.ini" "$work/odbcinst.ini.before"
if run_install "$root" --database "$work/fewer.db"; then pass "install --database"; else fail "install --database: $(cat "$work/err")"; fi
check "the database installed is the one given" cmp -s "$work/fewer.db" "$root/var/lib/veloran/veloran.db"
page "$root/usr/lib/cgi-bin/neighbor_search" "$root/etc" > "$work/fewer.html" || true
check "the installed program answers from it" same_bytes "$work/fewer-reference.html" "$work/fewer.html"

# Changes made after the installation: another data source added with
# odbcinst stays, a database changed since is left in place.
printf '[Added]\nDriver=%s\nDatabase=/srv/added.db\n' "$driver" > "$work/added.ini"
ODBCSYSINI=$root/etc odbcinst -i -s -l -f "$work/added.ini" >/dev/null
echo >> "$root/var/lib/veloran/veloran.db"
"$uninstall" --root "$root" > "$work/out" 2> "$work/err" || fail "uninstall after changes: $(cat "$work/err")"
check "the data source is gone" test -z "$(dsn_value "$root" -s Veloran Database)"
check "the data source added later stays" test "$(dsn_value "$root" -s Added Database)" = /srv/added.db
check "the data source from before stays" test "$(dsn_value "$root" -s Accounts Database)" = /srv/accounts.db
check "the odbcinst.ini nobody changed is as it was" cmp -s "$work/odbcinst.ini.before" "$root/etc/odbcinst.ini"
check "the changed database is left, with a message" grep -q "left $root/var/lib/veloran/veloran.db: it has changed" "$work/err"
check "the changed database is still there" test -f "$root/var/lib/veloran/veloran.db"
check "the program is gone" test ! -e "$root/usr/lib/cgi-bin/neighbor_search"

echo "== without root"
if [ "$is_root" -eq 1 ]; then
  as_nobody=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
else
  as_nobody=()
fi
if "${as_nobody[@]}" "$install" --build-dir "$build" --no-build > "$work/out" 2> "$work/err"; then
  fail "an installation into / without root was not refused"
fi
check "install says it needs root" grep -q 'needs root' "$work/err"

echo "== system installation"
if [ "${VELORAN_TEST_SYSTEM_INSTALL:-0}" != 1 ]; then
  echo "skipped: set VELORAN_TEST_SYSTEM_INSTALL=1 to install into the system and serve it with lighttpd"
elif [ "$is_root" -ne 1 ]; then
  echo "skipped: needs root"
elif [ -e /usr/lib/cgi-bin/neighbor_search ] || [ -e /var/lib/veloran/install-manifest ] ||
     ODBCSYSINI=/etc odbcinst -q -s -l -n Veloran >/dev/null 2>&1; then
  echo "skipped: this machine already has /usr/lib/cgi-bin/neighbor_search or a system data source Veloran"
else
  missing=""
  for p in lighttpd curl; do dpkg -s "$p" >/dev/null 2>&1 || missing="$missing $p"; done
  if [ -n "$missing" ]; then
    echo "missing:$missing; scripts/test installs them (or: apt-get install$missing)" >&2
    exit 1
  fi
  system_state() {
    for path in /etc/odbc.ini /etc/odbcinst.ini /usr/lib/cgi-bin /var/lib/veloran \
                /etc/lighttpd/conf-available; do
      if [ -e "$path" ]; then
        echo "$path:"
        if [ -d "$path" ]; then
          listing "$path"
        else
          printf '%s %s\n' "$(stat -c '%F %a %U:%G %s' "$path")" "$(sha256sum < "$path" | cut -c 1-64)"
        fi
      else
        echo "$path: absent"
      fi
    done
  }
  system_state > "$work/system.before"
  system_installed=1
  if "$install" --build-dir "$build" --no-build > "$work/system.out" 2> "$work/err"; then
    pass "system install"
  else
    fail "system install: $(cat "$work/err")"
  fi
  check "it says no environment variable is needed" grep -q 'No environment variable is needed' "$work/system.out"

  # Debian's configuration on a spare loopback port, with the snippet that
  # install printed enabled where lighty-enable-mod would enable it.
  sed -n '/or put this into/,/^$/p' "$work/system.out" | sed -e '1d' -e '/^$/d' -e 's/^    //' > "$work/cgi.conf"
  check "the printed snippet maps /cgi-bin/ to /usr/lib/cgi-bin/" grep -qF '"/cgi-bin/" => "/usr/lib/cgi-bin/"' "$work/cgi.conf"
  cgi_include="include \"$work/cgi.conf\""
  [ ! -e /etc/lighttpd/conf-enabled/10-cgi.conf ] || cgi_include=""
  touch "$work/lighttpd-error.log"
  chown www-data "$work/lighttpd-error.log"
  served=0
  for _ in 1 2 3 4 5; do
    port=$((20000 + RANDOM % 20000))
    sed -e "s|^server.port .*|server.port = $port|" \
        -e "s|^server.pid-file .*|server.pid-file = \"$work/lighttpd.pid\"|" \
        -e "s|^server.errorlog .*|server.errorlog = \"$work/lighttpd-error.log\"|" \
        -e '/use-ipv6\.pl/d' \
        -e "\\|^include \"/etc/lighttpd/conf-enabled/\\*.conf\"|a $cgi_include" \
        /etc/lighttpd/lighttpd.conf > "$work/lighttpd.conf"
    echo 'server.bind = "127.0.0.1"' >> "$work/lighttpd.conf"
    env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin lighttpd -D -f "$work/lighttpd.conf" 2>> "$work/lighttpd-error.log" &
    lighttpd_pid=$!
    for _ in $(seq 1 50); do
      kill -0 "$lighttpd_pid" 2>/dev/null || break
      if curl -s -o /dev/null "http://127.0.0.1:$port/"; then served=1; break; fi
      sleep 0.1
    done
    [ "$served" -eq 0 ] || break
    kill "$lighttpd_pid" 2>/dev/null || true
    wait "$lighttpd_pid" 2>/dev/null || true
    lighttpd_pid=""
  done
  if [ "$served" -eq 1 ]; then
    pass "lighttpd serves 127.0.0.1:$port"
    reply=$(curl -sS -o "$work/served.html" -w '%{http_code} %{content_type}' \
      "http://127.0.0.1:$port/cgi-bin/neighbor_search?$query" || true)
    check "lighttpd answers 200 text/html" test "$reply" = "200 text/html"
    tail -n +3 "$work/reference.html" > "$work/reference-body.html"
    check "the served page is the reference page" same_bytes "$work/reference-body.html" "$work/served.html"
    kill "$lighttpd_pid"
    wait "$lighttpd_pid" 2>/dev/null || true
    lighttpd_pid=""
  else
    fail "lighttpd did not start: $(cat "$work/lighttpd-error.log")"
  fi
  "$uninstall" > "$work/out" 2> "$work/err" || fail "system uninstall: $(cat "$work/err")"
  system_installed=0
  system_state > "$work/system.after"
  check "uninstall leaves /etc/odbc.ini, /etc/odbcinst.ini, /usr/lib/cgi-bin and /var/lib/veloran as they were" \
    diff -u "$work/system.before" "$work/system.after"
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures checks failed" >&2
  exit 1
fi
echo "all checks passed"
