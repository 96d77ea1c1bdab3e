#!/usr/bin/env bash
# Builds the fuzz harnesses (tests/fuzz) with clang, libFuzzer, AddressSanitizer and
# UndefinedBehaviorSanitizer in build-fuzz/, and runs one reader or all of them, one after the
# other, each for the given number of seconds (default 60). For each reader it prints the
# executions, libFuzzer's coverage figures (cov: edges, ft: features) and any finding with its
# reproducer file, then a summary table.
#
#   scripts/fuzz.sh                    every reader, 60 s each
#   scripts/fuzz.sh image 600          the image reader for ten minutes
#   scripts/fuzz.sh --merge [reader]   minimise the seed corpus in place (libFuzzer -merge=1)
#
# The seed corpus (tests/fuzz/corpus/<reader>/) and the saved reproducers
# (tests/fuzz/regressions/<reader>/) are only read while fuzzing; new inputs go to a working
# corpus in build-fuzz/work/<reader>/ and findings to build-fuzz/findings/<reader>/. A finding is
# replayed with `build-fuzz/tests/fuzz/fuzz_<reader> <file>`; once mended, copy it into
# tests/fuzz/regressions/<reader>/ so that the test run keeps replaying it.
#
# Runs are niced (FUZZ_NICE, default 10) and use one core; the build uses FUZZ_JOBS (default 2).
# FUZZ_BUILD=0 skips installing and building and uses the harnesses already in build-fuzz/, so
# that two readers can be fuzzed side by side on two cores once one call has built them:
#
#   scripts/fuzz.sh all 0 && (FUZZ_BUILD=0 scripts/fuzz.sh image 600 &
#                             FUZZ_BUILD=0 scripts/fuzz.sh script 600; wait)
#
# "all" names every reader; 0 seconds builds and runs nothing.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
readers=(prefs settings_text huegrid_stream script image resources help_text filter_run)

merge=0
if [ "${1:-}" = "--merge" ]; then
  merge=1
  shift
fi
only="${1:-}"
seconds="${2:-60}"
if [ -n "$only" ] && [ "$only" != all ]; then
  found=0
  for r in "${readers[@]}"; do [ "$r" = "$only" ] && found=1; done
  if [ $found -eq 0 ]; then
    echo "fuzz.sh: unknown reader '$only' (one of: ${readers[*]})" >&2
    exit 2
  fi
  readers=("$only")
fi
if ! [[ "$seconds" =~ ^[0-9]+$ ]]; then
  echo "fuzz.sh: seconds must be a whole number" >&2
  exit 2
fi

build="$root/build-fuzz"
jobs="${FUZZ_JOBS:-2}"
nice_level="${FUZZ_NICE:-10}"
if [ "${FUZZ_BUILD:-1}" != 0 ]; then
  bash scripts/setup-deps.sh
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
        -DCMAKE_C_FLAGS=-fsanitize=fuzzer-no-link -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link \
        -DKOLMARA_SANITIZE=ON -DKOLMARA_FUZZ=ON \
        -DKOLMARA_SUBSYSTEMS="hostsdk;engine;edit;imagelib;host;tools/filterhost" >/dev/null
  targets=()
  for r in "${readers[@]}"; do targets+=("fuzz_$r"); done
  echo "== building ${targets[*]} in $build"
  if ! nice -n "$nice_level" cmake --build "$build" -j "$jobs" --target "${targets[@]}" \
       >"$build/build.log" 2>&1; then
    tail -40 "$build/build.log"
    exit 1
  fi
fi
for r in "${readers[@]}"; do
  if [ ! -x "$build/tests/fuzz/fuzz_$r" ]; then
    echo "fuzz.sh: $build/tests/fuzz/fuzz_$r is not built (run without FUZZ_BUILD=0)" >&2
    exit 2
  fi
done

[ "$seconds" -eq 0 ] && [ $merge -eq 0 ] && exit 0

# The harnesses point the preferences and temporary folders at a folder of their own.
export ASAN_OPTIONS="detect_leaks=1${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"

if [ $merge -eq 1 ]; then
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

summary=()
status=0
for r in "${readers[@]}"; do
  work="$build/work/$r"
  findings="$build/findings/$r"
  log="$build/fuzz-$r.log"
  mkdir -p "$work" "$findings"
  inputs=("$work" "$root/tests/fuzz/corpus/$r")
  [ -d "$root/tests/fuzz/regressions/$r" ] && inputs+=("$root/tests/fuzz/regressions/$r")
  echo "== $r: ${seconds} s"
  set +e
  nice -n "$nice_level" "$build/tests/fuzz/fuzz_$r" -max_total_time="$seconds" -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$findings/" "${inputs[@]}" \
    >"$log" 2>&1
  rc=$?
  set -e
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  line=$(grep -E '^#[0-9]+' "$log" | grep -E 'cov: ' | tail -1 || true)
  cov=$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$line")
  ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$line")
  found=$(grep -oE "Test unit written to [^ ]+" "$log" | sed 's/Test unit written to //' || true)
  if [ $rc -ne 0 ] || [ -n "$found" ]; then
    status=1
    echo "   FINDING (exit $rc), log: $log"
    grep -E "ERROR: |SUMMARY: |broken promise|runtime error" "$log" | head -5 | sed 's/^/   /'
    for f in $found; do echo "   reproducer: $f"; done
  fi
  echo "   executions ${execs:-?}, cov ${cov:-?}, ft ${ft:-?}"
  summary+=("$(printf '%-16s %12s %8s %8s  %s' "$r" "${execs:-?}" "${cov:-?}" "${ft:-?}" \
    "$([ $rc -ne 0 ] || [ -n "$found" ] && echo "finding: ${found:-see $log}" || echo none)")")
done

echo
printf '%-16s %12s %8s %8s  %s\n' reader executions cov ft findings
for s in "${summary[@]}"; do echo "$s"; done
exit $status
