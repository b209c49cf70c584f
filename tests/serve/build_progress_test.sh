#!/bin/bash
# scripts/build-progress, which shows the first build of scripts/serve, on
# made-up builds: the lines of CMake's Makefiles and of Ninja, shown in a
# CI log as a line per quarter and on a terminal as one rewritten line cut
# to its width; a failed build shows what the compiler said (not the
# progress), a long one cut, and where the whole output is.  Every build's
# output is in its log as it came.
# Usage: tests/serve/build_progress_test.sh SOURCE_DIR BUILD_DIR
set -uo pipefail
source=$1
build=$2
command -v script >/dev/null || { echo "FAIL: script (util-linux) is missing"; exit 1; }
work=$build/test-data/build-progress
rm -rf "$work"
mkdir -p "$work"
failures=0
cases=0
fail() { echo "FAIL: $case: $*"; failures=$((failures + 1)); }

# Made-up builds: each prints its lines and ends with its status.
cat > "$work/makefiles" <<'EOF'
[  2%] Building CXX object CMakeFiles/text.dir/text/html_text.cc.o
[ 30%] Building C object db/CMakeFiles/veloran_dialect.dir/veloran_dialect.c.o
[ 30%] Building CXX object db/CMakeFiles/veloran_dialect.dir/__/names/name_keys.cc.o
[ 20%] Built target catalogue
[ 55%] Linking CXX static library libsite.a
[ 80%] Building the sample database sample.db
[100%] Built target served_site
EOF
cat > "$work/ninja" <<'EOF'
[1/8] Building CXX object CMakeFiles/text.dir/text/html_text.cc.o
[3/8] Building CXX object CMakeFiles/site.dir/site/star_table.cc.o
[5/8] Linking CXX executable neighbor_search
[8/8] Linking CXX executable cone_search
EOF
cat > "$work/failing" <<'EOF'
[ 40%] Building CXX object CMakeFiles/site.dir/site/star_table.cc.o
site/star_table.cc:12:3: error: 'oops' was not declared in this scope
[ 41%] Building CXX object CMakeFiles/site.dir/site/star_id.cc.o
gmake[2]: *** [CMakeFiles/site.dir/build.make:76: CMakeFiles/site.dir/site/star_table.cc.o] Error 1
EOF
seq -f 'note %g: a long message' 1 100 > "$work/long"
build_of() {  # FILE STATUS: a build that prints FILE and ends with STATUS
  echo "cat '$work/$1'; exit $2"
}

# CASE FILE STATUS WIDTH WANT...: the build of FILE ending with STATUS, on
# a terminal of WIDTH columns (0: not a terminal), shows each WANT (a
# pattern for grep -E, "!" before it: must not show) and gives STATUS;
# its log holds FILE as it came.
check() {
  case=$1
  local file=$2 want_status=$3 width=$4 log=$work/$1.log out=$work/$1.out status want
  shift 4
  cases=$((cases + 1))
  if [ "$width" -eq 0 ]; then
    "$source/scripts/build-progress" t "$log" bash -c "$(build_of "$file" "$want_status")" 2> "$out"
    status=$?
  else
    # The terminal's output, its carriage returns made line ends.
    script -qec "stty cols $width; '$source/scripts/build-progress' t '$log' bash -c \"$(build_of "$file" "$want_status")\"" /dev/null |
      tr '\r' '\n' | sed 's/\x1b\[K//g' > "$out"
    status=${PIPESTATUS[0]}
  fi
  [ "$status" = "$want_status" ] || { fail "status $status, not $want_status"; return; }
  cmp -s "$log" "$work/$file" || { fail "the log is not the build's output"; return; }
  for want in "$@"; do
    if [[ $want == !* ]]; then
      ! grep -qE -- "${want#!}" "$out" || { fail "shows '${want#!}':"; sed 's/^/    /' "$out"; return; }
    else
      grep -qE -- "$want" "$out" || { fail "does not show '$want':"; sed 's/^/    /' "$out"; return; }
    fi
  done
  echo "ok: $case"
}

check makefiles_in_a_log makefiles 0 0 \
  '^t: 25% built after [0-9]+ s$' '^t: 50% built after' '^t: 75% built after' \
  "^t: built in [0-9]+ s \\(the build's output is in $work/makefiles_in_a_log.log\\)$" '!^\['
[ "$(grep -c . "$work/$case.out")" = 4 ] || fail "not 4 lines: $(cat "$work/$case.out")"
check ninja_in_a_log ninja 0 0 '^t: 25% built' '^t: 50% built' '^t: 75% built' '^t: built in' '!^\['
# On a terminal the percentage never goes back, and each source is named
# by its path in the source tree.
check makefiles_on_a_terminal makefiles 0 100 \
  '^t: 30% built \(compiling db/veloran_dialect\.c\)$' '^t: 30% built \(compiling names/name_keys\.cc\)$' \
  '^t: 30% built \(Built target catalogue\)$' '^t: 80% built \(Building the sample database sample\.db\)$' \
  '^t: built in' '!^t: 20%' '!built after'
check ninja_on_a_terminal ninja 0 100 '^t: 37% built \(compiling site/star_table\.cc\)$' \
  '^t: 100% built \(Linking CXX executable cone_search\)$'
check cut_to_a_narrow_terminal makefiles 0 30 '^t: 2% built \(compiling text/h$'
[ -z "$(awk '/^t: [0-9]+% built/ && length >= 30' "$work/$case.out")" ] ||
  fail "a progress line as wide as the terminal: $(cat "$work/$case.out")"
check failed_build failing 2 0 '^t: the build failed \(status 2\) after [0-9]+ s; it said:$' \
  "^site/star_table\\.cc:12:3: error: 'oops' was not declared in this scope$" '^gmake\[2\]: \*\*\* ' \
  "^t: the whole output of the build is in $work/failed_build.log$" '!Building CXX' '!^t: built'
check failed_build_on_a_terminal failing 2 100 '^t: the build failed' "error: 'oops'" '!^t: built in'
check long_failure_cut long 1 0 '^note 60: a long message$' '!^note 61:' '^\.\.\. and 40 more lines$' \
  '^t: the whole output'
check killed_build_without_messages makefiles 137 0 '^t: the build failed \(status 137\)' \
  '^\[100%\] Built target served_site$'

echo "$((cases - failures)) passed, $failures failed"
[ "$failures" -eq 0 ] || { echo "(outputs in $work)"; exit 1; }
rm -rf "$work"
