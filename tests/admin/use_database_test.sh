#!/bin/bash
# veloran-use-database (the build's copy, on the build's programs) on
# operators' files, through ODBCSYSINI: only the value of the Database key
# of [Veloran] changes, every other byte stays (comments, other sections,
# odd spacing and case, CRLF line ends, no final newline), and so do the
# file's owner and mode; a refused database leaves the file as it was; no
# temporary file is left.  Then real searches run in a loop through a data
# source in such a file while it is switched 50 times between two
# databases: every reply must be one of the two databases' pages.
# Needs root (it tries each database as www-data); skips (77) otherwise.
# Usage: tests/admin/use_database_test.sh SOURCE_DIR BUILD_DIR
set -uo pipefail
source=$(cd "$1" && pwd)
build=$(cd "$2" && pwd)
use_database=$build/tests/admin/veloran-use-database
if [ "$(id -u)" -ne 0 ]; then
  echo "SKIP: needs root, to try the databases as www-data and keep owners"
  exit 77
fi
command -v sqlite3 >/dev/null || { echo "FAIL: sqlite3 is missing; scripts/test installs it"; exit 1; }
work=$build/test-data/use-database
rm -rf "$work"
mkdir -p "$work"
chmod 755 "$work"
setpriv --reuid=www-data --regid=www-data --clear-groups test -x "$build/neighbor_search" ||
  { echo "FAIL: www-data may not run $build/neighbor_search (every directory above it must be searchable)"; exit 1; }
failures=0
fail() { echo "FAIL: $case: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $case"; }

# Two databases whose pages differ: the sample, and the sample without
# Sirius.
cp "$build/sample.db" "$work/a.db"
cp "$build/sample.db" "$work/b.db"
sqlite3 "$work/b.db" 'DELETE FROM Positions WHERE OwnerID = 323490000'
chmod 644 "$work/a.db" "$work/b.db"
"$source/scripts/write-dsn" --driver "$build/veloran_odbc.so" "$work/a.db" "$work/dsn-a" "$build/veloran_dialect.so"
"$source/scripts/write-dsn" --driver "$build/veloran_odbc.so" "$work/b.db" "$work/dsn-b" "$build/veloran_dialect.so"
new=$(sed -n 's/^Database=//p' "$work/dsn-a/odbc.ini")

