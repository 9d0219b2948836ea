#!/usr/bin/env bash
# The shipped programs' bytes: the PE header's flags as objdump reads them,
# no folder of the build machine inside, and the same bytes from a second
# build of the launcher.
#   check_program_bytes.sh OBJDUMP SOURCE_DIR BUILD_DIR REBUILT_LAUNCHER LAUNCHER PROGRAM...
set -uo pipefail
objdump=$1 sources=$2 build=$3 rebuilt=$4
shift 4
launcher=$1
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# objdump -p: the file header's time stamp and characteristics, and the
# optional header's DLL characteristics, each flag on a line of its own.
check_header() {  # file
  local header
  header=$("$objdump" -p "$1")
  grep -q '^Time/Date[[:space:]]*Thu Jan  1 00:00:00 1970' <<<"$header" ||
    fail "$1: the PE header carries a link time: $(grep '^Time/Date' <<<"$header")"
  grep -qi 'large address aware' <<<"$header" || fail "$1: not large-address aware"
  grep -q 'DYNAMIC_BASE' <<<"$header" || fail "$1: not loaded at a random address (no DYNAMIC_BASE)"
  grep -q 'NX_COMPAT' <<<"$header" || fail "$1: data executable (no NX_COMPAT)"
  # A program loaded elsewhere than its preferred address needs its relocations.
  grep -qE '^Entry 5 [0-9a-f]+ 0*[1-9a-f][0-9a-f]* Base Relocation Directory' <<<"$header" ||
    fail "$1: no relocations, so no ASLR"
  grep -qE '^Entry 2 [0-9a-f]+ 0*[1-9a-f][0-9a-f]* Resource Directory' <<<"$header" || fail "$1: no resources"
}

for program in "$@"; do
  check_header "$program"
  for folder in "$sources" "$build"; do
    if grep -q -a -F "$folder" "$program"; then
      fail "$program names the build machine's folder $folder"
    fi
  done
done

# The launcher from a second compile and link of the same sources.
cmp -s "$launcher" "$rebuilt" || fail "a second build of the launcher differs: $(cmp "$launcher" "$rebuilt" 2>&1)"

[ "$failures" -eq 0 ] || exit 1
echo "checked: $*"
