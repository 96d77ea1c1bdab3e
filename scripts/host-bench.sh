#!/usr/bin/env bash
# The host's share of a batch run. On a 6000 x 4000 8-bit uncompressed TIFF (chelsea.png scaled
# up by GIMP) with a recorded custom brightness correction:
#   filterhost_vs_tiffcp  filterhost --play, writing a new uncompressed TIFF, against
#                         tiffcp -c none on the same file (the cost of reading and writing it);
#                         filterhost_replacing_vs_tiffcp with filterhost's output there already
#   gimp_run_overhead     the plug-in's whole run under gimp-console (its process, from start to
#                         exit, timed by a wrapper; loading and exporting the image are GIMP's)
#                         against filterhost on the same image and action, both without the window
#   gimp_run_overhead_cpu the same in processor time: the plug-in's process and GIMP's own while
#                         it serves the run (tiles, the merge), against filterhost's; the figure
#                         that holds when other jobs share the machine
#   filter_threads2_vs_1  filterhost with noise removal on 2 threads against 1 (8-bit; and
#                         filter16_threads2_vs_1 on the same picture at 16 bits), with the times
#                         for 1, 2 and 4 threads
# Each time is the median of RUNS runs (default 5), wall clock, the commands of one figure taking
# turns, in this one script. Called by
# scripts/bench.sh after its build; BUILD_DIR names the build folder.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
build=${BUILD_DIR:-$root/build-bench}
runs=${RUNS:-5}
work=$(mktemp -d "${TMPDIR:-/tmp}/kolmara-host-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_CACHE_HOME="$work/home/.cache"
unset DISPLAY GIMP2_DIRECTORY KOLMARA_GIMP_MODULE
profile="$XDG_CONFIG_HOME/GIMP/2.10"
for sub in brushes dynamics fonts gradients palettes patterns tool-presets mypaint-brushes; do
  mkdir -p "$profile/$sub"
done

host="$build/tools/filterhost/filterhost"
module="$build/KolmaraPro.so"
big="$work/big.tif"
gimp-console-2.10 -i -d -f -b "(let* ((img (car (gimp-file-load RUN-NONINTERACTIVE \"$root/examples/chelsea.png\" \"c\"))) (d (car (gimp-image-get-active-drawable img)))) (gimp-image-scale img 6000 4000) (file-tiff-save RUN-NONINTERACTIVE img d \"$big\" \"big.tif\" 0))" \
  -b '(gimp-quit 0)' >"$work/make.log" 2>&1
# The reset settings with the brightness raised: the line of the five tone settings, 0.5 each.
prefs="$build/tools/prefstool/kolmara-prefs"
"$prefs" save-custom "$work/reset.txt" >/dev/null 2>&1
sed 's/^0\.500000 0\.500000 0\.500000 0\.500000 0\.500000$/0.600000 0.500000 0.500000 0.500000 0.500000/' \
  "$work/reset.txt" >"$work/bright.txt"
if cmp -s "$work/reset.txt" "$work/bright.txt"; then
  echo "host-bench: the settings text has no tone line to change" >&2
  exit 1
fi
"$prefs" load-custom "$work/bright.txt" >/dev/null
"$prefs" start custom >/dev/null
"$host" --plugin "$module" --no-progress --record "$work/custom.kact" "$big" "$work/out.tif" 2>/dev/null
"$prefs" start reset >/dev/null

now() { date +%s%N; }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
# The machine's speed drifts from one second to the next (other guests, the processor's clock),
# so the commands a figure compares run in turns, one run of each per round, RUNS rounds: a
# slow spell then slows all of them alike instead of one.
# time_once NAME command...: runs the command once; appends its wall-clock time and its
# processor time (user + system), in nanoseconds, to $work/NAME-walls and $work/NAME-cpus. The
# processor time says what the run costs when other jobs share the machine.
# Each run starts with the earlier runs' writes on disk (sync, untimed): the kernel would
# otherwise write them back during whichever run came next.
time_once() {
  local name=$1; shift
  sync
  local t0; t0=$(now)
  { TIMEFORMAT='%3U %3S'; time "$@" >/dev/null 2>&1; } 2>"$work/cpu"
  echo $(( $(now) - t0 )) >>"$work/$name-walls"
  awk '{ printf "%.0f\n", ($1 + $2) * 1e9 }' "$work/cpu" >>"$work/$name-cpus"
}
# medians NAME: the median wall-clock and processor times of NAME's runs.
medians() {
  echo "$(median <"$work/$1-walls") $(median <"$work/$1-cpus")"
}
# Both write a new file. filterhost replacing an existing one is timed too: it writes a
# temporary file and renames it over the old one, so that a run stopped half-way leaves the old
# image whole, and ext4 then allocates and starts writing the new file's blocks within the
# rename; tiffcp truncates the old file and writes it again in place.
for _ in $(seq "$runs"); do
  rm -f "$work/copy.tif" "$work/out.tif"
  time_once copy tiffcp -c none "$big" "$work/copy.tif"
  time_once filter "$host" --plugin "$module" --no-progress --play "$work/custom.kact" "$big" \
    "$work/out.tif"
  time_once replace "$host" --plugin "$module" --no-progress --play "$work/custom.kact" "$big" \
    "$work/out.tif"
done
read -r copy copyCpu < <(medians copy)
read -r filter filterCpu < <(medians filter)
read -r replace _ < <(medians replace)

# A plug-in behind a wrapper that times each run: timed_plugin NAME BINARY installs BINARY as the
# plug-in NAME; each run appends its wall-clock time to $work/NAME-times and "GIMP's ticks, the
# plug-in's user and system seconds" to $work/NAME-cpu. Processor time: the plug-in's from bash's
# "time", GIMP's (the wrapper's parent) in clock ticks from /proc. The binary is copied beside
# the module, where the real plug-in looks for it.
real="$work/real"
mkdir -p "$real"
cp "$(readlink -f "$module")" "$real/KolmaraPro.so"
timed_plugin() {
  local name=$1 binary=$2
  mkdir -p "$profile/plug-ins/$name"
  cp "$binary" "$real/"
  cat >"$profile/plug-ins/$name/$name" <<WRAP
#!/bin/bash
ticks() { awk '{ sub(/.*\\) /, ""); print \$12 + \$13 }' "/proc/\$PPID/stat"; }
case " \$* " in *" -run "*) t0=\$(date +%s%N); g0=\$(ticks); TIMEFORMAT='%3U %3S'
  { time "$real/$(basename "$binary")" "\$@" 2>&3; } 3>&2 2>"$work/cpu.\$\$"; s=\$?
  echo \$(( \$(date +%s%N) - t0 )) >>"$work/$name-times"
  echo "\$(( \$(ticks) - g0 )) \$(cat "$work/cpu.\$\$")" >>"$work/$name-cpu"; exit \$s ;; esac
exec "$real/$(basename "$binary")" "\$@"
WRAP
  chmod +x "$profile/plug-ins/$name/$name"
}
timed_plugin kolmara-gimp "$build/tools/gimp/kolmara-gimp"
floor=""
if [ -x "$build/bench/gimp_copy_floor" ]; then
  timed_plugin gimp_copy_floor "$build/bench/gimp_copy_floor"
  floor=1
