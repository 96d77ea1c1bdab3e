#!/usr/bin/env bash
# The editing window on a real display, end to end: a private Xvfb, filterhost --dialog on a
# photograph with a blue cast, and xdotool clicking as a person would.
#   1. master "Keenhue", a drag of tab 2's "Global" slider taken back with "Undo", then "Edit
#      Image": the output equals a run without the window that starts every tool with Keenhue
#      under the same preferences (and the drag must have changed the preview on the way);
#   2. "Cancel": no output, exit status 3 (cancelled); on the way the sharpen/noise set-up, the
#      memory colour information, "Sepia", and the Sepia colour picked in filterhost's colour
#      chooser (typed in it, shown by the colour dialog);
#   3. a neutral click on a grey spot of the photograph, then "Edit Image": the spot comes out
#      grey (and screenshots of the sampled region and of the readouts with two sample points);
#   4. Alt-click zooms a larger copy to 1:1 and Control-drag pans it.
# With --openbox the same runs under openbox in its default configuration, as on a desktop: the
# window manager keeps Alt+button, so step 4 zooms through the preview's menu instead, and the
# screenshots are cut from the screen (xwd of a framed window is empty).
# Screenshots of the window go to SHOTS_DIR.
# usage: window_display_test.sh FILTERHOST KOLMARA_PREFS APPLY_CAST PHOTO SHOTS_DIR [--openbox]
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

# A display of our own.
source "$(dirname "$0")/private_xvfb.sh"
source "$(dirname "$0")/display_steps.sh"
start_test_display "$work" $wm || fail "Xvfb did not start or takes no connections"
export XDG_CONFIG_HOME="$work/config" TMPDIR="$work"
mkdir -p "$XDG_CONFIG_HOME"

"$apply_cast" --gains 0.7,0.9,1.5 "$photo" "$work/cast.png" >/dev/null

# The window (the client area) of the editing window; waits until it is there (a first run on a
# loaded machine, with cold caches, can take many seconds).
editor_window() {
  find_window '^Tintara Kolmara Pro$' 600
}

# The start-up guide opens over the window the first time; its OK is the default button. The
# first run waits for it as long as a loaded machine may need (a click on the window while the
# guide is still to come would be lost); later runs only look briefly.
close_guide() {
  local guide tries=${1:-50}
  for _ in $(seq "$tries"); do
    guide=$(xdotool search --onlyvisible --name '^Tintara Kolmara Pro Help$' 2>/dev/null |
      head -1 || true)
    [ -n "$guide" ] && break
    sleep 0.1
  done
  if [ -n "$guide" ]; then
    give_keyboard "$guide"
    xdotool key Return
    sleep 0.5
  fi
}

shot() {
  window_shot "$1" "$shots/$2"
}

# Client coordinates of the template's buttons (9-point font: 7 x 15 pixels a base unit).
keenhue_x=731 keenhue_y=26 ok_x=861 ok_y=720 cancel_x=987 cancel_y=720
tab_x=731 tab_step=70 tab_y=90 grow_w=200 grow_h=220
undo_x=857 undo_y=673 global_x=880 global_y=156
method_x=772 method_y=129 temperature_x=864 temperature_y=189 cyan_red_x=833 cyan_red_y=165
sharpen_x=700 noise_x=795 boxes_y=620 setup_x=980 setup_y=618 skin_x=754 skin_y=432
sepia_x=812 sepia_y=500
# The sharpen/noise dialog (8-point font: 6 x 13 pixels a base unit).
zoom_in_x=342 zoom_y=278 setup_cancel_x=465 setup_cancel_y=362
# The colour dialog (8-point font).
define_ok_x=339 define_ok_y=179

click() {
  xdotool mousemove --window "$1" "$2" "$3" click 1
  sleep 0.5
}

# Chooses the colour-balance method: $2 entries down from the one shown.
choose_method() {
  click "$1" $method_x $method_y
  for _ in $(seq "$2"); do xdotool key Down; done
  xdotool key Return
  sleep 0.5
}

# 1. Keenhue, then Edit Image.
"$prefs" start reset >/dev/null
"$prefs" window-reset >/dev/null  # each run opens the window as new
"$filterhost" --dialog "$work/cast.png" "$work/window.png" >"$work/run1.log" 2>&1 &
run=$!
win=$(editor_window) || fail "the editing window did not open: $(cat "$work/run1.log")"
sleep 1
close_guide 300
shot "$win" "editor_opened.png"
# The colour-cast slider methods, a slider of each moved (master "Keenhue" below sets the colour
# balance again and goes back to the neutrals method).
choose_method "$win" 1
click "$win" $((temperature_x + 40)) $temperature_y
shot "$win" "editor_tab0_two_sliders.png"
choose_method "$win" 1
click "$win" $((cyan_red_x - 30)) $cyan_red_y
shot "$win" "editor_tab0_three_sliders.png"
click "$win" $keenhue_x $keenhue_y
sleep 1
shot "$win" "editor_keenhue.png"
# Every tab, for a person to look at.
for tab in 1 3 2; do
  click "$win" $((tab_x + tab * tab_step)) $tab_y
  shot "$win" "editor_tab$tab.png"
