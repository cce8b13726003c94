#!/usr/bin/env bash
# The whole presentation with SDL's dummy sound driver: it ends by itself
# after its 225 s with status 0, and the sound device never ran dry (no
# "underruns" line at exit). Takes about four minutes, so it carries the
# label "long": scripts/test runs it on its own (ctest -L long), with the
# presentation given the processor first, as a viewer's machine would.
# Arguments: quiet-harbor, quiet-harbor-capture, window_close_request.
set -u
PROGRAM=$1
source "$(dirname "$0")/e2e_lib.sh"
WORK=$(mktemp -d)

start_xvfb || exit 1
trap 'stop_xvfb; rm -rf "$WORK"' EXIT

started=$(date +%s)
# Raising the priority needs root; without it nice says so and runs as usual.
SDL_AUDIODRIVER=dummy nice -n -5 "$PROGRAM" >/dev/null 2>"$WORK/stderr.txt" &
pid=$!
check "window appears" test -n "$(wait_for_window "Quiet harbor" 60)"
wait_for_exit "$pid" 400
took=$(($(date +%s) - started))
echo "the presentation took $took s from start to exit"
grep -v "cannot set niceness" "$WORK/stderr.txt"
check "ends by itself with status 0 (got $EXIT_STATUS)" test "$EXIT_STATUS" -eq 0
check "after its 225 s of music (took $took s)" test "$took" -ge 220
check "the sound never ran dry" test "$(grep -c 'underrun' "$WORK/stderr.txt")" -eq 0

echo "$FAILURES failed"
[ "$FAILURES" -eq 0 ]
