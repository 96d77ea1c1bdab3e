#!/usr/bin/env bash
# Records data/window-action.kact and data/window8.pam: a correction made in the editing window
# on data/photo8.pam (master "Keenhue", the third tab's "Global" slider dragged, a neutral
# clicked in the preview, "Sharpen" ticked, "Edit Image"), on a private Xvfb with xdotool, and
# the window's output. Run once from a Linux build; the files are kept, so that the Windows host
# and the GIMP plug-in can be checked against a window run without a display of their own.
# usage: record_window_action.sh LINUX_BUILD
set -euo pipefail

build=$1
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
xvfb_pid=
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

source "$here/../tools/private_xvfb.sh"
start_private_xvfb "$work" 1280x1024x24 || { echo "Xvfb did not start" >&2; exit 1; }
export XDG_CONFIG_HOME="$work/config" TMPDIR="$work"
"$build/tools/prefstool/kolmara-prefs" start reset >/dev/null

"$build/tools/filterhost/filterhost" --dialog --record "$work/window-action.kact" \
  "$here/data/photo8.pam" "$work/window8.pam" &
run=$!
find_window() {
  for _ in $(seq 600); do
    id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | tail -1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}
guide=$(find_window "Tintara Kolmara Pro Help")
xdotool windowfocus --sync "$guide" 2>/dev/null || true
xdotool key Return
sleep 0.5
win=$(find_window "Tintara Kolmara Pro")
click() {
  xdotool mousemove --window "$win" "$1" "$2" click 1
  sleep 0.7
}
# Client coordinates at the template size; the 160 x 120 picture is centred in the preview from
# (264, 268).
click 731 26                                 # Keenhue
click 871 90                                 # the third tab
xdotool mousemove --window "$win" 880 156 mousedown 1
for x in 890 900 910; do
  xdotool mousemove --window "$win" $x 156
  sleep 0.2
done
xdotool mouseup 1
sleep 0.7
click 731 90                                 # the first tab
click $((264 + 40)) $((268 + 100))           # a neutral
click 700 620                                # Sharpen
click 861 720                                # Edit Image
wait "$run"
cp "$work/window-action.kact" "$work/window8.pam" "$here/data/"
echo "recorded $here/data/window-action.kact and window8.pam"
