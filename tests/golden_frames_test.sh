#!/usr/bin/env bash
# Golden frames: the decoded pixels of a 1 fps capture of the whole
# presentation (225 frames, --from 0 --to 225 --fps 1) against the hashes kept
# for this renderer and architecture in tests/data/golden_frames/, one file
# per set, named <architecture>_<renderer>.txt (Debian's architecture name,
# $QH_ARCH or dpkg's; the renderer's name in lower case, words joined by
# dashes). Any change to what a frame shows fails here, naming the frames; the
# differing frames are written to golden_frames_mismatch/ (beside where the
# test runs, or $QH_GOLDEN_OUT) with a note of what was expected. A machine
# without its set skips, naming the set that is missing. QH_GOLDEN_UPDATE=1
# writes the set of the machine it runs on (a deliberate change of look
# renews every set, in a commit of its own). Judges the capture that
# whole_capture.sh left in $QH_WHOLE_CAPTURE, or makes its own.
# Arguments: quiet-harbor, quiet-harbor-capture, window_close_request, capture_levels.
set -u
CAPTURE=$(realpath "$2")
LEVELS=$(realpath "$4")
SETS=$(cd "$(dirname "$0")" && pwd)/data/golden_frames
ARCH=${QH_ARCH:-$(dpkg --print-architecture)}
OUT=${QH_GOLDEN_OUT:-$PWD/golden_frames_mismatch}
export EGL_PLATFORM=surfaceless
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

WHOLE=${QH_WHOLE_CAPTURE:-}
if [ -z "$WHOLE" ]; then
  WHOLE=$WORK/whole
  bash "$(dirname "$0")/whole_capture.sh" "$CAPTURE" "$WHOLE" || exit 1
fi
renderer=$(sed -n 's/^quiet-harbor-capture: renderer //p' "$WHOLE/stats.txt")
slug=$(printf '%s' "$renderer" | tr 'A-Z' 'a-z' | sed 's/[^a-z0-9.]\{1,\}/-/g; s/^-//; s/-$//')
GOLDEN=$SETS/${ARCH}_$slug.txt
(cd "$WHOLE/frames" && "$LEVELS" hashes frame_*.png) >"$WORK/hashes" || exit 1

if [ -n "${QH_GOLDEN_UPDATE:-}" ]; then
  {
    echo "# Decoded pixels of quiet-harbor-capture --fps 1 --from 0 --to 225, one"
    echo "# 64-bit FNV-1a hash per frame (tests/golden_frames_test.sh). Renewed only"
    echo "# for a deliberate change of look, in a commit of its own."
    echo "renderer $renderer"
    cat "$WORK/hashes"
  } >"$GOLDEN.tmp" && mv "$GOLDEN.tmp" "$GOLDEN"
  echo "golden frames written for $renderer on $ARCH: $GOLDEN"
  exit 0
fi

if [ ! -f "$GOLDEN" ]; then
  echo "SKIPPED: no golden frames for $renderer on $ARCH (tests/data/golden_frames/$(basename "$GOLDEN")); QH_GOLDEN_UPDATE=1 makes them."
  exit 77
fi

rm -rf "$OUT"
differ=0
while read -r frame hash; do
  want=$(awk -v f="$frame" '$1 == f { print $2 }' "$GOLDEN")
  [ "$hash" = "$want" ] && continue
  mkdir -p "$OUT"
  cp "$WHOLE/frames/$frame" "$OUT/"
  second=$((10#${frame//[!0-9]/}))
  echo "$frame (${second} s): expected ${want:-no frame}, got $hash" | tee -a "$OUT/NOTE.txt"
  differ=$((differ + 1))
done <"$WORK/hashes"
expected_count=$(grep -c '^frame_' "$GOLDEN")
got_count=$(wc -l <"$WORK/hashes")
if [ "$got_count" -ne "$expected_count" ]; then
  echo "FAILED: $got_count frames, expected $expected_count"
  exit 1
fi
if [ "$differ" -gt 0 ]; then
  echo "FAILED: $differ of $got_count frames differ from the golden frames; they are in $OUT"
  exit 1
fi
echo "ok: all $got_count frames match the golden frames ($renderer on $ARCH)"
