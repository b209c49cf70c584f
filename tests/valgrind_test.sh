#!/bin/bash
# Runs a CGI program under valgrind's memcheck on requests of every kind,
# against the sample database, and fails on any memory error it makes.
# PROGRAM defaults to the neighbour search; find_star, neighbours and cone_search get
# requests of their own besides.  tests/heap_overrun.cc is a program with a known overrun,
# run to show that an error is caught.
# With ADAPTER, the data source goes through the dialect adapter in front of
# the project's driver, with a rule that SQLite reads alike.
# Usage: tests/valgrind_test.sh BUILD_DIR [PROGRAM [ADAPTER.so]]
set -euo pipefail
build=$1
program=${2:-$build/neighbor_search}
adapter=${3:-}
top=$(cd "$(dirname "$0")/.." && pwd)
if ! command -v valgrind >/dev/null; then
  echo "valgrind is missing: apt-get install valgrind (scripts/test installs it)" >&2
  exit 1
fi
work=$build/test-data/valgrind-$(basename "$program")${adapter:+-adapter}
rm -rf "$work" && mkdir -p "$work"
"$top/scripts/build-sample-db" "$work/sample.db" "$build/veloran_dialect.so"
"$top/scripts/write-dsn" "$work/sample.db" "$work/odbc" "$build/veloran_dialect.so"
export ODBCSYSINI=$work/odbc ODBCINI=$work/odbc/odbc.ini
if [ -n "$adapter" ]; then
  sed -i "s|^Driver=\(.*\)|Driver=$adapter\nTarget=\1\nRewrite1 = INT( => \"INT\"(|" "$work/odbc/odbc.ini"
fi

long=$(printf 'a%.0s' $(seq 1 2000))
quotes=$(printf "%%27%.0s" $(seq 1 170))
queries=(
  "" "ID=100&ly=20" "ID=323490000&minLY=5&ly=20" "ID=150" "ID=999900" "ID=1108930100"
  "ly=1000&minRAHour=5&maxRAHour=6&minDecDeg=-10&maxDecDeg=10"
  "X=10&Y=10&Z=10&ly=20" "ly=1" "minDecSec=60" "maxRAHour=2&minRAHour=3"
  "ly=1e999&X=-1e999" "v=$long" "q=$quotes" "ID=1%00&ly=%FF%27*+"
)
# The finder's requests: a name, a prefix, several stars, Greek letters in
# UTF-8 and as references, windows-1252, none found, and the overlong.
if [ "$(basename "$program")" = find_star ]; then
  queries+=(
    "name=Sirius" "name=Barnard" "name=Kruger+60" "name=alpha+Cen"
    "name=%CE%B1+CMa" "name=%26%23945%3B+CMa" "name=Alnit%E1k" "name=Nosuchstar"
    "name=" "name=%2B%2B" "name=$long" "name=$quotes"
  )
fi
# The page of a search: by name, paged, sorted, its map's plane, a
# download, a rejected page size and a page past the last.
if [ "$(basename "$program")" = neighbours ]; then
  queries+=(
    "star=Sirius&ly=20" "star=alpha+Cen&ly=10" "star=$long" "star=$quotes"
    "ID=100&ly=20&size=7&page=3&sort=name&order=desc" "ID=100&ly=20&sort=class"
    "ID=100&ly=20&sort=mag&plane=sky" "ID=100&ly=20&sort=constellation"
    "ID=100&ly=20&format=csv" "ID=100&size=1001" "ID=100&page=99"
  )
fi
# The cone search's: tables of each verbosity, the whole sky, the columns
# alone, an overflow, and each error.
if [ "$(basename "$program")" = cone_search ]; then
  queries+=(
    "RA=217&DEC=-62&SR=3" "RA=217&DEC=-62&SR=3&VERB=3" "RA=0&DEC=90&SR=10&VERB=1"
    "RA=0&DEC=0&SR=10&MAXREC=2" "RA=0&DEC=90&SR=0" "RA=1&DEC=1&SR=1&MAXREC=0"
    "RA=as3f&DEC=1&SR=1" "RA=1&DEC=91&SR=1" "RA=1&DEC=1&SR=11" "RA=$long&DEC=1&SR=1"
    "RA=%3Cx%3E$quotes&DEC=1&SR=1"
  )
fi
failed=0
for query in "${queries[@]}"; do
  # The program itself ends with 0 or 255; valgrind ends with 99 when it
  # found an error, and anything else is a crash or a failure to run.
  status=0
  QUERY_STRING=$query valgrind --quiet --error-exitcode=99 \
    --leak-check=no --track-origins=yes "$program" >/dev/null || status=$?
  case "$status" in
    0 | 255) ;;
    99)
      echo "memory errors for QUERY_STRING='${query:0:60}'" >&2
      failed=1 ;;
    *)
      echo "exit status $status for QUERY_STRING='${query:0:60}'" >&2
      failed=1 ;;
  esac
done
if [ "$failed" -ne 0 ]; then
  echo "valgrind: errors reported for $program" >&2
  exit 1
fi
echo "valgrind: ${#queries[@]} requests, no errors reported"
