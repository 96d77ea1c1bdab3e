#!/usr/bin/env bash
# The editing window under a window manager (openbox, its default configuration), which keeps
# Alt+button for moving windows so that no Alt-click reaches the window. Every action an
# Alt-click gives is taken here through the context menus, as a person on such a desktop would,
# on a photograph larger than the preview:
#   1. the preview's "Zoom to 100% (1:1)" shows a part of the photograph at full size, a notch of
#      the mouse wheel up magnifies it (200 %), and "Fit in Window" brings back exactly the
#      reduced preview;
#   2. the preview's clipping switch, then a drag of the black point: while the handle is held
#      the preview shows the clipping view (every pixel black, white or a pure primary or
#      secondary), and the ordinary preview once it is let go;
#   3. the Sepia colour's "Edit Color..." and "Color Picker...": filterhost's colour chooser
#      takes a typed colour, which the colour dialog shows (its Cancel then puts it back);
#   4. master "Custom"'s "Load Custom Settings...", a settings file chosen, then "Edit Image":
#      the output equals a run without the window that starts with those custom settings;
#   5. OK's menu "Creates Huegrids", OK and a file name: the Huegrid file is written and the
#      image left as it was.
# Screenshots go to SHOTS_DIR.
# usage: window_openbox_test.sh FILTERHOST KOLMARA_PREFS APPLY_CAST PHOTO SETTINGS SHOTS_DIR
set -euo pipefail

