#!/usr/bin/env bash
# The song, byte for byte: `quiet-harbor-capture --audio-only` writes the
# same WAV file on every architecture and build, the SHA-256 kept in
# tests/data/song.sha256. Any change to what the synthesizer computes, or to
# how the compiler rounds it (x87 arithmetic on 32-bit x86, fused
# multiply-adds), fails here.
# Arguments: quiet-harbor, quiet-harbor-capture, window_close_request, capture_levels.
set -u
CAPTURE=$2
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
export EGL_PLATFORM=surfaceless
want=$(awk '{ print $1 }' "$(dirname "$0")/data/song.sha256")
if ! "$CAPTURE" --audio-only --out "$WORK/song.wav" --quiet; then
  echo "FAILED: the song could not be captured"
  exit 1
fi
got=$(sha256sum "$WORK/song.wav" | awk '{ print $1 }')
if [ "$got" != "$want" ]; then
  echo "FAILED: the song's SHA-256 is $got, expected $want"
  exit 1
fi
echo "ok: the song is the expected one ($got)"
