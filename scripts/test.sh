#!/usr/bin/env bash
# Installs what is missing, builds everything, runs every test, cross-builds the Windows module
# and runs its tests under Wine, then builds the unit tests again with AddressSanitizer +
# UndefinedBehaviorSanitizer and runs them, and the tests of the threads under ThreadSanitizer.
# Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

bash scripts/setup-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)
werror=OFF
if [ "${CI:-}" = "true" ]; then werror=ON; fi

# Tests never touch the real preferences folder.
export XDG_CONFIG_HOME="${TMPDIR:-/tmp}/kolmara-test-config.$$"
mkdir -p "$XDG_CONFIG_HOME"
trap 'rm -rf "$XDG_CONFIG_HOME"' EXIT

# Every tracked C++ file is formatted as the project's .clang-format says (clang-format 14: other
# versions format some constructs differently).
echo "== formatting (clang-format)"
if ! clang-format --version | grep -q 'version 14\.'; then
  echo "clang-format 14 is needed to check the formatting; found: $(clang-format --version)" >&2
  exit 1
fi
if git -C "$root" rev-parse --git-dir >/dev/null 2>&1; then
  git -C "$root" ls-files -z -- '*.cpp' '*.h' | (cd "$root" && xargs -0 clang-format --dry-run --Werror)
else
  echo "not a git checkout: formatting not checked"
fi

echo "== build (release with debug info)"
cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKOLMARA_WERROR=$werror >/dev/null
cmake --build "$root/build" -j "$jobs"
echo "== tests"
ctest --test-dir "$root/build" --output-on-failure -j "$jobs"

# The Windows module cross-built with mingw-w64 and its tests run under Wine (label "windows").
echo "== Windows module (mingw-w64) and its tests under Wine"
bash scripts/test-windows.sh

echo "== build (AddressSanitizer + UndefinedBehaviorSanitizer)"
cmake -S "$root" -B "$root/build-asan" -DCMAKE_BUILD_TYPE=Debug -DKOLMARA_SANITIZE=ON \
      -DKOLMARA_WERROR=$werror >/dev/null
cmake --build "$root/build-asan" -j "$jobs"
echo "== tests under sanitizers"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir "$root/build-asan" --output-on-failure -j "$jobs" -L unit
# The code that runs on several threads, again under ThreadSanitizer: only its tests (label
# "threads") are built, which needs the engine and the platform alone.
echo "== build (ThreadSanitizer) and the tests of the threads"
cmake -S "$root" -B "$root/build-tsan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKOLMARA_SANITIZE_THREAD=ON \
      -DKOLMARA_WERROR=$werror >/dev/null
cmake --build "$root/build-tsan" -j "$jobs" --target threads_tests
TSAN_OPTIONS=halt_on_error=1 ctest --test-dir "$root/build-tsan" --output-on-failure -j "$jobs" -L threads
echo "== all tests passed"
