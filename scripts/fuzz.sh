#!/usr/bin/env bash
# Fuzzes the readers of outside data (tests/fuzz) and reports, per reader, the executions and the
# line coverage of the files the reader is made of.
#
#   scripts/fuzz.sh [READER|all] [SECONDS]   fuzz every reader (or one) for SECONDS each (60)
#   scripts/fuzz.sh --coverage [READER|all]  only the coverage that the corpora reach now
#   scripts/fuzz.sh --merge [READER|all]     minimise the seed corpus in place (libFuzzer -merge=1)
#
# The long campaign on a quiet machine, two readers at a time on two cores, 20 minutes each:
#
#   FUZZ_PARALLEL=2 scripts/fuzz.sh all 1200
#
# Order: the readers whose sources changed since they were last fuzzed come first (the record is
# tests/fuzz/fuzzed.txt: reader, commit, date, seconds, executions, line coverage; a reader
# missing from it counts as changed), then the others. A run of 600 seconds or more per reader
# writes its readers' new lines into the record (FUZZ_RECORD=1 or 0 decides otherwise); commit
# the record with the campaign's findings.
#
# How: the harnesses are built with clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer in build-fuzz/ and run niced (FUZZ_NICE, default 10), one core each,
# with -timeout=10 -rss_limit_mb=2048. New inputs go to a working corpus, build-fuzz/work/READER/,
# which is minimised (-merge=1) after each run so that it keeps only inputs that add coverage;
# findings go to build-fuzz/findings/READER/ and are replayed with
# `build-fuzz/tests/fuzz/fuzz_READER FILE`; once mended, copy the reproducer into
# tests/fuzz/regressions/READER/, where every test run replays it. The seed corpora
# (tests/fuzz/corpus/READER/) and the reproducers are only read.
#
# Coverage: the same harnesses with the replay main of the test build, built with clang's source
# coverage (-fprofile-instr-generate -fcoverage-mapping, no sanitizers) in build-fuzz-cov/, replay
# the seeds, the reproducers and the working corpus; llvm-cov gives the share of lines run in the
# reader's own files (the first named below is the file the harness targets, "all" is over every
# file of the reader). FUZZ_COVERAGE=0 leaves it out.
#
# FUZZ_BUILD=0 skips installing and building and uses what build-fuzz/ and build-fuzz-cov/ hold;
# FUZZ_JOBS (default 2) is the build's parallelism. The exit status is 1 when anything was found.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

# The readers and their files: the harness targets the first; all of them are the reader.
declare -A files=(
  [prefs]="platform/prefs_file.cpp platform/prefs_merge.cpp edit/prefs.cpp"
  [settings_text]="edit/settings_text.cpp edit/pars_text.cpp edit/color_defs.cpp edit/memory_colors.cpp edit/text_lines.cpp"
  [huegrid_stream]="engine/huegrid_stream.cpp engine/huegrid_applier.cpp"
  [script]="host/scripting.cpp tools/hostlib/descriptors.cpp tools/hostlib/handle_suite.cpp"
  [image]="imagelib/tiff_reader.cpp imagelib/jpeg_reader.cpp imagelib/ras_image.cpp imagelib/ras_row_reader.cpp"
  [resources]="platform/resources.cpp platform/resources_elf.cpp platform/ui/dlg_template.cpp tools/hostlib/pipl_check.cpp tools/hostlib/module_file.cpp"
  [help_text]="edit/window/help_window.cpp"
  [filter_run]="host/filter_image.cpp host/start_phase.cpp host/phases.cpp host/prepare.cpp host/plugin_main.cpp"
)
all_readers=(prefs settings_text huegrid_stream script image resources help_text filter_run)
record="$root/tests/fuzz/fuzzed.txt"

mode=fuzz
case "${1:-}" in
  --merge) mode=merge; shift ;;
  --coverage) mode=coverage; shift ;;
esac
only="${1:-all}"
seconds="${2:-60}"
if [ "$only" != all ] && [ -z "${files[$only]+x}" ]; then
  echo "fuzz.sh: unknown reader '$only' (one of: ${all_readers[*]})" >&2
  exit 2
fi
if ! [[ "$seconds" =~ ^[0-9]+$ ]]; then
  echo "fuzz.sh: seconds must be a whole number" >&2
  exit 2
fi
parallel="${FUZZ_PARALLEL:-1}"
if ! [[ "$parallel" =~ ^[1-9][0-9]*$ ]]; then
  echo "fuzz.sh: FUZZ_PARALLEL must be a number of readers at a time" >&2
  exit 2
fi

# Whether a reader's files (or its harness) changed since the commit it was last fuzzed at.
changed_since_fuzzed() {
  local r=$1 commit
  commit=$(awk -v r="$r" '$1 == r { c = $2 } END { print c }' "$record" 2>/dev/null || true)
  [ -z "$commit" ] && return 0
  git cat-file -e "$commit^{commit}" 2>/dev/null || return 0
  # shellcheck disable=SC2086
  ! git diff --quiet "$commit" HEAD -- ${files[$r]} "tests/fuzz/fuzz_$r.cpp"
}

