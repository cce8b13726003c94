#!/usr/bin/env bash
# Both programs' command lines and the installation: --help and --version
# exit 0; both take the same grammar, and a bad option or value exits 2
# with one line naming it, worded alike in both, and the usage, before any
# window is opened or any file made; installing puts both programs into bin/.
# Arguments: quiet-harbor, quiet-harbor-capture, window_close_request.
set -u
PROGRAM=$1
source "$(dirname "$0")/e2e_lib.sh"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
VERSION=$(sed -n 's/^project(quiet_harbor VERSION \([0-9.]*\).*/\1/p' "$(dirname "$0")/../CMakeLists.txt")

out=$("$PROGRAM" --help)
check "--help exits 0" test $? -eq 0
check "--help gives the usage" grep -q "^Usage: quiet-harbor \[--window\] \[--start SECONDS\]" <<<"$out"
check "--help names the keys" grep -q "Escape" <<<"$out"
check "--help says built-up state starts fresh" grep -q "starts fresh" <<<"$out"
out=$("$PROGRAM" --version)
check "--version exits 0" test $? -eq 0
check "--version prints the name and version $VERSION (got '$out')" test "$out" = "quiet-harbor $VERSION"

# The command-line grammar both programs share, as a table: the program,
# its arguments, the exit status, and the one line on stderr (a fragment
# of it; "" for none). Without a display the window fails with status 1
# and "Video initialization failed" on stdout once its options were taken;
# a bad option ends before that, with status 2, one line and the usage.
# The capture's good forms end at an unwritable output (status 1).
W=$PROGRAM
C=$2
NOWHERE=$WORK/missing/f.png
while IFS='|' read -r who args status line; do
  [ -z "$who" ] && continue
  program=$W
  [ "$who" = capture ] && program=$C
  # shellcheck disable=SC2086
  env -u DISPLAY EGL_PLATFORM=surfaceless "$program" $args >"$WORK/out.txt" 2>"$WORK/err.txt"
  got=$?
  check "$who '$args': exit $status (got $got)" test "$got" -eq "$status"
  if [ "$status" -eq 2 ]; then
    check "$who '$args': nothing on stdout" test ! -s "$WORK/out.txt"
    check "$who '$args': one line '$line', then the usage" \
      test "$(head -n 1 "$WORK/err.txt" | grep -cF -- "$line")" -eq 1 \
      -a "$(sed -n 2p "$WORK/err.txt" | cut -c1-6)" = "Usage:"
  fi
  [ "$status" -eq 0 ] && check "$who '$args': the usage on stdout" grep -q "^Usage:" "$WORK/out.txt"
done <<EOF_TABLE
window|-h|0|
window|--help|0|
capture|-h|0|
capture|--help|0|
window|--window --size=1920x1080|1|
window|--window --size 1920x1080 --msaa=4 --start=10|1|
window|--window -- |1|
capture|--at 1 --size=1920x1080 --out $NOWHERE|1|
capture|--at=1 --size 1920x1080 --msaa 4 --out=$NOWHERE|1|
window|--bogus|2|quiet-harbor: unknown option '--bogus'
capture|--bogus 1 --at 1 --out $NOWHERE|2|quiet-harbor-capture: unknown option '--bogus'
window|-x|2|unknown option '-x'
window|--start|2|quiet-harbor: missing seconds after '--start'
capture|--at|2|quiet-harbor-capture: missing seconds after '--at'
window|--window=1|2|--window takes no value, not '1'
capture|--captions=yes --at 1 --out $NOWHERE|2|--captions takes no value, not 'yes'
window|--start abc|2|--start takes seconds from 0 to under 225, not 'abc'
window|--start -1|2|not '-1'
window|--start 225|2|not '225'
window|--start nan|2|not 'nan'
window|--start=1e400|2|not '1e400'
capture|--at x --out $NOWHERE|2|--at takes seconds, not 'x'
window|--start 10 extra|2|unexpected argument 'extra'
window|window|2|unexpected argument 'window'
window|--size|2|missing size after '--size'
capture|--size|2|missing size after '--size'
window|--size 0x600|2|--size takes WIDTHxHEIGHT (each 1 to 16384) or desktop, not '0x600'
capture|--at 1 --size 0x600 --out $NOWHERE|2|--size takes WIDTHxHEIGHT (each 1 to 16384), not '0x600'
window|--size=big|2|not 'big'
capture|--at 1 --size desktop --out $NOWHERE|2|not 'desktop'
window|--msaa 0|2|--msaa takes a count from 1 to 64, not '0'
capture|--at 1 --msaa=65 --out $NOWHERE|2|--msaa takes a count from 1 to 64, not '65'
window|--msaa=2x|2|not '2x'
window|--audio-delay 1001|2|--audio-delay takes milliseconds from -1000 to 1000, not '1001'
window|--window --audio-delay=-250|1|
capture|--at 1 --fps 0 --out $NOWHERE|2|--fps takes a rate from 0.1 to 1000
capture|--jobs 0 --video x.mp4|2|--jobs takes a count from 1 to 64, not '0'
EOF_TABLE

cmake --install "$(dirname "$PROGRAM")" --prefix "$WORK/prefix" >/dev/null
check "install: quiet-harbor in bin/" test -x "$WORK/prefix/bin/quiet-harbor"
check "install: quiet-harbor-capture in bin/" test -x "$WORK/prefix/bin/quiet-harbor-capture"
check "install: the installed program runs" \
  test "$("$WORK/prefix/bin/quiet-harbor" --version)" = "quiet-harbor $VERSION"

echo "$FAILURES failed"
[ "$FAILURES" -eq 0 ]