done
# Tab 2: the "Global" slider dragged to the right brightens the preview; "Undo" takes it back.
xdotool mousemove --window "$win" $global_x $global_y mousedown 1
for dx in 10 20 30 40; do
  xdotool mousemove --window "$win" $((global_x + dx)) $global_y
  sleep 0.2
done
xdotool mouseup 1
sleep 1
shot "$win" "editor_tab2_dragged.png"
cmp -s "$shots/editor_tab2.png" "$shots/editor_tab2_dragged.png" &&
  fail "dragging the Global slider changed nothing on the screen"
click "$win" $undo_x $undo_y
click "$win" $tab_x $tab_y
# The window grown: the preview takes the room, OK and Cancel keep to the corner.
xdotool windowsize --sync "$win" $((1050 + grow_w)) $((750 + grow_h)) 2>/dev/null || true
sleep 1
shot "$win" "editor_grown.png"
size=$(xwininfo -id "$win" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w, h}')
read -r width height <<<"$size"
click "$win" $((ok_x + width - 1050)) $((ok_y + height - 750))
status=0
wait "$run" || status=$?
[ "$status" -eq 0 ] || fail "Edit Image ended with $status: $(cat "$work/run1.log")"
[ -f "$work/window.png" ] || fail "no output after Edit Image"

"$prefs" start keenhue >/dev/null
"$filterhost" "$work/cast.png" "$work/plain.png" >"$work/run2.log" 2>&1 ||
  fail "the run without the window failed: $(cat "$work/run2.log")"
cmp -s "$work/window.png" "$work/plain.png" ||
  fail "Keenhue in the window and without it give different images"
cmp -s "$work/window.png" "$work/cast.png" && fail "the output is the input"

# 2. Cancel.
"$prefs" start reset >/dev/null
"$prefs" window-reset >/dev/null  # each run opens the window as new
"$filterhost" --dialog "$work/cast.png" "$work/cancelled.png" >"$work/run3.log" 2>&1 &
run=$!
win=$(editor_window) || fail "the editing window did not open again"
sleep 1
close_guide
# The sharpen/noise set-up over the photograph: both boxes on, "Setup...", the views at 100 %
# and zoomed in twice; its "Cancel" leaves the settings, the window's "Cancel" the image.
click "$win" $sharpen_x $boxes_y
click "$win" $noise_x $boxes_y
click "$win" $setup_x $setup_y
setup=
for _ in $(seq 100); do
  setup=$(xdotool search --onlyvisible --name '^Sharpen / Remove Noise$' 2>/dev/null | head -1 || true)
  [ -n "$setup" ] && break
  sleep 0.1
done
[ -n "$setup" ] || fail "Setup... did not open the sharpen/noise dialog"
sleep 1
shot "$setup" "sharpen_noise_photo.png"
click "$setup" $zoom_in_x $zoom_y
click "$setup" $zoom_in_x $zoom_y
sleep 1
shot "$setup" "sharpen_noise_photo_zoomed.png"
click "$setup" $setup_cancel_x $setup_cancel_y
# The hue tab: the information box names the memory colour under the pointer; "Sepia" tones the
# image and takes the colour out of the hue handles.
click "$win" $((tab_x + 3 * tab_step)) $tab_y
xdotool mousemove --window "$win" $skin_x $skin_y
sleep 0.5
shot "$win" "editor_memory_info.png"
click "$win" $sepia_x $sepia_y
sleep 1
shot "$win" "editor_sepia.png"
# The Sepia colour through its context menu's "Edit Color..." and "Color Picker...": filterhost's
# colour chooser opens (no --pick), the red typed as 40 and OK; the colour dialog's swatch then
# shows the chosen colour.
xdotool mousemove --window "$win" $sepia_x $sepia_y click 3
sleep 0.5
click "$win" $((sepia_x + 40)) $((sepia_y + 6))
define=$(find_window '^Sepia Tone$') || fail "Edit Color... did not open the colour dialog"
sleep 0.5
pick_in_chooser "$define" color_
click "$define" $define_ok_x $define_ok_y
click "$win" $cancel_x $cancel_y
status=0
wait "$run" || status=$?
[ "$status" -eq 3 ] || fail "Cancel ended with $status, not 3: $(cat "$work/run3.log")"
[ -e "$work/cancelled.png" ] && fail "Cancel left an output file"

