#!/usr/bin/env bash
# The capture tool: help, single frames, numbered sequences, bad arguments,
# and identical output for the same instant.
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

for args in "" "--at" "--at x --out $WORK/x.png" "--at 1 --from 0 --to 1 --fps 1 --out $WORK/y" \
            "--from 2 --to 1 --fps 1 --out $WORK/z" "--at 1" "--bogus 1 --out $WORK/w.png"; do
  "$CAPTURE" $args >/dev/null 2>&1
  check "bad arguments '$args' exit 2" test $? -eq 2
done
"$CAPTURE" --at 1 --out "$WORK/missing/dir/f.png" 2>/dev/null
check "an unwritable output exits 1" test $? -eq 1

echo "$FAILURES failed"
[ "$FAILURES" -eq 0 ]
