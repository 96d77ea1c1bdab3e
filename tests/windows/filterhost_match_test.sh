#!/usr/bin/env bash
# filterhost.exe with KolmaraPro.8bf under Wine against filterhost with KolmaraPro.so on Linux:
# the same input and the same preferences must give the same output file, byte for byte. The
# runs: custom settings at 8 and at 16 bits with transparency, a selection, the automatic
# (Keenhue) settings at both depths, sharpening and noise removal each on their own, an action
# recorded on each system (the two files must match) and replayed on both, a correction made in
# the editing window replayed on both as the window applied it, and the PiPL as the
# Linux host's checker reads it from the ELF module and from the DLL. Also: a file the Windows
# build cannot read gives one line and no output, Ctrl-C before and during a run gives status 3
# and writes nothing, and the window path ends without a window.
#
#   filterhost_match_test.sh SOURCE_DIR LINUX_BUILD WINDOWS_BUILD WORK_DIR
#
# LINUX_BUILD holds tools/filterhost/filterhost (with KolmaraPro.so beside it) and
# tools/prefstool/kolmara-prefs; WINDOWS_BUILD holds filterhost.exe and KolmaraPro.8bf and the
# Wine prefix (WINEPREFIX, set by the caller). Both hosts find their module beside them.
set -u
source_dir=$1
linux_build=$2
windows_build=$3
work=$4

linux_host=$linux_build/tools/filterhost/filterhost
prefs_tool=$linux_build/tools/prefstool/kolmara-prefs
windows_host=$windows_build/filterhost.exe
wine=$source_dir/scripts/wine-run.sh
data=$source_dir/tests/windows/data
for f in "$linux_host" "$prefs_tool" "$windows_host" "$windows_build/KolmaraPro.8bf"; do
  if [ ! -x "$f" ] && [ ! -f "$f" ]; then
    echo "missing $f (scripts/test-windows.sh builds both sides)" >&2
    exit 1
  fi
done

