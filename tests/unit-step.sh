#!/bin/bash
# One unit test program of another build, as a step of the native build's test list (which ctest
# and tests/run-all.sh both run): asan takes it from build/asan, wine from the Windows build that
# Wine runs here (tools/wine-env.sh). A program that is not built is skipped (exit 77), or in CI,
# which builds every configuration first, fails.
# Usage: tests/unit-step.sh asan|wine PROGRAM
set -uo pipefail
ZIPSFX_ROOT="$(cd "$(dirname "$0")/.." && pwd)"
source "$ZIPSFX_ROOT/tools/wine-env.sh"
config="${1:?asan or wine}"
program="${2:?program}"
case "$config" in
asan) build="$ZIPSFX_ROOT/build/asan" exe="$build/tests/$program" target=asan ;;
wine) build="$ZIPSFX_ROOT/build/$ZIPSFX_WINE_BUILD" exe="$build/tests/$program.exe" target=$ZIPSFX_WINE_BUILD ;;
*)
    echo "unit-step: unknown build $config" >&2
    exit 2
    ;;
esac
if [ ! -f "$exe" ]; then
    if [ "${CI:-}" = true ]; then
        echo "FAIL: no $exe (CI builds every configuration first)"
        exit 1
    fi
    echo "SKIP: no $exe (make $target)"
    exit 77
fi
export ZIPSFX_SOURCE_DIR="$ZIPSFX_ROOT" ZIPSFX_BUILD_DIR="$build"
if [ "$config" = wine ]; then
    exec bash "$ZIPSFX_ROOT/tests/wine-run.sh" "$exe"
fi
exec "$exe"
