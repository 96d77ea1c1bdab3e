#!/usr/bin/env bash
# Cross-builds the Windows module and its unit tests (scripts/build-windows.sh --tests) and runs
# the tests under Wine (label "windows") with a private prefix in build-windows/module/wineprefix.
# Wine's servers are stopped at the end, whatever the result. filterhost.exe is compared with the
# Linux filterhost of the main build folder (build/, or KOLMARA_LINUX_BUILD), whose filterhost and
# kolmara-prefs are brought up to date here (nothing to do after scripts/test.sh's build). The
# window test (tests/windows/window_dialogs_test.sh) starts an X server and a Wine prefix of its
# own and stops both.
set -euo pipefail
cd "$(dirname "$0")/.."
linux_build=${KOLMARA_LINUX_BUILD:-$PWD/build}
if [ ! -f "$linux_build/CMakeCache.txt" ]; then
  cmake -S . -B "$linux_build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$linux_build" -j"${KOLMARA_JOBS:-2}" --target filterhost kolmara-prefs >/dev/null
bash scripts/build-windows.sh --tests
build=$PWD/build-windows/module
export WINEPREFIX=$build/wineprefix WINEDEBUG=-all
stop_wine() {
  local server prefix
  for server in /usr/lib/wine/wineserver "$(command -v wineserver || true)"; do
    if [ -n "$server" ] && [ -x "$server" ]; then
      # The unit tests have a prefix of their own (tests/windows/CMakeLists.txt).
      for prefix in "$build/wineprefix" "$build/wineprefix-unit"; do
        WINEPREFIX=$prefix "$server" -k 2>/dev/null || true
      done
      return
    fi
  done
}
trap stop_wine EXIT
# Two at a time: the window test spends most of its three minutes waiting for Wine to draw, while
# the unit tests, which take turns in their own prefix (tests/windows/CMakeLists.txt), run.
ctest --test-dir "$build" -L windows --output-on-failure -j2
