# xvfb.sh: sourced by the GUI checks. Starts a private Xvfb on a free display
# and stops it on exit (after whatever exit handler was set before).
#   xvfb_start           sets DISPLAY
#   screenshot FILE.png  the whole screen
xvfb_start() {
  local fifo
  fifo=$(mktemp -u /tmp/lorvex-xvfb.XXXXXX)
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  XVFB_PID=$!
  local display
  read -r -t 20 display < "$fifo"
  rm -f "$fifo"
  if [ -z "$display" ]; then
    echo "xvfb: Xvfb did not start" >&2
    exit 1
  fi
  export DISPLAY=":$display"
}

xvfb_stop() {
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null
}

screenshot() {
  timeout 20 import -window root "$1" 2>/dev/null || echo "screenshot $1 failed" >&2
}
