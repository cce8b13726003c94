#!/usr/bin/env bash
# The real program's sound: through SDL's disk driver, --start 44.8 writes the
# music from 44.8 s on exactly as the capture tool renders it, in an 800 x 600
# window that is not full screen, and Escape still exits 0. Without sound (a
# driver that does not exist, a disk file that cannot be written) the
# presentation runs silently and says once on stderr why.
# Arguments: quiet-harbor, quiet-harbor-capture, window_close_request.
set -u
PROGRAM=$1
CAPTURE=$2
source "$(dirname "$0")/e2e_lib.sh"
source "$(dirname "$0")/sound_lib.sh"
WORK=$(mktemp -d)

start_xvfb || exit 1
trap 'stop_xvfb; rm -rf "$WORK"' EXIT

# The music from 44.8 s: frame 1,975,680 = round(44.8 x 44,100) on (the
# music has no silent stretch of 64 frames or more there).
SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$WORK/out.raw" "$PROGRAM" --window --start 44.8 \
  >/dev/null 2>"$WORK/start.txt" &
pid=$!
window=$(wait_for_window "Quiet harbor" 60)
check "--window: window appears" test -n "$window"
geometry=$(xdotool getwindowgeometry "$window" 2>/dev/null | awk '/Geometry/ { print $2 }')
check "--window: 800x600 (got $geometry)" test "$geometry" = 800x600
# SDL marks a window of fixed size with equal minimum and maximum sizes; a
# full-screen one (window_test.sh) has none.
check "--window: a fixed-size window, not full screen" \
  grep -q "maximum size: 800 by 600" < <(xprop -id "$window" WM_NORMAL_HINTS 2>/dev/null)
wait_for_sound "$WORK/out.raw" $((2 * BYTES_PER_SECOND)) "$pid"
[ -n "$window" ] && xdotool key --window "$window" Escape
wait_for_exit "$pid" 60
check "--start 44.8: Escape exits 0 (got $EXIT_STATUS)" test "$EXIT_STATUS" -eq 0
check "--start 44.8: no complaint about the sound" test "$(grep -c 'no sound' "$WORK/start.txt")" -eq 0

# The device starts with silence (paused while loading and skipping); its
# first sound is the capture's first sound from frame 1,975,680 on.
"$CAPTURE" --audio-only --out "$WORK/music.wav" --seconds 46.8
device_start=$(first_sound "$WORK/out.raw" 0)
render_start=$(first_sound "$WORK/music.wav" $((44 + 1975680 * 4)))
sound_frames "$WORK/out.raw" "${device_start:-0}" 44100 "$WORK/gaps.txt" >"$WORK/device.txt"
sound_frames "$WORK/music.wav" "${render_start:-44}" 44100 /dev/null >"$WORK/render.txt"
echo "the device's sound starts at byte $device_start; $(cat "$WORK/gaps.txt") frames of underrun gaps left out"
check "--start 44.8: the render starts sounding at 44.8 s (byte $render_start)" \
  test "${render_start:-0}" -eq $((44 + 1975680 * 4))
check "--start 44.8: a second of sound compared" test "$(wc -l <"$WORK/device.txt")" -eq 44100
check "--start 44.8: the first second is the capture's 44.8 to 45.8 s, sample for sample" \
  cmp -s "$WORK/device.txt" "$WORK/render.txt"

# Runs the program with sound driver $1 and disk file $2 until Escape after
# 2 s; checks it kept running and said once why there is no sound.
silent_run() {
  local what=$1
  SDL_AUDIODRIVER=$2 SDL_DISKAUDIOFILE=$3 "$PROGRAM" >/dev/null 2>"$WORK/silent.txt" &
  pid=$!
  window=$(wait_for_window "Quiet harbor" 60)
  check "$what: window still appears" test -n "$window"
  sleep 2
  check "$what: still running after 2 s" kill -0 "$pid"
  [ -n "$window" ] && xdotool key --window "$window" Escape
  wait_for_exit "$pid" 60
  check "$what: Escape exits 0 (got $EXIT_STATUS)" test "$EXIT_STATUS" -eq 0
  check "$what: one line says why there is no sound" test "$(grep -c 'no sound' "$WORK/silent.txt")" -eq 1
  check "$what: the reason names '$4'" grep -q "$4" "$WORK/silent.txt"
}
silent_run "no such sound driver" no-such-driver "" no-such-driver
silent_run "disk file that cannot be written" disk "$WORK/missing/out.raw" "$WORK/missing/out.raw"

echo "$FAILURES failed"
[ "$FAILURES" -eq 0 ]
