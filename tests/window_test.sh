#!/usr/bin/env bash
# The real program's window: opens full screen titled "Quiet harbor", leaves
# with status 0 on Escape and on a close request, and refuses to run with no
# display.
# Arguments: quiet-harbor, quiet-harbor-capture, window_close_request.
set -u
PROGRAM=$1
CLOSE_REQUEST=$3
source "$(dirname "$0")/e2e_lib.sh"
export SDL_AUDIODRIVER=dummy

# No display: both with the x11 driver named and with no driver named.
for driver in x11 ""; do
  out=$(env -u DISPLAY SDL_VIDEODRIVER="$driver" timeout 20 "$PROGRAM" 2>/dev/null)
  status=$?
  check "no display, driver '$driver': exit 1" test "$status" -eq 1
  check "no display, driver '$driver': message" grep -q "^Video initialization failed: ." <<<"$out"
done

start_xvfb || exit 1

# Escape ends the presentation with status 0.
"$PROGRAM" &
pid=$!
window=$(wait_for_window "Quiet harbor" 60)
check "window titled Quiet harbor appears" test -n "$window"
# Full screen: SDL sets no fixed window size (a --window run does, audio_test.sh).
check "no options: full screen" \
  test "$(xprop -id "$window" WM_NORMAL_HINTS 2>/dev/null | grep -c 'maximum size')" -eq 0
sleep 1
[ -n "$window" ] && xdotool key --window "$window" Escape
wait_for_exit "$pid" 60
check "Escape: exit status 0 (got $EXIT_STATUS)" test "$EXIT_STATUS" -eq 0

# A close request from the desktop ends it with status 0 too.
"$PROGRAM" &
pid=$!
window=$(wait_for_window "Quiet harbor" 60)
sleep 1
check "close request sent" "$CLOSE_REQUEST" "Quiet harbor"
wait_for_exit "$pid" 60
check "close request: exit status 0 (got $EXIT_STATUS)" test "$EXIT_STATUS" -eq 0

# Another key only skips a frame; the program keeps running until Escape.
"$PROGRAM" &
pid=$!
window=$(wait_for_window "Quiet harbor" 60)
sleep 1
xdotool key --window "$window" space
sleep 1
check "another key does not end the presentation" kill -0 "$pid"
xdotool key --window "$window" Escape
wait_for_exit "$pid" 60
check "then Escape: exit status 0" test "$EXIT_STATUS" -eq 0

echo "$FAILURES failed"
[ "$FAILURES" -eq 0 ]
