#!/usr/bin/env bash
# The Debian package as a user gets it: scripts/package.sh packages this build (lintian must
# find no error), and the package must hold exactly the files an installation needs with sound
# control fields and dependencies. Unpacked into a folder with dpkg-deb -x, as it would lie in
# /, its programs must work from there: filterhost finds the module the package put beside the
# GIMP plug-in and gives the build's bytes on a photograph; the manual pages format without a
# warning and name every option the programs' --help lists; and GIMP, with the unpacked plug-in
# folder on its plug-in path, replays a recorded action with the same bytes as filterhost --play.
#
#   package_test.sh SOURCE_DIR BUILD_DIR WORK_DIR
#
# GIMP runs with a private HOME in WORK_DIR; only the plug-ins the batch needs (Script-Fu and the
# TIFF files) are taken from the system, so a kolmara-gimp installed there is never the one run.
set -u
source_dir=$1
build=$2
work=$3

rm -rf "$work"
mkdir -p "$work"
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
finish() {
  if [ "$failures" -gt 0 ]; then
    echo "$failures failure(s)" >&2
    exit 1
  fi
  echo "all package checks passed"
  exit 0
}

echo "== scripts/package.sh --build-dir $build"
if ! bash "$source_dir/scripts/package.sh" --build-dir "$build" --out "$work" >"$work/package.log" 2>&1; then
  cat "$work/package.log" >&2
  fail "scripts/package.sh failed"
  finish
fi
cat "$work/package.log"
debs=("$work"/kolmara-pro_*.deb)
if [ "${#debs[@]}" -ne 1 ] || [ ! -f "${debs[0]}" ]; then
  fail "expected one kolmara-pro_*.deb in $work"
  finish
fi
deb=${debs[0]}
version=$(sed -n 's/^1005[[:space:]]*StrVersion[[:space:]]*//p' "$source_dir/resources/strings.txt")
arch=$(dpkg --print-architecture)
[ "$(basename "$deb")" = "kolmara-pro_${version}_${arch}.deb" ] ||
  fail "package named $(basename "$deb"), not kolmara-pro_${version}_${arch}.deb"

echo "== control fields"
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = kolmara-pro ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version), not $version"
[ "$(field Architecture)" = "$arch" ] || fail "Architecture: $(field Architecture)"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
[ "$(field Section)" = graphics ] || fail "Section: $(field Section)"
case $(field Installed-Size) in
  '' | *[!0-9]*) fail "Installed-Size: $(field Installed-Size)" ;;
esac
depends=$(field Depends)
# The shared libraries of Debian that the programs link, each a dependency with a version;
# FLTK is linked into the module and must not be one.
for lib in libc6 libstdc++6 libgimp2.0 libgegl-0.4-0 libbabl-0.1-0 liblcms2-2 libtiff6 \
  libpng16-16 libjpeg62-turbo libx11-6 libxft2 libfontconfig1; do
  grep -Fq ", $lib " <<<", ${depends//,/ ,} " || fail "Depends lacks $lib: $depends"
done
grep -Eq "(^|, )libc6 \(>= [0-9.]+\)" <<<"$depends" || fail "Depends names libc6 without a version"

grep -q fltk <<<"$depends" && fail "Depends names FLTK, which is linked statically: $depends"
field Recommends | grep -q gimp || fail "Recommends does not name gimp"

echo "== files"
dpkg-deb -c "$deb" >"$work/contents.txt"
# "path" for files and folders, "path -> target" for links; owner and mode checked apart.
awk '{ p = $6; sub(/^\.\//, "", p); sub(/\/$/, "", p); if (p == "" || p == ".") next;
       line = "/" p; if ($7 == "->") line = line " -> " $8; print line }' "$work/contents.txt" |
  LC_ALL=C sort >"$work/paths.txt"