fi
calls=""
for _ in $(seq "$runs"); do
  calls+=" (plug-in-tintara-kolmara-pro RUN-NONINTERACTIVE img d \"$work/custom.kact\")"
  [ -n "$floor" ] && calls+=" (plug-in-kolmara-copy-floor RUN-NONINTERACTIVE img d)"
done
gimp-console-2.10 -i -d -f -b "(let* ((img (car (gimp-file-load RUN-NONINTERACTIVE \"$big\" \"big\"))) (d (car (gimp-image-get-active-drawable img)))) (gimp-image-undo-disable img)$calls)" \
  -b '(gimp-quit 0)' >"$work/gimp.log" 2>&1
plugin=$(median <"$work/kolmara-gimp-times")
# "GIMP's ticks, the plug-in's user and system seconds" per run, to nanoseconds.
tick_ns=$(( 1000000000 / $(getconf CLK_TCK) ))
pluginCpu=$(awk -v t="$tick_ns" '{ printf "%.0f\n", $1 * t + ($2 + $3) * 1e9 }' "$work/kolmara-gimp-cpu" |
  median)

ms() { awk -v n="$1" 'BEGIN { printf "%.0f", n / 1e6 }'; }
echo "host bench: tiffcp -c none $(ms "$copy") ms, filterhost $(ms "$filter") ms," \
     "kolmara-gimp run $(ms "$plugin") ms (medians of $runs, wall clock; processor time:" \
     "tiffcp $(ms "$copyCpu") ms, filterhost $(ms "$filterCpu") ms, kolmara-gimp with GIMP" \
     "$(ms "$pluginCpu") ms); load: $(cut -d' ' -f1-3 /proc/loadavg)"
