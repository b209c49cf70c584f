#!/bin/bash
# The site's own pages are valid HTML5 and pass HTML Tidy's first level of
# accessibility checks: every golden page under tests/golden/*.html (the
# reply of a program, read after its CGI header, in windows-1252) and the
# form, web/index.html (ASCII).  Any warning or error fails.  Needs tidy,
# which scripts/test installs.
# Usage: tests/html_check.sh SOURCE_DIR
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: tests/html_check.sh SOURCE_DIR" >&2; exit 2; }
top=$1
command -v tidy >/dev/null ||
  { echo "html check: tidy is missing; scripts/test installs it (or: apt-get install tidy)" >&2; exit 1; }

failures=0 pages=0
check() {  # NAME ENCODING [OPTION...]: standard input checked
  local name=$1 encoding=$2 report
  shift 2
  pages=$((pages + 1))
  # tidy exits 1 on warnings and 2 on errors; its report says which.
  # The reminders that a style sheet needs testing by hand, and that an
  # input must not convey information by colour alone (given for every
  # input, whatever it is), are no findings; nor are those given for every
  # script, of a page whose scripts only add to what works without them
  # (the browser test tries such a page with scripts and without).
  report=$(tidy -q -e "-$encoding" "$@" 2>&1 |
             grep -v -e 'style sheets require testing' \
                     -e 'information not conveyed through color alone (input)' \
                     -e 'text equivalents require updating (script)' \
                     -e 'programmatic objects require testing (script)' \
                     -e 'ensure programmatic objects are accessible (script)' \
                     -e 'remove flicker (script)' \
                     -e 'information not conveyed through color alone (script)' \
                     -e '<script> missing <noscript> section') || true
  if [ -n "$report" ]; then
    echo "html check: $name:" >&2
    printf '%s\n' "$report" | sed 's/^/    /' >&2
    failures=$((failures + 1))
  fi
}
shopt -s nullglob
for golden in "$top"/tests/golden/*.html; do
  # The page starts after the empty line that ends the header.
  check "${golden#"$top"/}" win1252 -access 1 < <(sed '1,/^$/d' "$golden")
done
# The form's scripts and styles draw Tidy's general reminders to test
# them by hand, and its Tidy predates inputmode; so no accessibility level.
check web/index.html ascii --warn-proprietary-attributes no < "$top/web/index.html"
if [ "$failures" -ne 0 ]; then
  echo "html check: $failures of $pages pages are not clean" >&2
  exit 1
fi
echo "html check: $pages pages clean"