# The operators' files.  In each template, @VALUE@ is the value of the
# Database key that must change ("/srv/old.db" before, the new database's
# URI after), and a line @ADDED@ is absent before and the added key after.
template() {
  case $1 in
    comments)
      printf '%s\n' '; The system data sources.' '# Another kind of comment' '' \
        '[Other]' 'Driver=SQLite3' 'Database=/srv/other.db' '' \
        ';[Veloran]' ';Database=/srv/commented-section.db' \
        '[Veloran]' '; What the operator tried:' ';Database=/srv/commented.db' '#Timeout=100' \
        'Description=Veloran star database' 'Driver=@DRIVER@' \
        'Database=@VALUE@' 'Timeout=2000' 'LoadExt=@EXTENSION@' '' \
        '[VeloranTest]' 'Database=/srv/test.db' '' \
        '[Veloran]' 'Database=/srv/second-section-unixodbc-ignores.db' ;;
    spacing)
      printf '%s\n' '[Other]' 'Database = /srv/other.db' \
        '[ veloran ]   ' '  ; indented comment' 'DATABASE   =   @VALUE@   ' \
        '   timeout = 2000' ' driver = VeloranSQLite' 'loadext  =  @EXTENSION@' '' '' ;;
    crlf)
      printf '%s\r\n' '; Written on Windows' '[Veloran]' 'Driver=VeloranSQLite' \
        'Database=@VALUE@' 'Timeout=2000' 'LoadExt=@EXTENSION@' '[Other]' 'Database=/srv/other.db' ;;
    no-key)
      printf '%s\n' '# No database yet' '[Veloran]' '@ADDED@' 'Driver=VeloranSQLite' \
        ';Database=/srv/commented.db' 'Timeout=2000' 'LoadExt=@EXTENSION@' '' \
        '[Other]' 'Database=/srv/other.db' ;;
    no-key-crlf)
      printf '%s\r\n' '[Other]' 'Database=/srv/other.db' '[VELORAN]' '@ADDED@' 'Timeout=2000' \
        'Driver=@DRIVER@' 'LoadExt=@EXTENSION@' ;;
    no-final-newline)
      printf '%s\n' '[Veloran]' 'Driver=VeloranSQLite' 'Timeout=2000' 'LoadExt=@EXTENSION@'
      printf 'Database=@VALUE@' ;;
    two-keys)
      printf '%s\n' '[Veloran]' 'Database=@VALUE@' 'Driver=@DRIVER@' 'Timeout=2000' \
        'database=@VALUE@' 'LoadExt=@EXTENSION@' ;;
    # Sections that reach a server, as odbc-veloran's examples write them:
    # replaced whole (with --replace), from their header to the next.
    postgresql)
      printf '%s\n' '; The site on PostgreSQL since spring' '[Veloran]' '@SECTION@' \
        'Description = Veloran star database on PostgreSQL' 'Driver = /usr/lib/x/libveloranadapter.so' \
        'Target = /usr/lib/x/odbc/psqlodbca.so' 'Rewrite1 = INT(OwnerID/100) => OwnerBlock' \
        'Servername = localhost' 'Port = 5432' 'Database = @VALUE@' 'Username = veloran_reader' \
        'Password = secret' '' '[Other]' 'Database=/srv/other.db' ;;
    mariadb)
      printf '%s\n' '[Other]' 'Database=/srv/other.db' '' '[Veloran]' '@SECTION@' \
        'Driver = /usr/lib/x/libveloranadapter.so' 'Target = /usr/lib/x/odbc/libmaodbc.so' \
        'Server = localhost' 'Socket = /run/mysqld/mysqld.sock' 'Database = @VALUE@' \
        'User = veloran_reader' ;;
  esac
}
substituted() {
  template "$1" | sed -e "s|@DRIVER@|$build/veloran_odbc.so|" -e "s|@EXTENSION@|$build/veloran_dialect.so|"
}
before() {
  substituted "$1" | sed -e 's|@VALUE@|/srv/old.db|' -e '/^@ADDED@\r\{0,1\}$/d' -e '/^@SECTION@$/d'
}
# A server's section after --replace: the data source of the file alone,
# then a blank line before the next section.
after() {
  case $1 in
    postgresql|mariadb)
      substituted "$1" | awk -v section="$work/dsn-a/odbc.ini" '
        /^@SECTION@$/ { while ((getline line < section) > 0) print line; skip = 1; next }
        skip && /^\[/ { print ""; skip = 0 }
        !skip && !/^\[Veloran\]$/ { print }' ;;
    *) substituted "$1" | sed -e "s|@VALUE@|$new|" -e "s|^@ADDED@|Database=$new|" ;;
  esac
}
# The driver by its name, as /etc/odbcinst.ini defines it.
driver_names() { printf '[VeloranSQLite]\nDriver=%s\n' "$build/veloran_odbc.so" > "$1/odbcinst.ini"; }
owner_mode() { stat -c '%U:%G %a' "$1"; }
# No temporary file left behind in DIR (the driver manager may add an
# empty odbcinst.ini).
only_the_file() { [ -z "$(ls -A "$1" | grep -v -x -e odbc.ini -e odbcinst.ini)" ]; }

# CASE OWNER MODE [OPTION]
while read -r name owner mode option; do
  case="$name, $owner $mode${option:+, $option}"
  dir=$work/$name
  mkdir -p "$dir"
  driver_names "$dir"
  before "$name" > "$dir/odbc.ini"
  chown "$owner" "$dir/odbc.ini"
  chmod "$mode" "$dir/odbc.ini"
  after "$name" > "$work/$name.expected"
  if ! ODBCSYSINI=$dir "$use_database" --quiet $option "$work/a.db" > "$work/$name.out" 2>&1 < /dev/null; then
    fail "refused: $(cat "$work/$name.out")"
  elif ! cmp "$work/$name.expected" "$dir/odbc.ini"; then
    fail "other bytes changed: $(diff <(od -c "$work/$name.expected") <(od -c "$dir/odbc.ini"))"
  elif [ "$(owner_mode "$dir/odbc.ini")" != "$owner $mode" ]; then
    fail "now $(owner_mode "$dir/odbc.ini")"
  elif ! only_the_file "$dir"; then
    fail "left $(ls -A "$dir")"
  else
    pass
  fi
