#!/usr/bin/env bash
# The demo: correct the bundled sample photograph through the real filter module, driven by the
# stand-in host, with custom settings loaded from a settings text file by kolmara-prefs.
#
# Installs what is missing, builds what the demo needs in build/, and writes
#   demo-out/chelsea-corrected.png     the photograph after the filter
#   demo-out/chelsea-before-after.png  before (left) and after (right)
# The filter's preferences live in demo-out/config/ for the run, so the user's own preferences
# ($XDG_CONFIG_HOME or ~/.config, folder Lumetra/) are never touched.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash scripts/setup-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)
echo "== build (release with debug info)"
# -U: a build folder configured earlier for a few subsystems goes back to all of them.
cmake -S "$root" -B "$root/build" -U KOLMARA_SUBSYSTEMS -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$root/build" -j "$jobs" --target KolmaraPro filterhost kolmara-prefs side_by_side

name=chelsea
photo="$root/examples/$name.png"
settings="$root/examples/demo-settings.txt"
out="$root/demo-out"
prefs_tool="$root/build/tools/prefstool/kolmara-prefs"
host="$root/build/tools/filterhost/filterhost"
module="$root/build/KolmaraPro.so"

# A fresh, private preferences folder for every run.
rm -rf "$out/config"
mkdir -p "$out/config"
export XDG_CONFIG_HOME="$out/config"

echo "== custom settings: $settings"
"$prefs_tool" load-custom "$settings"
"$prefs_tool" start custom

echo "== filter: $photo"
"$host" --plugin "$module" --no-progress "$photo" "$out/$name-corrected.png"

echo "== before and after"
status=0
"$root/build/tools/demo/side_by_side" "$photo" "$out/$name-corrected.png" \
  "$out/$name-before-after.png" || status=$?
if [ "$status" -eq 3 ]; then
  echo "demo: the filter left the photograph unchanged; the custom settings were not applied" >&2
  exit 1
elif [ "$status" -ne 0 ]; then
  exit "$status"
fi

echo
echo "corrected photograph: $out/$name-corrected.png"
echo "before | after:       $out/$name-before-after.png"
