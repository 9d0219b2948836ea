#!/usr/bin/env bash
# The shipped programs' bytes: the PE header's flags as objdump reads them,
# no folder of the build machine inside, the same bytes from a second build
# of the launcher, and the same stripped copy (what scripts/package-windows
# ships) on every strip.
#   check_program_bytes.sh OBJDUMP STRIP SOURCE_DIR BUILD_DIR REBUILT_LAUNCHER LAUNCHER PROGRAM...
set -uo pipefail
objdump=$1 strip=$2 sources=$3 build=$4 rebuilt=$5
shift 5
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

# Stripped twice, a second apart, as scripts/package-windows strips: the same
# bytes, the flags and resources kept. strip stamps the time it writes into
# the PE header unless SOURCE_DATE_EPOCH names one.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
SOURCE_DATE_EPOCH=0 "$strip" -o "$work/first.exe" "$launcher"
sleep 1
SOURCE_DATE_EPOCH=0 "$strip" -o "$work/second.exe" "$launcher"
cmp -s "$work/first.exe" "$work/second.exe" || fail "stripping the launcher twice gives different bytes"
[ "$(stat -c %s "$work/first.exe")" -lt "$(stat -c %s "$launcher")" ] || fail "strip removed nothing"
check_header "$work/first.exe"

[ "$failures" -eq 0 ] || exit 1
echo "checked: $*"
