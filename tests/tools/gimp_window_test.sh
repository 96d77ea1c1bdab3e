#!/usr/bin/env bash
# The filter's editing window inside GIMP: GIMP with its interface on a private Xvfb, the
# plug-in installed into a private profile, an interactive run from a batch script, and xdotool
# clicking as a person would: master "Keenhue", then "Edit Image". The layer GIMP exports must
# hold the same pixels as filterhost's run without the window that starts every tool with
# Keenhue. Screenshots of the window over GIMP go to SHOTS_DIR.
# usage: gimp_window_test.sh SOURCE_ROOT BUILD_DIR FILTERHOST KOLMARA_PREFS APPLY_CAST PHOTO SHOTS_DIR
set -euo pipefail

root=$1 build=$2 filterhost=$3 prefs=$4 apply_cast=$5 photo=$6 shots=$7
work=$(mktemp -d)
mkdir -p "$shots"
xvfb_pid= gimp_pid=
cleanup() {
  [ -n "$gimp_pid" ] && kill "$gimp_pid" 2>/dev/null || true
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
start_private_xvfb "$work" 1600x1200x24 || fail "Xvfb did not start"

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

gimp-2.10 -d -f -s -b "(let* ((img (car (gimp-file-load RUN-NONINTERACTIVE \"$work/cast.png\" \"cast\"))) (d (car (gimp-image-get-active-drawable img)))) (gimp-display-new img) (plug-in-tintara-kolmara-pro RUN-INTERACTIVE img d \"\") (file-png-save2 RUN-NONINTERACTIVE img d \"$work/window.png\" \"window.png\" 0 9 0 0 0 0 0 0 0))" \
  -b '(gimp-quit 1)' >"$work/gimp.log" 2>&1 &
gimp_pid=$!

# The editing window, once GIMP has started and run the plug-in (minutes on a loaded machine).
win=
for _ in $(seq 1800); do
  win=$(xdotool search --onlyvisible --name '^Tintara Kolmara Pro$' 2>/dev/null | head -1 || true)
  [ -n "$win" ] && break
  kill -0 "$gimp_pid" 2>/dev/null || fail "GIMP ended before the window opened"
  sleep 0.1
done
[ -n "$win" ] || fail "the editing window did not open"
sleep 1
# The start-up guide opens over the window the first time; its OK is the default button.
for _ in $(seq 300); do
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
shot() {
  xwd -silent -root -out "$work/shot.xwd"
  ffmpeg -loglevel error -y -i "$work/shot.xwd" -pix_fmt rgb24 "$shots/$1"
}
shot "gimp_editor_opened.png"
# Client coordinates of the template's Keenhue and OK buttons.
xdotool mousemove --window "$win" 731 26 click 1
sleep 1
shot "gimp_editor_keenhue.png"
xdotool mousemove --window "$win" 861 720 click 1
status=0
wait "$gimp_pid" || status=$?
gimp_pid=
[ "$status" -eq 0 ] || fail "GIMP ended with $status"
[ -f "$work/window.png" ] || fail "GIMP exported nothing"

# The pixels, whatever the two PNG writers made of them.
raw() { ffmpeg -loglevel error -i "$1" -f rawvideo -pix_fmt rgb24 - 2>/dev/null; }
cmp -s <(raw "$work/window.png") <(raw "$work/plain.png") ||
  fail "Keenhue in the window inside GIMP and filterhost without it give different pixels"
cmp -s <(raw "$work/window.png") <(raw "$work/cast.png") && fail "the layer was not changed"
echo "GIMP window test passed; screenshots in $shots"
