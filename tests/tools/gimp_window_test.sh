#!/usr/bin/env bash
# The filter's editing window inside GIMP: GIMP with its interface on a private Xvfb under a
# window manager (openbox), the plug-in installed into a private profile, interactive runs from a
# batch script, and xdotool clicking as a person would.
#   1. 8 bits: the window's class is its own ("kolmara-gimp", "Tintara Kolmara Pro"), it is
#      transient for GIMP's image window and modal (xprop); a click into GIMP's image while it is
#      open brings it to the front and paints nothing. The Sepia colour's "Color Picker..." opens
#      GIMP's own colour selection, whose colour reaches the filter's colour dialog (cancelled
#      then). Then master "Keenhue" and "Edit Image":
#      the layer GIMP exports must hold the same pixels as filterhost's run without the window
#      that starts every tool with Keenhue.
#   2. 16 bits: "Keenhue", a neutral clicked in the preview and the third tab's "Global" slider
#      dragged; a wheel notch over the preview zooms it (and Ctrl+0 goes back).
#   After each, Filters > Repeat (the procedure run with last values) on a fresh copy of the image
#   must give the window's pixels, and leave the filter's start modes as they were.
# Screenshots of the window over GIMP go to SHOTS_DIR.
# usage: gimp_window_test.sh SOURCE_ROOT BUILD_DIR FILTERHOST KOLMARA_PREFS APPLY_CAST PHOTO SHOTS_DIR
set -euo pipefail

