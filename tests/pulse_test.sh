#!/usr/bin/env bash
# The sound as a desktop's sound server plays it: through a private
# PulseAudio with a null sink, --window --start 215 played to the end and
# recorded from the sink's monitor is the capture's music from 215 s, sample
# for sample, with a pause of about a second in the middle: silence of the
# pause's length, then the very sample after the last one before it. The
# program reports no underrun and exits 0 by itself, and says how late the
# sound it hands over is heard.
# Arguments: quiet-harbor, quiet-harbor-capture.
set -u
PROGRAM=$1
CAPTURE=$2
source "$(dirname "$0")/e2e_lib.sh"
source "$(dirname "$0")/sound_lib.sh"
source "$(dirname "$0")/pulse_lib.sh"
WORK=$(mktemp -d)

cleanup() { stop_parec; stop_pulse; stop_xvfb; rm -rf "$WORK"; }
trap cleanup EXIT
start_xvfb || exit 1
trap cleanup EXIT
start_pulse || exit 1

# The capture renders while the program loads.
"$CAPTURE" --audio-only --out "$WORK/music.wav" --quiet &
capture_pid=$!
start_parec "$WORK/rec.raw"
"$PROGRAM" --window --start 215 --stats >/dev/null 2>"$WORK/err.txt" &
pid=$!
window=$(wait_for_window "Quiet harbor" 60)
wait_for_sound "$WORK/rec.raw" $((2 * BYTES_PER_SECOND)) "$pid"
[ -n "$window" ] && xdotool key --window "$window" space
sleep 1
[ -n "$window" ] && xdotool key --window "$window" space
wait_for_exit "$pid" 60
check "through PulseAudio the show ends by itself, status 0 (got $EXIT_STATUS)" test "$EXIT_STATUS" -eq 0
sleep 0.3
stop_parec
wait "$capture_pid"
check "no underrun reported: $(cat "$WORK/err.txt")" test "$(grep -c underrun "$WORK/err.txt")" -eq 0
# The server's 200 ms hold the request of 2,048 frames and 153.6 ms before
# it: the pictures follow the sound that much behind what the device took.
check "the sound is heard 153.6 ms after the device takes it" \
  grep -q "sound through pulseaudio, heard 153.6 ms after the device takes it" "$WORK/err.txt"

# R: the recording from its first sound; M: the capture from 215 s.
rec_start=$(first_sound "$WORK/rec.raw" 0)
tail -c +$((${rec_start:-0} + 1)) "$WORK/rec.raw" >"$WORK/r.raw"
tail -c +$((44 + 215 * BYTES_PER_SECOND + 1)) "$WORK/music.wav" >"$WORK/m.raw"
# The first frame where they part is where the pause began: from there R is
# silent until the music goes on, and M is silent only as long as the music.
parted=$(cmp "$WORK/r.raw" "$WORK/m.raw" 2>/dev/null | awk '{ sub(",", "", $5); print $5 - 1 }')
at=$(( ${parted:-0} / 4 * 4 ))
r_on=$(first_sound "$WORK/r.raw" "$at")
m_on=$(first_sound "$WORK/m.raw" "$at")
r_on=$(( ${r_on:-0} / 4 * 4 )); m_on=$(( ${m_on:-0} / 4 * 4 ))
pause_frames=$(( (r_on - m_on) / 4 ))
left=$(( $(stat -c %s "$WORK/m.raw") - m_on ))
echo "recording from byte $rec_start; the pause from $((at / 4)) frames in, $pause_frames frames of silence"
check "the music before the pause is the capture's from 215 s (parted after $((at / 4)) frames)" \
  test "$at" -ge $((2 * BYTES_PER_SECOND))
# The program reads the two keys a second apart, give or take its frames on
# a busy machine.
check "the pause is silence of about a second ($pause_frames frames)" \
  test "$pause_frames" -ge $((44100 / 10)) -a "$pause_frames" -le $((3 * 44100))
check "after the pause the very next sample, and the capture's music to its end" \
  cmp -s -n "$left" <(tail -c +$((r_on + 1)) "$WORK/r.raw") <(tail -c +$((m_on + 1)) "$WORK/m.raw")

echo "$FAILURES failed"
[ "$FAILURES" -eq 0 ]
