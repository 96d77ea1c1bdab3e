#!/usr/bin/env bash
# Builds the benchmarks in Release and runs them against their peers (lcms2, memcpy) in one
# run, then counts the instructions per pixel of the 8-bit grid kernel under callgrind when
# valgrind is installed, times the editing window's preview (one live-slider frame, the
# acquisition) and the window itself (its opening, one live-slider step of a brightness drag with
# Keenhue Mode on and off: window_bench), measures the default grid's error for the automatic
# settings of the repository's photographs (grid_error_photos), times the exported files (.cube
# LUT, ICC profiles), then evaluates the automatic correction (Keenhue) on known colour casts
# through the real module and filterhost, against a per-channel levels stretch, then times a
# batch run of filterhost on a 24-megapixel TIFF against tiffcp and the GIMP plug-in against
# filterhost (scripts/host-bench.sh), counts the runs that give the right picture among 8 x 12
# filterhost runs at once over one preferences folder (bench/concurrent_runs.cpp), and, when
# Wine is installed, the 8-bit grid kernel cross-built for Windows under Wine. Ends with one line
# per figure, NAME VALUE UNIT; bench/README.md says what each figure means.
#
#   JOBS                 parallel build jobs (default: the number of processors)
#   KOLMARA_SUBSYSTEMS   subsystems to configure (default: all); without the module, filterhost,
#                        the preferences tool and the demo tools the evaluation is left out
#   BENCH_ARGS           extra arguments for the benchmark program, e.g.
#                        --benchmark_filter=grid8
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash scripts/setup-deps.sh

build="$root/build-bench"
jobs=${JOBS:-$(nproc 2>/dev/null || echo 2)}
all="hostsdk;engine;edit;imagelib;host;tools/filterhost;tools/prefstool;tools/demo;bench"
subsystems=${KOLMARA_SUBSYSTEMS:-$all}
targets=(huegrid_bench huegrid_callgrind noise_bench chain_bench grid8_speed)
export_files=1
for needed in engine edit bench; do
  case ";$subsystems;" in *";$needed;"*) ;; *) export_files=0 ;; esac
done
if [ "$export_files" -eq 1 ]; then targets+=(export_bench); fi
speed=1
for needed in engine edit host bench; do
  case ";$subsystems;" in *";$needed;"*) ;; *) speed=0 ;; esac
done
if [ "$speed" -eq 1 ]; then targets+=(keenhue_speed); fi
preview=$speed
case ";$subsystems;" in *";tools/filterhost;"*) ;; *) preview=0 ;; esac
if [ "$preview" -eq 1 ]; then targets+=(preview_bench window_bench grid_error_photos); fi
evaluate=1
for needed in engine edit imagelib host tools/filterhost tools/prefstool tools/demo bench; do
  case ";$subsystems;" in *";$needed;"*) ;; *) evaluate=0 ;; esac
done
if [ "$evaluate" -eq 1 ]; then targets+=(keenhue_eval); fi
# Warnings are not errors here: GCC 12 at -O3 reports false -Wrestrict overlaps inside
# std::string concatenation (GCC bug 105329); the test build checks warnings at -O2.
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DKOLMARA_TESTS=OFF -DKOLMARA_WERROR=OFF \
      -DKOLMARA_SUBSYSTEMS="$subsystems" >/dev/null
cmake --build "$build" -j "$jobs" --target "${targets[@]}"