filterhost=$1 prefs=$2 apply_cast=$3 photo=$4 settings=$5 shots=$6
work=$(mktemp -d)
mkdir -p "$shots"
xvfb_pid= wm_pid= run=
cleanup() {
  [ -n "$run" ] && kill -9 "$run" 2>/dev/null || true
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
start_test_display "$work" --openbox || fail "Xvfb did not start"
export XDG_CONFIG_HOME="$work/config" TMPDIR="$work"
mkdir -p "$XDG_CONFIG_HOME"

"$apply_cast" --gains 0.7,0.9,1.5 "$photo" "$work/cast.png" >/dev/null
ffmpeg -loglevel error -y -i "$work/cast.png" -vf scale=1800:1200 "$work/large.png"
cp "$settings" "$work/custom.txt"

shot() {
  window_shot "$1" "$shots/$2"
}
click() {
  xdotool mousemove --window "$1" "$2" "$3" click 1
  sleep 0.7
}
# Opens the item's menu at client (x, y) and chooses entry n (0 first): the menu opens with its
# corner at the pointer, one entry every 21 pixels.
menu() {
  xdotool mousemove --window "$1" "$2" "$3" click 3
  sleep 1
  click "$1" $(($2 + 80)) $(($3 + 11 + 21 * $4))
  sleep 0.5
}
# The pointer off the window, so that no tooltip covers what a shot checks.
away() {
  xdotool mousemove 1270 1010
  sleep 1.5
}
# Starts filterhost --dialog on the large photograph writing $1, and waits for the window with
# the start-up guide closed; the window's client area then starts at the screen's corner.
open_window() {
  "$prefs" window-reset >/dev/null
  # From the work folder: the file choosers open in the current folder.
  (cd "$work" && exec "$filterhost" --dialog "$work/large.png" "$1" >"$work/run.log" 2>&1) &
  run=$!
  win=$(find_window '^Tintara Kolmara Pro$' 600) ||
    fail "the editing window did not open: $(cat "$work/run.log")"
  # The start-up guide comes a moment after the window (on a loaded machine, many seconds).
  guide=$(find_window '^Tintara Kolmara Pro Help$' 300) || true
  if [ -n "$guide" ]; then
    xdotool windowactivate --sync "$guide" key Return
    sleep 0.5
  fi
  find_window '^Tintara Kolmara Pro Help$' 5 >/dev/null && fail "the start-up guide stayed open"
  xdotool windowmove "$win" 0 0
  sleep 1
}
finish_run() {
  local status=0
  for _ in $(seq 600); do
    kill -0 "$run" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$run" 2>/dev/null && fail "$1: the window is still open after a minute"
  wait "$run" || status=$?
  run=
  [ "$status" -eq 0 ] || fail "$1 ended with $status: $(cat "$work/run.log")"
}
# Whether all the pixels at the given client points of a shot are black, white or a pure
# primary or secondary colour (every channel 0 or 255).
all_pure() {
  local png=$1 x y
  shift
  while [ $# -gt 0 ]; do
    x=$1 y=$2
    shift 2
    pixel "$png" "$x" "$y" | awk '{ for (c = 1; c <= 3; ++c) if ($c != 0 && $c != 255) exit 1 }' ||
      return 1
  done
}

# The preview item's inside alone (client 13,14 to 676,642): the readouts below it keep the
# last pixel the pointer crossed.
preview_of() {
  ffmpeg -loglevel error -i "$1" -vf "crop=663:628:13:14" -f rawvideo -pix_fmt rgb24 - 2>/dev/null
}

# Client coordinates (9-point font: 7 x 15 pixels a base unit).
preview_x=300 preview_y=260 custom_x=905 custom_y=26 ok_x=861 ok_y=720 tab_x=731 tab_step=70
tab_y=90 black_x=709 black_y=322 sepia_x=812 sepia_y=500
# Points inside the reduced picture, for the clipping check.
spots="100 150 200 200 300 300 400 350 500 250 600 400 150 450 350 500"
# The colour dialog's Cancel (8-point font).
define_cancel_x=255 define_cancel_y=179

"$prefs" reset >/dev/null
"$prefs" start reset >/dev/null
open_window "$work/custom_out.png"

# 1. Zoom to 100 % (the menu's fourth entry, after Fit, 25 % and 50 %), a wheel notch in, and
# back to fit.
away
shot "$win" "openbox_fit.png"
menu "$win" $preview_x $preview_y 3
away
shot "$win" "openbox_zoomed.png"
cmp -s <(preview_of "$shots/openbox_fit.png") <(preview_of "$shots/openbox_zoomed.png") &&
  fail "Zoom to 100% changed nothing in the preview"
xdotool mousemove --window "$win" $preview_x $preview_y click 4
away
shot "$win" "openbox_zoomed_200.png"
cmp -s <(preview_of "$shots/openbox_zoomed.png") <(preview_of "$shots/openbox_zoomed_200.png") &&
  fail "a wheel notch up changed nothing in the preview"
xdotool mousemove --window "$win" $preview_x $preview_y click 3
sleep 0.7
shot "$win" "openbox_preview_menu.png"
click "$win" $((preview_x + 80)) $((preview_y + 11))
away
shot "$win" "openbox_back_to_fit.png"
cmp -s <(preview_of "$shots/openbox_fit.png") <(preview_of "$shots/openbox_back_to_fit.png") ||
  fail "Fit in Window did not bring back the reduced preview"

# 2. The clipping view while the black point is dragged (the switch is the menu's seventh entry).
menu "$win" $preview_x $preview_y 6
click "$win" $((tab_x + tab_step)) $tab_y
xdotool mousemove --window "$win" $black_x $black_y
sleep 0.5
xdotool mousedown 1
sleep 0.3
for dx in 20 40 60 80 100; do
  xdotool mousemove --window "$win" $((black_x + dx)) $black_y
  sleep 0.3
done
sleep 1
shot "$win" "openbox_clipping.png"
xdotool mouseup 1
sleep 1
away
shot "$win" "openbox_clipping_released.png"
# shellcheck disable=SC2086
all_pure "$shots/openbox_clipping.png" $spots ||
  fail "dragging the black point with the clipping switch on did not show the clipping view"
# shellcheck disable=SC2086
all_pure "$shots/openbox_clipping_released.png" $spots &&
  fail "the clipping view stayed after the handle was let go"

# 3. The Sepia colour picked in filterhost's colour chooser.
click "$win" $((tab_x + 3 * tab_step)) $tab_y
menu "$win" $sepia_x $sepia_y 0
define=$(find_window '^Sepia Tone$') || fail "Edit Color... did not open the colour dialog"
sleep 0.5
pick_in_chooser "$define" openbox_color_
click "$define" $define_cancel_x $define_cancel_y

# 4. Custom settings loaded through master "Custom"'s menu; the file chooser opens in the
# current folder with the folder in its name field.
menu "$win" $custom_x $custom_y 0
find_window '^Load$' >/dev/null || fail "Load Custom Settings... opened no file chooser"
sleep 1
xdotool key End
xdotool type --delay 50 custom.txt
xdotool key Return
sleep 2
away
shot "$win" "openbox_custom_loaded.png"
click "$win" $ok_x $ok_y
finish_run "Edit Image after loading custom settings"
"$prefs" load-custom "$work/custom.txt" >/dev/null
"$prefs" start custom >/dev/null
"$filterhost" "$work/large.png" "$work/custom_plain.png" >"$work/plain.log" 2>&1 ||
  fail "the run with the custom settings failed: $(cat "$work/plain.log")"
cmp -s "$work/custom_out.png" "$work/custom_plain.png" ||
  fail "custom settings loaded through the menu and started with give different images"
cmp -s "$work/custom_out.png" "$work/large.png" && fail "the custom settings changed nothing"

# 5. OK creates a Huegrid file.
"$prefs" start reset >/dev/null
open_window "$work/grid_out.png"
menu "$win" $ok_x $ok_y 3
away
shot "$win" "openbox_ok_creates_huegrids.png"
click "$win" $ok_x $ok_y
find_window '^Create Huegrid$' >/dev/null || fail "Create Huegrid... opened no file chooser"
sleep 1
# The name field holds the folder and a name made from the photograph's ("largeHuegrid").
xdotool key End
for _ in $(seq 12); do xdotool key BackSpace; done
xdotool type --delay 50 grid
xdotool key Return
finish_run "Create Huegrid..."
[ -s "$work/grid.hg" ] || fail "Create Huegrid... wrote no grid.hg: $(ls "$work")"
raw() { ffmpeg -loglevel error -i "$1" -f rawvideo -pix_fmt rgb24 - 2>/dev/null; }
cmp -s <(raw "$work/grid_out.png") <(raw "$work/large.png") ||
  fail "Create Huegrid... changed the image"
echo "openbox window test passed; screenshots in $shots"
