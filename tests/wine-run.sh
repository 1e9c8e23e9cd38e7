#!/bin/bash
# Runs one Windows test program under Wine on a headless display: ctest's cross-compiling
# emulator for the Windows builds (tests/CMakeLists.txt). Usage: tests/wine-run.sh PROGRAM [ARGS]
set -uo pipefail
ZIPSFX_ROOT="$(cd "$(dirname "$0")/.." && pwd)"
source "$ZIPSFX_ROOT/tools/wine-env.sh"
wine_start || exit 1
trap wine_stop EXIT
timeout 600 "$ZIPSFX_WINE" "$@"