done <<'CASES'
comments root:root 600
spacing root:www-data 640
crlf root:root 644
no-key root:root 600
no-key-crlf www-data:www-data 600
no-final-newline root:www-data 640
two-keys root:root 644
postgresql root:www-data 640 --replace
mariadb root:root 600 --replace
CASES

# Refused, the file left as it was: a section that reaches a server (its
# Database key is the server's database, no file), and a file section
# through which no page comes (the check reads the data source as it
# would be written: here without the extension that gives INT, and with
# an indented Database key, which odbcinst shows but the driver manager
# does not hand to the driver).
# CASE WHAT THE MESSAGE MUST SAY
while read -r name said; do
  case="refused: $name"
  dir=$work/refused-$name
  mkdir -p "$dir"
  driver_names "$dir"
  if [ "$name" = no-extension ]; then
    before comments | grep -v '^LoadExt=' > "$dir/odbc.ini"
  elif [ "$name" = indented-key ]; then
    before spacing | sed 's/^DATABASE/\tDATABASE/' > "$dir/odbc.ini"
  else
    before "$name" > "$dir/odbc.ini"
  fi
  cp "$dir/odbc.ini" "$work/refused-$name.before"
  if ODBCSYSINI=$dir "$use_database" "$work/a.db" > "$work/refused-$name.out" 2>&1 < /dev/null; then
    fail "taken: $(cat "$work/refused-$name.out")"
  elif ! cmp -s "$work/refused-$name.before" "$dir/odbc.ini" || ! only_the_file "$dir"; then
    fail "the file changed"
  elif ! grep -q -F -- "$said" "$work/refused-$name.out"; then
    fail "the message does not say '$said': $(cat "$work/refused-$name.out")"
  else
    pass
  fi
done <<'CASES'
postgresql reaches PostgreSQL, not a database file, and is left as it is.  To serve
mariadb veloran-use-database --replace
no-extension gets no result page
indented-key gets no result page
CASES

# No data source Veloran, or no file at all: the whole data source is
# appended after a blank line, or makes a new file of mode 0644.
case="no data source Veloran: appended"
dir=$work/appended
mkdir -p "$dir"
printf '[Other]\nDatabase=/srv/other.db' > "$dir/odbc.ini"
chmod 600 "$dir/odbc.ini"
{ cat "$dir/odbc.ini"; printf '\n\n'; cat "$work/dsn-a/odbc.ini"; } > "$work/appended.expected"
ODBCSYSINI=$dir "$use_database" --quiet "$work/a.db" &&
  cmp "$work/appended.expected" "$dir/odbc.ini" &&
  [ "$(owner_mode "$dir/odbc.ini")" = "root:root 600" ] && only_the_file "$dir" && pass || fail "see above"
case="no file: written whole, mode 0644"
dir=$work/no-file
mkdir -p "$dir"
ODBCSYSINI=$dir "$use_database" --quiet "$work/a.db" &&
  cmp "$work/dsn-a/odbc.ini" "$dir/odbc.ini" &&
  [ "$(owner_mode "$dir/odbc.ini")" = "root:root 644" ] && only_the_file "$dir" && pass || fail "see above"

# A link to the file: the file it names changes, the link stays.
case="a link: its file changes"
dir=$work/link
mkdir -p "$dir" "$work/link-target"
before comments > "$work/link-target/odbc.ini"
chmod 640 "$work/link-target/odbc.ini"
ln -s ../link-target/odbc.ini "$dir/odbc.ini"
ODBCSYSINI=$dir "$use_database" --quiet "$work/a.db" && [ -L "$dir/odbc.ini" ] &&
  cmp "$work/comments.expected" "$work/link-target/odbc.ini" &&
  [ "$(owner_mode "$work/link-target/odbc.ini")" = "root:root 640" ] &&
  only_the_file "$work/link-target" && pass || fail "see above"

