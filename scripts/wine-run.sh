#!/usr/bin/env bash
# Runs one cross-built Windows program under Wine and passes on its exit status. WINEPREFIX
# (a private prefix, made on first use) and WINEDEBUG come from the caller; CTest sets them for
# the tests labelled "windows". Debian's wine64 package installs the loader as
# /usr/lib/wine/wine64; the wine command of the wine package is used when that is missing.
set -u
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine || true)
if [ -z "$wine" ]; then
  echo "wine-run: Wine is not installed (scripts/setup-deps.sh installs wine64)" >&2
  exit 1
fi
export WINEDEBUG=${WINEDEBUG:--all}
# No desktop integration or Mono/Gecko prompts while a new prefix is made.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=;winemenubuilder.exe=d}
exec "$wine" "$@"
