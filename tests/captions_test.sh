#!/usr/bin/env bash
# Captions through the capture tool: with --captions the credits' three
# lines are drawn in their boxes and nowhere else (without, the credits are
# black), scene 1's title lies in the lower black band and leaves the
# picture as it was, and with no font to be found the capture says so in one
# line and completes without captions.
# Arguments: quiet-harbor, quiet-harbor-capture, window_close_request, capture_levels.
set -u
CAPTURE=$2
LEVELS=$4
source "$(dirname "$0")/e2e_lib.sh"
export EGL_PLATFORM=surfaceless
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

for at in 15 222; do
  "$CAPTURE" --at $at --out "$WORK/plain$at.png" --quiet
  "$CAPTURE" --at $at --out "$WORK/captions$at.png" --captions --quiet
done
check "without captions the credits are black" \
  test "$("$LEVELS" frames "$WORK/plain222.png" | cut -d' ' -f2-)" = "0.0 0.00 0"
"$LEVELS" diffrows "$WORK/plain222.png" "$WORK/captions222.png" >"$WORK/credits.txt"
# Rows from the top, and columns, of the three lines' boxes: the capitals
# hang from 250, 310 and 380 (round letters overshoot by a row or two), the
# descenders reach some 12 rows below the baseline, a cap height lower.
in_boxes='($1 >= 247 && $1 < 300 && $3 >= 260 && $4 < 640) ||
          ($1 >= 307 && $1 < 360 && $3 >= 260 && $4 < 640) ||
          ($1 >= 377 && $1 < 430 && $3 >= 240 && $4 < 760)'
check "the credits' lines are lit" test "$(wc -l <"$WORK/credits.txt")" -ge 60
check "and only inside their three boxes" awk "!($in_boxes) { bad++ } END { exit bad > 0 }" "$WORK/credits.txt"
for top in 250 310 380; do
  check "the line at $top has lit rows" awk -v t=$top '$1 >= t - 3 && $1 < t + 50 { n++ } END { exit n < 20 }' \
    "$WORK/credits.txt"
done
"$LEVELS" diffrows "$WORK/plain15.png" "$WORK/captions15.png" >"$WORK/title.txt"
check "scene 1's title is drawn" test "$(wc -l <"$WORK/title.txt")" -ge 20
check "in the lower black band only (rows 525 and below)" awk '$1 < 525 { bad++ } END { exit bad > 0 }' \
  "$WORK/title.txt"

# A font configuration with no fonts in it.
echo '<?xml version="1.0"?><fontconfig></fontconfig>' >"$WORK/fonts.conf"
FONTCONFIG_FILE="$WORK/fonts.conf" "$CAPTURE" --at 222 --out "$WORK/nofont.png" --captions 2>"$WORK/nofont.err"
check "without fonts the capture still exits 0" test $? -eq 0
check "and says once why there are no captions" test "$(grep -c 'no captions' "$WORK/nofont.err")" -eq 1
check "and draws none" cmp -s "$WORK/nofont.png" "$WORK/plain222.png"

echo "$FAILURES failed"
[ "$FAILURES" -eq 0 ]
