#!/usr/bin/env bash
# Takes the pictures of the GIMP plug-in in docs/gimp.md under a virtual display (Xvfb), with a
# private GIMP profile: GIMP's window after the filter corrected examples/chelsea.png, and GIMP's
# "Filters > Colors" menu with the filter in it. Writes docs/images/gimp-result.png and
# docs/images/gimp-menu.png. Needs a build (scripts/test.sh or scripts/install-gimp-plugin.sh
# makes one); BUILD_DIR names it (default: build).
#
# The filter is run as a person runs it: chosen for the image GIMP shows, its window opens with
# the start modes of the preferences (here every tool starts from the custom settings of
# examples/demo-settings.txt), and "Edit Image" applies them. The picture is checked before it is
# kept: the filter's window must be gone, and the layer GIMP then holds must be exactly what
# filterhost makes of the photograph with the same preferences, and not the photograph itself;
# otherwise the script fails and leaves the pictures as they were.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=${BUILD_DIR:-$root/build}
work=$(mktemp -d "${TMPDIR:-/tmp}/kolmara-shots.XXXXXX")
xvfb_pid=""
gimp=""
cleanup() {
  if [ -n "$gimp" ]; then kill "$gimp" 2>/dev/null || true; fi
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "gimp-screenshots: $*" >&2
  exit 1
}

export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_CACHE_HOME="$work/home/.cache"
unset GIMP2_DIRECTORY KOLMARA_GIMP_MODULE
# A fresh profile in one window that keeps an image's own colour profile without asking.
profile="$XDG_CONFIG_HOME/GIMP/2.10"
for sub in brushes dynamics fonts gradients palettes patterns tool-presets mypaint-brushes; do
  mkdir -p "$profile/$sub"
done
printf '(color-profile-policy keep)\n(single-window-mode yes)\n' >"$profile/gimprc"
BUILD_DIR="$build" bash scripts/install-gimp-plugin.sh --no-build >/dev/null
prefs="$build/tools/prefstool/kolmara-prefs"
"$prefs" load-custom "$root/examples/demo-settings.txt" >/dev/null
"$prefs" start custom >/dev/null
# What the layer must hold afterwards: the photograph through the same start modes.
"$build/tools/filterhost/filterhost" --no-progress "$root/examples/chelsea.png" "$work/want.png" \
  >"$work/filterhost.log" 2>&1 || fail "filterhost: $(cat "$work/filterhost.log")"

source "$root/tests/tools/private_xvfb.sh"
start_private_xvfb "$work" 1280x860x24 || fail "Xvfb did not start"

# GIMP shows the photograph, runs the filter on it as the menu would, then saves the layer for
# the check; it stays open for the pictures.
batch="(let* ((img (car (gimp-file-load RUN-NONINTERACTIVE \"$root/examples/chelsea.png\" \"chelsea.png\")))
              (d (car (gimp-image-get-active-drawable img))))
         (gimp-display-new img)
         (plug-in-tintara-kolmara-pro RUN-INTERACTIVE img d \"\")
         (gimp-displays-flush)
         (file-png-save2 RUN-NONINTERACTIVE img d \"$work/got.png\" \"got.png\" 0 9 0 0 0 0 0 0 0))"
gimp -n -s -b "$batch" >"$work/gimp.log" 2>&1 &
gimp=$!

wait_for() {  # title pattern, tries of 0.1 s
  local id=""
  for _ in $(seq "$2"); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1 || true)
    [ -n "$id" ] && break
    kill -0 "$gimp" 2>/dev/null || fail "GIMP ended: $(tail -5 "$work/gimp.log")"
    sleep 0.1
  done
  [ -n "$id" ] || return 1
  echo "$id"
}
editor=$(wait_for '^Tintara Kolmara Pro$' 1800) || fail "the filter's window did not open"
sleep 1
# The start-up guide comes up over the window the first time: "Don't Show Again", then OK (left
# of OK; both keep to the guide's bottom right corner as the guide grows to its text).
if guide=$(wait_for '^Tintara Kolmara Pro Help$' 100); then
  read -r gw gh < <(xwininfo -id "$guide" | awk '/Width:/ {w=$2} /Height:/ {h=$2} END {print w, h}')
  xdotool mousemove --window "$guide" $((gw - 200)) $((gh - 20)) click 1
  sleep 0.5
  xdotool windowfocus --sync "$guide" 2>/dev/null || true
  xdotool key Return
  sleep 1
fi
# "Edit Image" (client coordinates of the template's OK button).
xdotool mousemove --window "$editor" 861 720 click 1
for _ in $(seq 600); do
  [ -f "$work/got.png" ] && break
  kill -0 "$gimp" 2>/dev/null || fail "GIMP ended: $(tail -5 "$work/gimp.log")"
  sleep 0.1
done
[ -f "$work/got.png" ] || fail "GIMP saved no layer after Edit Image"
sleep 2

# The check: the window has gone and the layer is the corrected photograph.
xdotool search --onlyvisible --name '^Tintara Kolmara Pro' >/dev/null 2>&1 &&
  fail "the filter's window is still open"
pixels() { ffmpeg -loglevel error -i "$1" -f rawvideo -pix_fmt rgb24 - 2>/dev/null; }
cmp -s <(pixels "$work/got.png") <(pixels "$root/examples/chelsea.png") &&
  fail "the layer is the photograph as it was: the filter changed nothing"
cmp -s <(pixels "$work/got.png") <(pixels "$work/want.png") ||
  fail "the layer is not filterhost's correction of the photograph"

window=$(wait_for "chelsea" 600) || fail "GIMP's image window is not there"
xdotool windowsize "$window" 1280 860 windowmove "$window" 0 0
sleep 3

shot() {  # name [x y w h]: the screen, cropped, as a PNG through GIMP itself
  xwd -root -silent -out "$work/$1.xwd"
  local crop=""
  if [ $# -eq 5 ]; then crop="(gimp-image-crop img $2 $3 $4 $5)"; fi
  gimp-console-2.10 -i -d -f -b "(let* ((img (car (gimp-file-load RUN-NONINTERACTIVE \"$work/$1.xwd\" \"s\")))) $crop (gimp-image-flatten img) (file-png-save-defaults RUN-NONINTERACTIVE img (car (gimp-image-get-active-drawable img)) \"$work/$1.png\" \"s\"))" \
    -b '(gimp-quit 0)' >>"$work/convert.log" 2>&1
  [ -f "$work/$1.png" ] || fail "the picture $1 was not made: $(tail -5 "$work/convert.log")"
}
shot gimp-result

# The menu: Filters (Alt+R), then Colors (the plug-in's submenu, below Animation), by pointing at
# where GIMP 2.10 lays them out in this window.
xdotool windowfocus --sync "$window" key alt+r
sleep 1
xdotool mousemove 440 498 click 1
sleep 2
shot gimp-menu 1000 560 180 0

cp "$work/gimp-result.png" "$work/gimp-menu.png" "$root/docs/images/"
echo "wrote docs/images/gimp-result.png and docs/images/gimp-menu.png"
