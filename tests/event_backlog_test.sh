#!/usr/bin/env bash
# Every event waiting is handled before the next frame: a mouse reports far
# more often than the software renderer draws, and an Escape behind a
# backlog of 1,000 pointer motions in scene 7 (its slowest) must still end
# the show within a second.
# Arguments: quiet-harbor, quiet-harbor-capture, window_close_request.
set -u
PROGRAM=$1
source "$(dirname "$0")/e2e_lib.sh"
source "$(dirname "$0")/sound_lib.sh"
WORK=$(mktemp -d)

start_xvfb || exit 1
trap 'stop_xvfb; rm -rf "$WORK"' EXIT
SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$WORK/sound.raw" "$PROGRAM" --window --start 150 >/dev/null 2>"${ERR_OUT:-$WORK/err}" &
pid=$!
window=$(wait_for_window "Quiet harbor" 60)
# Playing: a second of music written.
wait_for_sound "$WORK/sound.raw" "$BYTES_PER_SECOND" "$pid"
# One xdotool process sends them all, as fast as the server takes them.
moves=()
for i in $(seq 1 1000); do moves+=(mousemove --window "$window" $((i % 700 + 20)) $((i % 500 + 20))); done
xdotool "${moves[@]}"
sent=$(date +%s%N)
xdotool key --window "$window" Escape
wait_for_exit "$pid" 30
took_ms=$((($(date +%s%N) - sent) / 1000000))
check "Escape behind 1,000 motions: exit status 0 (got $EXIT_STATUS)" test "$EXIT_STATUS" -eq 0
check "... within 1 s (took $took_ms ms)" test "$took_ms" -lt 1000

echo "$FAILURES failed"
[ "$FAILURES" -eq 0 ]
