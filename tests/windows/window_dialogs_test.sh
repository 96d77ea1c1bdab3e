#!/usr/bin/env bash
# The Win32 window binding under Wine on a private X server: each scenario of window_dialogs.exe
# opens a dialog, which is photographed (SHOTS/NAME.png, the whole screen) and driven with
# xdotool; the program's result file then says what the dialog answered.
#
#   window_dialogs_test.sh WINDOW_DIALOGS_EXE SHOTS_DIR [FILTERHOST_EXE]
#
# With FILTERHOST_EXE (KolmaraPro.8bf beside it) the module's editing window is opened over a
# photograph as a host would: Return applies (the output equals the run without a window), Escape
# cancels (no output), and its Preferences and sharpening set-up dialogs open and close.
#
# Everything runs under timeouts; Wine's server and the X server are stopped at the end.
set -u
exe=$1
shots=$2
filterhost=${3:-}
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
if ! start_private_xvfb "$work" 1280x1024x24 --framebuffer; then
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
  wait_window "$scenario" window_dialogs "$title"
}

# Waits for a window of a program (its class) with a title (empty: any); prints its id.
wait_window() {
  local what=$1 class=$2 title=$3 id=
  for _ in $(seq 300); do
    if [ -n "$title" ]; then
      id=$(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | head -n 1)
    else
      id=$(xdotool search --onlyvisible --class "$class" 2>/dev/null | head -n 1)
    fi
    [ -n "$id" ] && break
    sleep 0.2
  done
  [ -n "$id" ] || { fail "$what: no window \"$title\""; return 1; }
  sleep 1  # the first paint, and the framework's drawing after it
  echo "$id"
}

# Waits until a window has gone; non-zero when it stays.
wait_gone() {
  for _ in $(seq 100); do
    xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1 || return 0
    sleep 0.2
  done
  return 1
}

# The window's place on the screen: sets wx, wy, ww, wh.
geometry() {
  eval "$(xdotool getwindowgeometry --shell "$1" | sed -n 's/^X=/wx=/p; s/^Y=/wy=/p; s/^WIDTH=/ww=/p; s/^HEIGHT=/wh=/p')"
}

# A screenshot is the server's own screen (see private_xvfb.sh for why not `xwd -root`).
shoot() {
  cp "$xvfb_framebuffer" "$work/shot.xwd" &&
    python3 "$here/xwd_shot.py" png "$work/shot.xwd" "$shots/$1.png"
}

# Pixels of a colour (RRGGBB) in a rectangle of the window (x y w h from its client origin).
count() {
  python3 "$here/xwd_shot.py" count "$work/shot.xwd" $((wx + $1)) $((wy + $2)) "$3" "$4" "$5"
}

# Fails when a window of ours is mostly black in the last screenshot: a dialog whose content never
# reached the screen (its text and frames are far from that much black).
painted() {
  local what=$1 wx wy ww wh
  geometry "$2"
  local black
  black=$(count 0 0 "$ww" "$wh" 000000)
  [ "$black" -lt $((ww * wh / 2)) ] || fail "$what: the window shows black ($black of $((ww * wh)) pixels)"
}

# The visible windows of a program (its class) at least 100 pixels wide and high other than the
# one given: the dialogs it has opened over that window.
dialogs_over() {
  local class=$1 main=$2 w ww wh
  for w in $(xdotool search --onlyvisible --class "$class" 2>/dev/null); do
    [ "$w" = "$main" ] && continue
    eval "$(xdotool getwindowgeometry --shell "$w" | sed -n 's/^WIDTH=/ww=/p; s/^HEIGHT=/wh=/p')"
    [ "$ww" -ge 100 ] && [ "$wh" -ge 100 ] && echo "$w"
  done
}

