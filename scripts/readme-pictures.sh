#!/usr/bin/env bash
# Takes the README's two pictures with the programs of a build (BUILD_DIR, default build/):
#   docs/images/keenhue-before-after.png  examples/coffee.png given a cast by the demo's
#                                         apply_cast (--cast green, a fluorescent tube) and
#                                         filterhost's automatic correction (Keenhue) of it, side
#                                         by side
#   docs/images/editing-window.png        the editing window (filterhost --dialog) opened on the
#                                         cast photograph, starting with Keenhue, on a private Xvfb
#                                         (its screen file: what the screen shows)
# with the demo's preferences (every tool starts with Keenhue, which sets every group) in a
# private folder. Both pictures are reduced with ffmpeg to 256 colours (dithered) to stay small,
# the before/after also to 900 pixels across. Needs the targets KolmaraPro, filterhost,
# kolmara-prefs, apply_cast and side_by_side.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${BUILD_DIR:-$root/build}
work=$(mktemp -d "${TMPDIR:-/tmp}/kolmara-pictures.XXXXXX")
xvfb_pid=
run=
cleanup() {
  [ -n "$run" ] && kill "$run" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  [ -n "${KEEP_WORK:-}" ] || rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "readme-pictures: $*" >&2
  exit 1
}

host=$build/tools/filterhost/filterhost
prefs=$build/tools/prefstool/kolmara-prefs
for f in "$host" "$prefs" "$build/tools/demo/apply_cast" "$build/tools/demo/side_by_side"; do
  [ -x "$f" ] || fail "$f is missing (cmake --build $build --target KolmaraPro filterhost kolmara-prefs apply_cast side_by_side)"
done
export XDG_CONFIG_HOME=$work/config TMPDIR=$work
mkdir -p "$XDG_CONFIG_HOME"
"$prefs" start keenhue >/dev/null
"$prefs" keenhue-sets all >/dev/null
cp "$XDG_CONFIG_HOME/Lumetra/KolmaraPro Plugin Prefs" "$work/prefs"

# Before and after, as the demo makes them.
"$build/tools/demo/apply_cast" --cast green "$root/examples/coffee.png" "$work/cast.png" >/dev/null
"$host" --no-progress "$work/cast.png" "$work/corrected.png"
"$build/tools/demo/side_by_side" "$work/cast.png" "$work/corrected.png" "$work/before-after.png" >/dev/null
# 256 colours, the palette made for the picture.
palette="format=rgb24,split[a][b];[a]palettegen=max_colors=256:reserve_transparent=0[p];[b][p]paletteuse=dither=sierra2_4a"
ffmpeg -loglevel error -y -i "$work/before-after.png" -vf "scale=900:-1:flags=lanczos,$palette" \
  "$root/docs/images/keenhue-before-after.png"

# The editing window, alone on a screen of its size (without a window manager it opens in the
# middle of the screen, so here at the top left).
cp "$work/prefs" "$XDG_CONFIG_HOME/Lumetra/KolmaraPro Plugin Prefs"
source "$root/tests/tools/private_xvfb.sh"
start_private_xvfb "$work" 1050x750x24 --framebuffer || fail "Xvfb did not start"
"$host" --dialog --no-progress "$work/cast.png" "$work/window.png" >"$work/window.log" 2>&1 &
run=$!
window=
for _ in $(seq 600); do
  window=$(xdotool search --onlyvisible --name '^Tintara Kolmara Pro$' 2>/dev/null | head -1 || true)
  [ -n "$window" ] && break
  sleep 0.1
done
[ -n "$window" ] || fail "the editing window did not open: $(cat "$work/window.log")"
# The start-up guide comes over the window the first time; Return is its OK.
for _ in $(seq 300); do
  guide=$(xdotool search --onlyvisible --name '^Tintara Kolmara Pro Help$' 2>/dev/null | head -1 || true)
  if [ -n "$guide" ]; then
    xdotool windowfocus --sync "$guide" 2>/dev/null || true
    xdotool key Return
    break
  fi
  sleep 0.1
done
# The screen as the server holds it, once the window has painted (two copies a second apart
# are the same).
cp "$xvfb_framebuffer" "$work/window.xwd"
for _ in $(seq 60); do
  sleep 1
  cp "$xvfb_framebuffer" "$work/next.xwd"
  cmp -s "$work/window.xwd" "$work/next.xwd" && break
  mv "$work/next.xwd" "$work/window.xwd"
done
ffmpeg -loglevel error -y -i "$work/window.xwd" -vf "$palette" "$root/docs/images/editing-window.png"
# Cancel (the window's bottom right button) ends filterhost without writing.
xdotool mousemove --window "$window" 987 720 click 1
wait "$run" || true
run=
ls -l "$root/docs/images/keenhue-before-after.png" "$root/docs/images/editing-window.png"
