#!/usr/bin/env bash
# Pause and loop in the real program, heard through SDL's disk driver. Space
# pauses picture and music and resumes them at the very sample where they
# stopped: from 217 s with a 2 s pause, the music written is the capture's
# from 217 s to the end of the song, sample for sample, with only the pause's
# silence between, and the show still ends by itself. With --loop the music
# starts again from 0 at 225 s: from 222 s, the music written is the
# capture's from 222 s to the end, then the capture's from 0, as at the
# first start.
# Arguments: quiet-harbor, quiet-harbor-capture, window_close_request.
set -u
PROGRAM=$1
CAPTURE=$2
source "$(dirname "$0")/e2e_lib.sh"
source "$(dirname "$0")/sound_lib.sh"
WORK=$(mktemp -d)

start_xvfb || exit 1
trap 'stop_xvfb; rm -rf "$WORK"' EXIT
"$CAPTURE" --audio-only --out "$WORK/music.wav" --quiet
RATE=44100
# The render's sound from second $1, silent runs left out, as many frames as
# there are (the song is silent from about 224.3 s) or $2.
render_from() { sound_frames "$WORK/music.wav" $((44 + $1 * RATE * 4)) "${2:-100000000}" /dev/null; }

# Pause: Space after 2 s of music, Space again 2 s later.
SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$WORK/pause.raw" "$PROGRAM" --window --start 217 \
  >/dev/null 2>"$WORK/pause.err" &
pid=$!
window=$(wait_for_window "Quiet harbor" 60)
wait_for_sound "$WORK/pause.raw" $((2 * BYTES_PER_SECOND)) "$pid"
xdotool key --window "$window" space
sleep 2
xdotool key --window "$window" space
wait_for_exit "$pid" 60
check "after a pause the show still ends by itself, status 0 (got $EXIT_STATUS)" test "$EXIT_STATUS" -eq 0
start=$(first_sound "$WORK/pause.raw" 0)
sound_frames "$WORK/pause.raw" "${start:-0}" 100000000 "$WORK/gaps.txt" >"$WORK/paused.txt"
render_from 217 >"$WORK/render.txt"
check "the music from 217 s to the song's end is written whole, sample for sample, around the pause" \
  cmp -s "$WORK/paused.txt" "$WORK/render.txt"
check "the pause is in it as about 2 s of silence ($(cat "$WORK/gaps.txt") frames left out)" \
  test "$(cat "$WORK/gaps.txt")" -ge $((3 * RATE / 2))

# Loop: from 222 s to the end, then from 0 again; Escape once the second
# pass has sounded for about two seconds.
SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$WORK/loop.raw" "$PROGRAM" --window --start 222 --loop \
  >/dev/null 2>"$WORK/loop.err" &
pid=$!
window=$(wait_for_window "Quiet harbor" 60)
wait_for_sound "$WORK/loop.raw" $((11 * BYTES_PER_SECOND / 2)) "$pid"
[ -n "$window" ] && xdotool key --window "$window" Escape
wait_for_exit "$pid" 60
check "--loop: Escape ends it, status 0 (got $EXIT_STATUS)" test "$EXIT_STATUS" -eq 0
start=$(first_sound "$WORK/loop.raw" 0)
{ render_from 222; render_from 0 $((2 * RATE)); } >"$WORK/passes.txt"
sound_frames "$WORK/loop.raw" "${start:-0}" "$(wc -l <"$WORK/passes.txt")" /dev/null >"$WORK/looped.txt"
check "--loop: the end of the first pass, then the music from 0 as at the first start, sample for sample" \
  cmp -s "$WORK/looped.txt" "$WORK/passes.txt"

echo "$FAILURES failed"
[ "$FAILURES" -eq 0 ]
