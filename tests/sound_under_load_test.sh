#!/usr/bin/env bash
# Sound that no frame can starve: scene 7 plays for 20 s through SDL's disk
# driver (--start 145) while two busy loops compete for the processor, and
# the program reports no underrun at exit. --stats then gives the renderer
# and exactly one line for the one scene shown, with figures that fit a real
# run: frames drawn, median <= 95th percentile <= slowest frame (the
# percentiles are 0.1 ms bins), the slowest within the scene's span.
# Arguments: quiet-harbor, quiet-harbor-capture, window_close_request.
set -u
PROGRAM=$1
source "$(dirname "$0")/e2e_lib.sh"
source "$(dirname "$0")/sound_lib.sh"
WORK=$(mktemp -d)
BUSY=()

start_xvfb || exit 1
trap 'kill "${BUSY[@]}" 2>/dev/null; stop_xvfb; rm -rf "$WORK"' EXIT
for _ in 1 2; do
  sh -c 'while :; do :; done' &
  BUSY+=($!)
done

SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$WORK/out.raw" "$PROGRAM" --window --start 145 --stats \
  >/dev/null 2>"$WORK/stderr.txt" &
pid=$!
window=$(wait_for_window "Quiet harbor" 60)
check "window appears" test -n "$window"
check "20 s of sound" wait_for_sound "$WORK/out.raw" $((20 * BYTES_PER_SECOND)) "$pid"
[ -n "$window" ] && xdotool key --window "$window" Escape
wait_for_exit "$pid" 60
kill "${BUSY[@]}" 2>/dev/null
check "Escape exits 0 (got $EXIT_STATUS)" test "$EXIT_STATUS" -eq 0
cat "$WORK/stderr.txt"
check "under load the sound never ran dry" test "$(grep -c 'underrun' "$WORK/stderr.txt")" -eq 0

check "--stats: the renderer" test "$(grep -c '^quiet-harbor: renderer .' "$WORK/stderr.txt")" -eq 1
check "--stats: one line per scene shown, scene 7 only" \
  test "$(grep -c '^quiet-harbor: \(scene [0-9]*\|credits\): ' "$WORK/stderr.txt")" -eq 1 \
  -a "$(grep -c '^quiet-harbor: scene 7: ' "$WORK/stderr.txt")" -eq 1
figures=$(sed -n 's/^quiet-harbor: scene 7: \([0-9]*\) frames\?, median \([0-9.]*\) ms, 95th percentile \([0-9.]*\) ms, slowest \([0-9.]*\) ms at \([0-9.]*\) s$/\1 \2 \3 \4 \5/p' \
  "$WORK/stderr.txt")
check "--stats: plausible figures ($figures)" awk -v f="$figures" 'BEGIN {
  split(f, v, " ")
  exit !(v[1] >= 2 && v[2] > 0 && v[2] <= v[3] && v[3] <= v[4] + 0.1 && v[5] >= 145 && v[5] < 170) }'

echo "$FAILURES failed"
[ "$FAILURES" -eq 0 ]
