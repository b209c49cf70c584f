#!/bin/bash
# The program's libraries form layers, each using only those below it:
#   text       the text encodings, UTF-8 and windows-1252
#   names      the search keys of star names
#   catalogue  the database statements
#   astro      position conversion
#   cgi        the front end: query decoding, number reading, the search
#              window, the page frame and output
#   search     the neighbour scan and the result pages
#   request    the request flow
#   resident   the FastCGI service, with what it keeps between requests
#   site       the site's other programs and their page kit
# LAYERS, written by CMake, names each library's sources and the libraries
# it links.  Fails when a library links a library of its own layer or above,
# or when one of its files includes the header of a file that another
# library of its own layer or above holds: either would let two libraries
# depend on each other.
# Usage: tests/layering_test.sh SOURCE_DIR LAYERS
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: tests/layering_test.sh SOURCE_DIR LAYERS" >&2; exit 2; }
top=$1
layers=$2
order=(text names catalogue astro cgi search request resident site)

declare -A rank=() library_of=() sources=() links=()
for i in "${!order[@]}"; do rank[${order[$i]}]=$i; done
library=""
while read -r kind rest; do
  case "$kind" in
    library) library=$rest ;;
    sources) sources[$library]=$rest ;;
    links) links[$library]=$rest ;;
  esac
done < "$layers"

violations=0
report() { echo "layering: $*" >&2; violations=$((violations + 1)); }
for library in "${order[@]}"; do
  [ -n "${sources[$library]:-}" ] || { report "no sources listed for $library in $layers"; continue; }
  for source in ${sources[$library]}; do
    library_of[${source%.*}]=$library
  done
done

files=0
for library in "${order[@]}"; do
  for linked in ${links[$library]:-}; do
    [ -n "${rank[$linked]:-}" ] || continue
    [ "${rank[$linked]}" -lt "${rank[$library]}" ] ||
      report "$library links $linked, which is not below it"
  done
  for source in ${sources[$library]:-}; do
    files=$((files + 1))
    while IFS= read -r header; do
      owner=${library_of[${header%.*}]:-}
      [ -n "$owner" ] && [ "$owner" != "$library" ] || continue
      [ "${rank[$owner]}" -lt "${rank[$library]}" ] ||
        report "$source (in $library) includes $header (in $owner, not below it)"
    done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$top/$source")
  done
done
if [ "$violations" -ne 0 ]; then
  echo "layering: $violations dependencies go sideways or up" >&2
  exit 1
fi
echo "layering: ${order[*]}: $files files, every dependency goes down"
