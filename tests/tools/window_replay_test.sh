#!/usr/bin/env bash
# A correction made in the editing window replays exactly without it: on a private Xvfb,
# filterhost --dialog --record on a photograph with a blue cast, xdotool driving the window as a
# person would, "Edit Image"; then filterhost --play with the recorded action, without the window
# and with other start modes in the preferences. The replay's output must equal the window's,
# byte for byte, for every kind of change, at 8 and 16 bits, and the replay must leave the start
# modes as the person set them.
#   start buttons:   master "Keenhue", a tab's "Reset", another tab's "Keenhue"
#   preview and tabs: a neutral clicked in the preview, the two balance sliders, the white point
#                    handle, the "Global" slider
#   hue:             a hue sample clicked in the preview, the ring's After handle and the
#                    saturation slider dragged
#   definitions:     a neutral, its colour definition changed (Define Color), "Sepia",
#                    "Sharpen" and "Remove Noise"
# With --openbox the same runs under openbox in its default configuration, as on a desktop.
# Screenshots of the window before "Edit Image" go to SHOTS_DIR.
# usage: window_replay_test.sh FILTERHOST KOLMARA_PREFS APPLY_CAST PHOTO SHOTS_DIR [--openbox]
set -euo pipefail

filterhost=$1 prefs=$2 apply_cast=$3 photo=$4 shots=$5 wm=${6:-}
work=$(mktemp -d)
mkdir -p "$shots"
xvfb_pid= wm_pid=
cleanup() {
  [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

source "$(dirname "$0")/private_xvfb.sh"
source "$(dirname "$0")/display_steps.sh"
start_test_display "$work" $wm || fail "Xvfb did not start or takes no connections"
export XDG_CONFIG_HOME="$work/config" TMPDIR="$work"
mkdir -p "$XDG_CONFIG_HOME"

"$apply_cast" --gains 0.7,0.9,1.5 "$photo" "$work/cast8.png" >/dev/null
ffmpeg -loglevel error -y -i "$work/cast8.png" -pix_fmt rgb48be "$work/cast16.png"

# A window by its exact title, once it is on the screen.
window_named() {
  find_window "^$1\$" 600
}

shot() {
  window_shot "$1" "$shots/$2"
}

click() {
  xdotool mousemove --window "$1" "$2" "$3" click 1
  sleep 0.5
}

# A drag in steps, as a hand makes it.
drag() {
  local win=$1 x0=$2 y0=$3 x1=$4 y1=$5
  xdotool mousemove --window "$win" "$x0" "$y0" mousedown 1
  for step in 1 2 3 4; do
    xdotool mousemove --window "$win" $((x0 + (x1 - x0) * step / 4)) $((y0 + (y1 - y0) * step / 4))
    sleep 0.2
  done
  xdotool mouseup 1
  sleep 0.7
}

# Client coordinates of the editing window at its template size (9-point font: 7 x 15 pixels a
# base unit); coffee.png is shown unreduced, centred in the preview from (44, 128).
keenhue_x=731 keenhue_y=26 ok_x=861 ok_y=720
tab_x=731 tab_step=70 tab_y=90
tab_keenhue_x=731 tab_reset_x=994 tab_buttons_y=576
method_x=772 method_y=129 temperature_x=864 temperature_y=189 tint_y=249
white_x=1018 handles_y=324 global_x=880 global_y=156
ring_x=807 ring_y=228 hue_saturation_x=880 hue_saturation_y=396
neutral_prefs_x=970 neutral_prefs_y=129 sepia_x=812 sepia_y=500
sharpen_x=700 noise_x=795 boxes_y=620
picture_x=44 picture_y=128
# Define Color (8-point font: 6 x 13 pixels a base unit): its red slider and OK.
define_red_x=225 define_red_y=28 define_ok_x=342 define_ok_y=180

tab() { click "$1" $((tab_x + $2 * tab_step)) $tab_y; }

# The changes, one function each; $1 is the editing window.
start_buttons() {
  click "$1" $keenhue_x $keenhue_y
  tab "$1" 2
  click "$1" $tab_reset_x $tab_buttons_y
  tab "$1" 3
  click "$1" $tab_keenhue_x $tab_buttons_y
}
preview_and_tabs() {
  click "$1" $((picture_x + 300)) $((picture_y + 60))  # a neutral on the cup's saucer
  click "$1" $method_x $method_y
  xdotool key Down Return
  sleep 0.5
  drag "$1" $temperature_x $temperature_y $((temperature_x - 50)) $temperature_y
  drag "$1" $temperature_x $tint_y $((temperature_x + 30)) $tint_y
  tab "$1" 1
  drag "$1" $white_x $handles_y $((white_x - 60)) $handles_y
  tab "$1" 2
  drag "$1" $global_x $global_y $((global_x + 30)) $global_y
}
hue() {
  tab "$1" 3
  click "$1" $((picture_x + 150)) $((picture_y + 300))
  drag "$1" $((ring_x + 87)) $ring_y $((ring_x + 67)) $((ring_y - 56))
  drag "$1" $hue_saturation_x $hue_saturation_y $((hue_saturation_x + 35)) $hue_saturation_y
}
definitions() {
  click "$1" $((picture_x + 300)) $((picture_y + 60))
  click "$1" $neutral_prefs_x $neutral_prefs_y
  local define
  define=$(window_named "Neutral Preferences") || fail "Define Color did not open"
  sleep 0.5
  drag "$define" $define_red_x $define_red_y $((define_red_x + 40)) $define_red_y
  click "$define" $define_ok_x $define_ok_y
  tab "$1" 3
  click "$1" $sepia_x $sepia_y
  click "$1" $sharpen_x $boxes_y
  click "$1" $noise_x $boxes_y
}

# Records a window run of change $1 on image $2 as $3.kact and $3.png; the start-up guide is
# off, every tool starts reset.
record() {
  local change=$1 image=$2 out=$3
  "$prefs" start reset >/dev/null
  "$prefs" window-reset >/dev/null  # each run opens the window as new
  "$filterhost" --dialog --record "$out.kact" "$image" "$out.png" >"$out.log" 2>&1 &
  local run=$! win
  win=$(window_named "Tintara Kolmara Pro") || fail "the editing window did not open: $(cat "$out.log")"
  sleep 1
  # filterhost's windows have a class of their own, not the toolkit's generic one.
  xprop -id "$win" WM_CLASS | grep -q '= "filterhost", "Tintara Kolmara Pro"$' ||
    fail "the window's class: $(xprop -id "$win" WM_CLASS)"
  "$change" "$win"
  shot "$win" "$(basename "$out").png"
  click "$win" $ok_x $ok_y
  local status=0
  wait "$run" || status=$?
  [ "$status" -eq 0 ] || fail "$change: Edit Image ended with $status: $(cat "$out.log")"
  [ -f "$out.png" ] && [ -f "$out.kact" ] || fail "$change: no output or no action recorded"
}

# The pixels of an image file, whatever its writer made of them.
pixels() { ffmpeg -loglevel error -i "$1" -f rawvideo -pix_fmt "$2" - 2>/dev/null; }

# The start-up guide opens over the first window: "Don't Show Again" (left of OK, which keeps to
# the guide's bottom right corner as the guide grows to its text), then OK.
"$prefs" window-reset >/dev/null  # each run opens the window as new
"$filterhost" --dialog "$work/cast8.png" "$work/guide.png" >"$work/guide.log" 2>&1 &
guide_run=$!
guide=$(window_named "Tintara Kolmara Pro Help") || fail "the start-up guide did not open"
sleep 1
shot "$guide" "start_up_guide.png"
read -r guide_w guide_h < <(xwininfo -id "$guide" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w, h}')
click "$guide" $((guide_w - 200)) $((guide_h - 20))
give_keyboard "$guide"
xdotool key Return
sleep 0.5
editor=$(window_named "Tintara Kolmara Pro") || fail "the editing window did not open"
click "$editor" 987 720  # Cancel
wait "$guide_run" || true

for depth in 8 16; do
  format=rgb24
  [ "$depth" = 16 ] && format=rgb48be
  for change in start_buttons preview_and_tabs hue definitions; do
    out="$work/${change}_$depth"
    record "$change" "$work/cast$depth.png" "$out"
    # Replayed by someone who starts every tool with Keenhue: the action decides, not they.
    "$prefs" start keenhue >/dev/null
    "$filterhost" --play "$out.kact" "$work/cast$depth.png" "$out-replayed.png" \
      >"$out-replayed.log" 2>&1 || fail "$change: the replay failed: $(cat "$out-replayed.log")"
    cmp -s <(pixels "$out.png" $format) <(pixels "$work/cast$depth.png" $format) &&
      fail "$change at $depth bits: the window changed nothing"
    cmp -s <(pixels "$out.png" $format) <(pixels "$out-replayed.png" $format) ||
      fail "$change at $depth bits: the replay differs from the window's result"
    "$prefs" show >"$work/prefs.txt"
    grep -q "^64 Start With: 0 (keenhue)" "$work/prefs.txt" ||
      fail "$change: the replay changed the start modes: $(grep Start "$work/prefs.txt")"
    echo "$change at $depth bits: replayed exactly"
  done
done
echo "window replay test passed; screenshots in $shots"
