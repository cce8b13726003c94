#!/usr/bin/env bash
# The window's keys, as a viewer presses them under Xvfb. A table of keys and
# the screenshot (S) they must lead to: paused seeks land exactly, so the
# frame's time in its name tells where each seek went; names never replace
# a file. The screenshot is the window's picture; F switches full screen and
# back; the pointer shows while moving and hides when still; Escape ends.
# Arguments: quiet-harbor, quiet-harbor-capture, window_close_request.
set -u
PROGRAM=$(realpath "$1")
source "$(dirname "$0")/e2e_lib.sh"
source "$(dirname "$0")/sound_lib.sh"
WORK=$(mktemp -d)

start_xvfb 1024x768 || exit 1
trap 'stop_xvfb; rm -rf "$WORK"' EXIT
mkdir "$WORK/shots"
cd "$WORK/shots" || exit 1
SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$WORK/sound.raw" "$PROGRAM" --window --start 100 >/dev/null 2>"$WORK/err" &
pid=$!
window=$(wait_for_window "Quiet harbor" 60)
wait_for_sound "$WORK/sound.raw" "$BYTES_PER_SECOND" "$pid"

# Waits (at most 60 s) for file $1 to appear whole.
wait_for_file() {
  for _ in $(seq 1 600); do
    [ -s "$1" ] && [ "$(tail -c 8 "$1" | head -c 4)" = IEND ] && return 0
    sleep 0.1
  done
  return 1
}
# The window's pixels now, as raw RGB of its 800 x 450 picture band.
band_of() { ffmpeg -nostdin -loglevel error -i "$1" -vf crop=800:450:0:75 -f rawvideo -pix_fmt rgb24 -; }
# The window as the display shows it, with the pointer drawn when $2 is 1.
grab() {
  local at
  at=$(xwininfo -id "$window" | awk '/Absolute upper-left X/ { x = $4 } /Absolute upper-left Y/ { print x "," $4 }')
  ffmpeg -nostdin -loglevel error -y -f x11grab -draw_mouse "$2" -video_size 800x600 -i "$DISPLAY+$at" \
    -frames:v 1 "$1"
}

while IFS='|' read -r keys shot; do
  # shellcheck disable=SC2086
  xdotool key --window "$window" $keys s
  check "'$keys' then S: $shot" wait_for_file "$shot"
  if [ "$shot" = quiet-harbor-01m05.000.png ]; then
    sleep 0.5
    grab "$WORK/window.png" 0
    band_of "$shot" >"$WORK/shot.rgb"
    band_of "$WORK/window.png" >"$WORK/window.rgb"
    check "the screenshot is the window's picture" cmp -s "$WORK/shot.rgb" "$WORK/window.rgb"
  fi
done <<EOF_TABLE
space Home|quiet-harbor-00m00.000.png
Right|quiet-harbor-00m05.000.png
Up|quiet-harbor-01m05.000.png
Next|quiet-harbor-01m10.000.png
Prior|quiet-harbor-01m00.000.png
Down|quiet-harbor-00m00.000-1.png
Left|quiet-harbor-00m00.000-2.png
EOF_TABLE

# The pointer: shown while it moves over the window, hidden 2 s after.
xdotool key --window "$window" Up s
wait_for_file quiet-harbor-01m00.000-1.png
# Whether the pointer is drawn over the window now (the show is paused).
pointer_drawn() {
  grab "$WORK/plain.png" 0
  grab "$WORK/pointer.png" 1
  ! cmp -s "$WORK/plain.png" "$WORK/pointer.png"
}
# Moves the mouse a little at a time, up to ten times, until the pointer is
# drawn; grabs are slow on a busy machine, and it must not be still 2 s.
pointer_shows_moving() {
  for i in $(seq 1 10); do
    xdotool mousemove --window "$window" $((300 + 7 * i)) 200
    last_move=$(date +%s%N)
    sleep 0.2
    pointer_drawn && return 0
  done
  return 1
}
# Waits up to 10 s of stillness for the pointer to be hidden.
pointer_hides() {
  for _ in $(seq 1 20); do
    pointer_drawn || return 0
    sleep 0.5
  done
  return 1
}
check "the pointer shows while the mouse moves" pointer_shows_moving
check "... and hides when it is still" pointer_hides
still_ms=$((($(date +%s%N) - last_move) / 1000000))
check "... not before 2 s still (hidden after $still_ms ms)" test "$still_ms" -ge 2000

# Full screen and back. Without a window manager (Xvfb) the display
# shows no change, so this asks only that the show goes on through both.
xdotool key --window "$window" f Right s
check "F, then a seek and S: the show goes on" wait_for_file quiet-harbor-01m05.000-1.png
xdotool key --window "$window" alt+Return Right s
check "Alt+Enter, then a seek and S: the show goes on" wait_for_file quiet-harbor-01m10.000-1.png

xdotool key --window "$window" Escape
wait_for_exit "$pid" 30
check "Escape ends it: status 0 (got $EXIT_STATUS)" test "$EXIT_STATUS" -eq 0
check "nothing on stderr but the sound driver's lines" test -z "$(grep -v CRITICAL "$WORK/err")"

echo "$FAILURES failed"
[ "$FAILURES" -eq 0 ]