awk -v a="$filter" -v b="$copy" 'BEGIN { printf "filterhost_vs_tiffcp %.2f x\n", a / b }'
awk -v a="$filterCpu" -v b="$copyCpu" 'BEGIN { printf "filterhost_vs_tiffcp_cpu %.2f x\n", a / b }'
awk -v a="$replace" -v b="$copy" \
  'BEGIN { printf "filterhost_replacing_vs_tiffcp %.2f x (the output file there already)\n", a / b }'
awk -v a="$plugin" -v b="$filter" 'BEGIN { printf "gimp_run_overhead %.2f x\n", a / b }'
awk -v a="$pluginCpu" -v b="$filterCpu" 'BEGIN { printf "gimp_run_overhead_cpu %.2f x\n", a / b }'
# The floor: a plug-in that only reads the layer and writes it back through the shadow buffer.
# The real plug-in's overhead cannot fall below this figure, whatever the module does.
if [ -n "$floor" ]; then
  floorWall=$(median <"$work/gimp_copy_floor-times")
  floorCpu=$(awk -v t="$tick_ns" '{ printf "%.0f\n", $1 * t + ($2 + $3) * 1e9 }' \
    "$work/gimp_copy_floor-cpu" | median)
  echo "host bench: the copy-only plug-in $(ms "$floorWall") ms, with GIMP $(ms "$floorCpu") ms" \
       "processor time"
  awk -v a="$floorWall" -v b="$filter" 'BEGIN { printf "gimp_copy_floor %.2f x\n", a / b }'
  awk -v a="$floorCpu" -v b="$filterCpu" 'BEGIN { printf "gimp_copy_floor_cpu %.2f x\n", a / b }'
fi

# Threads: the filter with the example settings and noise removal switched on (its defaults,
# radii 8 and 4), over the same picture at 8 and 16 bits, with 1, 2 and 4 threads; the figure is
# 2 threads against 1 (on a 2-core machine the best is 0.5). Noise removal is the costly part.
big16="$work/big16.tif"
gimp-console-2.10 -i -d -f -b "(let* ((img (car (gimp-file-load RUN-NONINTERACTIVE \"$big\" \"b\"))) (d 0)) (gimp-image-convert-precision img PRECISION-U16-GAMMA) (set! d (car (gimp-image-get-active-drawable img))) (file-tiff-save RUN-NONINTERACTIVE img d \"$big16\" \"big16.tif\" 0))" \
  -b '(gimp-quit 0)' >"$work/make16.log" 2>&1
sed 's/^0 1 4$/1 1 4/' "$root/examples/demo-settings.txt" >"$work/noise.txt"
if cmp -s "$root/examples/demo-settings.txt" "$work/noise.txt"; then
  echo "host-bench: the example settings have no noise line to switch on" >&2
  exit 1
fi
"$prefs" load-custom "$work/noise.txt" >/dev/null
"$prefs" start custom >/dev/null
"$host" --plugin "$module" --no-progress --record "$work/noise.kact" "$big" "$work/out.tif" 2>/dev/null
"$prefs" start reset >/dev/null
for bits in 8 16; do
  image=$big
  [ "$bits" = 16 ] && image=$big16
  curve=""
  for _ in $(seq "$runs"); do
    for threads in 1 2 4; do
      rm -f "$work/out.tif"
      time_once "threads$bits-$threads" "$host" --plugin "$module" --no-progress \
        --threads "$threads" --play "$work/noise.kact" "$image" "$work/out.tif"
    done
  done
  for threads in 1 2 4; do
    read -r wall _ < <(medians "threads$bits-$threads")
    eval "wall$threads=$wall"
    curve+=" $threads: $(ms "$wall") ms,"
  done
  name=filter_threads2_vs_1
  [ "$bits" = 16 ] && name=filter16_threads2_vs_1
  echo "host bench: $bits-bit with noise removal, threads${curve%,} (medians of $runs)"
  awk -v a="$wall2" -v b="$wall1" -v n="$name" 'BEGIN { printf "%s %.2f x\n", n, a / b }'
done