rm -rf "$work"
mkdir -p "$work/linux-config"
export XDG_CONFIG_HOME=$work/linux-config
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# The path as a Windows program is given it: Wine's drive Z: is the Unix root.
windows_path() {
  local p=${1//\//\\}
  echo "Z:$p"
}

# A first run makes the prefix; then its roaming application-data folder exists.
"$wine" "$windows_host" --help >/dev/null 2>&1
appdata=
for d in "$WINEPREFIX"/drive_c/users/*/AppData/Roaming; do
  case $d in */Public/*) continue ;; esac
  [ -d "$d" ] && appdata=$d
done
if [ -z "$appdata" ]; then
  echo "no AppData folder in the Wine prefix $WINEPREFIX" >&2
  exit 1
fi
mkdir -p "$appdata/Lumetra"
linux_prefs="$XDG_CONFIG_HOME/Lumetra/KolmaraPro Plugin Prefs"
windows_prefs="$appdata/Lumetra/KolmaraPro Plugin Prefs"

# Fresh preferences made by the preferences tool with the commands given (one per argument),
# put where each module reads them. Each run starts from them, since a run saves its settings.
prefs() {
  rm -f "$work/prefs"
  "$prefs_tool" --prefs "$work/prefs" reset >/dev/null || fail "kolmara-prefs reset"
  local command
  for command in "$@"; do
    # shellcheck disable=SC2086
    "$prefs_tool" --prefs "$work/prefs" $command >/dev/null || fail "kolmara-prefs $command"
  done
}
install_prefs() {
  mkdir -p "$(dirname "$linux_prefs")"
  cp "$work/prefs" "$linux_prefs"
  cp "$work/prefs" "$windows_prefs"
}

# run NAME INPUT [OPTIONS...]: both hosts on INPUT (a file in data/); OPTIONS may name files in
# the work folder or data/ by @name, given to each host in its own path form.
run() {
  local name=$1 input=$2
  shift 2
  local linux_args=() windows_args=() a
  for a in "$@"; do
    case $a in
      @*) linux_args+=("$work/${a#@}"); windows_args+=("$(windows_path "$work/${a#@}")") ;;
      %*) linux_args+=("$data/${a#%}"); windows_args+=("$(windows_path "$data/${a#%}")") ;;
      *) linux_args+=("$a"); windows_args+=("$a") ;;
    esac
  done
  install_prefs
  if ! "$linux_host" --no-progress "${linux_args[@]}" "$data/$input" "$work/$name.linux.pam" \
      2>"$work/$name.linux.err"; then
    fail "$name: the Linux run failed: $(cat "$work/$name.linux.err")"
    return
  fi
  install_prefs
  if ! "$wine" "$windows_host" --no-progress "${windows_args[@]}" \
      "$(windows_path "$data/$input")" "$(windows_path "$work/$name.windows.pam")" \
      2>"$work/$name.windows.err"; then
    fail "$name: the Windows run failed: $(cat "$work/$name.windows.err")"
    return
  fi
  if ! cmp -s "$work/$name.linux.pam" "$work/$name.windows.pam"; then
    fail "$name: the outputs differ ($(cmp "$work/$name.linux.pam" "$work/$name.windows.pam" | head -n 1))"
    return
  fi
  echo "same: $name"
}

# changed NAME BASELINE: the run did something (else its comparison proves little).
changed() {
  if cmp -s "$work/$1.linux.pam" "$2"; then fail "$1: the output equals $(basename "$2")"; fi
}

# The example custom settings, and copies with sharpening or noise removal switched on (the
# settings file's last four lines).
settings=$source_dir/examples/demo-settings.txt
head -n -4 "$settings" >"$work/sharpen.txt"
printf '1 12 -1\n0 1 4\n0 8 4 0\n0 16 16 0\n' >>"$work/sharpen.txt"
head -n -4 "$settings" >"$work/noise.txt"
printf '0 6 -1\n1 1 4\n0 6 6 0\n0 20 20 0\n' >>"$work/noise.txt"

# What reset settings give (16-bit samples go through the host's scale and back, so this is the
# baseline a 16-bit run must differ from to show its settings were applied).
prefs
install_prefs
"$linux_host" --no-progress "$data/photo16a.pam" "$work/reset16.pam" || fail "the reset run"

prefs "load-custom $settings" "start custom"
run custom8 photo8.pam
changed custom8 "$data/photo8.pam"
run custom16 photo16a.pam
changed custom16 "$work/reset16.pam"
run selection8 photo8.pam --mask %mask.pam
changed selection8 "$work/custom8.linux.pam"

prefs "start keenhue" "keenhue-sets all"
run keenhue8 photo8.pam
changed keenhue8 "$data/photo8.pam"
run keenhue16 photo16a.pam
changed keenhue16 "$work/reset16.pam"

prefs "load-custom $work/sharpen.txt" "start custom"
run sharpen8 photo8.pam
changed sharpen8 "$work/custom8.linux.pam"
prefs "load-custom $work/noise.txt" "start custom"
run noise8 photo8.pam
changed noise8 "$work/custom8.linux.pam"
run noise16 photo16a.pam
changed noise16 "$work/custom16.linux.pam"

# An action recorded on each system from the same run, then replayed over reset preferences.
prefs "load-custom $work/sharpen.txt" "start custom"
install_prefs
"$linux_host" --no-progress --record "$work/linux.kact" "$data/photo8.pam" "$work/rec.linux.pam" ||
  fail "recording on Linux"
install_prefs
"$wine" "$windows_host" --no-progress --record "$(windows_path "$work/windows.kact")" \
  "$(windows_path "$data/photo8.pam")" "$(windows_path "$work/rec.windows.pam")" ||
  fail "recording under Wine"
cmp -s "$work/linux.kact" "$work/windows.kact" || fail "the recorded action files differ"
prefs
run replay16 photo16a.pam --play @linux.kact
changed replay16 "$work/reset16.pam"

# A correction made in the editing window on Linux (data/window-action.kact, with the window's
# output data/window8.pam; record_window_action.sh made both), replayed by each host over start
# modes that would decide otherwise: both give the window's bytes.
prefs "start keenhue"
run window8 photo8.pam --play %window-action.kact
cmp -s "$work/window8.linux.pam" "$data/window8.pam" ||
  fail "the window's correction replayed on Linux differs from the window's output"

# Uncompressed TIFF in the Windows build (no libtiff there): what it writes, libtiff reads as the
# same pixels (reset settings leave 8-bit pixels exactly as they were, so a Linux run with them
# is a plain conversion; at 16 bits the TIFF and the PAM written by the same run must convert
# alike), and what it reads gives the Linux run's output. An RGBA TIFF, which its reader does not
# take, is refused in one line.
prefs
install_prefs
for f in photo8.tif photo16a.tif photo16a.pam; do
  "$wine" "$windows_host" --no-progress "$(windows_path "$data/${f%.*}.pam")" \
    "$(windows_path "$work/windows.$f")" || fail "writing $f under Wine"
done
for f in photo8.tif photo16a.tif photo16a.pam; do
  "$linux_host" --no-progress "$work/windows.$f" "$work/back.$f.pam" || fail "reading $f on Linux"
done
cmp -s "$work/back.photo8.tif.pam" "$data/photo8.pam" ||
  fail "the 8-bit TIFF written under Wine does not hold the picture"
cmp -s "$work/back.photo16a.tif.pam" "$work/back.photo16a.pam.pam" ||
  fail "the 16-bit RGBA TIFF written under Wine does not hold the picture"
prefs "load-custom $settings" "start custom"
install_prefs
"$wine" "$windows_host" --no-progress "$(windows_path "$work/windows.photo8.tif")" \
  "$(windows_path "$work/tiff8.windows.pam")" || fail "reading a TIFF under Wine"
cmp -s "$work/tiff8.windows.pam" "$work/custom8.linux.pam" ||
  fail "a TIFF input under Wine gives another result than its PAM on Linux"
"$wine" "$windows_host" --no-progress "$(windows_path "$work/windows.photo16a.tif")" \
  "$(windows_path "$work/rgba.pam")" 2>"$work/rgba.err"
status=$?
if [ $status -ne 1 ] || [ "$(wc -l <"$work/rgba.err")" -ne 1 ] || [ -e "$work/rgba.pam" ] ||
   ! grep -q 'no alpha channel' "$work/rgba.err"; then
  fail "an RGBA TIFF under Wine: status $status, $(cat "$work/rgba.err")"
fi

# The PiPL the Linux host's checker reads from each module file, path aside.
pipl_lines() {
  "$linux_host" --verbose --about --plugin "$1" 2>&1 | grep -E '^filterhost: (module |PiPL: )' |
    grep -v 'debug log' | sed "s|$1|MODULE|"
}
linux_pipl=$(pipl_lines "$(dirname "$linux_host")/KolmaraPro.so")
windows_pipl=$(pipl_lines "$windows_build/KolmaraPro.8bf")
if [ "$(echo "$linux_pipl" | wc -l)" -ne 2 ] || [ "$linux_pipl" != "$windows_pipl" ]; then
  fail "the PiPL differs: Linux:
$linux_pipl
Windows:
$windows_pipl"
else
  echo "same: PiPL"
fi

# A format the Windows build does not read: one line, status 1, nothing written.
"$wine" "$windows_host" --no-progress "$(windows_path "$source_dir/examples/chelsea.png")" \
  "$(windows_path "$work/png.pam")" 2>"$work/png.err"
status=$?
if [ $status -ne 1 ] || [ "$(wc -l <"$work/png.err")" -ne 1 ] ||
   ! grep -q '^filterhost: cannot read .*PAM and uncompressed TIFF files only' "$work/png.err" || [ -e "$work/png.pam" ]; then
  fail "a PNG input under Wine: status $status, $(cat "$work/png.err")"
fi

# Ctrl-C while the filter works (SIGINT reaches the program as a console Ctrl-C event): the run
# is cancelled, status 3, and nothing is written. A large random picture with noise removal keeps
# the filter busy for about a second after Prepare.
{
  printf 'P7\nWIDTH 3000\nHEIGHT 2000\nDEPTH 3\nMAXVAL 255\nTUPLTYPE RGB\nENDHDR\n'
  head -c 18000000 /dev/urandom
} >"$work/large.pam"
prefs "load-custom $work/noise.txt" "start custom"
install_prefs
"$wine" "$windows_host" --no-progress --verbose "$(windows_path "$work/large.pam")" \
  "$(windows_path "$work/large.out.pam")" 2>"$work/interrupt.err" &
host=$!
for _ in $(seq 300); do
  grep -q '^filterhost: Prepare -> 0' "$work/interrupt.err" && break
  sleep 0.1
done
kill -INT $host
wait $host
status=$?
if [ $status -ne 3 ] || [ -e "$work/large.out.pam" ] ||
   [ -n "$(find "$work" -name '.large.out.pam.filterhost-*')" ] ||
   ! grep -q '^filterhost: interrupted; .* not written' "$work/interrupt.err"; then
  fail "Ctrl-C under Wine: status $status, $(grep -v advanceState "$work/interrupt.err" | tail -n 3)"
fi
# Ctrl-C before the run, while Wine sets the program up and before main or while it reads its
# input: status 3 and nothing written. (Before this was mended, a Ctrl-C before main went to the
# system's handler and the program ended with status 0 and no output.) A Ctrl-C in the first
# instants, before Wine itself takes console events, is lost to any program: that run completes
# and writes its whole output, which is allowed.
for delay in 0.3 0.6 0.9; do
  rm -f "$work/early.out.pam"
  "$wine" "$windows_host" --no-progress "$(windows_path "$work/large.pam")" \
    "$(windows_path "$work/early.out.pam")" 2>"$work/early.err" &
  host=$!
  sleep "$delay"
  kill -INT $host
  wait $host
  status=$?
  if [ $status -eq 0 ] && [ "$(stat -c %s "$work/early.out.pam" 2>/dev/null)" = 18000065 ]; then
    continue
  fi
  if [ $status -ne 3 ] || [ -e "$work/early.out.pam" ] ||
     [ -n "$(find "$work" -name '.early.out.pam.filterhost-*')" ] ||
     ! grep -q '^filterhost: interrupted' "$work/early.err"; then
    fail "Ctrl-C ${delay} s after the start under Wine: status $status, $(tail -n 2 "$work/early.err")"
  fi
done
rm -f "$work/large.pam"

# Names in other scripts. A photograph in a folder named 写真 written into one named фото, with
# custom settings loaded from a file of such a name: the Windows host gets its arguments and opens
# its files through the wide-character calls, so it reads and writes what it was given (the ANSI
# code page would turn the names into "?" and fail, or reach another file). Then the application
# data folder itself moved to such a name (the prefix's "User Shell Folders"): the preferences are
# read and written there, not somewhere else.
mkdir -p "$work/写真" "$work/фото"
cp "$data/photo8.pam" "$work/写真/снимок 1.pam"
cp "$settings" "$work/写真/設定.txt"
prefs "load-custom $work/写真/設定.txt" "start custom"
install_prefs
"$linux_host" --no-progress "$work/写真/снимок 1.pam" "$work/unicode.linux.pam" \
  2>"$work/unicode.linux.err" || fail "non-ASCII names: the Linux run failed"
if LANG=C.UTF-8 "$wine" "$windows_host" --no-progress "$(windows_path "$work/写真/снимок 1.pam")" \
    "$(windows_path "$work/фото/結果.pam")" 2>"$work/unicode.windows.err"; then
  cmp -s "$work/unicode.linux.pam" "$work/фото/結果.pam" ||
    fail "non-ASCII names: the outputs differ"
  echo "same: non-ASCII file and folder names"
else
  fail "non-ASCII names: the Windows run failed: $(cat "$work/unicode.windows.err")"
fi
moved="$WINEPREFIX/drive_c/users/写真/AppData"
mkdir -p "$moved/Lumetra"
cp "$work/prefs" "$moved/Lumetra/KolmaraPro Plugin Prefs"
shell_folders='HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders'
LANG=C.UTF-8 "$wine" reg add "$shell_folders" /v AppData /t REG_EXPAND_SZ \
  /d 'C:\users\写真\AppData' /f >/dev/null 2>&1
before=$(cksum <"$moved/Lumetra/KolmaraPro Plugin Prefs")
if LANG=C.UTF-8 "$wine" "$windows_host" --no-progress "$(windows_path "$data/photo8.pam")" \
    "$(windows_path "$work/moved.pam")" 2>"$work/moved.err"; then
  cmp -s "$work/custom8.linux.pam" "$work/moved.pam" ||
    fail "preferences in 写真: the run did not use them"
  [ "$(cksum <"$moved/Lumetra/KolmaraPro Plugin Prefs")" != "$before" ] ||
    fail "preferences in 写真: the run did not write them back"
  echo "same: preferences in a folder of another script"
else
  fail "preferences in 写真: the run failed: $(cat "$work/moved.err")"
fi
LANG=C.UTF-8 "$wine" reg delete "$shell_folders" /v AppData /f >/dev/null 2>&1

# The window path without a display: the run ends, cancelled or failed, and writes nothing.
prefs
install_prefs
DISPLAY= timeout 60 "$wine" "$windows_host" --no-progress --dialog \
  "$(windows_path "$data/photo8.pam")" "$(windows_path "$work/dialog.pam")" 2>"$work/dialog.err"
status=$?
if [ $status -ne 1 ] && [ $status -ne 3 ]; then
  fail "--dialog without a display: status $status, $(cat "$work/dialog.err")"
fi
[ -e "$work/dialog.pam" ] && fail "--dialog without a display wrote its output"

if [ $failures -ne 0 ]; then
  echo "$failures failed" >&2
  exit 1
fi
echo "all the same"
