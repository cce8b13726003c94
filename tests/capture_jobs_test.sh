#!/usr/bin/env bash
# Captures shared among processes (--jobs), cut into parts (--part) and
# videos joined from parts (--join): the frames, names, sound and timing of
# one process, with no repeated or missing frame at a seam; parts that do
# not make one video refused; a failed, killed or interrupted capture leaving nothing behind.
# Arguments: quiet-harbor, quiet-harbor-capture, window_close_request.
set -u
C=$(realpath "$2")
source "$(dirname "$0")/e2e_lib.sh"
export EGL_PLATFORM=surfaceless
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
cd "$WORK" || exit 1

# Frames (packets) of a video's picture stream, and its durations.
frames() { ffprobe -v error -count_packets -select_streams v:0 -show_entries stream=nb_read_packets -of csv=p=0 "$1"; }
durations() { ffprobe -v error -show_entries stream=duration -of csv=p=0 "$1" | xargs; }
# Decoded pictures as raw RGB, and decoded sound as raw samples.
pictures() { ffmpeg -v error -i "$1" -map 0:v -f rawvideo -pix_fmt rgb24 -; }
sound() { ffmpeg -v error -i "$1" -map 0:a -f s16le -; }
# Per-frame PSNR of video $1 against the PNG sequence $2 from frame $3 on.
psnr() {
  ffmpeg -v error -i "$1" -start_number "$3" -i "$2/frame_%05d.png" \
    -lavfi "[0:v]format=rgb24,setpts=N/TB[a];[1:v]format=rgb24,setpts=N/TB[b];[a][b]psnr=stats_file=-" -f null - |
    sed -E 's/.*psnr_avg:([0-9.inf]+).*/\1/'
}
# True when exactly one line was written to $1 and it holds the text $2.
one_line() { [ "$(wc -l <"$1")" -eq 1 ] && grep -qF -- "$2" "$1"; }

# 28 s to 32 s at 5 fps: 20 frames across the cut from scene 1 to scene 2.
SPAN=(--from 28 --to 32 --fps 5)
"$C" "${SPAN[@]}" --out one --audio one.wav --jobs 1 --quiet
"$C" "${SPAN[@]}" --out three --audio three.wav --jobs 3 2>three.err
check "--jobs 3 into a folder exits 0" test $? -eq 0
check "... with the 20 frames of --jobs 1 under the same names, byte for byte" diff -r one three
check "... and the same WAV" cmp -s one.wav three.wav
check "... and one summary line for the whole capture" one_line three.err "20 frames at 5 fps from 28.000 s to three in"

# A lossless video's frames are the PNG frames, across both seams.
"$C" "${SPAN[@]}" --video three.mkv --jobs 3 --quiet
"$C" "${SPAN[@]}" --video one.mkv --jobs 1 --quiet
check "a .mkv made by 3 processes holds the 20 PNG frames, pixel for pixel" \
  cmp -s <(pictures three.mkv) <(ffmpeg -v error -i one/frame_%05d.png -f rawvideo -pix_fmt rgb24 -)
check "... the sound of one made whole, sample for sample" cmp -s <(sound three.mkv) <(sound one.mkv)
check "... and its durations ($(durations one.mkv))" test "$(durations three.mkv)" = "$(durations one.mkv)"
check "... and leaves no other file" test "$(ls -A | grep -c mkv)" -eq 2

# An .mp4 in two parts, 82 s to 84 s of the tunnel, moving fast and never
# faded: each frame is nearer its own PNG than the next one, so no frame is
# repeated or missing at the seam.
TUNNEL=(--from 82 --to 84 --fps 5)
"$C" "${TUNNEL[@]}" --out tunnel --jobs 1 --quiet
"$C" "${TUNNEL[@]}" --video two.mp4 --jobs 2 --quiet
"$C" "${TUNNEL[@]}" --video one.mp4 --jobs 1 --quiet
check "an .mp4 made by 2 processes has the 10 frames" test "$(frames two.mp4)" = 10
check "... the durations of one made whole ($(durations one.mp4))" test "$(durations two.mp4)" = "$(durations one.mp4)"
paste <(psnr two.mp4 tunnel 0 | head -n 9) <(psnr two.mp4 tunnel 1 | head -n 9) >psnr.txt
check "... and every frame is its own PNG's, not its neighbour's" \
  awk '{ if ($1 < 30 || $1 <= $2 + 3) bad = 1 } END { exit bad || NR != 9 }' psnr.txt

