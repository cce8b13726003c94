# Helpers for the end-to-end tests that read the sound SDL's disk driver
# writes: raw 44,100 Hz signed 16-bit stereo (sourced).

BYTES_PER_SECOND=176400

# Byte offset of the first nonzero sample at or after byte $2 of file $1.
first_sound() { od -An -v -td2 -w2 "$1" 2>/dev/null | awk -v skip="$2" 'NR > skip / 2 && $1 != 0 { print (NR - 1) * 2; exit }'; }

# $3 frames ("LEFT RIGHT" lines) of file $1 from byte $2 on, leaving out runs
# of 64 or more silent frames: the gaps an underrun puts into the device's
# sound (where the music is playing it has none that long). Writes the number
# of frames left out to file $4.
sound_frames() {
  tail -c +$(($2 + 1)) "$1" | od -An -v -td2 -w4 | awk -v want="$3" -v gaps="$4" '
    $1 == 0 && $2 == 0 { zeros++; next }
    {
      if (zeros >= 64) dropped += zeros
      else for (; zeros > 0 && n < want; zeros--) { print "0 0"; n++ }
      zeros = 0
      if (n < want) { print $1, $2; n++ }
      if (n >= want) exit
    }
    END { print dropped + 0 > gaps }'
}

# Waits until file $1 holds $2 bytes after its first sound; fails when
# process $3 ends first or after 120 s.
wait_for_sound() {
  local start size
  for _ in $(seq 1 600); do
    kill -0 "$3" 2>/dev/null || return 1
    start=$(first_sound "$1" 0)
    size=$(stat -c %s "$1" 2>/dev/null || echo 0)
    [ -n "$start" ] && [ $((size - start)) -ge "$2" ] && return 0
    sleep 0.2
  done
  return 1
}