guide=/usr/share/kolmara-pro/user-guide
plugin=/usr/lib/gimp/2.0/plug-ins/kolmara-gimp
# Everything outside the guide, exactly.
LC_ALL=C sort >"$work/want.txt" <<EOF
/usr
/usr/bin
/usr/bin/filterhost
/usr/bin/kolmara-prefs
/usr/lib
/usr/lib/gimp
/usr/lib/gimp/2.0
/usr/lib/gimp/2.0/plug-ins
$plugin
$plugin/KolmaraPro.so
$plugin/kolmara-gimp
$plugin/user-guide -> ../../../../../share/kolmara-pro/user-guide
/usr/share
/usr/share/doc
/usr/share/doc/kolmara-pro
/usr/share/doc/kolmara-pro/changelog.gz
/usr/share/doc/kolmara-pro/copyright
/usr/share/doc/kolmara-pro/user-guide -> ../../kolmara-pro/user-guide
/usr/share/kolmara-pro
/usr/share/man
/usr/share/man/man1
/usr/share/man/man1/filterhost.1.gz
/usr/share/man/man1/kolmara-prefs.1.gz
EOF
grep -v "^$guide" "$work/paths.txt" >"$work/have.txt"
if ! diff -u "$work/want.txt" "$work/have.txt" >"$work/files.diff"; then
  fail "the files outside the user guide differ from the expected ones:"
  cat "$work/files.diff" >&2
fi
# The guide: every file the build made, and nothing else.
(cd "$build/user-guide" && find . -mindepth 1 | sed "s|^\.|$guide|" | LC_ALL=C sort) >"$work/guide-want.txt"
grep "^$guide/" "$work/paths.txt" >"$work/guide-have.txt"
diff -q "$work/guide-want.txt" "$work/guide-have.txt" >/dev/null ||
  fail "the user guide in the package differs from $build/user-guide"
# Owned by root; programs 755, everything else 644 (folders 755).
awk '$2 != "root/root" { print "owner " $2 ": " $6 }
     $1 ~ /^-/ && $6 ~ /\/(filterhost|kolmara-prefs|kolmara-gimp)$/ && $1 != "-rwxr-xr-x" { print "mode " $1 ": " $6 }
     $1 ~ /^-/ && $6 !~ /\/(filterhost|kolmara-prefs|kolmara-gimp)$/ && $1 != "-rw-r--r--" { print "mode " $1 ": " $6 }
     $1 ~ /^d/ && $1 != "drwxr-xr-x" { print "mode " $1 ": " $6 }' "$work/contents.txt" >"$work/modes.txt"
[ -s "$work/modes.txt" ] && fail "owners or modes: $(head -n 5 "$work/modes.txt")"

echo "== unpacked"
root=$work/root
dpkg-deb -x "$deb" "$root"
for link in "$plugin/user-guide" /usr/share/doc/kolmara-pro/user-guide; do
  [ -f "$root$link/index.html" ] || fail "$link does not lead to the user guide inside the package"
done
host=$root/usr/bin/filterhost
prefs_tool=$root/usr/bin/kolmara-prefs
module=$root$plugin/KolmaraPro.so
export XDG_CONFIG_HOME=$work/config TMPDIR=$work
mkdir -p "$XDG_CONFIG_HOME"
prefs_file="$XDG_CONFIG_HOME/Lumetra/KolmaraPro Plugin Prefs"

# filterhost without --plugin finds the module the package put beside the GIMP plug-in, and
# corrects a photograph automatically as the build does. Each run saves its settings, so both
# start from the same preferences.
"$prefs_tool" start keenhue >/dev/null || fail "the unpacked kolmara-prefs failed"
"$prefs_tool" keenhue-sets all >/dev/null || fail "the unpacked kolmara-prefs failed"
cp "$prefs_file" "$work/prefs-keenhue"
photo=$source_dir/examples/chelsea.png
if "$host" --verbose --no-progress "$photo" "$work/unpacked.png" 2>"$work/unpacked.err"; then
  grep -q "^filterhost: module $module: " "$work/unpacked.err" ||
    fail "the unpacked filterhost did not load $module: $(grep 'module' "$work/unpacked.err" | head -n 2)"
else
  fail "the unpacked filterhost failed: $(tail -n 3 "$work/unpacked.err")"
fi
cp "$work/prefs-keenhue" "$prefs_file"
"$build/tools/filterhost/filterhost" --plugin "$build/KolmaraPro.so" --no-progress "$photo" \
  "$work/build.png" 2>"$work/build.err" || fail "the build's filterhost failed: $(cat "$work/build.err")"
cmp -s "$work/unpacked.png" "$work/build.png" ||
  fail "the unpacked filterhost's output differs from the build's"

