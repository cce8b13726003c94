#!/usr/bin/env bash
# The whole presentation through the capture tool, one frame a second with the
# music playing: every scene's slot is black on its first frame (the fade-in
# starts at full darkness) and lit in its middle, the credits are black, the
# bands above and below the picture stay black, and the music sounds in every
# second until its own ending during the credits.
# Judges the capture that whole_capture.sh left in $QH_WHOLE_CAPTURE, or
# makes its own.
# Arguments: quiet-harbor, quiet-harbor-capture, window_close_request, capture_levels.
set -u
CAPTURE=$2
LEVELS=$4
source "$(dirname "$0")/e2e_lib.sh"
export EGL_PLATFORM=surfaceless
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

# A middle frame counts as lit when this share (percent) of the band is not black.
LIT_PERCENT=50
# The song ends at about 223 s; before that every second is louder than this
# RMS on the 16-bit scale (the quietest, the first, is above 2000).
MUSIC_RMS=500
LAST_SOUNDING_SECOND=222

WHOLE=${QH_WHOLE_CAPTURE:-}
if [ -z "$WHOLE" ]; then
  WHOLE=$WORK/whole
  bash "$(dirname "$0")/whole_capture.sh" "$CAPTURE" "$WHOLE" || exit 1
fi

# One line per second: file, lit percent, band mean, lit pixels outside the band.
"$LEVELS" frames "$WHOLE"/frames/frame_*.png > "$WORK/frames.txt"
check "225 frames were captured" test "$(wc -l < "$WORK/frames.txt")" -eq 225
column_at() { awk -v n="$1" -v c="$2" 'NR == n + 1 { print $c }' "$WORK/frames.txt"; }
at_least() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a != "" && a + 0 >= b) }'; }

# The timeline: scene, start, length in seconds. Scenes 3 to 6 are built on
# their own branches; without them their slots stay black and only their
# "lit in its middle" checks fail.
while read -r scene start length; do
  middle=$((start + length / 2))
  check "scene $scene is black on its first frame ($start s)" test "$(column_at "$start" 3)" = "0.00"
  check "scene $scene is lit in its middle ($middle s)" at_least "$(column_at "$middle" 2)" $LIT_PERCENT
done <<'TIMELINE'
1 0 30
2 30 30
3 60 10
4 70 25
5 95 25
6 120 25
7 145 25
8 170 35
9 205 15
TIMELINE

check "the credits (220 to 224 s) are black" \
  awk 'NR > 220 && $3 != "0.00" { bad++ } END { exit bad > 0 || NR != 225 }' "$WORK/frames.txt"
check "the bands above and below the picture stay black in every frame (but for edge dots)" \
  awk '$4 != 0 { bad++ } END { exit bad > 0 }' "$WORK/frames.txt"

# One line per second: second, RMS.
"$LEVELS" sound "$WHOLE/music.wav" > "$WORK/sound.txt"
check "the sound covers the 225 s" test "$(wc -l < "$WORK/sound.txt")" -eq 225
check "the music sounds in every second up to $LAST_SOUNDING_SECOND s" \
  awk -v last=$LAST_SOUNDING_SECOND -v rms=$MUSIC_RMS '$1 <= last && $2 < rms { bad++ } END { exit bad > 0 }' \
  "$WORK/sound.txt"

echo "$FAILURES failed"
[ "$FAILURES" -eq 0 ]
