#!/bin/bash
# The systemd units that start the programs on their sockets for nginx,
# veloran-fastcgi@.socket and veloran-fastcgi@.service, as systemd reads
# them: each program's instance is checked by systemd-analyze verify (its
# program must be there and executable, its manual page must open) without
# a word of complaint, and the service's sandbox must rate as safe (an
# exposure of at most 2.0 of 10 by systemd-analyze security).  systemd cannot
# run them here; tests/servers/served_test.py nginx serves the site with
# the programs started as the units start them (a listening socket as
# standard input), by spawn-fcgi.  Skips (77) without systemd-analyze.
# Usage: tests/servers/units_test.sh SOURCE_DIR BUILD_DIR CGI_DIR
set -uo pipefail
source=$(cd "$1" && pwd) build=$(cd "$2" && pwd) cgi_dir=$3
command -v systemd-analyze >/dev/null || { echo "SKIP: no systemd-analyze"; exit 77; }

work=$(mktemp -d /tmp/veloran-units.XXXXXX)
trap 'rm -rf "$work"' EXIT
# The units with the built programs in place of the installed ones, and the
# manual page that their Documentation= names.
for unit in veloran-fastcgi@.socket veloran-fastcgi@.service; do
  sed "s|$cgi_dir/|$build/|g" "$build/web/$unit" > "$work/$unit"
done
mkdir -p "$work/man/man7"
cp "$source/admin/veloran-site.7" "$work/man/man7/"
failures=0
for program in neighbor_search entry_page.exe find_star neighbours cone_search health; do
  out=$(cd "$work" && MANPATH=$work/man SYSTEMD_UNIT_PATH=$work: \
          systemd-analyze verify "veloran-fastcgi@$program.socket" "veloran-fastcgi@$program.service" 2>&1)
  status=$?
  if [ "$status" -ne 0 ] || [ -n "$out" ]; then
    echo "FAIL: veloran-fastcgi@$program (status $status): $out"
    failures=$((failures + 1))
  else
    echo "ok: veloran-fastcgi@$program.socket and .service"
  fi
done
# With the drop-in that gives the service the network, as the operator
# copies it: systemd takes it without a word, and it does turn the network
# on (the analysis of the sandbox names what is let through).
mkdir "$work/network" "$work/network/veloran-fastcgi@.service.d"
cp "$work"/veloran-fastcgi@.* "$work/network/"
cp "$source/web/veloran-fastcgi-network.conf" "$work/network/veloran-fastcgi@.service.d/network.conf"
out=$(cd "$work" && MANPATH=$work/man SYSTEMD_UNIT_PATH=$work/network: \
        systemd-analyze verify veloran-fastcgi@cone_search.service 2>&1)
status=$?
security=$(cd "$work" && SYSTEMD_UNIT_PATH=$work/network: systemd-analyze security --offline=yes \
             veloran-fastcgi@cone_search.service 2>&1)
if [ "$status" -ne 0 ] || [ -n "$out" ]; then
  echo "FAIL: the network drop-in (status $status): $out"
  failures=$((failures + 1))
elif ! echo "$security" | grep -q '✗ PrivateNetwork=' ||
     ! echo "$security" | grep -q '✗ RestrictAddressFamilies=~AF_(INET|INET6)'; then
  echo "FAIL: with the network drop-in, the service has still no network:"
  echo "$security" | grep -E 'PrivateNetwork|RestrictAddressFamilies'
  failures=$((failures + 1))
else
  echo "ok: the network drop-in"
fi
out=$(cd "$work" && SYSTEMD_UNIT_PATH=$work: systemd-analyze security --offline=yes --threshold=20 \
        veloran-fastcgi@cone_search.service 2>&1)
status=$?
echo "$out" | grep "Overall exposure"
if [ "$status" -ne 0 ]; then
  echo "FAIL: the service's sandbox is not safe enough (status $status):"
  echo "$out" | grep '✗'
  failures=$((failures + 1))
fi
echo "$failures failed"
[ "$failures" -eq 0 ]
