#!/usr/bin/env bash
# The demo: the real filter module, driven by the stand-in host, corrects a photograph with a
# visible colour cast automatically (Keenhue), as a batch run would; then, second, it
# applies custom settings loaded from a settings text file.
#
# Installs what is missing, builds what the demo needs in build/, and writes to demo-out/:
#   coffee-cast.png                  a sample photograph given a known cast (apply_cast)
#   coffee-corrected.png             the cast photograph after the filter's automatic correction
#   coffee-before-after.png          cast (left) and corrected (right)
#   chelsea-custom.png               another photograph with the custom settings
#   chelsea-custom-before-after.png  original (left) and custom (right)
# The cast is made in linear light (tools/demo/colour_cast.h); DEMO_CAST picks it and
# DEMO_PHOTO the photograph in examples/ (default dimwarm on coffee.png: tungsten light, a little
# under-exposed; `apply_cast --list` names the others). Casts that push the highlights past full
# scale (warm, green, magenta) are corrected much less: the automatic colour balance takes no
# neutral from clipped highlights (bench/README.md). The filter's preferences
# live in demo-out/config/ for the run, so the user's own preferences ($XDG_CONFIG_HOME or
# ~/.config, folder Lumetra/) are never touched.
#
# Exit status 0 when both runs changed their photograph; 1 when either left it unchanged.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash scripts/setup-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)
echo "== build (release with debug info)"
# -U: a build folder configured earlier for a few subsystems goes back to all of them.
cmake -S "$root" -B "$root/build" -U KOLMARA_SUBSYSTEMS -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build" -j "$jobs" \
  --target KolmaraPro filterhost kolmara-prefs side_by_side apply_cast

cast_name=${DEMO_PHOTO:-coffee}
cast_photo="$root/examples/$cast_name.png"
cast=${DEMO_CAST:-dimwarm}
name=chelsea
photo="$root/examples/$name.png"
settings="$root/examples/demo-settings.txt"
out="$root/demo-out"
prefs_tool="$root/build/tools/prefstool/kolmara-prefs"
host="$root/build/tools/filterhost/filterhost"
module="$root/build/KolmaraPro.so"
tools="$root/build/tools/demo"

# A fresh, private preferences folder for every run.
rm -rf "$out/config"
mkdir -p "$out/config"
export XDG_CONFIG_HOME="$out/config"

# Runs side_by_side; answers 0 when the two pictures differ, 1 when they are the same.
compare() {
  local status=0
  "$tools/side_by_side" "$1" "$2" "$3" || status=$?
  if [ "$status" -eq 3 ]; then return 1; fi
  if [ "$status" -ne 0 ]; then exit "$status"; fi
  return 0
}

failed=0

echo "== automatic correction of a colour cast"
echo "-- cast '$cast' on $cast_photo"
"$tools/apply_cast" --cast "$cast" "$cast_photo" "$out/$cast_name-cast.png"
"$prefs_tool" start keenhue
"$prefs_tool" keenhue-sets all
echo "-- filter (Keenhue, no window): $out/$cast_name-cast.png"
"$host" --plugin "$module" --no-progress "$out/$cast_name-cast.png" "$out/$cast_name-corrected.png"
if ! compare "$out/$cast_name-cast.png" "$out/$cast_name-corrected.png" \
     "$out/$cast_name-before-after.png"; then
  echo "demo: the filter left the cast photograph unchanged: this module applied no automatic" \
       "correction (Keenhue)" >&2
  failed=1
fi

echo "== custom settings from $settings"
"$prefs_tool" load-custom "$settings"
"$prefs_tool" start custom
"$host" --plugin "$module" --no-progress "$photo" "$out/$name-custom.png"
if ! compare "$photo" "$out/$name-custom.png" "$out/$name-custom-before-after.png"; then
  echo "demo: the filter left the photograph unchanged; the custom settings were not applied" >&2
  failed=1
fi

echo
echo "cast photograph:            $out/$cast_name-cast.png"
echo "automatically corrected:    $out/$cast_name-corrected.png"
echo "cast | corrected:           $out/$cast_name-before-after.png"
echo "custom settings:            $out/$name-custom.png"
echo "original | custom:          $out/$name-custom-before-after.png"
exit "$failed"
