#!/usr/bin/env bash
# A seek's sound, heard through SDL's disk driver: from 200 s, paused, Page
# Down to the next scene's start (205 s) and resumed; after the pause's
# silence the music is the capture's from 205 s to the song's end, sample
# for sample, as --start 205 would play it, and the show ends by itself.
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
SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$WORK/seek.raw" "$PROGRAM" --window --start 200 >/dev/null 2>"$WORK/err" &
pid=$!
window=$(wait_for_window "Quiet harbor" 60)
wait_for_sound "$WORK/seek.raw" "$BYTES_PER_SECOND" "$pid"
xdotool key --window "$window" space Next
sleep 1.5
xdotool key --window "$window" space
wait_for_exit "$pid" 60
check "after the seek the show ends by itself, status 0 (got $EXIT_STATUS)" test "$EXIT_STATUS" -eq 0

# Byte offset of the first sound after the last silence of half a second or
# more: the pause.
resumed=$(od -An -v -td2 -w4 "$WORK/seek.raw" | awk '
  $1 == 0 && $2 == 0 { zeros++; next }
  { if (zeros >= 22050) at = (NR - 1) * 4; zeros = 0 }
  END { print at + 0 }')
check "the pause is in the sound" test "$resumed" -gt 0
sound_frames "$WORK/seek.raw" "$resumed" 100000000 /dev/null >"$WORK/heard.txt"
sound_frames "$WORK/music.wav" $((44 + 205 * BYTES_PER_SECOND)) "$(wc -l <"$WORK/heard.txt")" /dev/null \
  >"$WORK/render.txt"
check "after the seek: the music from 205 s to the end, sample for sample ($(wc -l <"$WORK/heard.txt") frames)" \
  cmp -s "$WORK/heard.txt" "$WORK/render.txt"
check "... all of it (the song sounds until about 224.3 s)" test "$(wc -l <"$WORK/heard.txt")" -gt $((19 * 44100))

echo "$FAILURES failed"
[ "$FAILURES" -eq 0 ]
