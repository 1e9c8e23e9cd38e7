#!/bin/bash
# Runs every test: native unit tests, the same under ASan+UBSan, the Windows unit tests under
# Wine, then the end-to-end scripts (tests/e2e/test_*.sh). Prints one summary line at the end.
set -uo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
export ZIPSFX_ROOT="$ROOT"
source tools/wine-env.sh

passed=0
failed=0
failures=()

record() {  # name status
    if [ "$2" -eq 0 ]; then
        passed=$((passed + 1))
        echo "PASS $1"
    else
        failed=$((failed + 1))
        failures+=("$1")
        echo "FAIL $1"
    fi
}

for config in native asan; do
    for exe in build/$config/tests/test_*; do
        [ -x "$exe" ] || continue
        log="build/$config/tests/$(basename "$exe").log"
        ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
            ZIPSFX_SOURCE_DIR="$ROOT" ZIPSFX_BUILD_DIR="$ROOT/build/$config" \
            "$exe" >"$log" 2>&1
        status=$?
        [ $status -ne 0 ] && tail -40 "$log"
        record "$config/$(basename "$exe")" $status
    done
done

echo "wine: running the $ZIPSFX_WINE_BUILD build under $(basename "$ZIPSFX_WINE")"
if [ "$ZIPSFX_WINE_BUILD" = win64 ]; then
    echo "wine: this machine cannot run 32-bit code; the 32-bit product is built and checked, and"
    echo "wine: the Windows tests run on the 64-bit build of the same sources"
fi
wine_start
trap wine_stop EXIT
for exe in build/$ZIPSFX_WINE_BUILD/tests/test_*.exe; do
    [ -f "$exe" ] || continue
    log="build/$ZIPSFX_WINE_BUILD/tests/$(basename "$exe").log"
    ZIPSFX_SOURCE_DIR="$ROOT" ZIPSFX_BUILD_DIR="$ROOT/build/$ZIPSFX_WINE_BUILD" \
        timeout 600 "$ZIPSFX_WINE" "$exe" >"$log" 2>&1
    status=$?
    [ $status -ne 0 ] && tail -40 "$log"
    record "wine/$(basename "$exe")" $status
done

for script in tests/e2e/test_*.sh; do
    [ -f "$script" ] || continue
    log="build/e2e-$(basename "$script" .sh).log"
    timeout 900 bash "$script" >"$log" 2>&1
    status=$?
    [ $status -ne 0 ] && tail -40 "$log"
    record "e2e/$(basename "$script")" $status
done

echo
if [ $failed -ne 0 ]; then
    printf 'failed: %s\n' "${failures[@]}"
fi
echo "$passed passed, $failed failed"
[ $failed -eq 0 ]
