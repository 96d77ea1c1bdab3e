#!/usr/bin/env bash
# The Windows zip as a user gets it: scripts/package-windows.sh zips this cross build, the zip
# must hold exactly the module, filterhost.exe, the user guide, README-Windows.txt and the
# licences in one folder, and filterhost.exe unpacked from it must find the module beside it and
# give the Linux filterhost's bytes under Wine.
#
#   package_zip_test.sh SOURCE_DIR LINUX_BUILD WORK_DIR
#
# LINUX_BUILD holds tools/filterhost/filterhost (with KolmaraPro.so beside it) and
# tools/prefstool/kolmara-prefs; WINEPREFIX comes from the caller.
set -u
source_dir=$1
linux_build=$2
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
  echo "all zip checks passed"
  exit 0
}

if ! bash "$source_dir/scripts/package-windows.sh" --no-build --out "$work" >"$work/package.log" 2>&1; then
  cat "$work/package.log" >&2
  fail "scripts/package-windows.sh failed"
  finish
fi
cat "$work/package.log"
version=$(sed -n 's/^1005[[:space:]]*StrVersion[[:space:]]*//p' "$source_dir/resources/strings.txt")
name=kolmara-pro_${version}_windows-x64
zip=$work/$name.zip
[ -f "$zip" ] || { fail "no $name.zip in $work"; finish; }

# The listing: everything outside the user guide exactly, and the guide as the build made it.
unzip -Z1 "$zip" | sed 's|/$||' | LC_ALL=C sort >"$work/listing.txt"
LC_ALL=C sort >"$work/want.txt" <<EOF
$name
$name/KolmaraPro.8bf
$name/README-Windows.txt
$name/filterhost.exe
$name/licenses
$name/licenses/Tintara-Kolmara-Pro.txt
$name/licenses/lcms2.txt
$name/licenses/libjpeg-turbo.txt
$name/licenses/mingw-w64.txt
$name/user-guide
EOF
grep -v "^$name/user-guide/" "$work/listing.txt" >"$work/have.txt"
diff -u "$work/want.txt" "$work/have.txt" >"$work/listing.diff" ||
  { fail "the zip's files differ from the expected ones:"; cat "$work/listing.diff" >&2; }
guide=$source_dir/build-windows/native/user-guide
(cd "$guide" && find . -mindepth 1 | sed "s|^\.|$name/user-guide|" | LC_ALL=C sort) >"$work/guide-want.txt"
grep "^$name/user-guide/" "$work/listing.txt" >"$work/guide-have.txt"
cmp -s "$work/guide-want.txt" "$work/guide-have.txt" || fail "the user guide in the zip differs from $guide"

unzip -q "$zip" -d "$work/unzipped"
top=$work/unzipped/$name
readme=$top/README-Windows.txt
grep -q "Version $version\." "$readme" || fail "README-Windows.txt does not name version $version"
grep -q "@VERSION@" "$readme" && fail "README-Windows.txt keeps a placeholder"
# Windows line ends on every line of the texts.
for text in "$readme" "$top"/licenses/*.txt; do
  [ "$(grep -c $'\r$' "$text")" -eq "$(wc -l <"$text")" ] || fail "$(basename "$text") has lines without CR LF"
done
# Stripped, the module still exports its entry point (and its resources, which the runs below
# read: the PiPL and everything the filter shows).
x86_64-w64-mingw32-objdump -p "$top/KolmaraPro.8bf" | grep -q '\] PluginMain$' ||
  fail "KolmaraPro.8bf in the zip does not export PluginMain"

# filterhost.exe from the zip, without --plugin, on a photograph with the example custom
# settings; the same run of the Linux filterhost gives the expected bytes.
wine=$source_dir/scripts/wine-run.sh
windows_path() {
  local p=${1//\//\\}
  echo "Z:$p"
}
"$wine" "$top/filterhost.exe" --help >"$work/help.txt" 2>&1 || fail "filterhost.exe --help failed under Wine"
grep -q "usage: filterhost" "$work/help.txt" || fail "filterhost.exe --help printed no usage"
appdata=
for d in "$WINEPREFIX"/drive_c/users/*/AppData/Roaming; do
  case $d in */Public/*) continue ;; esac
  [ -d "$d" ] && appdata=$d
done
[ -n "$appdata" ] || { fail "no AppData folder in the Wine prefix $WINEPREFIX"; finish; }
export XDG_CONFIG_HOME=$work/linux-config
prefs_tool=$linux_build/tools/prefstool/kolmara-prefs
"$prefs_tool" --prefs "$work/prefs" load-custom "$source_dir/examples/demo-settings.txt" >/dev/null &&
  "$prefs_tool" --prefs "$work/prefs" start custom >/dev/null || fail "kolmara-prefs failed"
mkdir -p "$XDG_CONFIG_HOME/Lumetra" "$appdata/Lumetra"
cp "$work/prefs" "$XDG_CONFIG_HOME/Lumetra/KolmaraPro Plugin Prefs"
cp "$work/prefs" "$appdata/Lumetra/KolmaraPro Plugin Prefs"
photo=$source_dir/tests/windows/data/photo8.pam
"$linux_build/tools/filterhost/filterhost" --no-progress "$photo" "$work/linux.pam" 2>"$work/linux.err" ||
  fail "the Linux filterhost failed: $(cat "$work/linux.err")"
if "$wine" "$top/filterhost.exe" --no-progress "$(windows_path "$photo")" \
  "$(windows_path "$work/windows.pam")" 2>"$work/windows.err"; then
  cmp -s "$work/linux.pam" "$work/windows.pam" ||
    fail "filterhost.exe from the zip gives other bytes than the Linux filterhost"
  cmp -s "$photo" "$work/windows.pam" && fail "the custom settings left the photograph unchanged"
else
  fail "filterhost.exe from the zip failed under Wine: $(tail -n 3 "$work/windows.err")"
fi

finish
