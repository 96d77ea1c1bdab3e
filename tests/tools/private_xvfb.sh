# Sourced by the display tests: starts a private Xvfb and points DISPLAY at it.
#   start_private_xvfb WORK_DIR SCREEN   (SCREEN as Xvfb takes it, e.g. 1280x1024x24)
# Sets xvfb_pid (the caller kills it on exit); returns non-zero when the server does not start or
# takes no connections. -displayfd picks a free display number. -noreset: without a window
# manager the server would reset whenever its last client leaves, and refuse the next one for a
# moment.
start_private_xvfb() {
  local work=$1 screen=$2 display=
  Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp -noreset 3>"$work/display" \
    >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 50); do
    display=$(tr -dc 0-9 <"$work/display" 2>/dev/null || true)
    [ -n "$display" ] && break
    sleep 0.1
  done
  [ -n "$display" ] || return 1
  export DISPLAY=":$display"
  # The server takes connections a little after it names its display.
  for _ in $(seq 100); do
    xdotool getdisplaygeometry >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  return 1
}
