#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test, fuzz (clang with libFuzzer)
# and benchmark.
# Idempotent and quiet when everything is present; runs apt-get update only when
# something is missing.
set -euo pipefail

packages=(
  build-essential cmake pkg-config git
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  liblcms2-dev libtiff-dev libpng-dev libjpeg-dev zlib1g-dev
  libfltk1.3-dev libx11-dev libxext-dev libxft-dev libxinerama-dev libxcursor-dev libxrender-dev libxfixes-dev libfontconfig1-dev libfreetype-dev
  clang-format
  xvfb xauth valgrind libxtst-dev
  gimp libgimp2.0-dev libtiff-tools xdotool x11-apps
  ffmpeg liblcms2-utils
  clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; fi
echo "setup-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
