#!/bin/bash
# One unit test program of another build, as a step of the native build's test list (which ctest
# and tests/run-all.sh both run): asan takes it from build/asan, wine from the Windows build that
# Wine runs here (tools/wine-env.sh), i386 from build/i386 and runs it under qemu-i386 (named
# explicitly: a 64-bit kernel without 32-bit support, or without a binfmt entry for qemu, cannot
# start it), tsan from build/tsan, only the tests of the threads, under ThreadSanitizer. A program that is not built is skipped (exit 77), or in CI, which builds every
# configuration first, fails.
# Usage: tests/unit-step.sh asan|wine|i386|tsan PROGRAM
set -uo pipefail
ZIPSFX_ROOT="$(cd "$(dirname "$0")/.." && pwd)"
source "$ZIPSFX_ROOT/tools/wine-env.sh"
config="${1:?asan or wine}"
program="${2:?program}"
case "$config" in
asan) build="$ZIPSFX_ROOT/build/asan" exe="$build/tests/$program" target=asan ;;
wine) build="$ZIPSFX_ROOT/build/$ZIPSFX_WINE_BUILD" exe="$build/tests/$program.exe" target=$ZIPSFX_WINE_BUILD ;;
i386) build="$ZIPSFX_ROOT/build/i386" exe="$build/tests/$program" target=i386 ;;
tsan) build="$ZIPSFX_ROOT/build/tsan" exe="$build/tests/$program" target=tsan ;;
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
if [ "$config" = i386 ]; then
    qemu="${ZIPSFX_QEMU_I386:-qemu-i386}"
    if ! command -v "$qemu" >/dev/null; then
        [ "${CI:-}" = true ] && echo "FAIL: no $qemu (make deps)" && exit 1
        echo "SKIP: no $qemu to run 32-bit programs (make deps)"
        exit 77
    fi
    # A test that starts a program of this build (the POSIX stub) starts it through qemu too.
    export ZIPSFX_PROGRAM_RUNNER="$qemu"
    exec "$qemu" "$exe"
fi
if [ "$config" = tsan ]; then
    # A race or a lock-order problem fails the step (exit 66). A filter that matches no test would
    # pass while checking nothing: that fails too.
    export TSAN_OPTIONS="halt_on_error=1 exitcode=66 second_deadlock_stack=1"
    log=$(mktemp)
    trap 'rm -f "$log"' EXIT
    "$exe" --gtest_filter='*Parallel*:*Pipeline*:*Thread*' 2>&1 | tee "$log"
    status=${PIPESTATUS[0]}
    ran=$(sed -n 's/^\[==========\] \([0-9]*\) tests\? from .* ran\..*/\1/p' "$log" | tail -1)
    if [ "$status" -eq 0 ] && [ "${ran:-0}" -eq 0 ]; then
        echo "FAIL: no test of the threads in $program"
        exit 1
    fi
    exit "$status"
fi
exec "$exe"
