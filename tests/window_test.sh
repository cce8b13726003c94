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

# A size larger than the display is refused before any window opens.
err=$("$PROGRAM" --window --size 1024x768 2>&1 >/dev/null)
check "--size larger than the display: exit 2" test $? -eq 2
check "... one line naming the size, then the usage" \
  test "$(head -n 1 <<<"$err" | grep -c "'1024x768'")" -eq 1 -a "$(sed -n 2p <<<"$err" | cut -c1-6)" = "Usage:"
check "... and no window" test -z "$(xdotool search --name '^Quiet harbor$' 2>/dev/null)"

# --size desktop on a 1920 x 1080 display fills it, picture to every edge:
# scene 8's orange room is lit in the top and bottom rows.
stop_xvfb
start_xvfb 1920x1080 || exit 1
"$PROGRAM" --size desktop --start 180 &
pid=$!
window=$(wait_for_window "Quiet harbor" 60)
check "--size desktop: the window is 1920 x 1080" \
  bash -c "xdotool getwindowgeometry '$window' | grep -q 'Geometry: 1920x1080'"
# Lit pixels in one row of the screen, once the first frames are drawn.
lit_in_row() {
  ffmpeg -v error -f x11grab -video_size 1920x1080 -i "$DISPLAY" -frames:v 1 -vf "crop=1920:1:0:$1" \
    -f rawvideo -pix_fmt gray - | od -An -v -tu1 | awk '{ for (i = 1; i <= NF; i++) n += $i > 8 } END { print n + 0 }'
}
for _ in $(seq 1 60); do [ "$(lit_in_row 540)" -gt 1000 ] && break; sleep 1; done
check "... lit in the top row" test "$(lit_in_row 0)" -gt 1800
check "... and in the bottom row" test "$(lit_in_row 1079)" -gt 1800
[ -n "$window" ] && xdotool key --window "$window" Escape
wait_for_exit "$pid" 60
check "then Escape: exit status 0" test "$EXIT_STATUS" -eq 0

echo "$FAILURES failed"
[ "$FAILURES" -eq 0 ]
