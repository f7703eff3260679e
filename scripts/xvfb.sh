# Sourced by the scripts: starts a virtual X server on a free display.
# Sets DISPLAY and XVFB_PID; the caller ends the server (stop_xvfb).
start_xvfb() {
  local fifo
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  # Xvfb writes the display number it picked once it accepts connections.
  Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  XVFB_PID=$!
  local number=""
  read -r -t 30 number < "$fifo" || true
  rm -f "$fifo"
  if [[ -z "$number" ]]; then
    echo "Xvfb did not start" >&2
    return 1
  fi
  export DISPLAY=":$number"
}

stop_xvfb() {
  if [[ -n "${XVFB_PID:-}" ]]; then
    kill "$XVFB_PID" 2>/dev/null || true
    wait "$XVFB_PID" 2>/dev/null || true
    XVFB_PID=""
  fi
}
