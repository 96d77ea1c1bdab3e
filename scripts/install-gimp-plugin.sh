#!/usr/bin/env bash
# Installs the GIMP 2.10 plug-in kolmara-gimp, with the filter module KolmaraPro.so beside it, into
# the user's GIMP plug-in folder: $GIMP2_DIRECTORY, else $XDG_CONFIG_HOME/GIMP/2.10, else
# ~/.config/GIMP/2.10, in plug-ins/kolmara-gimp/. Builds both first (installing what is missing
# with scripts/setup-deps.sh) unless --no-build is given. Restart GIMP afterwards; the filter is
# "Filters > Colors > Tintara Kolmara Pro...".
#
#   scripts/install-gimp-plugin.sh [--no-build]
#   BUILD_DIR   the build folder (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=${BUILD_DIR:-$root/build}

if [ "${1:-}" != "--no-build" ]; then
  bash scripts/setup-deps.sh
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" --target kolmara-gimp KolmaraPro user_guide
fi
plugin="$build/tools/gimp/kolmara-gimp"
module="$build/KolmaraPro.so"
for f in "$plugin" "$module"; do
  if [ ! -e "$f" ]; then
    echo "install-gimp-plugin: $f is missing; build first (without --no-build)" >&2
    exit 1
  fi
done

profile=${GIMP2_DIRECTORY:-${XDG_CONFIG_HOME:-$HOME/.config}/GIMP/2.10}
if [ ! -d "$profile" ]; then
  # GIMP sets up a settings folder only where none exists; let it do so before we add to it.
  echo "install-gimp-plugin: creating GIMP's settings folder $profile"
  gimp-console-2.10 -i -d -f -b '(gimp-quit 0)' >/dev/null 2>&1 || true
  mkdir -p "$profile"
fi
dest="$profile/plug-ins/kolmara-gimp"
mkdir -p "$dest"
# Each file is copied beside its place and renamed over it, so a running GIMP never sees half.
install -m 755 "$plugin" "$dest/.kolmara-gimp.new"
mv -f "$dest/.kolmara-gimp.new" "$dest/kolmara-gimp"
install -m 644 "$(readlink -f "$module")" "$dest/.KolmaraPro.so.new"
mv -f "$dest/.KolmaraPro.so.new" "$dest/KolmaraPro.so"
# The user guide goes beside the module, where the help window's "Online User Guide" opens it.
if [ -d "$build/user-guide" ]; then
  rm -rf "$dest/.user-guide.new"
  cp -r "$build/user-guide" "$dest/.user-guide.new"
  rm -rf "$dest/user-guide"
  mv "$dest/.user-guide.new" "$dest/user-guide"
fi
echo "installed kolmara-gimp and KolmaraPro.so in $dest"
