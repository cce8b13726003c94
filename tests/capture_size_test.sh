#!/usr/bin/env bash
# The capture tool at other sizes: --size gives frames of that size,
# --msaa smooths them and names the count it uses when the renderer lacks
# the one asked for, and a bad size or count is refused before any file.
# Arguments: quiet-harbor, quiet-harbor-capture, window_close_request.
set -u
CAPTURE=$2
source "$(dirname "$0")/e2e_lib.sh"
export EGL_PLATFORM=surfaceless
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

# Width and height from a PNG's header, as "W H".
png_size() {
  od -An -tu1 -j16 -N8 "$1" | awk '{ print $1*16777216 + $2*65536 + $3*256 + $4, $5*16777216 + $6*65536 + $7*256 + $8 }'
}

"$CAPTURE" --at 1 --size 640x360 --out "$WORK/plain.png" --quiet
check "--size 640x360 exits 0" test $? -eq 0
check "the PNG is 640 x 360" test "$(png_size "$WORK/plain.png")" = "640 360"

"$CAPTURE" --at 1 --size 640x360 --msaa 3 --out "$WORK/smooth.png" 2>"$WORK/smooth.err"
check "--msaa 3 exits 0" test $? -eq 0
check "... saying in one line which count it uses instead" \
  bash -c "grep -c 'has no 3 samples per pixel; ' '$WORK/smooth.err' | grep -qx 1"
check "a multisampled frame differs from the plain one" bash -c "! cmp -s '$WORK/plain.png' '$WORK/smooth.png'"

# Bad sizes and counts are the shared grammar's (tests/options_test.sh).
mkdir "$WORK/out"
"$CAPTURE" --video "$WORK/out/odd.mp4" --from 1 --to 2 --size 641x360 2>"$WORK/odd.err"
check "an odd size for .mp4: exit 2" test $? -eq 2
check "... with one line saying it needs an even size" \
  bash -c "head -n 1 '$WORK/odd.err' | grep -q 'needs an even width and height'"
"$CAPTURE" --audio-only --out "$WORK/out/a.wav" --size 640x360 2>/dev/null
check "--size with --audio-only: exit 2" test $? -eq 2
check "no file is left by any refused run" test -z "$(ls -A "$WORK/out")"

echo "$FAILURES failed"
[ "$FAILURES" -eq 0 ]
