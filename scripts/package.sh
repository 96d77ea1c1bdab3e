#!/usr/bin/env bash
# Builds the Debian package kolmara-pro_VERSION_ARCH.deb: filterhost and kolmara-prefs in
# /usr/bin, the GIMP 2.10 plug-in with the filter module in
# /usr/lib/gimp/2.0/plug-ins/kolmara-gimp/, their manual pages, the user guide and the licences
# (packaging/debian/). What goes where is
# cmake/install.cmake; this script adds what is Debian's own (compressed manual pages and
# changelog, the copyright file, the control file with the dependencies dpkg-shlibdeps computes)
# and builds the package with dpkg-deb, then checks it with lintian.
#
#   scripts/package.sh [--build-dir DIR] [--out DIR] [--no-lintian]
#
# Without --build-dir: installs what is missing (scripts/setup-deps.sh) and builds the module,
# the programs and the user guide in build-package/, with Debian's hardening flags and without
# the tests. With --build-dir DIR: packages what the build folder DIR already holds and builds
# nothing (the package test packages the main build so).
# --out DIR: where the package goes (default: the top of the checkout). The package is written
# beside its place and renamed over it only when complete.
# Exit status: 0 done, 1 failed (lintian's errors included), 2 usage error.
set -euo pipefail
caller=$PWD
cd "$(dirname "$0")/.."
root=$PWD

usage() {
  echo "usage: scripts/package.sh [--build-dir DIR] [--out DIR] [--no-lintian]" >&2
  exit 2
}
build=
out=$root
lintian=1
while [ $# -gt 0 ]; do
  case "$1" in
    --build-dir) [ $# -ge 2 ] || usage; build=$(cd "$caller" && cd "$2" && pwd); shift 2 ;;
    --out) [ $# -ge 2 ] || usage; out=$(cd "$caller" && mkdir -p "$2" && cd "$2" && pwd); shift 2 ;;
    --no-lintian) lintian=0; shift ;;
    -h | --help) sed -n '2,18s/^# \{0,1\}//p' "$0"; exit 0 ;;
    *) usage ;;
  esac
done
fail() {
  echo "package: $*" >&2
  exit 1
}

name=kolmara-pro
# The filter's version is its string table's (the about box shows the same).
version=$(sed -n 's/^1005[[:space:]]*StrVersion[[:space:]]*//p' resources/strings.txt)
[ -n "$version" ] || fail "no version (string 1005) in resources/strings.txt"

if [ -z "$build" ]; then
  bash scripts/setup-deps.sh
  build=$root/build-package
  # Debian's flags for packages, with every hardening feature (read-only relocations bound at
  # load time, fortified functions, stack protection, control-flow protection).
  export DEB_BUILD_MAINT_OPTIONS=hardening=+all
  cflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CFLAGS)"
  cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
  ldflags=$(dpkg-buildflags --get LDFLAGS)
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
    -DKOLMARA_TESTS=OFF \
    -DKOLMARA_SUBSYSTEMS="hostsdk;engine;edit;imagelib;host;tools/filterhost;tools/prefstool" \
    -DCMAKE_C_FLAGS="$cflags" -DCMAKE_CXX_FLAGS="$cxxflags" \
    -DCMAKE_EXE_LINKER_FLAGS="$ldflags" -DCMAKE_MODULE_LINKER_FLAGS="$ldflags" \
    -DCMAKE_SHARED_LINKER_FLAGS="$ldflags" >/dev/null
  echo "== build ($build)"
  cmake --build "$build" -j "${KOLMARA_JOBS:-$(nproc 2>/dev/null || echo 2)}" \
    --target KolmaraPro filterhost kolmara-prefs kolmara-gimp user_guide
fi
[ -f "$build/CMakeCache.txt" ] || fail "$build is not a build folder"

arch=$(dpkg --print-architecture)
deb=$out/${name}_${version}_${arch}.deb
work=$(mktemp -d "${TMPDIR:-/tmp}/kolmara-package.XXXXXX")
trap 'rm -rf "$work"' EXIT
# dpkg-shlibdeps expects the package's files where a source package's build puts them.
stage=$work/debian/$name

