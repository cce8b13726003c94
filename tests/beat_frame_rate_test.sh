#!/usr/bin/env bash
# The beat's reactions fall by presentation time, so every frame rate shows
# the same curve: in scene 2, whose pictures follow time alone, frame k of a
# 30 fps capture is frame 2k of a 60 fps one, byte for byte, across the
# first beats (44.8 s on) and accents. (Scene 9 moves its flakes by
# per-frame steps and scene 4 draws random offsets every frame: there the
# rates differ by design.)
# Arguments: quiet-harbor, quiet-harbor-capture, window_close_request, capture_levels.
set -u
CAPTURE=$(realpath "$2")
LEVELS=$(realpath "$4")
source "$(dirname "$0")/e2e_lib.sh"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
export EGL_PLATFORM=surfaceless

"$CAPTURE" --from 44 --to 52 --fps 30 --size 320x240 --out "$WORK/30" --quiet
"$CAPTURE" --from 44 --to 52 --fps 60 --size 320x240 --out "$WORK/60" --quiet
(cd "$WORK/30" && "$LEVELS" hashes frame_*.png) | awk '{ print $2 }' >"$WORK/30.txt"
(cd "$WORK/60" && "$LEVELS" hashes frame_*.png) | awk 'NR % 2 == 1 { print $2 }' >"$WORK/60.txt"
check "240 frames at 30 fps" test "$(wc -l <"$WORK/30.txt")" -eq 240
check "frame k at 30 fps is frame 2k at 60 fps, from 44 to 52 s" cmp -s "$WORK/30.txt" "$WORK/60.txt"
check "... and the beats show: frames differ from one another" test "$(sort -u "$WORK/30.txt" | wc -l)" -gt 200

echo "$FAILURES failed"
[ "$FAILURES" -eq 0 ]
