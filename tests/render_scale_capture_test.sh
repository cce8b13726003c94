#!/usr/bin/env bash
# The capture tool's --render-scale: 1 is the picture without the option,
# byte for byte; at 0.5 a 1920 x 1080 frame is the 960 x 540 frame scaled
# up (points, lines and offsets follow the drawn size); the captions and the
# bands around the picture stay at full resolution; "auto" is the window's.
# Arguments: quiet-harbor, quiet-harbor-capture, window_close_request, capture_levels.
set -u
PROGRAM=$1
CAPTURE=$2
LEVELS=$(realpath "$4")
source "$(dirname "$0")/e2e_lib.sh"
export EGL_PLATFORM=surfaceless
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

# Scene 3's stars are points of a size set once per scene.
"$CAPTURE" --at 65 --fps 2 --out "$WORK/plain.png" --quiet
"$CAPTURE" --at 65 --fps 2 --out "$WORK/one.png" --render-scale 1 --quiet
check "--render-scale 1 gives the frame without the option" \
  test "$(cd "$WORK" && "$LEVELS" hashes plain.png | awk '{ print $2 }')" = \
       "$(cd "$WORK" && "$LEVELS" hashes one.png | awk '{ print $2 }')"

"$CAPTURE" --at 65 --fps 2 --size 1920x1080 --render-scale 0.5 --out "$WORK/half.png" --stats --quiet 2>"$WORK/stats"
check "--render-scale 0.5 exits 0" test $? -eq 0
check "--stats names the scale" grep -q '^quiet-harbor-capture: scene 3: 1 frame, .*; scale 0.5: 100 %$' "$WORK/stats"
"$CAPTURE" --at 65 --fps 2 --size 960x540 --out "$WORK/small.png" --quiet
ffmpeg -loglevel error -i "$WORK/small.png" -vf scale=1920:1080:flags=bilinear "$WORK/small_up.png"
diff=$("$LEVELS" meandiff "$WORK/half.png" "$WORK/small_up.png")
check "1920x1080 at 0.5 is 960x540 scaled up (mean difference $diff of 255)" \
  awk -v d="$diff" 'BEGIN { exit !(d != "" && d < 1.5) }'
"$CAPTURE" --at 65 --fps 2 --size 1920x1080 --out "$WORK/full.png" --quiet
full=$("$LEVELS" meandiff "$WORK/full.png" "$WORK/small_up.png")
check "... much closer to it than the frame drawn at full size is ($full)" \
  awk -v d="$diff" -v f="$full" 'BEGIN { exit !(d < f / 2) }'

# Captions, fades and bands: every row outside the picture is as without the option.
"$CAPTURE" --at 5 --out "$WORK/captions.png" --captions --quiet
"$CAPTURE" --at 5 --out "$WORK/captions_half.png" --captions --render-scale 0.5 --quiet
rows=$("$LEVELS" diffrows "$WORK/captions.png" "$WORK/captions_half.png" | awk '{ print $1 }' | sort -n | sed -n '1p;$p' | xargs)
check "at 0.5 only the picture's rows differ, not the captions below it ($rows)" test "$rows" = "75 524"

"$CAPTURE" --at 5 --out "$WORK/auto.png" --render-scale auto 2>"$WORK/auto.err"
check "auto is the window's: the capture refuses it (exit 2)" test $? -eq 2
check "... naming the range" grep -q "^quiet-harbor-capture: --render-scale takes a scale from 0.25 to 1, not 'auto'$" "$WORK/auto.err"
"$PROGRAM" --render-scale 0.2 2>"$WORK/window.err"
check "the window refuses 0.2 (exit 2)" test $? -eq 2
check "... naming the range and auto" grep -q "^quiet-harbor: --render-scale takes a scale from 0.25 to 1 or auto, not '0.2'$" "$WORK/window.err"

echo "$FAILURES failed"
[ "$FAILURES" -eq 0 ]
