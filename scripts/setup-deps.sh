#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test, fuzz (clang with libFuzzer),
# benchmark and package (dpkg-dev, lintian and man-db for the .deb, zip for the Windows zip).
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
  gimp libgimp2.0-dev libtiff-tools xdotool x11-apps x11-utils openbox
  ffmpeg liblcms2-utils
  clang libclang-rt-14-dev
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine64 dpkg-dev
  python3
  lintian man-db zip
)

# The Windows build cross-compiles libjpeg from Debian's own source package, which needs
# source entries beside the binary ones. They are derived from the entries already configured
# (deb822 stanzas and one-line form alike), so no archive is named here.
add_source_entries() {
  local added=0 f
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    if grep -q '^Types: deb$' "$f"; then
      $SUDO sed -i 's/^Types: deb$/Types: deb deb-src/' "$f"
      added=1
    fi
  done
  if [ -f /etc/apt/sources.list ] && grep -q '^deb ' /etc/apt/sources.list &&
    ! grep -q '^deb-src ' /etc/apt/sources.list; then
    grep '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' | $SUDO tee -a /etc/apt/sources.list >/dev/null
    added=1
  fi
  [ "$added" -eq 0 ] || $SUDO apt-get update -qq
}

SUDO=
if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; fi

if [ "${1:-}" = "--sources" ]; then
  add_source_entries
  exit 0
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "setup-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
