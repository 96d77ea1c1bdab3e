#!/usr/bin/env bash
# The Win32 window binding under Wine on a private X server: each scenario of window_dialogs.exe
# opens a dialog, which is photographed (SHOTS/NAME.png, the whole screen) and driven with
# xdotool; the program's result file then says what the dialog answered.
#
#   window_dialogs_test.sh WINDOW_DIALOGS_EXE SHOTS_DIR
#
# Everything runs under timeouts; Wine's server and the X server are stopped at the end.
set -u
exe=$1
shots=$2
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
mkdir -p "$shots"
work=$(mktemp -d)
failures=0
export WINEDEBUG=${WINEDEBUG:--all}
: "${WINEPREFIX:?the test runs with a private Wine prefix}"

source "$root/tests/tools/private_xvfb.sh"
cleanup() {
  "$root/scripts/wine-run.sh" wineboot --end-session >/dev/null 2>&1 || true
  for server in /usr/lib/wine/wineserver "$(command -v wineserver || true)"; do
    [ -n "$server" ] && [ -x "$server" ] && { WINEPREFIX=$WINEPREFIX "$server" -k 2>/dev/null; break; }
  done
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
if ! start_private_xvfb "$work" 1024x768x24; then
  echo "window test: the private X server did not start" >&2
  exit 1
fi

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# Starts a scenario and waits for its window (by its title; an empty title: the program's only
# window); prints the window id.
open_dialog() {
  local scenario=$1 title=$2 id=
  rm -f "$work/$scenario.txt"
  timeout 90 "$root/scripts/wine-run.sh" "$exe" "$scenario" "$work/$scenario.txt" \
    >"$work/$scenario.log" 2>&1 &
  for _ in $(seq 300); do
    if [ -n "$title" ]; then
      id=$(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | head -n 1)
    else
      id=$(xdotool search --onlyvisible --class "window_dialogs" 2>/dev/null | head -n 1)
    fi
    [ -n "$id" ] && break
    sleep 0.2
  done
  [ -n "$id" ] || { fail "$scenario: no window \"$title\""; return 1; }
  sleep 1  # the first paint, and the framework's drawing after it
  echo "$id"
}

# The window's place on the screen: sets wx, wy, ww, wh.
geometry() {
  eval "$(xdotool getwindowgeometry --shell "$1" | sed -n 's/^X=/wx=/p; s/^Y=/wy=/p; s/^WIDTH=/ww=/p; s/^HEIGHT=/wh=/p')"
}

shoot() {
  xwd -root -silent >"$work/shot.xwd" && python3 "$here/xwd_shot.py" png "$work/shot.xwd" "$shots/$1.png"
}

# Pixels of a colour (RRGGBB) in a rectangle of the window (x y w h from its client origin).
count() {
  python3 "$here/xwd_shot.py" count "$work/shot.xwd" $((wx + $1)) $((wy + $2)) "$3" "$4" "$5"
}

# Waits for the scenario's program to end and checks that its result has a line.
expect_result() {
  local scenario=$1 pattern=$2
  for _ in $(seq 150); do
    [ -s "$work/$scenario.txt" ] && break
    sleep 0.2
  done
  if ! grep -qxF -- "$pattern" "$work/$scenario.txt" 2>/dev/null; then
    fail "$scenario: no line \"$pattern\" in: $(cat "$work/$scenario.txt" 2>/dev/null) $(cat "$work/$scenario.log")"
  fi
}

# A tracked press: the press, drags with Shift taken during the press (a drag where the mouse is)
# and the release all reach the track proc with their keys; keys go to the dialog's key proc; the
# framework's drawing shows over the user items (blue canvas, white readout); Return closes with
# the default button.
if id=$(open_dialog track "Tintara Kolmara Pro Help"); then
  geometry "$id"
  shoot help_1002_tracked
  [ "$(count 12 13 60 25 1e5ac8)" -gt 1000 ] || fail "track: the canvas is not drawn"
  [ "$(count 12 53 60 15 ffffff)" -gt 500 ] || fail "track: the readout is not drawn"
  xdotool mousemove $((wx + 100)) $((wy + 25)) mousedown 1 sleep 0.2 \
    mousemove $((wx + 140)) $((wy + 30)) sleep 0.2 keydown shift sleep 0.3 \
    mousemove $((wx + 160)) $((wy + 32)) sleep 0.2 mouseup 1 sleep 0.2 keyup shift
  xdotool key a sleep 0.2 key ctrl+b sleep 0.2 key Return
  expect_result track "status 0 item 1"
  expect_result track "begin item 2 at 100,25 shift 0 ctrl 0"
  expect_result track "drag item 2 at 140,30 shift 0 ctrl 0"
  expect_result track "drag item 2 at 140,30 shift 1 ctrl 0"
  expect_result track "end item 2 at 160,32 shift 1 ctrl 0"
  expect_result track "key 65 ctrl 0"
  expect_result track "key 66 ctrl 1"
  expect_result track "idle ticked"
fi

# The alert box (a window without a title): its caution icon and message are drawn; Escape is
# the second button.
if id=$(open_dialog alert ""); then
  geometry "$id"
  shoot alert_6000
  [ "$(count 10 10 60 60 f5c518)" -gt 100 ] || fail "alert: no caution icon"
  xdotool key Escape
  expect_result alert "status 0 item 2"
fi

# The about box: its picture (the hue ring) and text; a click on the picture closes it.
if id=$(open_dialog about "About Tintara Kolmara Pro"); then
  geometry "$id"
  shoot about_6002
  [ "$(count 60 20 220 220 e03030)" -gt 300 ] || fail "about: no hue ring"
  xdotool mousemove $((wx + 170)) $((wy + 130)) click 1
  expect_result about "status 0 item 3"
fi

# The file chooser with its title and prompt: a typed name of an existing file comes back whole.
probe=$work/probe.txt
echo probe >"$probe"
if id=$(open_dialog open "Open a Test File"); then
  shoot chooser_open
  xdotool type --delay 20 "Z:${probe//\//\\}"
  xdotool key Return
  expect_result open "status 0 item 0"
  expect_result open "path Z:${probe//\//\\}"
fi

[ "$failures" -eq 0 ] || { echo "window test: $failures failures (shots in $shots)" >&2; exit 1; }
echo "window test: every dialog opened, answered and closed (shots in $shots)"