readers=()
if [ "$only" = all ]; then
  for r in "${all_readers[@]}"; do changed_since_fuzzed "$r" && readers+=("$r"); done
  for r in "${all_readers[@]}"; do changed_since_fuzzed "$r" || readers+=("$r"); done
else
  readers=("$only")
fi
changed_list=()
for r in "${readers[@]}"; do changed_since_fuzzed "$r" && changed_list+=("$r"); done
echo "== readers in order: ${readers[*]} (changed since last fuzzed: ${changed_list[*]:-none})"

build="$root/build-fuzz"
cov_build="$root/build-fuzz-cov"
jobs="${FUZZ_JOBS:-2}"
nice_level="${FUZZ_NICE:-10}"
subsystems="hostsdk;engine;edit;imagelib;host;tools/filterhost"
targets=()
for r in "${readers[@]}"; do targets+=("fuzz_$r"); done
want_coverage=${FUZZ_COVERAGE:-1}
[ "$mode" = merge ] && want_coverage=0
[ "$mode" = fuzz ] && [ "$seconds" -eq 0 ] && want_coverage=0

if [ "${FUZZ_BUILD:-1}" != 0 ]; then
  bash scripts/setup-deps.sh
  if [ "$mode" != coverage ]; then
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
          -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
          -DCMAKE_C_FLAGS=-fsanitize=fuzzer-no-link -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link \
          -DKOLMARA_SANITIZE=ON -DKOLMARA_FUZZ=ON -DKOLMARA_SUBSYSTEMS="$subsystems" >/dev/null
    echo "== building ${targets[*]} in $build"
    if ! nice -n "$nice_level" cmake --build "$build" -j "$jobs" --target "${targets[@]}" \
         >"$build/build.log" 2>&1; then
      tail -40 "$build/build.log"
      exit 1
    fi
  fi
  if [ "$want_coverage" != 0 ]; then
    flags="-fprofile-instr-generate -fcoverage-mapping"
    cmake -S "$root" -B "$cov_build" -DCMAKE_BUILD_TYPE=Debug \
          -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
          -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
          -DKOLMARA_SUBSYSTEMS="$subsystems" >/dev/null
    echo "== building ${targets[*]} with coverage in $cov_build"
    if ! nice -n "$nice_level" cmake --build "$cov_build" -j "$jobs" --target "${targets[@]}" \
         >"$cov_build/build.log" 2>&1; then
      tail -40 "$cov_build/build.log"
      exit 1
    fi
  fi
fi
if [ "$mode" != coverage ]; then
  for r in "${readers[@]}"; do
    if [ ! -x "$build/tests/fuzz/fuzz_$r" ]; then
      echo "fuzz.sh: $build/tests/fuzz/fuzz_$r is not built (run without FUZZ_BUILD=0)" >&2
      exit 2
    fi
  done
fi

# The harnesses point the preferences and temporary folders at a folder of their own.
export ASAN_OPTIONS="detect_leaks=1${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"

