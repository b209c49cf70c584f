#!/bin/bash
# The Debian packages as an operator meets them: built from a clean clone
# (scripts/build-packages), checked by lintian, installed with apt, served
# through a copy of Debian's own lighttpd configuration with the site's
# snippet enabled, removed, reinstalled and purged; then the previous
# version installed, edited by the operator and upgraded; then installed,
# removed and purged beside an operator's private /etc/odbc.ini (mode 0600,
# a password) and own driver entry named like ours, with one purge that
# cannot replace /etc/odbc.ini.  After each purge
# the machine must be as it was: the file lists of /etc, /usr/lib/cgi-bin,
# /usr/share and /var/lib/veloran, the bytes of /etc/odbc.ini and
# /etc/odbcinst.ini, and the list of installed packages.
#
# It installs packages system-wide, so it runs only as root with
# VELORAN_TEST_SYSTEM_INSTALL=1 (CI sets it), on a machine without the
# packages; otherwise it says it is skipped.  Whatever happens, it purges
# what it installed and puts /etc/odbc.ini and /etc/odbcinst.ini back.
# Usage: tests/debian/package_test.sh
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
if [ "${VELORAN_TEST_SYSTEM_INSTALL:-}" != 1 ]; then
  echo "skipped: the Debian packages are installed into the system only with VELORAN_TEST_SYSTEM_INSTALL=1 (as root)"
  exit 77
fi
[ "$(id -u)" -eq 0 ] || { echo "package_test: VELORAN_TEST_SYSTEM_INSTALL=1 needs root (it installs the packages)" >&2; exit 1; }
for p in veloran-site odbc-veloran; do
  if dpkg-query -W -f '${db:Status-Abbrev}' "$p" 2>/dev/null | grep -q '^[a-z][a-z]'; then
    echo "package_test: $p is installed on this machine (or its configuration is left); purge it first: apt-get purge veloran-site odbc-veloran" >&2
    exit 1
  fi
done
[ ! -e /var/lib/veloran ] || { echo "package_test: /var/lib/veloran exists; move it away first" >&2; exit 1; }
for tool in lintian lighttpd curl dpkg-buildpackage sqlite3; do
  PATH=$PATH:/usr/sbin command -v "$tool" >/dev/null ||
    { echo "package_test: $tool is missing (scripts/test installs it with VELORAN_TEST_SYSTEM_INSTALL=1)" >&2; exit 1; }
done
export PATH=$PATH:/usr/sbin:/sbin
unset ODBCSYSINI ODBCINI ODBCINSTINI

