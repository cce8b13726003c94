#!/usr/bin/env bash
# What the capture tool writes can never be lost or clobbered: rates and
# lengths checked before any work, no link followed for a frame, no
# half-written frame after a signal, a sequence's folder locked and never
# mixed with another capture's frames, ffmpeg's failure seen whatever the
# launcher did to SIGCHLD, WAV into a pipe, file-size limits, kept
# permissions, links to files, long names.
# Arguments: quiet-harbor, quiet-harbor-capture, window_close_request.
set -u
export C=$(realpath "$2")
source "$(dirname "$0")/e2e_lib.sh"
export EGL_PLATFORM=surfaceless
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

# An ffmpeg that reads all its frames, then fails.
mkdir "$WORK/bin"
cat > "$WORK/bin/ffmpeg" <<'SCRIPT'
#!/bin/sh
cat > /dev/null
echo "could not encode" >&2
exit 1
SCRIPT
chmod +x "$WORK/bin/ffmpeg"
export FAILING_FFMPEG_PATH="$WORK/bin:$PATH"

# True when every PNG named is whole (ends with its IEND chunk).
whole_pngs() {
  local f
  for f in "$@"; do [ "$(tail -c 8 "$f" | head -c 4)" = IEND ] || return 1; done
}
# Starts the command $2.. in the background, waits (for at most a minute)
# for a file matching the pattern $1 to appear, then stops the command with
# SIGTERM and returns its status. The wait spins rather than sleeps, so the
# signal comes while that file is being written.
stop_when() {
  local pattern=$1 pid end=$((SECONDS + 60))
  shift
  "$@" & pid=$!
  until compgen -G "$pattern" >/dev/null || [ $SECONDS -ge $end ]; do :; done
  kill -TERM "$pid"
  wait "$pid"
}
export -f whole_pngs stop_when

# One case: name; set-up and command, both run in a fresh folder ($C is the
# capture tool); the exit status; the files left there (find's relative
# paths, sorted; "*" for any); a fragment of the first line on standard
# error ("" for any); a last check run there.
capture_case() {
  local name=$1 setup=$2 command=$3 status=$4 files=$5 message=$6 after=${7:-true} dir got
  dir=$(mktemp -d "$WORK/case.XXXXXX")
  (cd "$dir" && eval "$setup") >/dev/null 2>&1
  (cd "$dir" && eval "$command") >/dev/null 2>"$dir.err"
  got=$?
  check "$name: exit $status" test "$got" -eq "$status"
  [ "$files" = "*" ] ||
    check "$name: leaves '$files'" test "$(cd "$dir" && find . -mindepth 1 | cut -c3- | sort | xargs)" = "$files"
  # A failure is one line; a usage error's line is followed by the usage.
  [ -n "$message" ] && check "$name: says '$message'" \
    bash -c "head -n 1 '$dir.err' | grep -qF -- '$message' && { [ $status -eq 2 ] || [ \$(wc -l < '$dir.err') -eq 1 ]; }"
  check "$name: $after" bash -c "cd '$dir' && $after"
}

LONG_NAME=$(printf 'n%.0s' $(seq 1 247)).png # 251 characters, the temporary's longer
VICTIM='echo victim > victim; mkdir seq'
OLD='mkdir seq; touch seq/frame_00007.png seq/.frame_00003.png.Ab3xYz seq/notes.txt'
OLD_LEFT='seq seq/.frame_00003.png.Ab3xYz seq/frame_00007.png seq/notes.txt'

capture_case "a rate of one frame in 68 years" "" \
  '$C --at 200 --fps 1/2147483647 --out a.png' 2 "" "--fps takes a rate from 0.1 to 1000"
capture_case "a rate of one frame in 11 days" "" \
  '$C --fps 0.000001 --from 0 --to 2 --video v.mkv' 2 "" "--fps takes a rate"
capture_case "the lowest rate" "" '$C --at 5 --fps 1/10 --out a.png --quiet' 0 "a.png" ""
capture_case "a link where a frame goes" "$VICTIM; ln -s ../victim seq/frame_00000.png" \
  '$C --from 0 --to 1 --fps 1 --out seq --force --quiet' 0 "seq seq/frame_00000.png victim" "" \
  'test "$(cat victim)" = victim && test ! -L seq/frame_00000.png && whole_pngs seq/frame_00000.png'