root=$1 build=$2 filterhost=$3 prefs=$4 apply_cast=$5 photo=$6 shots=$7
work=$(mktemp -d)
mkdir -p "$shots"
xvfb_pid= gimp_pid= wm_pid=
cleanup() {
  [ -n "$gimp_pid" ] && kill "$gimp_pid" 2>/dev/null || true
  [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  [ -f "$work/gimp.log" ] && tail -20 "$work/gimp.log" >&2
  exit 1
}

source "$(dirname "$0")/private_xvfb.sh"
source "$(dirname "$0")/display_steps.sh"
start_private_xvfb "$work" 1600x1200x24 --framebuffer || fail "Xvfb did not start"
# A window manager, as on a desktop: it decides what stays above what and who gets the keyboard.
openbox --sm-disable >"$work/openbox.log" 2>&1 &
wm_pid=$!

# A private GIMP profile with the plug-in, and private preferences for the module.
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_CACHE_HOME="$work/home/.cache"
export XDG_DATA_HOME="$work/home/.local/share" TMPDIR="$work"
unset GIMP2_DIRECTORY KOLMARA_GIMP_MODULE
for sub in brushes dynamics fonts gradients palettes patterns tool-presets mypaint-brushes \
           plug-ins scripts; do
  mkdir -p "$XDG_CONFIG_HOME/GIMP/2.10/$sub"
done
BUILD_DIR="$build" bash "$root/scripts/install-gimp-plugin.sh" --no-build >"$work/install.log" 2>&1 ||
  fail "install: $(cat "$work/install.log")"

"$apply_cast" --gains 0.7,0.9,1.5 "$photo" "$work/cast.png" >/dev/null
"$prefs" start keenhue >/dev/null
"$filterhost" "$work/cast.png" "$work/plain.png" >"$work/plain.log" 2>&1 ||
  fail "the run without the window failed: $(cat "$work/plain.log")"
"$prefs" start reset >/dev/null

ffmpeg -loglevel error -y -i "$work/cast.png" -pix_fmt rgb48be "$work/cast16.png"

# Each case: the image loaded and shown, the filter run interactively, the layer exported; then
# the same image loaded afresh and the filter repeated with last values (what Filters > Repeat
# does), exported too.
gimp_case() {
  local in=$1 out=$2
  cat <<SCM
(let* ((img (car (gimp-file-load RUN-NONINTERACTIVE "$in" "cast")))
       (d (car (gimp-image-get-active-drawable img))))
  (gimp-display-new img)
  (plug-in-tintara-kolmara-pro RUN-INTERACTIVE img d "")
  (file-png-save2 RUN-NONINTERACTIVE img d "$out.png" "out.png" 0 9 0 0 0 0 0 0 0))
(let* ((img (car (gimp-file-load RUN-NONINTERACTIVE "$in" "cast")))
       (d (car (gimp-image-get-active-drawable img))))
  (plug-in-tintara-kolmara-pro RUN-WITH-LAST-VALS img d "")
  (file-png-save2 RUN-NONINTERACTIVE img d "$out-repeat.png" "out.png" 0 9 0 0 0 0 0 0 0))
SCM
}
batch="(begin $(gimp_case "$work/cast.png" "$work/window") $(gimp_case "$work/cast16.png" "$work/window16"))"
gimp-2.10 -d -f -s -b "$batch" -b '(gimp-quit 1)' >"$work/gimp.log" 2>&1 &
gimp_pid=$!

# The editing window, once GIMP has started and run the plug-in (minutes on a loaded machine).
editor_window() {
  local win=
  for _ in $(seq 1800); do
    win=$(xdotool search --onlyvisible --name '^Tintara Kolmara Pro$' 2>/dev/null | head -1 || true)
    [ -n "$win" ] && break
    kill -0 "$gimp_pid" 2>/dev/null || fail "GIMP ended before the window opened"
    sleep 0.1
  done
  [ -n "$win" ] || fail "the editing window did not open"
  echo "$win"
}
# The screen as the X server holds it (xwd of the root shows windows a window manager framed as
# empty).
shot() {
  ffmpeg -loglevel error -y -i "$xvfb_framebuffer" -pix_fmt rgb24 "$shots/$1"
}
click() {
  xdotool mousemove --window "$1" "$2" "$3" click 1
  sleep 0.7
}
# Client coordinates of the template's items (9-point font: 7 x 15 pixels a base unit).
keenhue_x=731 keenhue_y=26 ok_x=861 ok_y=720 tab_x=731 tab_step=70 tab_y=90
global_x=880 global_y=156 global_value_x=1001 sepia_x=812 sepia_y=500
# The colour dialog (8-point font), and GIMP's colour selection as GIMP 2.10 lays it out.
picker_x=165 picker_y=137 define_cancel_x=255 define_cancel_y=179 swatch_x=55 swatch_y=60
html_x=349 html_y=225 selection_ok_x=382 selection_ok_y=279

win=$(editor_window)
sleep 1
# The start-up guide opens over the window the first time: "Don't Show Again" (left of OK, which
# keeps to the guide's bottom right corner as the guide grows to its text), then OK.
for _ in $(seq 300); do
  guide=$(xdotool search --onlyvisible --name '^Tintara Kolmara Pro Help$' 2>/dev/null |
    head -1 || true)
  if [ -n "$guide" ]; then
    read -r guide_w guide_h < <(xwininfo -id "$guide" |
      awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w, h}')
    click "$guide" $((guide_w - 200)) $((guide_h - 20))
    xdotool windowfocus --sync "$guide" 2>/dev/null || true
    xdotool key Return
    sleep 0.5
    break
  fi
  sleep 0.1
done
shot "gimp_editor_opened.png"

# The window belongs to the image's window (transient for it, so the window manager keeps it
# above) and has a class of its own.
props=$(xprop -id "$win" WM_CLASS WM_TRANSIENT_FOR _NET_WM_STATE)
grep -q 'WM_CLASS(STRING) = "kolmara-gimp", "Tintara Kolmara Pro"' <<<"$props" ||
  fail "the window's class: $props"
owner=$(sed -n 's/^WM_TRANSIENT_FOR(WINDOW): window id # //p' <<<"$props")
[ -n "$owner" ] || fail "the window is transient for nothing: $props"
owner_props=$(xprop -id "$owner" WM_NAME WM_CLASS)
grep -q 'WM_NAME.*cast.*GIMP' <<<"$owner_props" && grep -q 'gimp' <<<"$owner_props" ||
  fail "the window is transient for $owner, not GIMP's image window: $owner_props"
grep -q '_NET_WM_STATE_MODAL' <<<"$props" || fail "the window is not modal: $props"
# A click into GIMP's image while the window is open (the window moved aside, the paintbrush
# GIMP starts with under the pointer) reaches neither the image nor GIMP: the filter's window
# comes to the front with the keyboard, and the layer checked below holds no brush stroke.
xdotool windowmove "$win" 700 500
sleep 1
read -r gimp_x gimp_y gimp_w gimp_h < <(xwininfo -id "$owner" |
  awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4} /Width:/ {w=$2} /Height:/ {h=$2} END {print x, y, w, h}')
xdotool mousemove $((gimp_x + gimp_w / 2)) $((gimp_y + gimp_h / 3)) click 1
sleep 1
shot "gimp_click_into_image.png"
[ "$(xdotool getactivewindow)" = "$win" ] ||
  fail "after a click into GIMP's image the active window is $(xdotool getactivewindow), not the filter's"
# Above the image's window in the window manager's stacking (bottom first). Not necessarily on
# top of everything: a script's interactive run has GIMP show its own progress window, which
# may stay above both.
wi=0 oi=0 n=0
for id in $(xprop -root _NET_CLIENT_LIST_STACKING | sed 's/.*# //' | tr -d ','); do
  n=$((n + 1))
  [ "$((id))" = "$((win))" ] && wi=$n
  [ "$((id))" = "$((owner))" ] && oi=$n
done
order=below
[ "$oi" -gt 0 ] && [ "$wi" -gt "$oi" ] && order=above
[ "$order" = above ] ||
  fail "the filter's window is not above GIMP's image window: $(xprop -root _NET_CLIENT_LIST_STACKING)"
xdotool windowmove "$win" 0 0
sleep 1
# The Sepia colour through "Edit Color..." and "Color Picker...": GIMP's own colour selection
# opens, kept above the filter's colour dialog; a colour typed into its HTML notation and its OK
# reach that dialog, whose Cancel then puts everything back.
click "$win" $((tab_x + 3 * tab_step)) $tab_y
xdotool mousemove --window "$win" $sepia_x $sepia_y click 3
sleep 0.7
click "$win" $((sepia_x + 40)) $((sepia_y + 6))
define=$(find_window '^Sepia Tone$') || fail "Edit Color... did not open the colour dialog"
sleep 0.5
click "$define" $picker_x $picker_y
selection=$(find_window '^Pick a color\.$' 600) || fail "Color Picker... opened no colour selection"
sleep 1
shot "gimp_color_selection.png"
props=$(xprop -id "$selection" WM_CLASS WM_TRANSIENT_FOR)
grep -q '"kolmara-gimp", "Gimp-2.10"' <<<"$props" || fail "the colour selection is not GIMP's: $props"
grep -q "# $(printf '0x%x' "$define")\$" <<<"$props" ||
  fail "the colour selection is not kept above the colour dialog ($define): $props"
xdotool mousemove --window "$selection" $html_x $html_y click --repeat 3 1
xdotool key ctrl+a
xdotool type 288066
xdotool key Tab
click "$selection" $selection_ok_x $selection_ok_y
find_window '^Pick a color\.$' 5 >/dev/null && fail "GIMP's colour selection stayed open after OK"
shot "gimp_color_chosen.png"
read -r define_x define_y < <(xwininfo -id "$define" |
  awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4} END {print x, y}')
swatch=$(pixel "$shots/gimp_color_chosen.png" $((define_x + swatch_x)) $((define_y + swatch_y)))
near_colour "$swatch" "40 128 102" 8 ||
  fail "the colour dialog shows $swatch, not the 40 128 102 chosen in GIMP's selection"
click "$define" $define_cancel_x $define_cancel_y
click "$win" $tab_x $tab_y
click "$win" $keenhue_x $keenhue_y
shot "gimp_editor_keenhue.png"
click "$win" $ok_x $ok_y

# The 16-bit case: the window opens again when GIMP has repeated the first run.
for _ in $(seq 600); do
  xdotool search --onlyvisible --name '^Tintara Kolmara Pro$' >/dev/null 2>&1 || break
  sleep 0.1
done
win=$(editor_window)
sleep 1
for _ in $(seq 20); do
  guide=$(xdotool search --onlyvisible --name '^Tintara Kolmara Pro Help$' 2>/dev/null |
    head -1 || true)
  if [ -n "$guide" ]; then
    xdotool windowfocus --sync "$guide" 2>/dev/null || true
    xdotool key Return
    sleep 0.5
    break
  fi
  sleep 0.1
done
click "$win" $keenhue_x $keenhue_y
click "$win" 344 188  # a neutral on the saucer of the unreduced coffee photograph
click "$win" $((tab_x + 2 * tab_step)) $tab_y
xdotool mousemove --window "$win" $global_x $global_y mousedown 1
for dx in 10 20 30; do
  xdotool mousemove --window "$win" $((global_x + dx)) $global_y
  sleep 0.2
done
xdotool mouseup 1
sleep 1
# A number typed into the Global value box, over GIMP's own windows: Return applies it and
# keeps the window open.
click "$win" $global_value_x $global_y
xdotool type --delay 60 "40"
shot "gimp_editor_typing.png"
xdotool key Return
sleep 1
xdotool search --onlyvisible --name '^Tintara Kolmara Pro$' >/dev/null 2>&1 ||
  fail "Return in the value box closed the window"
shot "gimp_editor_16bit.png"
# The wheel zooms the preview inside GIMP as well: the photograph fits the preview, so a notch
# up shows it at 200 %; Ctrl+0 goes back to fit before OK.
xdotool mousemove --window "$win" 300 260 click 4
sleep 1
xdotool mousemove --window "$win" $global_value_x $global_y
sleep 0.5
shot "gimp_editor_zoomed.png"
read -r win_x win_y < <(xwininfo -id "$win" |
  awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4} END {print x, y}')
preview_of() {
  ffmpeg -loglevel error -i "$1" -vf "crop=663:628:$((win_x + 13)):$((win_y + 14))" \
    -f rawvideo -pix_fmt rgb24 - 2>/dev/null
}
cmp -s <(preview_of "$shots/gimp_editor_16bit.png") <(preview_of "$shots/gimp_editor_zoomed.png") &&
  fail "a wheel notch over the preview did not zoom inside GIMP"
xdotool key ctrl+0
sleep 1
click "$win" $ok_x $ok_y

status=0
wait "$gimp_pid" || status=$?
gimp_pid=
[ "$status" -eq 0 ] || fail "GIMP ended with $status"
for f in window window-repeat window16 window16-repeat; do
  [ -f "$work/$f.png" ] || fail "GIMP exported no $f.png"
done

# The pixels, whatever the two PNG writers made of them.
raw() { ffmpeg -loglevel error -i "$1" -f rawvideo -pix_fmt "${2:-rgb24}" - 2>/dev/null; }
cmp -s <(raw "$work/window.png") <(raw "$work/plain.png") ||
  fail "Keenhue in the window inside GIMP and filterhost without it give different pixels"
cmp -s <(raw "$work/window.png") <(raw "$work/cast.png") && fail "the layer was not changed"
cmp -s <(raw "$work/window.png") <(raw "$work/window-repeat.png") ||
  fail "Filters > Repeat after the 8-bit window run gives other pixels than the window did"
cmp -s <(raw "$work/window16.png" rgb48be) <(raw "$work/cast16.png" rgb48be) &&
  fail "the 16-bit layer was not changed"
cmp -s <(raw "$work/window16.png" rgb48be) <(raw "$work/window16-repeat.png" rgb48be) ||
  fail "Filters > Repeat after the 16-bit window run gives other pixels than the window did"
# Repeating left the start modes as the person set them, so Re-Show opens the window with them.
"$prefs" show >"$work/prefs.txt"
grep -q "^64 Start With: 2 (reset)" "$work/prefs.txt" ||
  fail "Filters > Repeat changed the start modes: $(grep Start "$work/prefs.txt")"
echo "GIMP window test passed; screenshots in $shots"