# Checks that a dialog is open over a window and painted, in the last screenshot.
dialog_painted() {
  local what=$1 class=$2 main=$3 found=0 w
  for w in $(dialogs_over "$class" "$main"); do
    painted "$what" "$w"
    found=1
  done
  [ "$found" -eq 1 ] || fail "$what: no dialog opened"
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
track_width=0
editing_width=0
if id=$(open_dialog track "Tintara Kolmara Pro Help"); then
  geometry "$id"
  track_width=$ww
  shoot help_1002_tracked
  [ "$(count 12 13 60 25 1e5ac8)" -gt 1000 ] || fail "track: the canvas is not drawn"
  [ "$(count 12 53 60 15 ffffff)" -gt 500 ] || fail "track: the readout is not drawn"
  [ "$(count 12 73 420 8 ff0000)" -eq 0 ] || fail "track: an item's drawing is not cut to the item"
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

# A question asked from the first-paint proc of another dialog opens over it and answers.
if id=$(open_dialog nested ""); then
  sleep 1
  shoot nested_alert
  wx=0 wy=0
  [ "$(count 0 0 1280 1024 f5c518)" -gt 100 ] || fail "nested: the question over the dialog is not drawn"
  xdotool key Return
  sleep 1
  # The help dialog under it, its check box hidden as the template says (nothing dark there).
  if id=$(wait_window nested window_dialogs "Tintara Kolmara Pro Help"); then
    geometry "$id"
    shoot nested_help
    [ "$(count 240 84 115 20 000000)" -eq 0 ] || fail "nested: a hidden item is shown"
    [ "$(count 12 13 60 25 1e5ac8)" -gt 1000 ] || fail "nested: the canvas is not drawn"
  fi
  xdotool key Escape
  expect_result nested "nested answer 1"
  expect_result nested "status 0 item 2"
fi

# The same question over a help dialog larger than it, so that it lies wholly inside its owner, as
# the editing window's own dialogs do: it shows its icon and text, not a black rectangle.
if id=$(open_dialog inside "Tintara Kolmara Pro Help"); then
  sleep 1
  shoot inside_alert
  dialog_painted inside window_dialogs "$id"
  wx=0 wy=0
  [ "$(count 0 0 1280 1024 f5c518)" -gt 100 ] || fail "inside: the question over the dialog is not drawn"
  xdotool key Return
  sleep 1
  xdotool key Escape
  expect_result inside "nested answer 1"
  expect_result inside "status 0 item 2"
fi

# The editing window over a photograph, as the host shows it.
if [ -n "$filterhost" ]; then
  photo=$root/tests/windows/data/photo8.pam
  host() {
    timeout 120 "$root/scripts/wine-run.sh" "$filterhost" --no-progress "$@"
  }
  winpath() {
    local p=${1//\//\\}
    echo "Z:$p"
  }
  # The start-up guide comes over the editing window until it is told not to: closed with Return.
  close_guide() {
    local guide
    if guide=$(xdotool search --onlyvisible --name "^Tintara Kolmara Pro Help\$" 2>/dev/null); then
      shoot "$1"
      painted "$1" "$(echo "$guide" | head -n 1)"
      xdotool key Return
      wait_gone "Tintara Kolmara Pro Help" || fail "$1: the start-up guide stays"
      sleep 1
    fi
  }
  host "$(winpath "$photo")" "$(winpath "$work/plain.pam")" >"$work/plain.log" 2>&1 ||
    fail "filterhost without a window: $(cat "$work/plain.log")"

  host --dialog "$(winpath "$photo")" "$(winpath "$work/applied.pam")" >"$work/applied.log" 2>&1 &
  pid=$!
  if id=$(wait_window editing filterhost "Tintara Kolmara Pro"); then
    sleep 2
    close_guide startup_guide
    geometry "$id"
    editing_width=$ww
    shoot editing_window
    [ "$(count 10 10 620 600 808080)" -gt 50000 ] || fail "editing window: no preview area"
    [ "$(count 640 0 400 740 f0f0f0)" -gt 50000 ] || fail "editing window: no controls side"
    # The view icon (a bitmap in an icon item) shows its orange square; nothing else right of
    # the preview is orange.
    [ "$(count 640 0 400 200 e69228)" -gt 3 ] || fail "editing window: the view icon is not drawn"
    # A tooltip: resting on Preferences... shows its white box below the pointer, where the
    # window has none of that colour. (Wine reuses its tooltip window, so counting windows does
    # not tell.)
    xdotool mousemove $((wx + 751)) $((wy + 672))
    sleep 2.5
    shoot tooltip_preferences
    [ "$(count 760 695 280 25 ffffff)" -gt 3000 ] || fail "editing window: no tooltip over Preferences..."
    # The context menu of B/W (on the Hue tab): the system's pop-up menu, whose entry opens
    # Define Color, as an Alt-click does. (The menu is checked by what its entry opens: Wine
    # reuses windows, so the count of windows does not tell a menu.)
    xdotool mousemove $((wx + 939)) $((wy + 90)) click 1
    sleep 1
    xdotool mousemove $((wx + 730)) $((wy + 497)) click 3
    sleep 1.5
    shoot menu_bw
    xdotool key Down Return
    sleep 2
    shoot menu_bw_define_color
    dialog_painted menu_bw_define_color filterhost "$id"
    xdotool key Escape
    sleep 1
    # Preferences (a dialog over the window) opens and closes with Escape.
    xdotool mousemove $((wx + 751)) $((wy + 672)) click 1
    sleep 2
    shoot preferences_dialog
    dialog_painted preferences_dialog filterhost "$id"
    xdotool key Escape
    sleep 1
    # Sharpening on, then its set-up dialog (a tool dialog) opens and closes.
    xdotool mousemove $((wx + 697)) $((wy + 619)) click 1
    sleep 1
    xdotool mousemove $((wx + 979)) $((wy + 618)) click 1
    sleep 2
    shoot tool_dialog
    dialog_painted tool_dialog filterhost "$id"
    xdotool key Escape
    sleep 1
    xdotool mousemove $((wx + 697)) $((wy + 619)) click 1
    sleep 1
    xdotool key Return
  fi
  wait "$pid" || fail "filterhost --dialog, Return: $(cat "$work/applied.log")"
  cmp -s "$work/plain.pam" "$work/applied.pam" ||
    fail "Return in the editing window did not give the output of the run without it"

  host --dialog "$(winpath "$photo")" "$(winpath "$work/cancelled.pam")" >"$work/cancelled.log" 2>&1 &
  pid=$!
  if id=$(wait_window cancel filterhost "Tintara Kolmara Pro"); then
    sleep 2
    close_guide startup_guide_again
    xdotool key Escape
  fi
  wait "$pid"
  [ -e "$work/cancelled.pam" ] && fail "Escape in the editing window still wrote its output"
fi

# Finer screens (Wine's resolution setting, read by each program at its start): the dialogs are
# drawn at the monitor's scale, and the framework still works in its own pixels, so the same
# press lands on the same spot of a dialog twice as large. The editing window, too large for
# this 1280 x 1024 screen at 150 %, takes the largest scale that fits.
set_dpi() {
  "$root/scripts/wine-run.sh" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD \
    /d "$1" /f >/dev/null 2>&1
}
# A framework coordinate on the monitor at a resolution, rounded as the binding rounds.
at() {
  echo $((($1 * dpi + 48) / 96))
}
for dpi in 144 192; do
  set_dpi "$dpi"
  if id=$(open_dialog track "Tintara Kolmara Pro Help"); then
    geometry "$id"
    shoot "help_1002_tracked_${dpi}dpi"
    # The window's width scales with the resolution (its frame, the system's, a little less).
    want=$((track_width * dpi / 96))
    [ "$ww" -ge $((want * 95 / 100)) ] && [ "$ww" -le $((want * 105 / 100)) ] ||
      fail "track at $dpi dpi: $ww pixels wide, not about $want"
    [ "$(count "$(at 12)" "$(at 13)" "$(at 60)" "$(at 25)" 1e5ac8)" -gt $((1000 * dpi * dpi / 9216)) ] ||
      fail "track at $dpi dpi: the canvas is not drawn at its scale"
    xdotool mousemove $((wx + $(at 100))) $((wy + $(at 25))) mousedown 1 sleep 0.2 \
      mousemove $((wx + $(at 140))) $((wy + $(at 30))) sleep 0.2 \
      mousemove $((wx + $(at 160))) $((wy + $(at 32))) sleep 0.2 mouseup 1
    xdotool key Return
    expect_result track "begin item 2 at 100,25 shift 0 ctrl 0"
    expect_result track "drag item 2 at 140,30 shift 0 ctrl 0"
    expect_result track "end item 2 at 160,32 shift 0 ctrl 0"
  fi
  if [ -n "$filterhost" ]; then
    host --dialog "$(winpath "$photo")" "$(winpath "$work/dpi.pam")" >"$work/dpi.log" 2>&1 &
    pid=$!
    if id=$(wait_window editing filterhost "Tintara Kolmara Pro"); then
      sleep 2
      close_guide "startup_guide_${dpi}dpi"
      geometry "$id"
      shoot "editing_window_${dpi}dpi"
      [ "$ww" -gt $((editing_width * 11 / 10)) ] ||
        fail "editing window at $dpi dpi: $ww pixels wide, no larger than at 96 dpi"
      [ $((wx + ww)) -le 1280 ] && [ $((wy + wh)) -le 1024 ] ||
        fail "editing window at $dpi dpi: $ww x $wh at $wx,$wy does not fit the screen"
      [ "$(count $((ww * 6 / 10)) 0 $((ww * 4 / 10)) $((wh / 4)) e69228)" -gt 8 ] ||
        fail "editing window at $dpi dpi: the view icon is not drawn"
      xdotool key Escape
    fi
    wait "$pid"
  fi
done
set_dpi 96

[ "$failures" -eq 0 ] || { echo "window test: $failures failures (shots in $shots)" >&2; exit 1; }
echo "window test: every dialog opened, answered and closed (shots in $shots)"
