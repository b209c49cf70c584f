#!/bin/bash
# The site's own pages are valid HTML5 and pass HTML Tidy's first level of
# accessibility checks: every golden page under tests/golden/*.html (the
# reply of a program, read after its CGI header, in windows-1252) and the
# form, web/index.html (ASCII).  Any warning or error fails.  Tidy predates
# inline SVG (it takes an SVG link's href for a proprietary attribute and
# moves an SVG <style> into the head), so a page's maps are cut out of what
# it reads; instead every golden page is parsed whole by html5lib as a
# browser parses it, SVG included, and any parse error fails (an HTML tag
# inside an SVG element, say, which would end the picture).  Needs tidy and
# python3-html5lib, which scripts/test installs.
# Usage: tests/html_check.sh SOURCE_DIR
set -euo pipefail
[ $# -eq 1 ] || { echo "usage: tests/html_check.sh SOURCE_DIR" >&2; exit 2; }
top=$1
command -v tidy >/dev/null ||
  { echo "html check: tidy is missing; scripts/test installs it (or: apt-get install tidy)" >&2; exit 1; }
/usr/bin/python3 -c 'import html5lib' 2>/dev/null ||
  { echo "html check: html5lib is missing; scripts/test installs it (or: apt-get install python3-html5lib)" >&2; exit 1; }

failures=0 pages=0
check() {  # NAME ENCODING [OPTION...]: standard input checked
  local name=$1 encoding=$2 report
  shift 2
  pages=$((pages + 1))
  # tidy exits 1 on warnings and 2 on errors; its report says which.
  # The reminders that a style sheet or a script needs testing by hand,
  # and that an input must not convey information by colour alone (given
  # for every input, whatever it is), are no findings; nor is a script
  # without <noscript>: the map that the maps' script turns is drawn whole
  # without it.
  report=$(tidy -q -e "-$encoding" "$@" 2>&1 |
             grep -v -e 'style sheets require testing' \
                     -e 'information not conveyed through color alone (input)' \
                     -e '(script)\.$' -e '<script> missing <noscript> section') || true
  if [ -n "$report" ]; then
    echo "html check: $name:" >&2
    printf '%s\n' "$report" | sed 's/^/    /' >&2
    failures=$((failures + 1))
  fi
}
shopt -s nullglob
# Parses each page (after the empty line that ends its header) as HTML5 and
# says what is wrong with it; silent for a page without a parse error.
html5_errors() {  # FILE
  /usr/bin/python3 - "$1" <<'PY'
import sys
import html5lib
page = open(sys.argv[1], "rb").read().split(b"\n\n", 1)[1]
parser = html5lib.HTMLParser(strict=True)
try:
    parser.parse(page, transport_encoding="windows-1252")
except html5lib.html5parser.ParseError as error:
    print("HTML5 parse error: %s" % error)
PY
}
for golden in "$top"/tests/golden/*.html; do
  # The page starts after the empty line that ends the header; its maps
  # are left to html5lib.
  check "${golden#"$top"/}" win1252 -access 1 < <(sed '1,/^$/d' "$golden" |
                                                  perl -0pe 's{<svg\b.*?</svg>\n?}{}gs')
  errors=$(html5_errors "$golden")
  if [ -n "$errors" ]; then
    echo "html check: ${golden#"$top"/}:" >&2
    printf '%s\n' "$errors" | sed 's/^/    /' >&2
    failures=$((failures + 1))
  fi
done
# The form's scripts and styles draw Tidy's general reminders to test
# them by hand, and its Tidy predates inputmode; so no accessibility level.
check web/index.html ascii --warn-proprietary-attributes no < "$top/web/index.html"
if [ "$failures" -ne 0 ]; then
  echo "html check: $failures of $pages pages are not clean" >&2
  exit 1
fi
echo "html check: $pages pages clean"