# 3. Clicks in the preview. The photograph fits the preview at full size, centred in the preview
# item's inside (client 13,14 to 676,642): picture pixel (x, y) is at client (44 + x, 128 + y).
# A neutral click on the cup's white inside, then "Edit Image": that spot comes out grey.
spot_x=300 spot_y=52
"$prefs" start reset >/dev/null
"$prefs" window-reset >/dev/null  # each run opens the window as new
"$filterhost" --dialog "$work/cast.png" "$work/clicked.png" >"$work/run4.log" 2>&1 &
run=$!
win=$(editor_window) || fail "the editing window did not open for the clicks"
sleep 1
close_guide
# "Show Sampled Region" is off by default: switch it on in the preferences dialog.
click "$win" 752 673
prefs_win=
for _ in $(seq 100); do
  prefs_win=$(xdotool search --onlyvisible --name '^Preferences$' 2>/dev/null | head -1 || true)
  [ -n "$prefs_win" ] && break
  sleep 0.1
done
[ -n "$prefs_win" ] || fail "the preferences dialog did not open"
click "$prefs_win" 302 102
click "$prefs_win" 504 291
click "$win" $((44 + spot_x)) $((128 + spot_y))
# The sampled region stays blue until the pointer moves away.
shot "$win" "editor_sampled_region.png"
xdotool keydown shift
click "$win" $((44 + 420)) $((128 + 330))
click "$win" $((44 + 290)) $((128 + 150))
xdotool keyup shift
xdotool mousemove --window "$win" $((44 + 520)) $((128 + 120))
sleep 0.5
shot "$win" "editor_readouts.png"
# A click on the readouts shows them in CMYK.
click "$win" 318 690
shot "$win" "editor_readouts_cmyk.png"
click "$win" $ok_x $ok_y
status=0
wait "$run" || status=$?
[ "$status" -eq 0 ] || fail "Edit Image after the clicks ended with $status: $(cat "$work/run4.log")"
read -r r0 g0 b0 <<<"$(pixel "$work/cast.png" $spot_x $spot_y)"
read -r r g b <<<"$(pixel "$work/clicked.png" $spot_x $spot_y)"
echo "clicked spot: before $r0 $g0 $b0, after $r $g $b"
# The spread between the channels: the click makes the spot greyer (the balance curves are a
# smooth fit through the marked colours, and Keenhue Mode then sets the tools to the right, so
# the spot comes out near grey rather than exactly grey).
spread() { printf '%s\n' "$@" | sort -n | sed -n '1p;$p' | paste -sd' ' | awk '{print $2 - $1}'; }
before=$(spread "$r0" "$g0" "$b0") after=$(spread "$r" "$g" "$b")
[ "$before" -ge 10 ] || fail "the spot was not cast to begin with ($r0 $g0 $b0)"
[ $((2 * after)) -le "$before" ] && [ "$after" -le 6 ] ||
  fail "the clicked spot did not turn grey: $r0 $g0 $b0 -> $r $g $b"

# 4. The 1:1 zoom and panning, on the photograph at three times its size (reduced to fit).
ffmpeg -loglevel error -y -i "$work/cast.png" -vf scale=1800:1200 "$work/large.png"
"$prefs" window-reset >/dev/null  # each run opens the window as new
"$filterhost" --dialog "$work/large.png" "$work/large_out.png" >"$work/run5.log" 2>&1 &
run=$!
win=$(editor_window) || fail "the editing window did not open for the zoom"
sleep 1
close_guide
if [ -n "$wm_pid" ]; then
  # The preview's menu: its fourth entry, "Zoom to 100% (1:1)", one entry every 21 pixels.
  xdotool mousemove --window "$win" 300 260 click 3
  sleep 1
  click "$win" 380 $((260 + 11 + 21 * 3))
else
  xdotool keydown alt
  click "$win" 300 260
  xdotool keyup alt
fi
sleep 1
shot "$win" "editor_zoomed.png"
xdotool mousemove --window "$win" 300 300 keydown ctrl mousedown 1
xdotool mousemove --window "$win" 380 340
sleep 0.3
xdotool mousemove --window "$win" 460 380 mouseup 1 keyup ctrl
sleep 1
shot "$win" "editor_panned.png"
cmp -s "$shots/editor_zoomed.png" "$shots/editor_panned.png" && fail "Control-drag did not pan"
click "$win" $cancel_x $cancel_y
status=0
wait "$run" || status=$?
[ "$status" -eq 3 ] || fail "Cancel after the zoom ended with $status: $(cat "$work/run5.log")"
echo "window display test passed; screenshots in $shots"
