#!/usr/bin/env bash
# Cross-builds the Windows module and its unit tests (scripts/build-windows.sh --tests) and runs
# the tests under Wine (label "windows") with a private prefix in build-windows/module/wineprefix.
# Wine's servers are stopped at the end, whatever the result.
set -euo pipefail
cd "$(dirname "$0")/.."
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
ctest --test-dir "$build" -L windows --output-on-failure
