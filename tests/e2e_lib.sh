# Shared helpers for the end-to-end tests of the real programs (sourced).

# Starts a private Xvfb (800x600, or the WxH given as $1, at 24 bits) and
# exports DISPLAY; stopped on exit. The server picks a free
# display number itself (-displayfd), so tests running side by side never
# share one.
start_xvfb() {
  local size=${1:-800x600} n=""
  XVFB_DIR=$(mktemp -d)
  # -noreset: a server that resets whenever its last client leaves refuses
  # connections for a moment, and the program under test could meet that.
  Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp -noreset 3>"$XVFB_DIR/display" >/dev/null 2>&1 &
  XVFB_PID=$!
  for _ in $(seq 1 100); do
    n=$(head -n 1 "$XVFB_DIR/display" 2>/dev/null)
    if [ -n "$n" ] && DISPLAY=":$n" xdotool getdisplaygeometry >/dev/null 2>&1; then
      export DISPLAY=":$n"
      trap stop_xvfb EXIT
      return 0
    fi
    sleep 0.1
  done
  stop_xvfb
  echo "could not start Xvfb" >&2
  return 1
}

stop_xvfb() {
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null
  wait 2>/dev/null
  [ -n "${XVFB_DIR:-}" ] && rm -rf "$XVFB_DIR"
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
