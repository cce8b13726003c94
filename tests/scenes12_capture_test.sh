#!/usr/bin/env bash
# Scenes 1 and 2 from separate runs of the capture tool: every run builds the
# same textures from the same random sequence, so one instant gives one image.
# Arguments: quiet-harbor, quiet-harbor-capture, window_close_request.
set -u
CAPTURE=$2
source "$(dirname "$0")/e2e_lib.sh"
export EGL_PLATFORM=surfaceless
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

for at in 15 50; do
  "$CAPTURE" --at $at --out "$WORK/a$at.png" && "$CAPTURE" --at $at --out "$WORK/b$at.png"
  check "two runs capture the same picture at $at s" cmp -s "$WORK/a$at.png" "$WORK/b$at.png"
done
check "scene 1 and scene 2 differ" bash -c "! cmp -s '$WORK/a15.png' '$WORK/a50.png'"

echo "$FAILURES failed"
[ "$FAILURES" -eq 0 ]
