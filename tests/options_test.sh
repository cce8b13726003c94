#!/usr/bin/env bash
# The real program's command line and installation: --help and --version exit
# 0; a bad option or value exits 2 with one line naming it and the usage,
# before any window is opened; installing puts both programs into bin/.
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

# Without a display a window that was tried would fail with status 1 and a
# message on stdout; a bad option ends before that, with status 2. Each case
# is the arguments, then the word the message must name.
for case in "--bogus|--bogus" "--start|--start" "--start abc|abc" "--start -1|-1" "--start 225|225" \
            "--start nan|nan" "--start=1e400|1e400" "--start 10 extra|extra" "window|window" \
            "--size|--size" "--size 0x600|0x600" "--size=big|big" "--msaa 0|0" "--msaa=2x|2x"; do
  args=${case%|*}
  named=${case#*|}
  # shellcheck disable=SC2086
  env -u DISPLAY "$PROGRAM" $args >"$WORK/out.txt" 2>"$WORK/err.txt"
  status=$?
  check "'$args': exit 2 (got $status)" test "$status" -eq 2
  check "'$args': no window tried, nothing on stdout" test ! -s "$WORK/out.txt"
  check "'$args': one line naming '$named', then the usage" \
    test "$(head -n 1 "$WORK/err.txt" | grep -c -- "'$named'")" -eq 1 \
    -a "$(sed -n 2p "$WORK/err.txt" | cut -c1-6)" = "Usage:" -a "$(wc -l <"$WORK/err.txt")" -eq 2
done

cmake --install "$(dirname "$PROGRAM")" --prefix "$WORK/prefix" >/dev/null
check "install: quiet-harbor in bin/" test -x "$WORK/prefix/bin/quiet-harbor"
check "install: quiet-harbor-capture in bin/" test -x "$WORK/prefix/bin/quiet-harbor-capture"
check "install: the installed program runs" \
  test "$("$WORK/prefix/bin/quiet-harbor" --version)" = "quiet-harbor $VERSION"

echo "$FAILURES failed"
[ "$FAILURES" -eq 0 ]
