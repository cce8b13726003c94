# A private PulseAudio for the tests and benchmarks that listen to the sound
# as a desktop's sound server plays it (sourced). Its own runtime folder, no
# system services, no autospawn, a null sink at 44,100 Hz signed 16-bit
# stereo as the default sink, reached through a private socket; the programs
# started afterwards (SDL's pulseaudio backend, parec) find it through
# PULSE_SERVER.

# Starts the server and exports PULSE_SERVER, PULSE_RUNTIME_PATH and
# SDL_AUDIODRIVER. Call stop_pulse on every exit path.
start_pulse() {
  PULSE_DIR=$(mktemp -d)
  mkdir -p "$PULSE_DIR/runtime" "$PULSE_DIR/home"
  chmod 700 "$PULSE_DIR/runtime"
  export XDG_RUNTIME_DIR="$PULSE_DIR/runtime" PULSE_RUNTIME_PATH="$PULSE_DIR/runtime"
  export PULSE_STATE_PATH="$PULSE_DIR/home" PULSE_CONFIG_PATH="$PULSE_DIR/home"
  local socket="$PULSE_DIR/runtime/native"
  cat >"$PULSE_DIR/default.pa" <<EOF
load-module module-null-sink sink_name=quiet rate=44100 format=s16le channels=2 sink_properties=device.description=quiet
load-module module-native-protocol-unix socket=$socket auth-anonymous=1
set-default-sink quiet
EOF
  printf 'autospawn = no\n' >"$PULSE_DIR/client.conf"
  export PULSE_CLIENTCONFIG="$PULSE_DIR/client.conf"
  # --system=no and no D-Bus: nothing outside the folder is touched. A
  # desktop's server runs at a raised priority with realtime scheduling
  # (given by its session): so does this one where the user may
  # (PULSE_REALTIME=no leaves it out); elsewhere it runs without.
  pulseaudio --daemonize=no --system=no --use-pid-file=no --exit-idle-time=-1 \
    --disallow-exit=yes --realtime="${PULSE_REALTIME:-yes}" --high-priority=yes --log-target=file:"$PULSE_DIR/log" \
    --log-level="${PULSE_LOG_LEVEL:-notice}" \
    -n -F "$PULSE_DIR/default.pa" --load=module-always-sink >/dev/null 2>&1 &
  PULSE_PID=$!
  export PULSE_SERVER="unix:$socket"
  for _ in $(seq 1 100); do
    if pactl info >/dev/null 2>&1; then
      export SDL_AUDIODRIVER=pulseaudio
      return 0
    fi
    kill -0 "$PULSE_PID" 2>/dev/null || break
    sleep 0.1
  done
  echo "could not start PulseAudio: $(tail -n 5 "$PULSE_DIR/log" 2>/dev/null)" >&2
  stop_pulse
  return 1
}

stop_pulse() {
  if [ -n "${PULSE_PID:-}" ]; then
    kill "$PULSE_PID" 2>/dev/null
    for _ in $(seq 1 50); do kill -0 "$PULSE_PID" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$PULSE_PID" 2>/dev/null
    wait "$PULSE_PID" 2>/dev/null
    PULSE_PID=""
  fi
  [ -n "${PULSE_DIR:-}" ] && [ -z "${PULSE_KEEP_LOG:-}" ] && rm -rf "$PULSE_DIR"
  return 0
}

# Records the null sink's monitor, raw 44,100 Hz s16le stereo, into file $1;
# sets PAREC_PID.
start_parec() {
  parec --raw --format=s16le --rate=44100 --channels=2 --device=quiet.monitor \
    --latency-msec=100 "$1" 2>/dev/null &
  PAREC_PID=$!
}

stop_parec() {
  [ -n "${PAREC_PID:-}" ] && kill "$PAREC_PID" 2>/dev/null && wait "$PAREC_PID" 2>/dev/null
  PAREC_PID=""
  return 0
}

# Gaps in recording $1 (raw, from its first sound) against the capture $2
# (a .wav) from byte $3 on: where the recording goes silent while the music
# does not, how many frames of silence it played and how many music frames
# it skipped before going on. Prints one line per gap, then a summary line
# "frames F gaps G silence S lost L" (F: music frames heard in order).
sound_gaps() {
  local rec_start
  rec_start=$(first_sound "$1" 0)
  awk -v ms="$3" -v music="$2" '
    BEGIN {
      cmd = "tail -c +" ms + 1 " \"" music "\" | od -An -v -td2 -w4"
      while ((cmd | getline) > 0) m[n++] = $1 " " $2
      close(cmd)
      j = 0
    }
    {
      f = $1 " " $2
      if (f == m[j]) { j++; frames++; next }
      if (f == "0 0") { z++; next }
      # The music goes on: find the frame it goes on from, up to a second on.
      for (k = j; k < j + 44100 && k < n && m[k] != f; k++) ;
      if (k >= j + 44100 || k >= n) { print "lost track at music frame " j; exit 1 }
      printf "gap at %.3f s of the music: %d frames of silence, %d music frames skipped\n", (ms - 44) / 176400 + j / 44100, z, k - j
      gaps++; silence += z; lost += k - j
      j = k + 1; z = 0; frames++
    }
    END { printf "frames %d gaps %d silence %d lost %d\n", frames, gaps, silence, lost }
  ' <(tail -c +$((${rec_start:-0} + 1)) "$1" | od -An -v -td2 -w4)
}
