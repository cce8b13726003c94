#!/usr/bin/env bash
# The presentation played in real time with SDL's dummy sound driver, from
# $QH_PLAYBACK_FROM seconds (default 200; 0 plays the whole of it, about four
# minutes): it ends by itself when its music reaches 225 s, with status 0,
# and the sound device never ran dry (no "underruns" line at exit).
# Arguments: quiet-harbor, quiet-harbor-capture, window_close_request.
set -u
PROGRAM=$1
FROM=${QH_PLAYBACK_FROM:-200}
source "$(dirname "$0")/e2e_lib.sh"
WORK=$(mktemp -d)

start_xvfb || exit 1
trap 'stop_xvfb; rm -rf "$WORK"' EXIT

started=$(date +%s)
SDL_AUDIODRIVER=dummy "$PROGRAM" --start "$FROM" >/dev/null 2>"$WORK/stderr.txt" &
pid=$!
check "window appears" test -n "$(wait_for_window "Quiet harbor" 60)"
wait_for_exit "$pid" $((225 - FROM + 180))
took=$(($(date +%s) - started))
echo "the presentation from $FROM s took $took s from start to exit"
cat "$WORK/stderr.txt"
check "ends by itself with status 0 (got $EXIT_STATUS)" test "$EXIT_STATUS" -eq 0
check "after its $((225 - FROM)) s of music (took $took s)" test "$took" -ge $((225 - FROM - 5))
check "the sound never ran dry" test "$(grep -c 'underrun' "$WORK/stderr.txt")" -eq 0

echo "$FAILURES failed"
[ "$FAILURES" -eq 0 ]
