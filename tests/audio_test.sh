#!/usr/bin/env bash
# The real program's sound: through SDL's disk driver it writes the music
# (not silence) within its first seconds and still leaves with status 0 on
# Escape; with a sound driver that does not exist it plays silently, and the
# window, the timeline and Escape work as before.
# Arguments: quiet-harbor, quiet-harbor-capture, window_close_request.
set -u
PROGRAM=$1
CAPTURE=$2
source "$(dirname "$0")/e2e_lib.sh"
WORK=$(mktemp -d)

# Peak absolute value and count of nonzero samples of raw signed 16-bit
# little-endian audio, as "PEAK NONZERO".
raw_level() {
  od -An -v -td2 -w2 "$1" | awk '{ v = $1 < 0 ? -$1 : $1; if (v > p) p = v; if (v) n++ } END { print p + 0, n + 0 }'
}

start_xvfb || exit 1
trap 'stop_xvfb; rm -rf "$WORK"' EXIT

# The disk driver writes what the device would play, in real time.
SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$WORK/out.raw" "$PROGRAM" >/dev/null 2>&1 &
pid=$!
window=$(wait_for_window "Quiet harbor" 60)
check "disk driver: window appears" test -n "$window"
# Loading comes first; then the device writes in real time. Wait for 3 s of
# sound (176,400 bytes per second of 44,100 Hz 16-bit stereo).
for _ in $(seq 1 900); do
  [ "$(stat -c %s "$WORK/out.raw" 2>/dev/null || echo 0)" -ge 529200 ] && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
[ -n "$window" ] && xdotool key --window "$window" Escape
wait_for_exit "$pid" 60
check "disk driver: Escape exits 0 (got $EXIT_STATUS)" test "$EXIT_STATUS" -eq 0
bytes=$(stat -c %s "$WORK/out.raw" 2>/dev/null || echo 0)
check "disk driver: 3 s of sound written (got $bytes bytes)" test "$bytes" -ge 529200
read -r peak nonzero < <(head -c 529200 "$WORK/out.raw" | raw_level /dev/stdin)
check "disk driver: the first 3 s are music, not silence (peak $peak, $nonzero nonzero)" \
  test "$peak" -ge 200 -a "$nonzero" -ge 44100

# The device plays what the capture tool renders offline: after the device's
# lead-in of silence, the first queued block (2,048 frames, the only one that
# cannot be delayed by a slow frame) matches the start of the music sample for
# sample, byte order included.
"$CAPTURE" --audio-only --out "$WORK/music.wav" --seconds 1
first_sound() { od -An -v -td2 -w2 "$1" | awk -v skip="$2" 'NR > skip / 2 && $1 != 0 { print (NR - 1) * 2; exit }'; }
device_start=$(first_sound "$WORK/out.raw" 0)
render_start=$(first_sound "$WORK/music.wav" 44)
check "disk driver: the first block matches the capture tool's render" \
  cmp -s -n 8192 -i "${device_start:-0}:${render_start:-44}" "$WORK/out.raw" "$WORK/music.wav"

# No sound device: no player, the presentation runs silently on the clock.
SDL_AUDIODRIVER=no-such-driver "$PROGRAM" >"$WORK/silent.txt" 2>&1 &
pid=$!
window=$(wait_for_window "Quiet harbor" 60)
check "no sound device: window still appears" test -n "$window"
sleep 2
check "no sound device: still running after 2 s" kill -0 "$pid"
[ -n "$window" ] && xdotool key --window "$window" Escape
wait_for_exit "$pid" 60
check "no sound device: Escape exits 0 (got $EXIT_STATUS)" test "$EXIT_STATUS" -eq 0

echo "$FAILURES failed"
[ "$FAILURES" -eq 0 ]
