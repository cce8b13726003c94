#!/usr/bin/env bash
# Motion blur (--motion-blur, --shutter): a still picture is unchanged, a
# moving one is blurred between its sub-frames, which at 360 degrees are the
# frames of a capture at N times the rate; the same with --jobs, --size,
# --msaa and in a video; bad values refused.
# Arguments: quiet-harbor, quiet-harbor-capture, window_close_request, capture_levels.
set -u
C=$(realpath "$2")
LEVELS=$(realpath "$4")
source "$(dirname "$0")/e2e_lib.sh"
export EGL_PLATFORM=surfaceless
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
cd "$WORK" || exit 1
hash_of() { "$LEVELS" hashes "$1" | awk '{ print $2 }'; }

# 30 s at 60 fps: the cut from scene 1 to 2, black through the shutter's
# interval (the fades' darkest level).
"$C" --at 30 --out still.png --quiet
"$C" --at 30 --motion-blur 2 --out still2.png --quiet
check "a frame black through the shutter is unchanged by blur" test "$(hash_of still.png)" = "$(hash_of still2.png)"

# The tunnel at 10 fps, 4 sub-frames over 360 degrees: those of frame k are
# frames 4k - 3 to 4k of 40 fps, here from 81.9 s frames 4i + 1 to 4i + 4.
"$C" --from 82 --to 82.3 --fps 10 --motion-blur 4 --shutter 360 --out blur --jobs 1 --quiet
"$C" --from 81.9 --to 82.3 --fps 40 --out fast --quiet
for i in 0 1 2; do
  subs=()
  for k in 1 2 3 4; do subs+=("$(printf 'fast/frame_%05d.png' $((4 * i + k)))"); done
  read -r outside changed < <("$LEVELS" between "$(printf 'blur/frame_%05d.png' "$i")" "${subs[@]}")
  check "blurred frame $i lies between its 4 sub-frames ($outside values outside)" test "$outside" -eq 0
  check "... and differs from the unblurred frame ($changed values)" test "$changed" -gt 10000
done
"$C" --from 82 --to 82.3 --fps 10 --motion-blur 4 --shutter 360 --out blur2 --jobs 2 --quiet
check "--jobs 2 gives the frames of one process, byte for byte" diff -r blur blur2

# Size, samples and a lossless video: its frame is the PNG of that instant.
OPTS=(--fps 10 --size 400x300 --msaa 4 --motion-blur 3 --shutter 90)
"$C" "${OPTS[@]}" --from 82 --to 82.2 --video blur.mkv --quiet
"$C" "${OPTS[@]}" --at 82 --out at.png --quiet
check "a blurred .mkv at 400x300 with --msaa 4 holds the blurred PNG" \
  cmp -s <(ffmpeg -v error -i blur.mkv -frames:v 1 -f rawvideo -pix_fmt rgb24 -) \
         <(ffmpeg -v error -i at.png -f rawvideo -pix_fmt rgb24 -)
check "... and records the blur with its settings" \
  grep -q "; motion blur 3 over 90 degrees$" <(ffprobe -v error -show_entries format_tags=comment -of csv=p=0 blur.mkv)

for args in "--motion-blur 0" "--motion-blur 65" "--motion-blur 2 --shutter 0" "--motion-blur 2 --shutter 361" \
            "--shutter 90"; do
  # shellcheck disable=SC2086
  "$C" --at 1 --out x.png $args 2>bad.err
  check "'$args': exit 2 (one line first)" bash -c "test $? -eq 2 && head -n 1 bad.err | grep -q 'motion-blur\|shutter'"
done

echo "$FAILURES failed"
[ "$FAILURES" -eq 0 ]
