#!/bin/bash
# Runs one Windows test program under Wine on a headless display: ctest's cross-compiling
# emulator for the Windows builds (tests/CMakeLists.txt). Wine and the display are started for
# the one program, unless the caller started them already (ZIPSFX_WINE_RUNNING=1, as
# tests/run-all.sh does for all of them). Usage: tests/wine-run.sh PROGRAM [ARGS]
set -uo pipefail
ZIPSFX_ROOT="$(cd "$(dirname "$0")/.." && pwd)"
source "$ZIPSFX_ROOT/tools/wine-env.sh"
if [ "${ZIPSFX_WINE_RUNNING:-}" != 1 ]; then
    wine_start || exit 1
    trap wine_stop EXIT
fi
timeout 600 "$ZIPSFX_WINE" "$@"