echo "== manual pages"
# MANWIDTH keeps man from asking the terminal; every warning of groff or man is a fault.
for page in "$root"/usr/share/man/man1/*.1.gz; do
  MANWIDTH=80 man --warnings -l "$page" >"$work/page.txt" 2>"$work/page.err"
  [ -s "$work/page.err" ] && fail "$(basename "$page"): $(head -n 3 "$work/page.err")"
  # Every option the program's --help names is in its page.
  program=$(basename "$page" .1.gz)
  "$root/usr/bin/$program" --help | grep -oE -- '--[a-z][a-z-]*' | sort -u >"$work/options.txt"
  [ -s "$work/options.txt" ] || fail "$program --help names no option"
  while read -r option; do
    grep -q -- "$option" "$work/page.txt" || fail "$(basename "$page") does not describe $option"
  done <"$work/options.txt"
done

echo "== GIMP with the unpacked plug-in folder"
gimp_home=$work/home
for sub in brushes dynamics fonts gradients palettes patterns tool-presets mypaint-brushes \
  plug-ins scripts; do
  mkdir -p "$gimp_home/.config/GIMP/2.10/$sub"
done
system_plugins=/usr/lib/gimp/2.0/plug-ins
mkdir -p "$work/system-plug-ins"
for p in script-fu file-tiff; do
  ln -s "$system_plugins/$p" "$work/system-plug-ins/$p"
done
echo "(plug-in-path \"$work/system-plug-ins:$root$(dirname "$plugin")\")" \
  >"$gimp_home/.config/GIMP/2.10/gimprc"

# A photograph as a TIFF without a colour profile, so that GIMP and filterhost work in the same
# space; the action: the example custom settings, recorded by the unpacked filterhost.
ffmpeg -loglevel error -y -i "$source_dir/examples/coffee.png" -pix_fmt rgb24 "$work/coffee.tif" ||
  fail "ffmpeg could not make the TIFF"
"$prefs_tool" load-custom "$source_dir/examples/demo-settings.txt" >/dev/null &&
  "$prefs_tool" start custom >/dev/null || fail "the unpacked kolmara-prefs failed"
cp "$prefs_file" "$work/prefs-custom"
"$host" --no-progress --record "$work/look.kact" "$work/coffee.tif" "$work/recorded.tif" ||
  fail "recording the action failed"
cp "$work/prefs-custom" "$prefs_file"
"$host" --no-progress --play "$work/look.kact" "$work/coffee.tif" "$work/want.tif" ||
  fail "filterhost --play failed"
cp "$work/prefs-custom" "$prefs_file"
cat >"$work/batch.scm" <<EOF
(let* ((img (car (gimp-file-load RUN-NONINTERACTIVE "$work/coffee.tif" "coffee.tif")))
       (layer (vector-ref (cadr (gimp-image-get-layers img)) 0)))
  (plug-in-tintara-kolmara-pro RUN-NONINTERACTIVE img layer "$work/look.kact")
  (file-tiff-save RUN-NONINTERACTIVE img layer "$work/gimp.tif" "gimp.tif" 0)
  (gimp-image-delete img))
EOF
(
  cd "$work" &&
    env -u DISPLAY -u GIMP2_DIRECTORY -u KOLMARA_GIMP_MODULE HOME="$gimp_home" \
      XDG_CONFIG_HOME="$gimp_home/.config" XDG_CACHE_HOME="$gimp_home/.cache" \
      XDG_DATA_HOME="$gimp_home/.local/share" \
      timeout 600 gimp-console-2.10 -i -d -f -b "(load \"$work/batch.scm\")" -b '(gimp-quit 0)'
) >"$work/gimp.log" 2>&1 || fail "gimp-console failed: $(tail -n 5 "$work/gimp.log")"
# GIMP's TIFF and filterhost's differ in their tags; the pixels must be the same. tiffcmp
# compares the pixels only when the images have the same size and layout, and says nothing in
# its status when they have not.
same_pixels() {
  tiffcmp -t "$1" "$2" >"$work/tiffcmp.txt" 2>&1 &&
    ! grep -Eq '^(ImageWidth|ImageLength|BitsPerSample|SamplesPerPixel|PlanarConfig)' "$work/tiffcmp.txt"
}
if [ ! -f "$work/gimp.tif" ]; then
  fail "GIMP wrote no image: $(tail -n 5 "$work/gimp.log")"
elif ! same_pixels "$work/want.tif" "$work/gimp.tif"; then
  fail "GIMP's replay differs from filterhost --play: $(head -n 3 "$work/tiffcmp.txt")"
fi
# The replay changed the photograph (a comparison of two unchanged images would prove little).
same_pixels "$work/coffee.tif" "$work/want.tif" &&
  fail "the recorded action left the photograph unchanged"
grep -q "kolmara" "$gimp_home/.config/GIMP/2.10/pluginrc" 2>/dev/null ||
  fail "GIMP did not register the plug-in"

finish
