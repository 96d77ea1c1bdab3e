#!/usr/bin/env bash
# Takes the pictures of the GIMP plug-in in docs/gimp.md under a virtual display (Xvfb), with a
# private GIMP profile: GIMP's "Filters > Colors" menu with the filter in it, and GIMP's window
# after the filter corrected examples/chelsea.png with examples/demo-settings.txt. Writes
# docs/images/gimp-menu.png and docs/images/gimp-result.png. Needs a build (scripts/test.sh or
# scripts/install-gimp-plugin.sh makes one); BUILD_DIR names it (default: build).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=${BUILD_DIR:-$root/build}
work=$(mktemp -d "${TMPDIR:-/tmp}/kolmara-shots.XXXXXX")
xvfb=""
gimp=""
cleanup() {
  if [ -n "$gimp" ]; then kill "$gimp" 2>/dev/null || true; fi
  if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_CACHE_HOME="$work/home/.cache"
unset GIMP2_DIRECTORY KOLMARA_GIMP_MODULE
# A fresh profile in one window that keeps an image's own colour profile without asking.
profile="$XDG_CONFIG_HOME/GIMP/2.10"
for sub in brushes dynamics fonts gradients palettes patterns tool-presets mypaint-brushes; do
  mkdir -p "$profile/$sub"
done
printf '(color-profile-policy keep)\n(single-window-mode yes)\n' >"$profile/gimprc"
BUILD_DIR="$build" bash scripts/install-gimp-plugin.sh --no-build >/dev/null
"$build/tools/prefstool/kolmara-prefs" load-custom "$root/examples/demo-settings.txt" >/dev/null
"$build/tools/prefstool/kolmara-prefs" start custom >/dev/null

Xvfb :97 -screen 0 1280x860x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb=$!
export DISPLAY=:97
sleep 2
gimp -n -s "$root/examples/chelsea.png" >"$work/gimp.log" 2>&1 &
gimp=$!
window=$(timeout 120 xdotool search --sync --onlyvisible --name "chelsea" | head -1)
sleep 3
xdotool windowsize "$window" 1280 860 windowmove "$window" 0 0
sleep 2

shot() {  # name [x y w h]: the screen, cropped, as a PNG through GIMP itself
  xwd -root -silent -out "$work/$1.xwd"
  local crop=""
  if [ $# -eq 5 ]; then crop="(gimp-image-crop img $2 $3 $4 $5)"; fi
  gimp-console-2.10 -i -d -f -b "(let* ((img (car (gimp-file-load RUN-NONINTERACTIVE \"$work/$1.xwd\" \"s\")))) $crop (gimp-image-flatten img) (file-png-save-defaults RUN-NONINTERACTIVE img (car (gimp-image-get-active-drawable img)) \"$root/docs/images/$1.png\" \"s\"))" \
    -b '(gimp-quit 0)' >>"$work/convert.log" 2>&1
}

# The menu: Filters (Alt+R), then Colors (the plug-in's submenu, below Animation), by pointing at
# where GIMP 2.10 lays them out in this window.
xdotool windowfocus --sync "$window" key alt+r
sleep 1
xdotool mousemove 440 498 click 1
sleep 2
shot gimp-menu 1000 560 180 0

# The result: choose the filter (it runs with the start modes: the custom settings).
xdotool mousemove "${ITEM_X:-800}" "${ITEM_Y:-498}" click 1
sleep 10
shot gimp-result
echo "wrote docs/images/gimp-menu.png and docs/images/gimp-result.png"