# Refused: a file that is not a database, and one that gives no result
# page; the file keeps its bytes.
for refused in not-a-database no-positions; do
  case="refused: $refused"
  dir=$work/$refused
  mkdir -p "$dir"
  before comments > "$dir/odbc.ini"
  cp "$dir/odbc.ini" "$work/$refused.before"
  if [ "$refused" = not-a-database ]; then
    echo "not a database" > "$work/$refused.db"
  else
    cp "$work/a.db" "$work/$refused.db"
    sqlite3 "$work/$refused.db" 'DROP TABLE Positions'
  fi
  chmod 644 "$work/$refused.db"
  if ODBCSYSINI=$dir "$use_database" --quiet "$work/$refused.db" > "$work/$refused.out" 2>&1; then
    fail "taken"
  elif ! cmp "$work/$refused.before" "$dir/odbc.ini" || ! only_the_file "$dir"; then
    fail "the file changed"
  else
    pass
  fi
done

# Searches in a loop, as a web server runs them, while the data source is
# switched 50 times between the two databases.
case="50 switches under searches"
live=$work/live
mkdir -p "$live"
{ before comments | sed '/^\[Veloran\]$/,$d'; cat "$work/dsn-a/odbc.ini"; } > "$live/odbc.ini"
chmod 600 "$live/odbc.ini"
query='ID=100&ly=12'
search() { env -i ODBCSYSINI="$live" ODBCINI=/dev/null QUERY_STRING=$query "$build/neighbor_search"; }
search > "$work/page-a" 2>&1
env -i ODBCSYSINI="$work/dsn-b" ODBCINI=/dev/null QUERY_STRING=$query "$build/neighbor_search" > "$work/page-b" 2>&1
cmp -s "$work/page-a" "$source/tests/golden/sample_sun_12ly.txt" || fail "the first page is not the sample's"
! cmp -s "$work/page-a" "$work/page-b" || fail "the two databases give the same page"
reader() {  # reader N: tallies in $work/reader-N, the first wrong reply kept
  local n=$1 a=0 b=0 wrong=0
  while [ ! -e "$work/stop" ]; do
    search > "$work/reply-$n" 2>&1 && status=0 || status=$?
    if [ "$status" -eq 0 ] && cmp -s "$work/reply-$n" "$work/page-a"; then a=$((a + 1))
    elif [ "$status" -eq 0 ] && cmp -s "$work/reply-$n" "$work/page-b"; then b=$((b + 1))
    else
      wrong=$((wrong + 1))
      [ -e "$work/wrong-$n" ] || { echo "exit status $status"; cat "$work/reply-$n"; } > "$work/wrong-$n"
    fi
  done
  echo "$a $b $wrong" > "$work/reader-$n"
}
reader 1 & reader1=$!
reader 2 & reader2=$!
switched=0
for i in $(seq 1 50); do
  if [ $((i % 2)) -eq 1 ]; then db=$work/b.db; else db=$work/a.db; fi
  ODBCSYSINI=$live "$use_database" --quiet "$db" > "$work/switch.out" 2>&1 < /dev/null &&
    switched=$((switched + 1)) || cat "$work/switch.out"
done
touch "$work/stop"
wait "$reader1" "$reader2"
read -r a1 b1 wrong1 < "$work/reader-1"
read -r a2 b2 wrong2 < "$work/reader-2"
echo "  $switched switches; replies: $((a1 + a2)) of the first database, $((b1 + b2)) of the second, $((wrong1 + wrong2)) wrong"
if [ "$switched" -ne 50 ]; then fail "$((50 - switched)) switches failed"
elif [ $((wrong1 + wrong2)) -ne 0 ]; then fail "wrong replies, the first: $(cat "$work"/wrong-* | head -n 12)"
elif [ $((a1 + a2)) -eq 0 ] || [ $((b1 + b2)) -eq 0 ]; then fail "the replies did not follow the switches"
elif [ "$(owner_mode "$live/odbc.ini")" != "root:root 600" ] || ! only_the_file "$live"; then fail "the file is now $(owner_mode "$live/odbc.ini"), beside $(ls -A "$live")"
else pass
fi

echo "$failures failed"
[ "$failures" -eq 0 ]
