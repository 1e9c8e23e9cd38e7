#!/bin/bash
# Runs every test: native unit tests, the same under ASan+UBSan, the Windows unit tests under
# Wine, the fuzz targets for a bounded time, then the end-to-end scripts (tests/e2e/test_*.sh).
# Ends with one line: "N passed, M failed, K skipped".
#
# What is counted: each step (one test executable, one fuzz target, one script) is one result.
# - A step that exits 0 passed, 77 was skipped (its "SKIP: reason" line is shown), anything
#   else failed (the end of its log is shown).
# - A GoogleTest executable that exits 0 but skipped some of its tests counts as passed for the
#   tests it ran, and each skipped test is counted apart in K and listed with its reason: the
#   skipped work is never counted as passed. (An executable whose tests all skipped still passed
#   no test, so it counts as skipped only.)
# - A missing build (no fuzz build, no Windows build) is a skipped step, with the reason.
# Usage: tests/run-all.sh [native|asan|wine|fuzz|e2e ...]  (default: all of them)
set -uo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
export ZIPSFX_ROOT="$ROOT"
source tools/wine-env.sh

passed=0
failed=0
skipped=0
failures=()
skips=()

pass() {  # name [note]
    passed=$((passed + 1))
    echo "PASS $1${2:+ ($2)}"
}

fail_step() {  # name log
    failed=$((failed + 1))
    failures+=("$1")
    echo "FAIL $1"
    tail -40 "$2"
}

skip_step() {  # name reason
    skipped=$((skipped + 1))
    skips+=("$1: $2")
    echo "SKIP $1: $2"
}

# A script's or a fuzz run's result, from its exit status and log.
record() {  # name status log
    case "$2" in
    0) pass "$1" ;;
    77) skip_step "$1" "$(sed -n 's/^SKIP: //p' "$3" | head -1)" ;;
    *) fail_step "$1" "$3" ;;
    esac
}

# The skipped tests of a GoogleTest log, one "Suite.Name<TAB>reason" a line. GoogleTest prints the
# reason after a "file:line: Skipped" line inside the test's RUN ... SKIPPED block.
gtest_skips() {  # log
    tr -d '\r' <"$1" | awk '
        /^\[ RUN      \] / { name = $4; reason = ""; taking = 0; next }
        /: Skipped$/ { taking = 1; next }
        /^\[  SKIPPED \] / && name != "" && $4 == name {
            print name "\t" (reason == "" ? "(no reason given)" : reason); name = ""; next
        }
        /^\[       OK \] |^\[  FAILED  \] / { name = ""; next }
        taking && NF { reason = (reason == "" ? $0 : reason " " $0) }
    '
}

# A GoogleTest executable's result: its exit status, and its skipped tests counted apart.
record_gtest() {  # name status log
    if [ "$2" -ne 0 ]; then
        fail_step "$1" "$3"
        return
    fi
    local ran skipped_here test reason
    ran=$(tr -d '\r' <"$3" | sed -n 's/^\[  PASSED  \] \([0-9]*\) test.*/\1/p' | tail -1)
    skipped_here=0
    while IFS=$'\t' read -r test reason; do
        [ -n "$test" ] || continue
        skipped_here=$((skipped_here + 1))
        skip_step "$1 $test" "$reason"
    done < <(gtest_skips "$3")
    if [ "${ran:-0}" -eq 0 ] && [ "$skipped_here" -gt 0 ]; then
        echo "     ($1 ran no test)"
    elif [ "$skipped_here" -gt 0 ]; then
        pass "$1" "$ran tests, $skipped_here skipped"
    else
        pass "$1"
    fi
}

