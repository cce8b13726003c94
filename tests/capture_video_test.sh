#!/usr/bin/env bash
# Videos from the capture tool through ffmpeg: what ffprobe reads from them,
# a lossless video equal to the PNG of the same instant, the quality chosen,
# and a missing or failing ffmpeg: one line, exit 1, no file left.
# Arguments: quiet-harbor, quiet-harbor-capture, window_close_request.
set -u
CAPTURE=$2
source "$(dirname "$0")/e2e_lib.sh"
export EGL_PLATFORM=surfaceless
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

# One stream field: probe FILE STREAM FIELD.
probe() {
  ffprobe -v error -select_streams "$2" -show_entries "stream=$3" -of default=noprint_wrappers=1:nokey=1 "$1"
}

# 33 s to 34 s at 30000/1001 holds the frames k x 1001/30000 for k = 990..1018:
# 29 frames, not the 30 a rounded rate would give.
mkdir "$WORK/out"
"$CAPTURE" --video "$WORK/out/v.mp4" --from 33 --to 34 --fps 30000/1001 --quiet
check "--video FILE.mp4 exits 0" test $? -eq 0
check "it is H.264 in yuv420p" test "$(probe "$WORK/out/v.mp4" v:0 codec_name,pix_fmt | tr '\n' ' ')" = "h264 yuv420p "
check "800 x 600" test "$(probe "$WORK/out/v.mp4" v:0 width,height | tr '\n' ' ')" = "800 600 "
check "at 30000/1001 frames per second" test "$(probe "$WORK/out/v.mp4" v:0 r_frame_rate)" = "30000/1001"
check "with the 29 frames of the span" test "$(probe "$WORK/out/v.mp4" v:0 nb_frames)" = "29"
check "and AAC sound as long as the frames (0.9677 s)" \
  awk -v d="$(probe "$WORK/out/v.mp4" a:0 duration)" -v c="$(probe "$WORK/out/v.mp4" a:0 codec_name)" \
  'BEGIN { exit !(c == "aac" && d > 0.95 && d < 0.99) }'
check "nothing else is left in the folder" test "$(ls -A "$WORK/out")" = "v.mp4"

# A lossless video's frames are the captured pixels themselves, in the
# tunnel after beats and accents (the sound track, rendered first, leaves
# the pictures' pulses alone).
"$CAPTURE" --video "$WORK/v.mkv" --from 82 --to 82.5 --fps 10 --quiet
"$CAPTURE" --at 82 --fps 10 --out "$WORK/at1.png" --quiet
check "the .mkv is FFV1 with FLAC" \
  test "$(probe "$WORK/v.mkv" v:0 codec_name; probe "$WORK/v.mkv" a:0 codec_name)" = "$(printf 'ffv1\nflac')"
check "its first frame is the PNG of the same instant, pixel for pixel" \
  cmp -s <(ffmpeg -v error -i "$WORK/v.mkv" -frames:v 1 -f rawvideo -pix_fmt rgb24 -) \
         <(ffmpeg -v error -i "$WORK/at1.png" -f rawvideo -pix_fmt rgb24 -)

# An editor's .mov; .mp4's rate factor, recorded with the settings so that
# parts of different quality are not joined; bad factors refused.
"$CAPTURE" --video "$WORK/e.mov" --from 82 --to 82.5 --fps 10 --quiet
check "the .mov is ProRes in yuv422p10le with 16-bit PCM" \
  test "$(probe "$WORK/e.mov" v:0 codec_name,pix_fmt; probe "$WORK/e.mov" a:0 codec_name)" = "$(printf 'prores\nyuv422p10le\npcm_s16le')"
for crf in 10 default 30; do
  "$CAPTURE" --video "$WORK/crf$crf.mp4" --from 82 --to 82.5 --fps 10 --quiet $([ $crf = default ] || echo --crf $crf)
done
check "--crf 10, 18 (the default) and 30 give ever smaller files" \
  test "$(stat -c %s "$WORK/crf10.mp4")" -gt "$(stat -c %s "$WORK/crfdefault.mp4")" -a \
       "$(stat -c %s "$WORK/crfdefault.mp4")" -gt "$(stat -c %s "$WORK/crf30.mp4")"
"$CAPTURE" --video "$WORK/next.mp4" --from 82.5 --to 83 --fps 10 --quiet
"$CAPTURE" --join --video "$WORK/mixed.mp4" "$WORK/crf30.mp4" "$WORK/next.mp4" 2>"$WORK/mixed.err"
check "parts of --crf 30 and 18 are not joined" grep -q "next.mp4: made with other settings than .*crf30.mp4 (.*msaa 1, not .*; crf 30)" "$WORK/mixed.err"
for args in "--crf 52 --video x.mp4" "--crf 64 --video x.webm" "--crf 20 --video x.mkv" "--crf=x --video x.mp4" \
            "--crf 20 --at 1 --out x.png" "--size 801x600 --video x.mov"; do
  # shellcheck disable=SC2086
  "$CAPTURE" $args 2>"$WORK/bad.err"
  check "'$args': exit 2, the fault in one line first" \
    bash -c "test $? -eq 2 && head -n 1 '$WORK/bad.err' | grep -Eq '^quiet-harbor-capture: .*(crf|even width)'"
done

# No ffmpeg on the PATH.
mkdir "$WORK/none"
PATH=/nonexistent "$CAPTURE" --video "$WORK/none/m.mp4" --from 0 --to 0.5 2>"$WORK/none.err"
check "without ffmpeg, exit 1" test $? -eq 1
check "... with one line naming the Debian package" \
  bash -c "test \$(wc -l < '$WORK/none.err') -eq 1 && grep -q 'Debian package ffmpeg' '$WORK/none.err'"
check "... and no file" test -z "$(ls -A "$WORK/none")"

# An ffmpeg that writes part of its file and fails.
mkdir "$WORK/bin" "$WORK/fail"
cat > "$WORK/bin/ffmpeg" <<'SCRIPT'
#!/bin/sh
for a; do last=$a; done
echo partial > "${last#file:}"
echo "could not encode" >&2
exit 1
SCRIPT
chmod +x "$WORK/bin/ffmpeg"
PATH="$WORK/bin:$PATH" "$CAPTURE" --video "$WORK/fail/f.mp4" --from 0 --to 0.5 2>"$WORK/fail.err"
check "a failing ffmpeg gives exit 1" test $? -eq 1
check "... with one line giving its message" \
  bash -c "test \$(wc -l < '$WORK/fail.err') -eq 1 && grep -q 'ffmpeg failed.*could not encode' '$WORK/fail.err'"
check "... and leaves no file, not even a temporary one" test -z "$(ls -A "$WORK/fail")"

echo "$FAILURES failed"
[ "$FAILURES" -eq 0 ]