capture_case "a sequence stopped by SIGTERM" "" \
  'stop_when seq/frame_00002.png $C --from 0 --to 30 --fps 10 --out seq --quiet' 143 "*" "" \
  'test -e seq/frame_00002.png && whole_pngs seq/* && test -z "$(ls -A seq | grep "^\.")"'
capture_case "a WAV stopped by SIGTERM" "" \
  'stop_when ".a.wav.*" $C --audio-only --out a.wav --quiet' 143 "" ""
capture_case "a folder another capture has locked" "mkdir seq" \
  'flock seq $C --from 0 --to 1 --fps 2 --out seq' 1 "seq" "seq: another capture is writing into this folder"
capture_case "a folder with another capture's frames" "$OLD" \
  '$C --from 0 --to 1 --fps 2 --out seq' 1 "$OLD_LEFT" "seq: frames of another capture are here (2); --force"
capture_case "the same with --force" "$OLD" \
  '$C --from 0 --to 1 --fps 2 --out seq --force --quiet' 0 "seq seq/frame_00000.png seq/frame_00001.png seq/notes.txt" ""
capture_case "--force without a sequence" "" '$C --at 1 --out a.png --force' 2 "" "--force goes with a PNG sequence"
capture_case "a failing ffmpeg under a launcher ignoring SIGCHLD" "" \
  'PATH=$FAILING_FFMPEG_PATH perl -e "\$SIG{CHLD} = q(IGNORE); exec @ARGV" $C --video v.mp4 --from 0 --to 0.5' \
  1 "" "ffmpeg failed with status 1: could not encode"
capture_case "a sequence under nohup, sent SIGHUP" "" \
  'perl -e "\$SIG{HUP} = q(IGNORE); exec @ARGV" $C --from 0 --to 1 --fps 2 --out seq --quiet & sleep 0.3; kill -HUP $!; wait $!' \
  0 "seq seq/frame_00000.png seq/frame_00001.png" ""
capture_case "a WAV into a pipe" "" \
  '$C --audio-only --seconds 1 --out /dev/stdout --quiet | cat > a.wav; exit ${PIPESTATUS[0]}' 0 "a.wav" "" \
  'test "$(od -An -tu4 -j40 -N4 a.wav | xargs) $(stat -c %s a.wav)" = "176400 176444"'
capture_case "a WAV past the file-size limit" "" \
  'ulimit -f 100; $C --audio-only --seconds 5 --out a.wav' 1 "" "a.wav: File too large"
capture_case "a PNG past the file-size limit" "" \
  'ulimit -f 100; $C --at 1 --out a.png' 1 "" "a.png: File too large"
capture_case "a file replaced keeps its mode" "echo old > a.png; chmod 640 a.png" \
  '$C --at 1 --out a.png --quiet' 0 "a.png" "" 'test "$(stat -c %a a.png)" = 640 && whole_pngs a.png'
capture_case "a link names the file it points to" "echo old > real.png; chmod 600 real.png; ln -s real.png link.png" \
  '$C --at 1 --out link.png --quiet' 0 "link.png real.png" "" \
  'test -L link.png && test "$(stat -c %a real.png)" = 600 && whole_pngs real.png'
capture_case "a link to no file yet" "ln -s real.wav link.wav" \
  '$C --audio-only --seconds 0.5 --out link.wav --quiet' 0 "link.wav real.wav" "" 'test -L link.wav && test -s real.wav'
capture_case "a name of 251 characters" "" '$C --at 1 --out '"$LONG_NAME"' --quiet' 0 "$LONG_NAME" ""
if [ "$(id -u)" -eq 0 ]; then
  capture_case "someone else's link in a shared folder" \
    'mkdir -m 1777 tmp; echo mine > mine; ln -s ../mine tmp/a.png; chown -h nobody tmp/a.png' \
    '$C --at 1 --out tmp/a.png' 1 "mine tmp tmp/a.png" "owned by someone else: not followed" 'test "$(cat mine)" = mine'
fi

echo "$FAILURES failed"
[ "$FAILURES" -eq 0 ]
