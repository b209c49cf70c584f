#!/bin/sh
# The built program, driver and dialect extension on the built sample
# database, through a data source that write-dsn writes: each page byte for
# byte as tests/golden has it.  The Debian package build runs it (its only
# test).
# Usage: tests/sample_pages_test.sh BUILD_DIR
set -eu
[ $# -eq 1 ] || { echo "usage: tests/sample_pages_test.sh BUILD_DIR" >&2; exit 2; }
build=$(cd "$1" && pwd)
top=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$top/scripts/write-dsn" --driver "$build/veloran_odbc.so" "$build/sample.db" "$work" \
  "$build/veloran_dialect.so"
failed=0
passed=0
while read -r golden query; do
  env -i PATH=/usr/bin:/bin ODBCSYSINI="$work" ODBCINI="$work/odbc.ini" \
    QUERY_STRING="$query" "$build/neighbor_search" > "$work/page" || true
  if cmp -s "$top/tests/golden/$golden" "$work/page"; then
    passed=$((passed + 1))
  else
    echo "FAILED: $query: the page differs from tests/golden/$golden:" >&2
    diff "$top/tests/golden/$golden" "$work/page" | head -n 20 >&2 || true
    failed=$((failed + 1))
  fi
done <<TABLE
sample_sun_12ly.txt ID=100&ly=12
sample_sirius_5_20ly.txt ID=323490000&minLY=5&ly=20
sample_orion_window.txt ly=1000&minRAHour=5&maxRAHour=6&minDecDeg=-10&maxDecDeg=10
sample_point_north.txt X=10&Y=10&Z=10&ly=20&minDecDeg=0
TABLE
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