work=$(mktemp -d /tmp/veloran-package-test.XXXXXX)
chmod 0755 "$work"  # lighttpd's copy of the configuration is read as www-data
cp -a /etc/odbc.ini "$work/odbc.ini.saved" 2>/dev/null || true
cp -a /etc/odbcinst.ini "$work/odbcinst.ini.saved" 2>/dev/null || true
lighttpd_pid=""
stop_lighttpd() {
  if [ -n "$lighttpd_pid" ]; then
    kill "$lighttpd_pid" 2>/dev/null || true
    while kill -0 "$lighttpd_pid" 2>/dev/null; do sleep 0.1; done
    lighttpd_pid=""
  fi
}
apt_get() {
  DEBIAN_FRONTEND=noninteractive apt-get -y -qq -o DPkg::Lock::Timeout=300 \
    -o Dpkg::Options::=--force-confdef -o Dpkg::Options::=--force-confold "$@" > "$work/apt.log" 2>&1 ||
    { cat "$work/apt.log" >&2; return 1; }
}
cleanup() {
  status=$?
  stop_lighttpd
  if dpkg-query -W -f '${db:Status-Abbrev}\n' veloran-site odbc-veloran 2>/dev/null | grep -q '^[a-z][a-z]'; then
    echo "package_test: purging the packages" >&2
    apt_get purge veloran-site odbc-veloran || true
  fi
  # The system files as they were, with their modes, even when a purge
  # went wrong.
  chattr -i /etc/odbc.ini 2>/dev/null || true
  for f in odbc.ini odbcinst.ini; do
    if [ -e "$work/$f.saved" ]; then
      cat "$work/$f.saved" > "/etc/$f"
      chmod --reference="$work/$f.saved" "/etc/$f"
    fi
  done
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

# The state that a purge must give back.
state() {  # state FILE
  {
    for dir in /etc /usr/lib/cgi-bin /usr/share /var/lib/veloran /var/lib/odbc-veloran; do
      echo "== $dir"
      [ ! -e "$dir" ] || find "$dir" -printf '%p %y %m %u:%g\n' | LC_ALL=C sort
    done
    for f in /etc/odbc.ini /etc/odbcinst.ini; do
      echo "== $f"
      [ ! -e "$f" ] || od -c "$f"
    done
    echo "== packages"
    dpkg-query -W -f '${db:Status-Abbrev} ${Package} ${Version}\n' | LC_ALL=C sort
  } > "$1"
}
same_state() {  # same_state BEFORE-FILE
  state "$work/state.now"
  diff -u "$1" "$work/state.now" >&2
}

# --- Build and lintian --------------------------------------------------
# Both versions from the same commit.
rev=$(git -C "$top" rev-parse HEAD)
"$top/scripts/build-packages" --out "$work/new" --commit "$rev" 2>&1 | sed 's/^/  /'
[ "${PIPESTATUS[0]}" -eq 0 ] || { echo "FAILED: the packages do not build" >&2; exit 1; }
version=$(dpkg-deb -f "$work"/new/veloran-site_*.deb Version)
old_version=$version~previous
"$top/scripts/build-packages" --out "$work/old" --commit "$rev" --version "$old_version" 2>&1 | sed 's/^/  /'
[ "${PIPESTATUS[0]}" -eq 0 ] || { echo "FAILED: the previous version does not build" >&2; exit 1; }
new=("$work"/new/veloran-site_*.deb "$work"/new/odbc-veloran_*.deb)
old=("$work"/old/veloran-site_*.deb "$work"/old/odbc-veloran_*.deb)
check "version $version is built, and $old_version before it" dpkg --compare-versions "$old_version" lt "$version"

lintian --fail-on error,warning "${new[@]}" > "$work/lintian.out" 2>&1 && lintian_status=0 || lintian_status=$?
sed 's/^/  lintian: /' "$work/lintian.out"
check "lintian finds no error or warning" test "$lintian_status" -eq 0

# What the packages depend on is installed beforehand, so that the state
# before and after shows only what the packages themselves do.
deps=$(for deb in "${new[@]}"; do dpkg-deb -f "$deb" Depends; echo ,; done |
       tr ',' '\n' | sed 's/([^)]*)//g; s/|.*//; s/[[:space:]]//g' | grep -v -e '^$' -e veloran | sort -u)
# shellcheck disable=SC2086
"$top/scripts/need-packages" package_test $deps lighttpd

# An operator's own data source, which the packages must leave alone.
printf '[PackageTestNeighbour]\nDescription=Not ours\nDriver=SQLite3\nDatabase=/srv/neighbour.db\n' >> /etc/odbc.ini
state "$work/state.before"
cp /etc/odbc.ini "$work/odbc.ini.before"

# --- The site, as the web server runs it ---------------------------------
golden_body() {  # the page of tests/golden/FILE without its CGI header
  sed '1,/^\r\{0,1\}$/d' "$top/tests/golden/$1"
}
# Serves a copy of Debian's lighttpd configuration, with the site's snippet
# enabled as lighty-enable-mod enables it (with the modules its "depends"
# line names), on a free loopback port; the server runs its programs as
# www-data, as Debian's lighttpd does.
serve() {
  local conf=$work/lighttpd dep
  rm -rf "$conf"
  cp -a /etc/lighttpd "$conf"
  port=$(perl -MIO::Socket::INET -e 'print IO::Socket::INET->new(Listen => 1, LocalAddr => "127.0.0.1", LocalPort => 0)->sockport')
  mkdir -p "$work/htdocs" "$work/log"
  chown www-data: "$work/log"  # lighttpd opens its log as www-data
  sed -i -e "s|\"/etc/lighttpd/|\"$conf/|g" \
    -e "s|^server.document-root .*|server.document-root = \"$work/htdocs\"|" \
    -e "s|^server.errorlog .*|server.errorlog = \"$work/log/error.log\"|" \
    -e "s|^server.pid-file .*|server.pid-file = \"$work/lighttpd.pid\"|" \
    -e "s|^server.port .*|server.port = $port\nserver.bind = \"127.0.0.1\"|" \
    -e '/use-ipv6.pl/d' "$conf/lighttpd.conf"
  for dep in $(sed -n 's/^# -\*- depends: \(.*\) -\*-$/\1/p' "$conf/conf-available/50-veloran-site.conf"); do
    ln -sf "../conf-available/10-$dep.conf" "$conf/conf-enabled/10-$dep.conf"
  done
  ln -s ../conf-available/50-veloran-site.conf "$conf/conf-enabled/50-veloran-site.conf"
  if ! lighttpd -tt -f "$conf/lighttpd.conf" > "$work/lighttpd-test.out" 2>&1 ||
     [ -s "$work/lighttpd-test.out" ]; then
    fail "lighttpd does not take the configuration without a word: $(cat "$work/lighttpd-test.out")"
    return 1
  fi
  # Without -D, lighttpd returns once it listens.
  env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin lighttpd -f "$conf/lighttpd.conf" ||
    { fail "lighttpd did not start: $(cat "$work/log/error.log" 2>/dev/null)"; return 1; }
  lighttpd_pid=$(cat "$work/lighttpd.pid")
}
fetch() {  # fetch PATH: the body into $work/body, the headers into $work/headers
  curl -s -o "$work/body" -D "$work/headers" "http://127.0.0.1:$port$1" || true
}
status_is() { head -n 1 "$work/headers" | grep -q "^HTTP/[0-9.]* $1 "; }
browse() {  # browse WHEN
  local when=$1
  serve || return 0
  check "$when: lighttpd serves as www-data" test "$(ps -o user= -p "$lighttpd_pid")" = www-data
  fetch /veloran/
  check "$when: the form at /veloran/" eval 'status_is 200 && grep -q "<form id=\"star-form\" action=\"cgi-bin/\(find_star\|neighbours\)\"" "$work/body"'
  fetch '/veloran/cgi-bin/neighbor_search?ID=100&ly=12'
  check "$when: a search from the form gives the reference page" \
    eval 'status_is 200 && cmp -s <(golden_body sample_sun_12ly.txt) "$work/body"'
  fetch '/cgi-bin/neighbor_search?ID=323490000&minLY=5&ly=20'
  check "$when: a search under /cgi-bin/ gives the reference page" \
    eval 'status_is 200 && cmp -s <(golden_body sample_sirius_5_20ly.txt) "$work/body"'
  if [ -x /usr/lib/cgi-bin/entry_page.exe ]; then
    fetch '/veloran/cgi-bin/entry_page.exe?ID=100'
    check "$when: the entry page of the Sun" eval 'status_is 200 && grep -qi "^Content-Type: text/html" "$work/headers" && grep -q "Sun\|Sol" "$work/body"'
  else
    echo "skipped: $when: the entry page (no /usr/lib/cgi-bin/entry_page.exe in this version)"
  fi
  if [ -x /usr/lib/cgi-bin/neighbours ]; then
    fetch '/veloran/cgi-bin/neighbours?ID=100&ly=12'
    check "$when: the site's page of a search" eval 'status_is 200 && grep -q "<h1>Stars within 12 light-years of Sol</h1>" "$work/body"'
    fetch '/veloran/neighbours.js'
    check "$when: the script of the page of a search" eval 'status_is 200 && grep -q "getElementById(\"stars\")" "$work/body"'
  else
    echo "skipped: $when: the site's page of a search (no /usr/lib/cgi-bin/neighbours in this version)"
  fi
  if [ -x /usr/lib/cgi-bin/find_star ]; then
    fetch '/veloran/cgi-bin/find_star?name=Sirius'
    check "$when: find_star sends Sirius to its entry page" eval 'status_is 302 && grep -qi "^Location: .*entry_page.exe?ID=323490000" "$work/headers"'
  else
    echo "skipped: $when: the name lookup (no /usr/lib/cgi-bin/find_star in this version)"
  fi
  if [ -x /usr/lib/cgi-bin/cone_search ]; then
    fetch '/veloran/cgi-bin/cone_search?RA=217&DEC=-62&SR=3'
    check "$when: the cone search lists Proxima" eval 'status_is 200 && grep -qi "^Content-Type: text/xml" "$work/headers" && grep -q "<TD>708900000</TD><TD>70890</TD><TD>Proxima</TD>" "$work/body"'
  else
    echo "skipped: $when: the cone search (no /usr/lib/cgi-bin/cone_search in this version)"
  fi
  if [ -x /usr/lib/cgi-bin/health ]; then
    fetch '/veloran/cgi-bin/health'
    check "$when: the health check says ok" eval 'status_is 200 && [ "$(cat "$work/body")" = ok ]'
    if [ -x /usr/sbin/veloran-index-database ]; then
      check "$when: the pages read the sample's position index" \
        grep -qi '^Veloran-Position-Index: in-use' "$work/headers"
    fi
  else
    echo "skipped: $when: the health check (no /usr/lib/cgi-bin/health in this version)"
  fi
  stop_lighttpd
}
dsn() { odbcinst -q -s -l -n Veloran 2>/dev/null; }
dsn_key() { dsn | sed -n "s/^$1=//p"; }
driver_registered() { odbcinst -q -d -n VeloranSQLite 2>/dev/null | grep -q '^Driver=/usr/lib/.*/odbc/veloran_odbc.so$'; }
www_data() { setpriv --reuid=www-data --regid=www-data --clear-groups "$@"; }

# --- Install, remove, reinstall, purge ------------------------------------
apt_get install "${new[@]}" || fail "apt-get install of the packages"
check "installed: both packages" test "$(dpkg-query -W -f '${db:Status-Abbrev}' veloran-site odbc-veloran)" = "ii ii "
check "installed: the driver VeloranSQLite in /etc/odbcinst.ini" driver_registered
check "installed: the registration is remembered" test -f /var/lib/odbc-veloran/registered
adapter_named() {  # the data sources for servers name the adapter's library
  local f
  for f in /usr/share/odbc-veloran/odbc-postgresql.ini /usr/share/odbc-veloran/odbc-mariadb.ini; do
    test -f "$(sed -n "s/^Driver = //p" "$f")" || return 1
  done
}
check "installed: the dialect adapter's library, named by the data sources for servers" adapter_named
check "installed: the adapter is not in /etc/odbcinst.ini" eval '! grep -qi adapter /etc/odbcinst.ini'
check "installed: the sample's position index is current" \
  /usr/sbin/veloran-index-database --check /var/lib/veloran/sample.db
check "installed: the manual page of veloran-index-database" \
  test -f /usr/share/man/man8/veloran-index-database.8.gz
check "installed: veloran-check-database reads every row of the sample" \
  /usr/sbin/veloran-check-database --quiet
check "installed: the manual page of veloran-check-database" \
  test -f /usr/share/man/man8/veloran-check-database.8.gz
check "installed: the data source Veloran on the sample, read-only" \
  test "$(dsn_key Database)" = "file:/var/lib/veloran/sample.db?mode=ro"
check "installed: the other data source untouched" grep -qx 'Database=/srv/neighbour.db' /etc/odbc.ini
check "installed: /var/lib/veloran is root's, mode 755" test "$(stat -c '%U:%G %a' /var/lib/veloran)" = "root:root 755"
check "installed: the sample is root's, mode 644" test "$(stat -c '%U:%G %a' /var/lib/veloran/sample.db)" = "root:root 644"
check "installed: the sample is not in WAL mode" test "$(od -An -tu1 -j 18 -N 1 /var/lib/veloran/sample.db | tr -d ' ')" = 1
check "installed: www-data may read the sample" www_data test -r /var/lib/veloran/sample.db
check "installed: www-data may not write the sample" eval '! www_data sh -c ": >> /var/lib/veloran/sample.db" 2>/dev/null'
check "installed: www-data may not write /var/lib/veloran" eval '! www_data sh -c ": > /var/lib/veloran/probe" 2>/dev/null'
snippets=(/etc/lighttpd/conf-available/50-veloran-site.conf /etc/apache2/conf-available/veloran-site.conf
          /etc/lighttpd/conf-available/50-veloran-site-fastcgi.conf
          /etc/apache2/conf-available/veloran-site-fcgid.conf /etc/nginx/snippets/veloran-site.conf
          /etc/nginx/sites-available/veloran-site)
for conffile in "${snippets[@]}"; do
  check "installed: $conffile is a conffile" eval 'dpkg-query -W -f "\${Conffiles}\n" veloran-site | grep -q "^ $conffile "'
done
for enabled in /etc/lighttpd/conf-enabled/50-veloran-site.conf /etc/lighttpd/conf-enabled/50-veloran-site-fastcgi.conf \
               /etc/apache2/conf-enabled/veloran-site.conf /etc/apache2/conf-enabled/veloran-site-fcgid.conf; do
  check "installed: $enabled is not enabled" test ! -e "$enabled"
done
units=/usr/lib/systemd/system
check "installed: the FastCGI units veloran-fastcgi@.socket and .service" \
  test -f "$units/veloran-fastcgi@.socket" -a -f "$units/veloran-fastcgi@.service"
check "installed: no FastCGI unit is enabled" \
  eval 'test -z "$(find /etc/systemd -name "veloran-fastcgi@*" 2>/dev/null)"'
check "installed: no maintainer script starts or reloads a service" \
  eval '! grep -l -E "invoke-rc.d|systemctl|service |deb-systemd" /var/lib/dpkg/info/veloran-site.* /var/lib/dpkg/info/odbc-veloran.* 2>/dev/null'
for program in /usr/lib/cgi-bin/*; do
  if dpkg -S "$program" 2>/dev/null | grep -q '^veloran-site:'; then
    name=$(basename "$program")
    check "installed: the snippets bound $name" \
      grep -q "$(echo "$name" | sed 's/\./\\[.]/g')" /etc/lighttpd/conf-available/50-veloran-site.conf
    check "installed: the FastCGI snippets serve $name" eval '
      grep -q "\"bin-path\" => \"$program\"" /etc/lighttpd/conf-available/50-veloran-site-fastcgi.conf &&
      grep -q "FcgidCmdOptions $program " /etc/apache2/conf-available/veloran-site-fcgid.conf'
    # systemd reads each program's instance of the units without a word
    # (the program is there, the manual page opens).
    if command -v systemd-analyze >/dev/null; then
      check "installed: systemd takes veloran-fastcgi@$name" eval '
        out=$(cd / && systemd-analyze verify "veloran-fastcgi@$name.socket" "veloran-fastcgi@$name.service" 2>&1) &&
        { [ -z "$out" ] || { echo "$out" >&2; false; }; }'
    fi
  fi
done
browse installed
# The installed site through each web server's snippet for it, every
# reply compared with the installed program run directly.
for server in lighttpd-fastcgi apache-fcgid apache-cgid nginx; do
  python3 "$top/tests/servers/served_test.py" --installed "$server" "$top" > "$work/served.out" 2>&1 &&
    served_status=0 || served_status=$?
  sed 's/^/  /' "$work/served.out" | tail -n 12
  if [ "$served_status" -eq 77 ]; then
    echo "skipped: installed: served by $server (not installed)"
  else
    check "installed: served by $server, each reply the program's own" test "$served_status" -eq 0
  fi
done
cp /etc/odbc.ini "$work/odbc.ini.installed"

apt_get remove veloran-site odbc-veloran || fail "apt-get remove"
check "removed: configuration kept (rc rc)" test "$(dpkg-query -W -f '${db:Status-Abbrev}' veloran-site odbc-veloran)" = "rc rc "
check "removed: the programs are gone" test ! -e /usr/lib/cgi-bin/neighbor_search
all_files() { local f; for f in "$@"; do test -f "$f" || return 1; done; }
check "removed: the snippets stay" all_files "${snippets[@]}"
check "removed: the units are gone" test ! -e "$units/veloran-fastcgi@.socket" -a ! -e "$units/veloran-fastcgi@.service"
check "removed: the data source Veloran stays" test "$(dsn_key Database)" = "file:/var/lib/veloran/sample.db?mode=ro"
check "removed: the driver is unregistered" eval '! driver_registered && ! grep -q VeloranSQLite /etc/odbcinst.ini'
check "removed: no record of a registration" test ! -e /var/lib/odbc-veloran

apt_get install "${new[@]}" || fail "apt-get install again"
check "reinstalled: /etc/odbc.ini as after the first installation" cmp -s "$work/odbc.ini.installed" /etc/odbc.ini
check "reinstalled: the driver registered once" \
  test "$(odbcinst -q -d -n VeloranSQLite | sed -n 's/^UsageCount=//p')" = 1
browse reinstalled

# nginx's site enabled as its file says (beside no default site), then
# purged: the link goes with the file, and nginx still takes its
# configuration (the machine's state compared below holds the link).
nginx_site_link=/etc/nginx/sites-enabled/veloran-site
if command -v nginx >/dev/null && [ -d /etc/nginx/sites-enabled ] && [ ! -e /etc/nginx/sites-enabled/default ]; then
  ln -s /etc/nginx/sites-available/veloran-site "$nginx_site_link"
  check "reinstalled: nginx takes its site enabled" nginx -t -q
else
  nginx_site_link=
fi
apt_get purge veloran-site odbc-veloran || fail "apt-get purge"
if [ -n "$nginx_site_link" ]; then
  check "purged: nginx's site link is gone" test ! -L "$nginx_site_link"
  check "purged: nginx takes its configuration" nginx -t -q
fi
check "purged: /etc/odbc.ini holds the other data source as before" cmp -s "$work/odbc.ini.before" /etc/odbc.ini
check "purged: the machine is as it was" same_state "$work/state.before"

# --- Upgrade from the previous version ------------------------------------
apt_get install "${old[@]}" || fail "apt-get install of version $old_version"
check "previous version $old_version installed" test "$(dpkg-query -W -f '${Version}' veloran-site)" = "$old_version"
# The operator's edits: the data source's timeout and a line in each snippet.
sed -i 's/^Timeout=2000$/Timeout=4321/' /etc/odbc.ini
for snippet in /etc/lighttpd/conf-available/50-veloran-site.conf /etc/apache2/conf-available/veloran-site.conf; do
  echo "# The operator's own line." >> "$snippet"
done
check "the operator's timeout is in the data source" test "$(dsn_key Timeout)" = 4321
apt_get install "${new[@]}" || fail "apt-get install of version $version over $old_version"
check "upgraded to $version" test "$(dpkg-query -W -f '${db:Status-Abbrev}${Version}' veloran-site)" = "ii $version"
check "upgraded: the operator's timeout is kept" test "$(dsn_key Timeout)" = 4321
for snippet in /etc/lighttpd/conf-available/50-veloran-site.conf /etc/apache2/conf-available/veloran-site.conf; do
  check "upgraded: the operator's line in $snippet is kept" grep -qx "# The operator's own line." "$snippet"
done
check "upgraded: the driver registered once" \
  test "$(odbcinst -q -d -n VeloranSQLite | sed -n 's/^UsageCount=//p')" = 1
browse upgraded

# The operator's commands: another database, refused and accepted.
echo "not a database" > "$work/not.db"
if veloran-use-database "$work/not.db" > "$work/out" 2>&1; then fail "veloran-use-database took a file that is not a database"; fi
check "veloran-use-database refuses a file that is not a database" grep -q "not a SQLite database" "$work/out"
cp /var/lib/veloran/sample.db /var/lib/veloran/copy.db
check "veloran-use-database points the data source at another database" \
  eval 'veloran-use-database --quiet /var/lib/veloran/copy.db && test "$(dsn_key Database)" = "file:/var/lib/veloran/copy.db?mode=ro"'
check "veloran-use-database keeps the operator's timeout" test "$(dsn_key Timeout)" = 4321
# A database without the finder's table: said when switching to it, and
# mended with the shipped script.
sqlite3 /var/lib/veloran/copy.db 'DROP TABLE NameLookup'
veloran-use-database --quiet /var/lib/veloran/copy.db > "$work/out" 2>&1 || true
check "veloran-use-database says that a database has no NameLookup" \
  grep -q "has no NameLookup table" "$work/out"
sqlite3 -cmd '.load /usr/lib/veloran/veloran_dialect' /var/lib/veloran/copy.db \
  < /usr/share/veloran-site/add_name_lookup.sql
check "add_name_lookup.sql gives the finder its table back" eval '
  www_data env -i PATH=/usr/bin:/bin QUERY_STRING="name=Sirius" /usr/lib/cgi-bin/find_star |
    grep -q "^Location: entry_page.exe?ID=323490000"'
# stellarium-data installed, or else unpacked by scripts/import-hipparcos
# (scripts/check-hipparcos) into its cache.
stellarium=/usr/share/stellarium
[ -f "$stellarium/stars/default/stars_0_0v0_8.cat" ] ||
  stellarium=${XDG_CACHE_HOME:-$HOME/.cache}/veloran/stellarium-data/root/usr/share/stellarium
if [ -f "$stellarium/stars/default/stars_0_0v0_8.cat" ]; then
  check "veloran-import-hipparcos imports stellarium-data and switches to it" \
    eval 'veloran-import-hipparcos --data "$stellarium" > "$work/out" 2>&1 && test "$(dsn_key Database)" = "file:/var/lib/veloran/hipparcos.db?mode=ro"'
  check "the site answers from the Hipparcos catalogue" eval '
    www_data env -i PATH=/usr/bin:/bin QUERY_STRING="ID=323490000&ly=10" /usr/lib/cgi-bin/neighbor_search |
      grep -q "Stars within 10 light-years"'
  check "find_star finds Sirius in the Hipparcos catalogue" eval '
    www_data env -i PATH=/usr/bin:/bin QUERY_STRING="name=alpha+CMa" /usr/lib/cgi-bin/find_star |
      grep -q "^Location: entry_page.exe?ID=323490000"'
else
  echo "skipped: veloran-import-hipparcos (stellarium-data is neither installed nor unpacked by scripts/import-hipparcos)"
fi

apt_get purge veloran-site odbc-veloran || fail "apt-get purge after the upgrade"
check "purged after the upgrade: the machine is as it was" same_state "$work/state.before"

# --- An operator's private /etc/odbc.ini and own driver entry ------------
# /etc/odbc.ini of mode 0600 with a password and comments, and a driver
# entry of the operator's named like ours: the packages leave both byte for
# byte, the mode as it was, and no copy of the password anywhere in /etc,
# even when the purge cannot write /etc/odbc.ini.
secret=package-test-secret-$$
{
  printf '\n; The operator%ss private data source.\n' "'"
  printf '[PackageTestPrivate]\nDriver=SQLite3\nDatabase=/srv/private.db\n;Timeout=100\nUser=operator\nPassword=%s\n' "$secret"
} >> /etc/odbc.ini
chmod 0600 /etc/odbc.ini
printf '\n# The operator%ss own build of the driver.\n[VeloranSQLite]\nDescription=Not ours\nDriver=/opt/operator/veloran_odbc.so\n' "'" >> /etc/odbcinst.ini
cp -a /etc/odbc.ini "$work/odbc.ini.private"
cp -a /etc/odbcinst.ini "$work/odbcinst.ini.private"
state "$work/state.private"
only_in_odbc_ini() {  # no other file in /etc holds the password
  test "$(grep -rlF -e "$secret" /etc 2>/dev/null)" = /etc/odbc.ini
}
odbc_ini_private() { test "$(stat -c '%U:%G %a' /etc/odbc.ini)" = "root:root 600"; }

apt_get install "${new[@]}" || fail "apt-get install beside the operator's files"
check "private: installed: the operator's driver entry byte for byte" cmp -s "$work/odbcinst.ini.private" /etc/odbcinst.ini
check "private: installed: no registration remembered" test ! -e /var/lib/odbc-veloran/registered
check "private: installed: /etc/odbc.ini still 0600, with the data source Veloran" \
  eval 'odbc_ini_private && test "$(dsn_key Database)" = "file:/var/lib/veloran/sample.db?mode=ro"'
cp /var/lib/veloran/sample.db /var/lib/veloran/copy.db
check "private: veloran-use-database keeps the mode, the password and the comments" eval '
  veloran-use-database --quiet /var/lib/veloran/copy.db && odbc_ini_private &&
  grep -qx "Password=$secret" /etc/odbc.ini && grep -qx ";Timeout=100" /etc/odbc.ini &&
  test "$(dsn_key Database)" = "file:/var/lib/veloran/copy.db?mode=ro" && only_in_odbc_ini'
apt_get remove veloran-site odbc-veloran || fail "apt-get remove beside the operator's files"
check "private: removed: the operator's driver entry byte for byte" cmp -s "$work/odbcinst.ini.private" /etc/odbcinst.ini
# A purge that cannot replace /etc/odbc.ini fails and leaves it whole.
cp -a /etc/odbc.ini "$work/odbc.ini.removed"
chattr +i /etc/odbc.ini
if apt_get purge veloran-site odbc-veloran 2>/dev/null; then
  fail "private: the purge succeeded although /etc/odbc.ini cannot be replaced"
fi
check "private: a failed purge leaves /etc/odbc.ini whole and no copy in /etc" \
  eval 'cmp -s "$work/odbc.ini.removed" /etc/odbc.ini && odbc_ini_private && only_in_odbc_ini'
chattr -i /etc/odbc.ini
apt_get purge veloran-site odbc-veloran || fail "apt-get purge beside the operator's files"
check "private: purged: /etc/odbc.ini byte for byte, mode 0600" \
  eval 'cmp -s "$work/odbc.ini.private" /etc/odbc.ini && odbc_ini_private'
check "private: purged: the password in no other file of /etc" only_in_odbc_ini
check "private: purged: the operator's driver entry byte for byte" cmp -s "$work/odbcinst.ini.private" /etc/odbcinst.ini
check "private: purged: the machine is as it was" same_state "$work/state.private"

# The operator's data sources and driver entry go again (the cleanup puts
# the files back).
echo "$failures failed"
[ "$failures" -eq 0 ]
