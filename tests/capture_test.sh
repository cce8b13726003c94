#!/usr/bin/env bash
# The capture tool: help, single frames, numbered sequences, bad arguments,
# exactness (any start gives the frames of a run from 0 at the same rate,
# sound written or not), the music as WAV files, and failures that leave no
# half-written file.
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

check "--help explains and exits 0" bash -c "'$CAPTURE' --help | grep -q -- '--at SECONDS'"
check "--help defines exact captures" bash -c "'$CAPTURE' --help | grep -q 'at the capture.s frame rate from time 0'"

"$CAPTURE" --at 1.0 --out "$WORK/one.png" 2>"$WORK/one.err"
check "--at 1.0 exits 0" test $? -eq 0
check "--at 1.0 writes a PNG" bash -c "head -c 8 '$WORK/one.png' | od -An -tx1 | grep -q '89 50 4e 47 0d 0a 1a 0a'"
check "the PNG is 800 x 600" test "$(png_size "$WORK/one.png")" = "800 600"
check "off a terminal, one summary line" test "$(grep -c 'quiet-harbor-capture: 1 frame at 60 fps' "$WORK/one.err")" -eq 1
check "no temporary file is left beside it" test "$(ls -A "$WORK")" = "$(printf 'one.err\none.png')"

"$CAPTURE" --at 1.0 --out "$WORK/again.png" --quiet 2>"$WORK/again.err"
check "two captures of one instant are identical" cmp -s "$WORK/one.png" "$WORK/again.png"
check "--quiet prints nothing" test ! -s "$WORK/again.err"

"$CAPTURE" --from 10 --to 11 --fps 4 --out "$WORK/seq" --quiet
check "a sequence exits 0" test $? -eq 0
check "--from 10 --to 11 --fps 4 writes four numbered frames" \
  test "$(ls "$WORK/seq" | tr '\n' ' ')" = "frame_00000.png frame_00001.png frame_00002.png frame_00003.png "
"$CAPTURE" --from 0 --to 1 --fps 2.5 --out "$WORK/decimal" --quiet
check "--fps 2.5 over 1 s gives the frames at 0, 0.4 and 0.8 s" test "$(ls "$WORK/decimal" | wc -l)" -eq 3

# Exactness around the beat and accent at 44.7 s in scene 2: the frame at
# 44.75 s shakes, and the zoom falls by time after it.
"$CAPTURE" --from 0 --to 45.5 --fps 4 --out "$WORK/from0" --quiet
"$CAPTURE" --at 45.25 --fps 4 --out "$WORK/at.png" --quiet
check "--at 45.25 equals frame 181 of a run from 0 at the same rate, byte for byte" \
  cmp -s "$WORK/at.png" "$WORK/from0/frame_00181.png"
"$CAPTURE" --at 45.25 --fps 8 --out "$WORK/at8.png" --quiet
check "the same instant at another rate is the same picture: the zoom falls by time" \
  cmp -s "$WORK/at.png" "$WORK/at8.png"
"$CAPTURE" --from 44.75 --to 45.5 --fps 4 --out "$WORK/late" --audio "$WORK/late.wav" --quiet
check "a sequence from 44.75 s writing its sound equals the run from 0 without" \
  bash -c "for i in 0 1 2; do cmp -s '$WORK/late/frame_0000'\$i.png '$WORK/from0/frame_00'\$((179 + i)).png || exit 1; done"

# WAV header fields as "RATE CHANNELS BITS DATA_BYTES".
wav_format() {
  od -An -tu4 -j24 -N4 "$1" | tr -d ' \n'; echo -n " "
  od -An -tu2 -j22 -N2 "$1" | tr -d ' \n'; echo -n " "
  od -An -tu2 -j34 -N2 "$1" | tr -d ' \n'; echo -n " "
  od -An -tu4 -j40 -N4 "$1" | tr -d ' \n'; echo
}
# Bytes of the sound data of a WAV from frame $2 on, $3 frames long.
wav_frames() {
  tail -c +$((44 + $2 * 4 + 1)) "$1" | head -c $(($3 * 4))
}
# Peak absolute sample of a WAV's sound data.
wav_peak() {
  tail -c +45 "$1" | od -An -v -td2 -w2 | awk '{ v = $1 < 0 ? -$1 : $1; if (v > p) p = v } END { print p + 0 }'
}

check "--help explains the audio options" bash -c "'$CAPTURE' --help | grep -q -- '--audio-only'"

