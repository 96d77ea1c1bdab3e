#!/usr/bin/env bash
# The demo: correct a bundled sample photograph through the real module with the stand-in host.
# The stand-in host does not exist yet; until it does, this script says what it will run.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup-deps.sh
if [ ! -x build/tools/filterhost/filterhost ]; then
  echo "demo: the stand-in host 'filterhost' is not built yet."
  echo "demo: once it exists this script will build the project and run"
  echo "demo:   build/tools/filterhost/filterhost examples/chelsea.png out/chelsea-corrected.png"
  echo "demo: through the module build/KolmaraPro.so, then print where the result is."
  exit 0
fi
