#!/usr/bin/env bash
# Builds the Windows zip kolmara-pro_VERSION_windows-x64.zip: KolmaraPro.8bf and filterhost.exe
# (cross-built by scripts/build-windows.sh, stripped), the user guide beside them (where the filter's help
# opens it), README-Windows.txt and the licences (packaging/windows/). Everything lies in one
# folder of the zip's name, so that unpacking it makes one folder.
#
#   scripts/package-windows.sh [--no-build] [--out DIR]
#
# Without --no-build: cross-builds the module and filterhost.exe first (scripts/build-windows.sh,
# which installs what is missing). With --no-build: zips what build-windows/module holds (the
# zip's test does so). Either way the user guide is brought up to date in build-windows/native
# (the generator runs on this machine). The libraries built into the module (libjpeg-turbo,
# lcms2) and the runtime of both programs (mingw-w64) come from Debian's packages; their licences
# are those packages' copyright files.
# --out DIR: where the zip goes (default: the top of the checkout); it is written beside its
# place and renamed over it only when complete.
# Exit status: 0 done, 1 failed, 2 usage error.
set -euo pipefail
caller=$PWD
cd "$(dirname "$0")/.."
root=$PWD

usage() {
  echo "usage: scripts/package-windows.sh [--no-build] [--out DIR]" >&2
  exit 2
}
build=1
out=$root
while [ $# -gt 0 ]; do
  case "$1" in
    --no-build) build=0; shift ;;
    --out) [ $# -ge 2 ] || usage; out=$(cd "$caller" && mkdir -p "$2" && cd "$2" && pwd); shift 2 ;;
    -h | --help) sed -n '2,17s/^# \{0,1\}//p' "$0"; exit 0 ;;
    *) usage ;;
  esac
done
fail() {
  echo "package-windows: $*" >&2
  exit 1
}

version=$(sed -n 's/^1005[[:space:]]*StrVersion[[:space:]]*//p' resources/strings.txt)
[ -n "$version" ] || fail "no version (string 1005) in resources/strings.txt"
module_build=$root/build-windows/module
native=$root/build-windows/native

if [ "$build" = 1 ]; then
  bash scripts/build-windows.sh
fi
for f in "$module_build/KolmaraPro.8bf" "$module_build/filterhost.exe" "$native/CMakeCache.txt"; do
  [ -f "$f" ] || fail "$f is missing (scripts/build-windows.sh builds it)"
done
cmake --build "$native" -j "${KOLMARA_JOBS:-2}" --target user_guide >/dev/null

# The licences of what is built in, from the Debian packages the cross build took it from.
declare -A third_party=(
  [libjpeg-turbo]=/usr/share/doc/libjpeg62-turbo/copyright
  [lcms2]=/usr/share/doc/liblcms2-2/copyright
  [mingw-w64]=/usr/share/doc/mingw-w64-x86-64-dev/copyright
)
for f in "${third_party[@]}"; do
  [ -f "$f" ] || fail "$f is missing (scripts/setup-deps.sh installs the package)"
done

name=kolmara-pro_${version}_windows-x64
zip=$out/$name.zip
work=$(mktemp -d "${TMPDIR:-/tmp}/kolmara-zip.XXXXXX")
trap 'rm -rf "$work"' EXIT
stage=$work/$name
mkdir -p "$stage/licenses"

# Text files get Windows line ends, so that every editor there shows their lines.
crlf() { sed 's/\r*$/\r/' "$1" >"$2"; }

# Without their debug information (the build's are four times the size); the module keeps its
# export and its resources.
x86_64-w64-mingw32-strip --strip-unneeded -o "$stage/KolmaraPro.8bf" "$module_build/KolmaraPro.8bf"
x86_64-w64-mingw32-strip --strip-all -o "$stage/filterhost.exe" "$module_build/filterhost.exe"
cp -r "$native/user-guide" "$stage/user-guide"
sed "s/@VERSION@/$version/g" packaging/windows/README-Windows.txt >"$work/README-Windows.txt"
crlf "$work/README-Windows.txt" "$stage/README-Windows.txt"
crlf packaging/windows/licenses/Tintara-Kolmara-Pro.txt "$stage/licenses/Tintara-Kolmara-Pro.txt"
for component in "${!third_party[@]}"; do
  crlf "${third_party[$component]}" "$stage/licenses/$component.txt"
done
find "$stage" -type d -exec chmod 755 {} +
find "$stage" -type f -exec chmod 644 {} +

# -X: no Unix owners or extra time stamps; the entries in a fixed order.
(cd "$work" && find "$name" -print | LC_ALL=C sort | zip -q -X -@ "$name.zip")
mv -f "$work/$name.zip" "$zip.new"
mv -f "$zip.new" "$zip"
echo "package-windows: $zip ($(($(stat -c %s "$zip") / 1024)) KiB)"