"$CAPTURE" --audio-only --out "$WORK/music.wav" --seconds 2 --quiet
check "--audio-only --seconds 2 exits 0" test $? -eq 0
check "the WAV is 44,100 Hz stereo 16-bit with 2 s of frames" \
  test "$(wav_format "$WORK/music.wav")" = "44100 2 16 352800"
check "the file is exactly header plus data" test "$(stat -c %s "$WORK/music.wav")" -eq 352844
check "the music is not silent" test "$(wav_peak "$WORK/music.wav")" -ge 200
"$CAPTURE" --audio-only --out "$WORK/music2.wav" --seconds 2 --quiet
check "two renders of the music are identical" cmp -s "$WORK/music.wav" "$WORK/music2.wav"

# Sound along a sequence: the span from the first frame to the end of the
# last, the same samples as the music rendered alone.
"$CAPTURE" --from 0.5 --to 1.5 --fps 4 --out "$WORK/aseq" --audio "$WORK/aseq.wav" --quiet
check "a sequence with --audio exits 0" test $? -eq 0
check "it still writes four frames" test "$(ls "$WORK/aseq" | wc -l)" -eq 4
check "its WAV covers 0.5 s to 1.5 s: 44,100 frames" test "$(wav_format "$WORK/aseq.wav")" = "44100 2 16 176400"
check "its WAV matches the music alone, sample for sample" \
  cmp -s <(wav_frames "$WORK/aseq.wav" 0 44100) <(wav_frames "$WORK/music.wav" 22050 44100)
check "the late sequence's WAV is the music from 44.75 s" \
  test "$(wav_format "$WORK/late.wav")" = "44100 2 16 132300"

for args in "" "--at" "--at x --out $WORK/x.png" "--at 1 --from 0 --to 1 --fps 1 --out $WORK/y" \
            "--from 2 --to 1 --fps 1 --out $WORK/z" "--at 1" "--bogus 1 --out $WORK/w.png" \
            "--audio-only" "--audio-only --out $WORK/a.wav --seconds 0" "--audio-only --out $WORK/a.wav --seconds x" \
            "--audio-only --out $WORK/a.wav --at 1" "--at 1 --out $WORK/b.png --seconds 3" \
            "--at 1 --out $WORK/c.png --audio $WORK/c.wav" "--audio-only --out $WORK/d.wav --audio $WORK/e.wav" \
            "--from 0 --to 1 --fps 1 --out $WORK/f --audio" "--at 300 --out $WORK/g.png" \
            "--at 1 --fps 0 --out $WORK/h.png" "--at 1 --fps 30000/0 --out $WORK/h.png" \
            "--at 1 --fps -5 --out $WORK/h.png" "--at 1 --fps 1001 --out $WORK/h.png" \
            "--video $WORK/v.avi" "--video $WORK/v.mp4 --out $WORK/v" "--from 0.1 --to 0.2 --fps 2 --out $WORK/i"; do
  "$CAPTURE" $args >/dev/null 2>&1
  check "bad arguments '$args' exit 2" test $? -eq 2
done

# Failures: one line, exit 1, nothing half-written under the target's name.
"$CAPTURE" --at 1 --out "$WORK/missing/dir/f.png" 2>/dev/null
check "an unwritable output exits 1" test $? -eq 1
"$CAPTURE" --audio-only --out "$WORK/missing/dir/f.wav" --seconds 1 2>/dev/null
check "an unwritable WAV exits 1" test $? -eq 1
touch "$WORK/plain"
"$CAPTURE" --at 1 --out "$WORK/plain/f.png" 2>"$WORK/under.err"
check "a path under a regular file exits 1" test $? -eq 1
check "... saying so in one line" \
  bash -c "test \$(wc -l < '$WORK/under.err') -eq 1 && grep -q 'Not a directory' '$WORK/under.err'"
"$CAPTURE" --from 0 --to 1 --fps 2 --out "$WORK/plain" 2>/dev/null
check "a sequence into a regular file exits 1" test $? -eq 1
"$CAPTURE" --at 1 --out /dev/full 2>"$WORK/full.err"
check "a full disk under a PNG exits 1" test $? -eq 1
check "... saying so in one line" \
  bash -c "test \$(wc -l < '$WORK/full.err') -eq 1 && grep -q 'No space left on device' '$WORK/full.err'"
"$CAPTURE" --audio-only --out /dev/full --seconds 1 2>"$WORK/fullwav.err"
check "a full disk under a WAV exits 1" test $? -eq 1
check "... saying so in one line" test "$(wc -l < "$WORK/fullwav.err")" -eq 1

echo "$FAILURES failed"
[ "$FAILURES" -eq 0 ]
