#!/bin/bash
# Runs every test: native unit tests, the same under ASan+UBSan, the tests of the threads under
# ThreadSanitizer, the Windows unit tests under Wine, the 32-bit Linux build's unit tests and some
# end-to-end scripts under qemu-i386, the fuzz targets for a bounded time, then the end-to-end
# scripts (tests/e2e/test_*.sh).
# Ends with one line: "N passed, M failed, K skipped".
#
# The steps are those of the native build's test list (tests/CMakeLists.txt), by label, which
# `ctest` in build/native runs too: the two cannot differ in what they run. This runner adds the
# report: the closing line, and GoogleTest's skipped tests counted apart. Logs: build/logs/.
#
# What is counted: each step (one test executable, one fuzz target, one script) is one result.
# - A step that exits 0 passed, 77 was skipped (its "SKIP: reason" line is shown), anything
#   else failed (the end of its log is shown).
# - A GoogleTest executable that exits 0 but skipped some of its tests counts as passed for the
#   tests it ran, and each skipped test is counted apart in K and listed with its reason: the
#   skipped work is never counted as passed. (An executable whose tests all skipped still passed
#   no test, so it counts as skipped only.)
# - A missing build (no fuzz build, no Windows build) is a skipped step, with the reason; in CI,
#   which builds everything first, it fails.
# Usage: tests/run-all.sh [native|asan|tsan|wine|i386|fuzz|e2e ...]  (default: all of them)
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
        record "$@"  # a program that is not built is skipped; any other status fails
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

# The steps of one label, from the native build's test list (tests/CMakeLists.txt), the list
# that ctest runs: one line per step, "name<TAB>timeout<TAB>command" with the command quoted
# for the shell, in its working folder and with its environment.
steps_of() {  # label
    ctest --test-dir build/native --show-only=json-v1 2>/dev/null | python3 -c '
import json, shlex, sys
for test in json.load(sys.stdin)["tests"]:
    properties = {p["name"]: p["value"] for p in test.get("properties", [])}
    if sys.argv[1] not in properties.get("LABELS", []):
        continue
    command = "cd %s && env %s %s" % (
        shlex.quote(properties.get("WORKING_DIRECTORY", ".")),
        " ".join(shlex.quote(v) for v in properties.get("ENVIRONMENT", [])),
        " ".join(shlex.quote(a) for a in test["command"]))
    print("%s\t%d\t%s" % (test["name"], int(properties.get("TIMEOUT", 0)), command))
' "$1" 2>/dev/null
}

# Runs one step into its log; its exit status is the step's, 124 when it ran out of time.
run_step() {  # timeout command log
    mkdir -p "$(dirname "$3")"
    if [ "$1" -gt 0 ]; then
        timeout "$1" bash -c "$2" >"$3" 2>&1
    else
        bash -c "$2" >"$3" 2>&1
    fi
}

log_of() {  # step name
    echo "build/logs/$1.log"
}

# The steps of a label one after the other, each result recorded by the given function (record,
# or record_gtest for GoogleTest programs, whose skipped tests are counted apart). The list is
# read first: the steps' standard input stays the runner's.
run_steps() {  # label recorder
    local steps line name limit command status
    mapfile -t steps < <(steps_of "$1")
    [ ${#steps[@]} -gt 0 ] || missing_build "$1" "no $1 steps in the test list of build/native"
    for line in "${steps[@]}"; do
        IFS=$'\t' read -r name limit command <<<"$line"
        run_step "$limit" "$command" "$(log_of "$name")"
        # The status is taken first: a command substitution in the same line would replace $?.
        status=$?
        "$2" "$name" $status "$(log_of "$name")"
    done
}

run_wine() {
    echo "wine: running the $ZIPSFX_WINE_BUILD build under $(basename "$ZIPSFX_WINE")"
    if [ "$ZIPSFX_WINE_BUILD" = win64 ]; then
        echo "wine: this machine cannot run 32-bit code; the 32-bit product is built and checked, and"
        echo "wine: the Windows tests run on the 64-bit build of the same sources"
    fi
    # One Wine server and display for all the programs.
    wine_start
    export ZIPSFX_WINE_RUNNING=1
    run_steps wine record_gtest
    unset ZIPSFX_WINE_RUNNING
}

# Two at a time: each is one process, and the machine has two cores.
run_pairs() {  # label
    local steps i line name limit command status
    mapfile -t steps < <(steps_of "$1")
    [ ${#steps[@]} -gt 0 ] || missing_build "$1" "no $1 steps in the test list of build/native"
    for ((i = 0; i < ${#steps[@]}; i += 2)); do
        local pids=() names=()
        for line in "${steps[@]:i:2}"; do
            IFS=$'\t' read -r name limit command <<<"$line"
            run_step "$limit" "$command" "$(log_of "$name")" &
            pids+=($!)
            names+=("$name")
        done
        for name in "${names[@]}"; do
            wait "${pids[0]}"
            status=$?
            pids=("${pids[@]:1}")
            record "$name" $status "$(log_of "$name")"
        done
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

# The unit tests of the 32-bit build (under qemu-i386) and of the Windows build (under Wine) run in
# a second runner beside those of the native builds: each step is one process and the machine has
# two cores. Its report is taken in when it ends: its lines, its counts, its skips and failures.
second_lane=
start_second_lane() {  # part...
    second_lane=build/logs/second-lane.txt
    mkdir -p build/logs
    bash tests/run-all.sh "$@" >"$second_lane" 2>&1 &
    second_lane_pid=$!
}

take_second_lane() {
    [ -n "$second_lane" ] || return 0
    wait "$second_lane_pid"
    local counts
    counts=$(tail -1 "$second_lane")
    # Its step lines as they came; its closing lists and line are merged into ours.
    sed -e '/^skipped: /d' -e '/^failed: /d' -e '$d' "$second_lane" | sed -e '${/^$/d}'
    if ! [[ "$counts" =~ ^([0-9]+)\ passed,\ ([0-9]+)\ failed,\ ([0-9]+)\ skipped$ ]]; then
        failed=$((failed + 1))
        failures+=("the second runner (no closing line: $second_lane)")
        return
    fi
    passed=$((passed + BASH_REMATCH[1]))
    failed=$((failed + BASH_REMATCH[2]))
    skipped=$((skipped + BASH_REMATCH[3]))
    local line
    while IFS= read -r line; do
        skips+=("$line")
    done < <(sed -n 's/^skipped: //p' "$second_lane")
    while IFS= read -r line; do
        failures+=("$line")
    done < <(sed -n 's/^failed: //p' "$second_lane")
    second_lane=
}

trap wine_stop EXIT
parts=("$@")
if [ ${#parts[@]} -eq 0 ]; then
    start_second_lane i386 wine
    parts=(native asan tsan lane fuzz e2e)
fi
for part in "${parts[@]}"; do
    case "$part" in
    native | asan | tsan) run_steps "$part" record_gtest ;;
    i386)
        echo "i386: running build/i386 (32-bit x86 Linux) under ${ZIPSFX_QEMU_I386:-qemu-i386}"
        run_steps i386 record_gtest
        ;;
    wine) run_wine ;;
    lane) take_second_lane ;;
    fuzz) run_pairs fuzz ;;
    e2e) run_steps e2e record ;;
    *)
        echo "run-all: unknown part $part (native, asan, tsan, wine, i386, fuzz, e2e)" >&2
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
