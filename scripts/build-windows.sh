#!/usr/bin/env bash
# Cross-builds the 64-bit Windows module KolmaraPro.8bf with mingw-w64 into build-windows/.
#
#   scripts/build-windows.sh [--tests | --bench]
#
# Steps: install the packages (scripts/setup-deps.sh, with source entries for apt-get source);
# build the generators (rescomp, piplgen) for this machine; cross-build the libraries the module
# links (libjpeg from Debian's libjpeg-turbo source package, lcms2 from lcms2's) once into
# build-windows/deps; then configure and build the module with cmake/mingw-w64-x86_64.cmake.
# With --tests the unit tests are cross-built too (scripts/test-windows.sh runs them under Wine).
# With --bench only the grid kernel's benchmark (bench/grid8_speed) is built, in Release like the
# benchmark build for this machine, into build-windows/bench (scripts/bench.sh runs it).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=$root/build-windows
deps=$out/deps
src=$out/src
jobs=${KOLMARA_JOBS:-2}
toolchain=$root/cmake/mingw-w64-x86_64.cmake
tests=OFF
bench=OFF
[ "${1:-}" = "--tests" ] && tests=ON
[ "${1:-}" = "--bench" ] && bench=ON

bash scripts/setup-deps.sh
bash scripts/setup-deps.sh --sources
mkdir -p "$out" "$deps" "$src"

# The generators run here, so they are built for this machine.
cmake -S . -B "$out/native" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKOLMARA_SUBSYSTEMS= -DKOLMARA_TESTS=OFF >/dev/null
cmake --build "$out/native" -j"$jobs" --target rescomp piplgen >/dev/null

if [ "$bench" = ON ]; then
  cmake -S . -B "$out/bench" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DKOLMARA_WERROR=OFF -DKOLMARA_HOST_TOOLS="$out/native" -DKOLMARA_TESTS=OFF \
    -DKOLMARA_SUBSYSTEMS="engine;bench" >/dev/null
  cmake --build "$out/bench" -j"$jobs" --target grid8_speed >/dev/null
  echo "build-windows: $out/bench/bench/grid8_speed.exe"
  exit 0
fi

# Debian's source package of name, unpacked once under src/; prints its folder.
fetch_source() {
  local name=$1 dir
  dir=$(find "$src" -maxdepth 1 -type d -name "$name-*" | head -n 1)
  if [ -z "$dir" ]; then
    # The newest version first; a mirror may lack its files (a security update whose Debian
    # part is not there yet), and then the versions before it, newest first.
    local version
    for version in "" $(apt-cache showsrc "$name" 2>/dev/null | sed -n 's/^Version: //p' |
                        sort -r -V | tail -n +2); do
      (cd "$src" && apt-get source -qq "$name${version:+=$version}" >/dev/null 2>&1) && break
    done
    dir=$(find "$src" -maxdepth 1 -type d -name "$name-*" | head -n 1)
    if [ -z "$dir" ]; then
      echo "build-windows: apt-get source $name failed" >&2
      exit 1
    fi
  fi
  echo "$dir"
}

if [ ! -f "$deps/lib/libjpeg.a" ]; then
  jpeg=$(fetch_source libjpeg-turbo)
  # No SIMD: its assembly needs nasm, and the module decodes JPEG only to read embedded previews.
  cmake -S "$jpeg" -B "$out/libjpeg" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$deps" -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=OFF \
    -DWITH_TURBOJPEG=OFF -DWITH_JAVA=OFF -DCMAKE_POSITION_INDEPENDENT_CODE=ON >/dev/null
  cmake --build "$out/libjpeg" -j"$jobs" --target install >/dev/null
fi

if [ ! -f "$deps/lib/liblcms2.a" ]; then
  lcms=$(fetch_source lcms2)
  rm -rf "$out/lcms2" && mkdir -p "$out/lcms2"
  (cd "$out/lcms2" && "$lcms/configure" --host=x86_64-w64-mingw32 --prefix="$deps" \
    --disable-shared --enable-static --without-jpeg --without-tiff --without-zlib \
    CC=x86_64-w64-mingw32-gcc-posix >/dev/null && make -j"$jobs" -C src install >/dev/null &&
    make -C include install >/dev/null && make install-pkgconfigDATA >/dev/null)
fi

# The unit tests of the image library write their TIFF fixtures with libtiff (Debian's tiff source
# package, built without the codecs that need other libraries; LZW and PackBits are its own).
if [ "$tests" = ON ] && [ ! -f "$deps/lib/libtiff.a" ]; then
  tiff=$(fetch_source tiff)
  cmake -S "$tiff" -B "$out/libtiff" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$deps" -DBUILD_SHARED_LIBS=OFF -Dzlib=OFF -Dlibdeflate=OFF \
    -Djpeg=OFF -Dold-jpeg=OFF -Djbig=OFF -Dlerc=OFF -Dlzma=OFF -Dzstd=OFF -Dwebp=OFF \
    -Dpixarlog=OFF -Dcxx=OFF -Dtiff-tools=OFF -Dtiff-tests=OFF -Dtiff-contrib=OFF \
    -Dtiff-docs=OFF >/dev/null
  cmake --build "$out/libtiff" -j"$jobs" --target install >/dev/null
fi

# pkg-config sees the cross-built libraries only, never this machine's.
KOLMARA_WINDOWS_DEPS=$deps PKG_CONFIG_LIBDIR=$deps/lib/pkgconfig PKG_CONFIG_PATH= \
  cmake -S . -B "$out/module" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKOLMARA_WERROR=ON -DKOLMARA_HOST_TOOLS="$out/native" \
  -DKOLMARA_LINUX_BUILD="${KOLMARA_LINUX_BUILD:-$root/build}" \
  -DKOLMARA_TESTS=$tests -DKOLMARA_SUBSYSTEMS="hostsdk;engine;edit;imagelib;host;tools/filterhost" >/dev/null
cmake --build "$out/module" -j"$jobs"
echo "build-windows: $out/module/KolmaraPro.8bf"