if [ "$mode" = merge ]; then
  for r in "${readers[@]}"; do
    seeds="$root/tests/fuzz/corpus/$r"
    merged="$build/merge/$r"
    rm -rf "$merged"
    mkdir -p "$merged"
    nice -n "$nice_level" "$build/tests/fuzz/fuzz_$r" -merge=1 -timeout=10 -rss_limit_mb=2048 \
      "$merged" "$seeds" 2>"$build/merge-$r.log" || { tail -20 "$build/merge-$r.log"; exit 1; }
    before=$(find "$seeds" -type f | wc -l)
    rm -f "$seeds"/*
    cp "$merged"/* "$seeds"/
    echo "$r: $before seeds -> $(find "$seeds" -type f | wc -l) ($(du -sk "$seeds" | cut -f1) KB)"
  done
  exit 0
fi

results="$build/results"
mkdir -p "$results"

# Fuzzes one reader and leaves "executions exec/s cov ft exit findings" in results/READER.
fuzz_one() {
  local r=$1 work="$build/work/$r" findings="$build/findings/$r" log="$build/fuzz-$r.log"
  mkdir -p "$work" "$findings"
  local inputs=("$work" "$root/tests/fuzz/corpus/$r")
  [ -d "$root/tests/fuzz/regressions/$r" ] && inputs+=("$root/tests/fuzz/regressions/$r")
  set +e
  nice -n "$nice_level" "$build/tests/fuzz/fuzz_$r" -max_total_time="$seconds" -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$findings/" "${inputs[@]}" \
    >"$log" 2>&1
  local rc=$?
  set -e
  local execs rate line cov ft found
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  line=$(grep -E '^#[0-9]+' "$log" | grep -E 'cov: ' | tail -1 || true)
  cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$line")
  ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$line")
  found=$(grep -oE "Test unit written to [^ ]+" "$log" | sed 's/Test unit written to //' |
          tr '\n' ' ' || true)
  # Keep the working corpus small: only the inputs that add coverage stay.
  if [ $rc -eq 0 ] && [ -n "$(ls -A "$work")" ]; then
    local merged="$build/merge-work/$r"
    rm -rf "$merged"
    mkdir -p "$merged"
    if nice -n "$nice_level" "$build/tests/fuzz/fuzz_$r" -merge=1 -timeout=10 \
         -rss_limit_mb=2048 "$merged" "$work" >"$build/merge-work-$r.log" 2>&1; then
      rm -rf "$work"
      mv "$merged" "$work"
    fi
  fi
  echo "${execs:-?} ${rate:-?} ${cov:-?} ${ft:-?} $rc ${found:-}" >"$results/$r"
}

if [ "$mode" = fuzz ] && [ "$seconds" -gt 0 ]; then
  echo "== fuzzing ${#readers[@]} readers, $seconds s each, $parallel at a time"
  running=0
  for r in "${readers[@]}"; do
    if [ "$running" -ge "$parallel" ]; then
      wait -n
      running=$((running - 1))
    fi
    echo "   $r"
    fuzz_one "$r" &
    running=$((running + 1))
  done
  wait
fi

# Line coverage of the reader's files from the corpora as they are now: "first all" percentages.
coverage_one() {
  local r=$1 profiles="$cov_build/profiles/$r"
  rm -rf "$profiles"
  mkdir -p "$profiles"
  local inputs=("$root/tests/fuzz/corpus/$r")
  [ -d "$root/tests/fuzz/regressions/$r" ] && inputs+=("$root/tests/fuzz/regressions/$r")
  [ -d "$build/work/$r" ] && [ -n "$(ls -A "$build/work/$r")" ] && inputs+=("$build/work/$r")
  LLVM_PROFILE_FILE="$profiles/%p.profraw" nice -n "$nice_level" \
    "$cov_build/tests/fuzz/fuzz_$r" "${inputs[@]}" >"$cov_build/replay-$r.log" 2>&1 || true
  llvm-profdata merge -sparse "$profiles"/*.profraw -o "$profiles/merged.profdata"
  local sources=()
  for f in ${files[$r]}; do sources+=("$root/$f"); done
  llvm-cov export -summary-only -instr-profile="$profiles/merged.profdata" \
    "$cov_build/tests/fuzz/fuzz_$r" "${sources[@]}" |
    python3 -c '
import json, sys
first = sys.argv[1]
data = json.load(sys.stdin)["data"][0]["files"]
covered = total = 0
mine = "?"
for f in data:
    lines = f["summary"]["lines"]
    covered += lines["covered"]; total += lines["count"]
    if f["filename"].endswith("/" + first):
        mine = "%.1f%%" % lines["percent"]
print(mine, "%.1f%%" % (100.0 * covered / total) if total else "?")
' "${files[$r]%% *}"
}

status=0
summary=()
for r in "${readers[@]}"; do
  execs="-" rate="-" cov="-" ft="-" rc=0 found=""
  if [ -f "$results/$r" ] && [ "$mode" = fuzz ] && [ "$seconds" -gt 0 ]; then
    read -r execs rate cov ft rc found <"$results/$r" || true
  fi
  lines_first="-" lines_all="-"
  if [ "$want_coverage" != 0 ]; then
    read -r lines_first lines_all < <(coverage_one "$r") || true
  fi
  verdict=none
  if [ "$rc" != 0 ] || [ -n "$found" ]; then
    status=1
    verdict="FINDING: ${found:-see $build/fuzz-$r.log}"
  fi
  summary+=("$(printf '%-15s %12s %8s %7s %7s  %-24s %6s %6s  %s' "$r" "$execs" "$rate" "$cov" \
    "$ft" "${files[$r]%% *}" "$lines_first" "$lines_all" "$verdict")")
  # A run that found something stopped early: it is no round of the full length, and the
  # reader stays first in line for the next campaign.
  if [ "$mode" = fuzz ] && [ "$seconds" -gt 0 ] && [ "$verdict" = none ] &&
     { [ "${FUZZ_RECORD:-}" = 1 ] || { [ -z "${FUZZ_RECORD:-}" ] && [ "$seconds" -ge 600 ]; }; }; then
    touch "$record"
    # The comment lines stay on top; the readers' lines follow in order.
    { grep "^#" "$record" || true
      { grep -v -e "^#" -e "^$r " "$record" || true
        echo "$r $(git rev-parse HEAD) $(date -u +%Y-%m-%d) $seconds $execs $lines_first"; } | sort
    } >"$record.new"
    mv "$record.new" "$record"
  fi
done

echo
printf '%-15s %12s %8s %7s %7s  %-24s %6s %6s  %s\n' reader executions exec/s cov ft \
  "target file" lines all findings
for s in "${summary[@]}"; do echo "$s"; done
exit $status