# Parts rendered apart, as on several machines, given in any order.
"$C" --from 28 --to 29.2 --fps 5 --video a.mkv --quiet
"$C" --from 29.2 --to 30.4 --fps 5 --video b.mkv --quiet
"$C" --from 30.4 --to 32 --fps 5 --video c.mkv --quiet
"$C" --join --video joined.mkv c.mkv a.mkv b.mkv 2>join.err
check "--join exits 0 and says so in one line" one_line join.err "joined 3 parts: 20 frames at 5 fps from 28.000 s"
check "... into the pictures and sound of one made whole" \
  cmp -s <(pictures joined.mkv; sound joined.mkv) <(pictures one.mkv; sound one.mkv)
check "... recording its span for a later join" \
  test "$(ffprobe -v error -show_entries format_tags=comment -of csv=p=0 joined.mkv)" = \
       "$(ffprobe -v error -show_entries format_tags=comment -of csv=p=0 one.mkv)"

# Parts for a scheduler: --part K/N of the same span, in any order, join
# into the video of one process; a part shared further by --jobs is the
# same part; a sequence's part names its frames as the whole capture does.
for k in 1 2 3; do "$C" "${SPAN[@]}" --part $k/3 --video part$k.mkv --quiet; done
"$C" "${SPAN[@]}" --part 2/3 --jobs 2 --video part2jobs.mkv --quiet
"$C" --join --video parts.mkv part3.mkv part1.mkv part2.mkv --quiet
check "--part 1/3 to 3/3 join into the pictures and sound of one process" \
  cmp -s <(pictures parts.mkv; sound parts.mkv) <(pictures one.mkv; sound one.mkv)
check "... and --part 2/3 with --jobs 2 has the pictures of --part 2/3" \
  cmp -s <(pictures part2jobs.mkv) <(pictures part2.mkv)
"$C" "${SPAN[@]}" --part 3/3 --out part3 --quiet
check "--part 3/3 into a folder holds frames of the whole under their names" \
  bash -c "cd part3 && ls | grep -q . && for f in *; do cmp -s \$f ../one/\$f || exit 1; done"
check "... the last ones" test "$(ls part3 | tail -n 1)" = frame_00019.png

# Parts that do not make one video: exit 1, one line, no file.
"$C" --from 29 --to 30 --fps 5 --video overlap.mkv --quiet
"$C" --from 29.2 --to 30.4 --fps 10 --video fast.mkv --quiet
ffmpeg -v error -f lavfi -i testsrc=size=800x600:rate=5 -t 1 -c:v ffv1 other.mkv
# b.mkv's pictures encoded again by another set-up of the same encoder.
ffmpeg -v error -i b.mkv -map 0 -c:v ffv1 -level 3 -slices 16 -c:a copy b16.mkv
for case in "a.mkv c.mkv|c.mkv: starts at frame 152, but a.mkv ends before frame 146: frames 146 to 151 are missing" \
            "a.mkv overlap.mkv|overlap.mkv: starts at frame 145, inside a.mkv" \
            "a.mkv fast.mkv|fast.mkv: at 10 fps, not 5 as a.mkv" \
            "a.mkv b16.mkv|b16.mkv: encoded with other parameters than a.mkv" \
            "a.mkv other.mkv|other.mkv: not a video of quiet-harbor-capture" \
            "a.mkv missing.mkv|missing.mkv: No such file or directory" \
            "one.mp4 a.mkv|a.mkv: ffv1 pictures; the video they join into needs h264"; do
  read -r -a inputs <<<"${case%|*}"
  "$C" --join --video "refused.${inputs[0]}" "${inputs[@]}" 2>why.err
  status=$?
  check "joining ${inputs[*]}: exit 1 (got $status)" test "$status" -eq 1
  check "... one line: '${case#*|}'" one_line why.err "${case#*|}"
  check "... and no file" test -z "$(ls -A | grep refused\\.)"