echo "== install into the package's root"
DESTDIR=$stage cmake --install "$build" --prefix /usr >"$work/install.log" ||
  { cat "$work/install.log" >&2; fail "cmake --install failed"; }
plugin=usr/lib/gimp/2.0/plug-ins/kolmara-gimp
for f in usr/bin/filterhost usr/bin/kolmara-prefs "$plugin/kolmara-gimp" "$plugin/KolmaraPro.so" \
  usr/share/kolmara-pro/user-guide/index.html usr/share/man/man1/filterhost.1 \
  usr/share/man/man1/kolmara-prefs.1; do
  [ -e "$stage/$f" ] || fail "$f is missing from the installation of $build (is it built?)"
done

# Stripped as Debian strips: without debug information, symbol tables or compiler notes (the
# module keeps its dynamic symbol PluginMain and its resource section).
binaries=(usr/bin/filterhost usr/bin/kolmara-prefs "$plugin/kolmara-gimp" "$plugin/KolmaraPro.so")
strip --remove-section=.comment --remove-section=.note "${binaries[@]/#/$stage/}"
strip --strip-unneeded "$stage/$plugin/KolmaraPro.so"

# What Debian asks of every package: manual pages and the changelog compressed without time
# stamps, the copyright file, directories 755 and files 644 unless they are programs.
doc=$stage/usr/share/doc/$name
mkdir -p "$doc"
install -m 644 packaging/debian/copyright "$doc/copyright"
gzip -9n <packaging/debian/changelog >"$doc/changelog.gz"
gzip -9n "$stage"/usr/share/man/man1/*.1
find "$stage" -type d -exec chmod 755 {} +
find "$stage" -type f -exec chmod go-w {} +
find "$doc" "$stage/usr/share/man" -type f -exec chmod 644 {} +

echo "== dependencies (dpkg-shlibdeps)"
# dpkg-shlibdeps reads the package's entry in a control file of the source's form, and finds
# the package's root by its DEBIAN folder.
mkdir -p "$work/debian" "$stage/DEBIAN"
printf 'Source: %s\n\nPackage: %s\nArchitecture: any\n' "$name" "$name" >"$work/debian/control"
depends=$(cd "$work" && dpkg-shlibdeps -O --warnings=1 "${binaries[@]/#/debian/$name/}" |
  sed -n 's/^shlibs:Depends=//p')
[ -n "$depends" ] || fail "dpkg-shlibdeps found no dependencies"

# Installed-Size as dpkg-gencontrol counts it: KiB per file, rounded up, and one per other entry.
installed_size=$(find "$stage" -mindepth 1 -path "$stage/DEBIAN" -prune -o -printf '%y %s\n' |
  awk '$1 == "f" { n += int(($2 + 1023) / 1024); next } { n += 1 } END { print n }')

sed -e "s/@VERSION@/$version/" -e "s/@ARCH@/$arch/" -e "s/@INSTALLED_SIZE@/$installed_size/" \
  -e "s/@DEPENDS@/$depends/" packaging/debian/control.in >"$stage/DEBIAN/control"
(cd "$stage" && find usr -type f -print0 | LC_ALL=C sort -z | xargs -0 md5sum) >"$stage/DEBIAN/md5sums"
chmod 644 "$stage/DEBIAN/control" "$stage/DEBIAN/md5sums"

echo "== dpkg-deb"
dpkg-deb --root-owner-group -Zxz --build "$stage" "$work/$name.deb" >/dev/null
mv -f "$work/$name.deb" "$deb.new"
mv -f "$deb.new" "$deb"

if [ "$lintian" = 1 ]; then
  echo "== lintian"
  # Errors fail the package; warnings are shown.
  lintian --fail-on error --display-level '>=warning' "$deb" ||
    fail "lintian found errors in $deb"
fi
echo "package: $deb ($(($(stat -c %s "$deb") / 1024)) KiB, installed $installed_size KiB)"
echo "package: Depends: $depends"