run_unit() {  # config
    local config="$1" exe log status found=0
    for exe in build/$config/tests/test_*; do
        [ -x "$exe" ] || continue
        found=1
        log="build/$config/tests/$(basename "$exe").log"
        ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
            ZIPSFX_SOURCE_DIR="$ROOT" ZIPSFX_BUILD_DIR="$ROOT/build/$config" \
            "$exe" >"$log" 2>&1
        # The status is taken first: a command substitution in the same line would replace $?.
        status=$?
        record_gtest "$config/$(basename "$exe")" $status "$log"
    done
    [ $found -eq 1 ] || missing_build "$config" "no unit tests built in build/$config"
}

run_wine() {
    echo "wine: running the $ZIPSFX_WINE_BUILD build under $(basename "$ZIPSFX_WINE")"
    if [ "$ZIPSFX_WINE_BUILD" = win64 ]; then
        echo "wine: this machine cannot run 32-bit code; the 32-bit product is built and checked, and"
        echo "wine: the Windows tests run on the 64-bit build of the same sources"
    fi
    local exe log status found=0
    wine_start
    for exe in build/$ZIPSFX_WINE_BUILD/tests/test_*.exe; do
        [ -f "$exe" ] || continue
        found=1
        log="build/$ZIPSFX_WINE_BUILD/tests/$(basename "$exe").log"
        ZIPSFX_SOURCE_DIR="$ROOT" ZIPSFX_BUILD_DIR="$ROOT/build/$ZIPSFX_WINE_BUILD" \
            timeout 600 "$ZIPSFX_WINE" "$exe" >"$log" 2>&1
        status=$?
        record_gtest "wine/$(basename "$exe")" $status "$log"
    done
    [ $found -eq 1 ] || missing_build wine "no Windows unit tests built in build/$ZIPSFX_WINE_BUILD"
}

# Two targets at a time: each is one process, and the machine has two cores.
run_fuzz() {
    local targets target i status
    mapfile -t targets < <(bash tests/fuzz/run.sh --list)
    [ ${#targets[@]} -gt 0 ] || missing_build fuzz "no fuzz targets listed"
    mkdir -p build/fuzz
    for ((i = 0; i < ${#targets[@]}; i += 2)); do
        local pids=()
        for target in "${targets[@]:i:2}"; do
            bash tests/fuzz/run.sh "$target" "${ZIPSFX_FUZZ_SECONDS:-20}" \
                >"build/fuzz/$target.log" 2>&1 &
            pids+=($!)
        done
        for target in "${targets[@]:i:2}"; do
            wait "${pids[0]}"
            status=$?
            pids=("${pids[@]:1}")
            record "fuzz/$target" $status "build/fuzz/$target.log"
        done
    done
}

run_e2e() {
    local script log status
    for script in tests/e2e/test_*.sh; do
        [ -f "$script" ] || continue
        log="build/e2e-$(basename "$script" .sh).log"
        timeout 900 bash "$script" >"$log" 2>&1
        status=$?
        record "e2e/$(basename "$script")" $status "$log"
    done
}

# A build that is not there: skipped, or in CI (which builds everything first) a failure.
missing_build() {  # name reason
    if [ "${CI:-}" = true ]; then
        failed=$((failed + 1))
        failures+=("$1")
        echo "FAIL $1: $2"
    else
        skip_step "$1" "$2"
    fi
}

trap wine_stop EXIT
parts=("$@")
[ ${#parts[@]} -gt 0 ] || parts=(native asan wine fuzz e2e)
for part in "${parts[@]}"; do
    case "$part" in
    native | asan) run_unit "$part" ;;
    wine) run_wine ;;
    fuzz) run_fuzz ;;
    e2e) run_e2e ;;
    *)
        echo "run-all: unknown part $part (native, asan, wine, fuzz, e2e)" >&2
        exit 2
        ;;
    esac
done

echo
if [ ${#skips[@]} -ne 0 ]; then
    printf 'skipped: %s\n' "${skips[@]}"
fi
if [ $failed -ne 0 ]; then
    printf 'failed: %s\n' "${failures[@]}"
fi
echo "$passed passed, $failed failed, $skipped skipped"
[ $failed -eq 0 ]