done

# A worker that fails fails the capture with its one line, leaving no file.
mkdir bin fail
printf '#!/bin/sh\ncat > /dev/null\necho "could not encode" >&2\nexit 1\n' >bin/ffmpeg
chmod +x bin/ffmpeg
PATH="$WORK/bin:$PATH" "$C" "${SPAN[@]}" --video fail/f.mp4 --jobs 2 2>fail.err
check "workers whose ffmpeg fails: exit 1" test $? -eq 1
check "... one line giving its message" one_line fail.err "ffmpeg failed with status 1: could not encode"
check "... and no file, no part, no temporary" test -z "$(ls -A fail)"

# Starts the capture $2.. in the background, waits until its workers draw
# (the command $1 succeeds), sends the first of them ($TARGET worker) or the
# capture itself signal $SIGNAL, and returns its status; WORKERS holds the
# workers' ids.
interrupt() {
  local ready=$1 pid end=$((SECONDS + 60))
  shift
  "$@" 2>"$WORK/interrupted.err" & pid=$!
  until eval "$ready" >/dev/null || [ $SECONDS -ge $end ]; do sleep 0.05; done
  WORKERS=$(pgrep -P "$pid" -f quiet-harbor-capture | xargs)
  if [ "$TARGET" = worker ]; then kill -"$SIGNAL" ${WORKERS%% *}; else kill -"$SIGNAL" "$pid"; fi
  wait "$pid"
}
gone() { local p; for p in $WORKERS; do ! kill -0 "$p" 2>/dev/null || return 1; done; }

TARGET=worker SIGNAL=KILL interrupt "compgen -G 'killed/frame_*.png'" "$C" --from 28 --to 40 --fps 10 --out killed --jobs 2
check "a worker killed outright: exit 1" test $? -eq 1
check "... the first line says which frames and how" \
  bash -c "head -n 1 '$WORK/interrupted.err' | grep -q 'the process rendering frames 0 to [0-9]* of 120 was stopped by signal 9'"
check "... the frames there are whole and no temporary is left" \
  bash -c "cd killed && test -z \"\$(ls -A | grep '^\\.')\" && for f in *; do [ \"\$(tail -c 8 \$f | head -c 4)\" = IEND ] || exit 1; done"
TARGET=worker SIGNAL=KILL interrupt "pgrep -f 'ffmpeg.*killedv'" "$C" --from 28 --to 40 --fps 10 --video killedv.mp4 --jobs 2
check "a video's worker killed outright: exit 1" test $? -eq 1
check "... its part and temporaries are gone" test -z "$(ls -A | grep killedv)"
# (The pattern does not match the command line that holds it.)
check "... and so is its ffmpeg" bash -c '! pgrep -f "ffmpeg.*kille[d]v"'
mkdir stop && cd stop || exit 1
TARGET=parent SIGNAL=TERM interrupt "pgrep -f 'ffmpeg.*stopped\.mp4'" "$C" --from 28 --to 40 --fps 10 --video stopped.mp4 --jobs 2
check "a capture by 2 processes stopped by SIGTERM ends by it" test $? -eq 143
check "... its workers with it" gone
check "... leaving nothing" test -z "$(ls -A)"
cd ..

for args in "--jobs 0 --video x.mp4" "--jobs 65 --video x.mp4" "--jobs 2 --at 1 --out x.png" \
            "--jobs 2 --audio-only --out x.wav" "--jobs 2 --stats --video x.mp4" "--join a.mkv" \
            "--join --video x.mp4" "--join --video x.mp4 --fps 30 a.mp4" "--video x.mp4 a.mp4" \
            "--part 0/3 --video x.mp4" "--part 4/3 --video x.mp4" "--part 3 --video x.mp4" \
            "--part 1/2 --at 1 --out x.png"; do
  # shellcheck disable=SC2086
  "$C" $args >/dev/null 2>&1
  check "bad arguments '$args' exit 2" test $? -eq 2
done

echo "$FAILURES failed"
[ "$FAILURES" -eq 0 ]