log=$(mktemp)
trap 'rm -f "$log"' EXIT
# shellcheck disable=SC2086
"$build/bench/huegrid_bench" ${BENCH_ARGS:-} | tee "$log"
"$build/bench/noise_bench" 5 | tee -a "$log"
"$build/bench/chain_bench" | tee -a "$log"
if [ "$speed" -eq 1 ]; then "$build/bench/keenhue_speed" 7 | tee -a "$log"; fi
if [ "$preview" -eq 1 ]; then
  "$build/bench/preview_bench" | tee -a "$log"
  "$build/bench/window_bench" | tee -a "$log"
  # The grid's error for the automatic settings of the repository's photographs.
  "$build/bench/grid_error_photos" "$root"/examples/*.png "$root/examples/rocket.jpg" \
    "$root"/bench/photos/*.jpg "$root"/bench/photos/*.png | tee -a "$log"
fi
if [ "$export_files" -eq 1 ]; then "$build/bench/export_bench" | tee -a "$log"; fi
if [ "$evaluate" -eq 1 ]; then
  # Only files of the repository: the chart is generated, the photographs are in examples/ and
  # bench/photos/. Niced: it runs the module some seventy times.
  nice "$build/bench/keenhue_eval" "$root/examples/chelsea.png" "$root/examples/coffee.png" \
    "$root/examples/rocket.jpg" "$root"/bench/photos/*.jpg "$root"/bench/photos/*.png |
    tee -a "$log"
else
  echo "KOLMARA_SUBSYSTEMS leaves out what the Keenhue evaluation needs: not run" >&2
fi
if [ "$evaluate" -eq 1 ]; then
  # gimp_copy_floor is the floor under the GIMP plug-in's figure: without it the host bench
  # reports the plug-in against filterhost only.
  cmake --build "$build" -j "$jobs" --target filterhost kolmara-gimp kolmara-prefs gimp_copy_floor
  BUILD_DIR="$build" nice bash scripts/host-bench.sh | tee -a "$log"
  # Runs side by side: 8 filterhost runs at a time, 12 rounds, over one preferences folder with
  # custom settings while kolmara-prefs rewrites it (bench/concurrent_runs.cpp).
  cmake --build "$build" -j "$jobs" --target concurrent_runs
  "$build/bench/concurrent_runs" "$build/tools/filterhost/filterhost" \
    "$build/tools/prefstool/kolmara-prefs" "$root/examples/chelsea.png" \
    "$root/examples/demo-settings.txt" "$build/concurrent_runs" 8 12 | tee -a "$log" || true
fi
# The 8-bit grid kernel under Wine against the same program here: the same sources, compiler
# release and Release flags, cross-built with mingw-w64 (scripts/build-windows.sh --bench).
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine || true)
if [ -n "$wine" ]; then
  bash scripts/build-windows.sh --bench >/dev/null
  prefix="$root/build-windows/bench/wineprefix"
  native=$("$build/bench/grid8_speed" | tee -a "$log" | awk '/^grid8_mpix_per_s/ {print $2}')
  windows=$(WINEPREFIX=$prefix WINEDEBUG=-all bash scripts/wine-run.sh \
    "$root/build-windows/bench/bench/grid8_speed.exe" | tr -d '\r' | sed 's/^/wine: /' |
    tee -a "$log" | awk '/^wine: grid8_mpix_per_s/ {print $3}')
  WINEPREFIX=$prefix "$(dirname "$wine")/wineserver" -k 2>/dev/null || true
  if [ -n "$native" ] && [ -n "$windows" ]; then
    awk -v w="$windows" -v n="$native" 'BEGIN { printf "windows_grid8_vs_linux %.2f x\n", w / n }' |
      tee -a "$log"
  fi
else
  echo "Wine not installed: no windows_grid8_vs_linux" >&2
fi
# Units are letters, with digits after the first one (dE00).
summary=$(grep -E '^[a-z0-9_]+ [0-9.]+ [A-Za-z][A-Za-z0-9_/]*$' "$log" || true)

if command -v valgrind >/dev/null 2>&1; then
  out="$build/huegrid_callgrind.out"
  valgrind --tool=callgrind --toggle-collect='HgApplyRow*' --callgrind-out-file="$out" \
           "$build/bench/huegrid_callgrind" >/dev/null 2>&1
  pixels=1000000
  per_pixel=$(awk -v n="$pixels" '/^summary:/ { printf "%.1f", $2 / n }' "$out")
  summary+=$'\n'"grid8_callgrind_per_pixel $per_pixel instr"
  chain_out="$build/chain_callgrind.out"
  # HgBuild itself: the Release build inlines the routines under it, HgBuildPlaced among them, so
  # a toggle on one of those would count nothing.
  valgrind --tool=callgrind --toggle-collect='HgBuild(*' --callgrind-out-file="$chain_out" \
           "$build/bench/chain_bench" --build-once >/dev/null 2>&1
  summary+=$'\n'"hgbuild_q7_16bit_callgrind $(awk '/^summary:/ {print $2}' "$chain_out") instr"
else
  echo "valgrind not installed: no instruction count" >&2
fi

echo "== summary"
echo "$summary"
