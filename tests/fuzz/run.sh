#!/bin/bash
# Runs the fuzz targets (built by `make fuzz-build` into build/fuzz) over their checked-in seeds
# in tests/fuzz/corpus/<target>, with tests/fuzz/<target>.dict as the dictionary where there is
# one. New inputs go to build/fuzz/corpus/<target>, so the checked-in seeds stay few; an input
# that crashes, trips a sanitizer or runs past the time limit is kept as
# build/fuzz/artifacts/<target>-* and fails the run.
# Usage: tests/fuzz/run.sh --list | TARGET [SECONDS] | --all SECONDS  (SECONDS: default
# ZIPSFX_FUZZ_SECONDS, else 20)
# Exit: 0 no finding, 1 a finding (or a target that cannot run in CI), 77 the target is not built.
set -uo pipefail
source "$(dirname "$0")/../e2e/lib.sh"
FUZZ_BUILD="${ZIPSFX_FUZZ_BUILD:-$ZIPSFX_ROOT/build/fuzz}"
TARGETS=(inflate deflate64 bzip2 lzma implode reduce shrink archive encrypted)

run_target() {  # target seconds
    local target="$1" seconds="$2" exe="$FUZZ_BUILD/$1_fuzzer"
    if [ ! -x "$exe" ]; then
        # CI builds the targets before it runs them: a missing one there is a broken build.
        [ "${CI:-}" = true ] && fail "no fuzz target at $exe"
        skip "no fuzz target at $exe (make fuzz-build)"
    fi
    local scratch="$FUZZ_BUILD/corpus/$target" artifacts="$FUZZ_BUILD/artifacts"
    mkdir -p "$scratch" "$artifacts"
    # A target's dictionary (tests/fuzz/<target>.dict), where it has one: tokens for mutations.
    local dict=() file="$ZIPSFX_ROOT/tests/fuzz/$target.dict"
    [ -f "$file" ] && dict=(-dict="$file")
    note "$target: $seconds s from $(find "$ZIPSFX_ROOT/tests/fuzz/corpus/$target" -type f | wc -l) seeds"
    # One input taking over 30 s (on a busy machine) counts as a hang; 2 GB of memory as a leak or a bomb.
    UBSAN_OPTIONS=print_stacktrace=1 "$exe" -max_total_time="$seconds" -timeout=30 \
        -rss_limit_mb=2048 -error_exitcode=1 -timeout_exitcode=1 -print_final_stats=1 \
        -artifact_prefix="$artifacts/$target-" "${dict[@]}" \
        "$scratch" "$ZIPSFX_ROOT/tests/fuzz/corpus/$target" 2>&1 |
        grep -v '^#[0-9]*.*\(NEW\|REDUCE\|pulse\)'
    local status=${PIPESTATUS[0]}
    [ "$status" -eq 0 ] || fail "$target found a fault (exit $status); the input is in $artifacts"
}

case "${1:-}" in
--list) printf '%s\n' "${TARGETS[@]}" ;;
--all)
    status=0
    for target in "${TARGETS[@]}"; do
        (run_target "$target" "${2:?seconds}") || status=1
    done
    exit $status
    ;;
'') fail "usage: $0 --list | TARGET SECONDS | --all SECONDS" ;;
*) run_target "$1" "${2:-${ZIPSFX_FUZZ_SECONDS:-20}}" ;;
esac
