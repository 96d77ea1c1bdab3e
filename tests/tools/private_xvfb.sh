# Sourced by the display tests: starts a private Xvfb and points DISPLAY at it.
#   start_private_xvfb WORK_DIR SCREEN [--framebuffer]   (SCREEN as Xvfb takes it, e.g. 1280x1024x24)
#   start_test_display WORK_DIR [--openbox]   a 1280 x 1024 screen, and with --openbox the window
#                                             manager openbox in its default configuration on it
#                                             (wm_pid, empty without; the caller kills it)
# Sets xvfb_pid (the caller kills it on exit); returns non-zero when the server does not start or
# takes no connections. -displayfd picks a free display number. -noreset: without a window
# manager the server would reset whenever its last client leaves, and refuse the next one for a
# moment.
# With --framebuffer the server keeps its screen in a file, WORK_DIR/Xvfb_screen0 (an X window
# dump, always current; set as xvfb_framebuffer): a copy of it is exactly what the screen shows.
# `xwd -root` is not always: when the windows use more than one colormap (Wine gives its windows
# their own) it pieces the picture together from the windows one by one, and a window lying wholly
# inside another can come out black there although the screen shows it painted.
start_private_xvfb() {
  local work=$1 screen=$2 display= fb=()
  xvfb_framebuffer=
  if [ "${3:-}" = "--framebuffer" ]; then
    fb=(-fbdir "$work")
    xvfb_framebuffer=$work/Xvfb_screen0
  fi
  Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp -noreset "${fb[@]}" 3>"$work/display" \
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

start_test_display() {
  wm_pid=
  if [ "${2:-}" = "--openbox" ]; then
    start_private_xvfb "$1" 1280x1024x24 --framebuffer || return 1
    openbox --sm-disable >"$1/openbox.log" 2>&1 &
    wm_pid=$!
  else
    start_private_xvfb "$1" 1280x1024x24
  fi
}
