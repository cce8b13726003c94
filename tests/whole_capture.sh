#!/usr/bin/env bash
# The whole presentation captured once at 1 fps with its music and frame
# statistics, into the folder given, for the tests that judge it
# (presentation_test.sh, golden_frames_test.sh): DIR/frames/, DIR/music.wav
# and DIR/stats.txt (the capture's standard error).
# Arguments: quiet-harbor-capture, DIR.
set -u
CAPTURE=$1
DIR=$2
export EGL_PLATFORM=surfaceless
rm -rf "$DIR" && mkdir -p "$DIR" || exit 1
if ! "$CAPTURE" --from 0 --to 225 --fps 1 --out "$DIR/frames" --audio "$DIR/music.wav" --stats --quiet \
     2>"$DIR/stats.txt"; then
  cat "$DIR/stats.txt"
  echo "FAILED: capturing 0 to 225 s at 1 fps with the music"
  exit 1
fi
echo "ok: the whole presentation captured at 1 fps into $DIR"
