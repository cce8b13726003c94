#!/usr/bin/env bash
# The capture tool: help, single frames, numbered sequences, bad arguments,
# identical output for the same instant, and the music as WAV files, alone or
# along a sequence, sample-exact with the virtual clock.
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

"$CAPTURE" --at 1.0 --out "$WORK/one.png"
check "--at 1.0 exits 0" test $? -eq 0
check "--at 1.0 writes a PNG" bash -c "head -c 8 '$WORK/one.png' | od -An -tx1 | grep -q '89 50 4e 47 0d 0a 1a 0a'"
check "the PNG is 800 x 600" test "$(png_size "$WORK/one.png")" = "800 600"

"$CAPTURE" --at 1.0 --out "$WORK/again.png"
check "two captures of one instant are identical" cmp -s "$WORK/one.png" "$WORK/again.png"

"$CAPTURE" --from 10 --to 11 --fps 4 --out "$WORK/seq"
check "a sequence exits 0" test $? -eq 0
check "--from 10 --to 11 --fps 4 writes four numbered frames" \
  test "$(ls "$WORK/seq" | tr '\n' ' ')" = "frame_00000.png frame_00001.png frame_00002.png frame_00003.png "

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

"$CAPTURE" --audio-only --out "$WORK/music.wav" --seconds 2
check "--audio-only --seconds 2 exits 0" test $? -eq 0
check "the WAV is 44,100 Hz stereo 16-bit with 2 s of frames" \
  test "$(wav_format "$WORK/music.wav")" = "44100 2 16 352800"
check "the file is exactly header plus data" test "$(stat -c %s "$WORK/music.wav")" -eq 352844
check "the music is not silent" test "$(wav_peak "$WORK/music.wav")" -ge 200
"$CAPTURE" --audio-only --out "$WORK/music2.wav" --seconds 2
check "two renders of the music are identical" cmp -s "$WORK/music.wav" "$WORK/music2.wav"

# Sound along a sequence: the span from the first frame to the end of the
# last, the same samples as the music rendered alone.
"$CAPTURE" --from 0.5 --to 1.5 --fps 4 --out "$WORK/aseq" --audio "$WORK/aseq.wav"
check "a sequence with --audio exits 0" test $? -eq 0
check "it still writes four frames" test "$(ls "$WORK/aseq" | wc -l)" -eq 4
check "its WAV covers 0.5 s to 1.5 s: 44,100 frames" test "$(wav_format "$WORK/aseq.wav")" = "44100 2 16 176400"
check "its WAV matches the music alone, sample for sample" \
  cmp -s <(wav_frames "$WORK/aseq.wav" 0 44100) <(wav_frames "$WORK/music.wav" 22050 44100)

# Scene 2 shakes on the accents: with the music playing, the same span
# captured twice must still give the same images.
"$CAPTURE" --from 47.2 --to 47.6 --fps 10 --out "$WORK/shake1" --audio "$WORK/shake1.wav"
"$CAPTURE" --from 47.2 --to 47.6 --fps 10 --out "$WORK/shake2" --audio "$WORK/shake2.wav"
check "captures with the music playing are repeatable" diff -rq "$WORK/shake1" "$WORK/shake2"

for args in "" "--at" "--at x --out $WORK/x.png" "--at 1 --from 0 --to 1 --fps 1 --out $WORK/y" \
            "--from 2 --to 1 --fps 1 --out $WORK/z" "--at 1" "--bogus 1 --out $WORK/w.png" \
            "--audio-only" "--audio-only --out $WORK/a.wav --seconds 0" "--audio-only --out $WORK/a.wav --seconds x" \
            "--audio-only --out $WORK/a.wav --at 1" "--at 1 --out $WORK/b.png --seconds 3" \
            "--at 1 --out $WORK/c.png --audio $WORK/c.wav" "--audio-only --out $WORK/d.wav --audio $WORK/e.wav" \
            "--from 0 --to 1 --fps 1 --out $WORK/f --audio"; do
  "$CAPTURE" $args >/dev/null 2>&1
  check "bad arguments '$args' exit 2" test $? -eq 2
done
"$CAPTURE" --at 1 --out "$WORK/missing/dir/f.png" 2>/dev/null
check "an unwritable output exits 1" test $? -eq 1
"$CAPTURE" --audio-only --out "$WORK/missing/dir/f.wav" --seconds 1 2>/dev/null
check "an unwritable WAV exits 1" test $? -eq 1

echo "$FAILURES failed"
[ "$FAILURES" -eq 0 ]
