# Shared helpers for the end-to-end tests of the real programs (sourced).

# Starts a private Xvfb (800x600x24, or the WxH given) and exports DISPLAY;
# stopped on exit.
start_xvfb() {
  local n size=${1:-800x600}
  for n in $(seq 70 120); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    # -noreset: a server that resets whenever its last client leaves refuses
    # connections for a moment, and the program under test could meet that.
    Xvfb ":$n" -screen 0 "${size}x24" -nolisten tcp -noreset >/dev/null 2>&1 &
    XVFB_PID=$!
    export DISPLAY=":$n"
    for _ in $(seq 1 50); do
      xdotool getdisplaygeometry >/dev/null 2>&1 && { trap stop_xvfb EXIT; return 0; }
      sleep 0.1
    done
    kill "$XVFB_PID" 2>/dev/null
  done
  echo "could not start Xvfb" >&2
  return 1
}

stop_xvfb() {
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null
  wait 2>/dev/null
  return 0
}

# Waits up to $2 seconds for a window titled $1; prints its id.
wait_for_window() {
  local title=$1 limit=$2 id
  for _ in $(seq 1 $((limit * 10))); do
    id=$(xdotool search --name "^$title\$" 2>/dev/null | head -n 1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}

# Waits up to $2 seconds for process $1 to end; sets EXIT_STATUS (124 on time-out).
wait_for_exit() {
  local pid=$1 limit=$2
  for _ in $(seq 1 $((limit * 10))); do
    if ! kill -0 "$pid" 2>/dev/null; then
      wait "$pid"
      EXIT_STATUS=$?
      return 0
    fi
    sleep 0.1
  done
  kill -9 "$pid" 2>/dev/null
  EXIT_STATUS=124
  return 1
}

FAILURES=0
check() {
  local what=$1; shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; FAILURES=$((FAILURES + 1)); fi
}
