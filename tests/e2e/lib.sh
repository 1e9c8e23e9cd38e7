# Shared by every end-to-end script (sourced, not run): where the sources and the tool are, and
# how a script fails, skips or announces a step. A script that passes exits 0, one that fails
# exits 1, and one that cannot run here exits 77 (the test runners' code for "skipped") after
# one line "SKIP: reason", which tests/run-all.sh prints in its report.

ZIPSFX_ROOT="${ZIPSFX_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}"
TOOL="${ZIPSFX_TOOL:-$ZIPSFX_ROOT/build/native/zipsfx}"

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

skip() {
    echo "SKIP: $*"
    exit 77
}

note() {
    echo "--- $*"
}

# Starts a program this machine built, such as a self-extracting file: directly, or through
# ZIPSFX_RUNNER (qemu-i386 for the 32-bit build, see tests/i386-e2e.sh).
run_program() {  # program [args]
    if [ -n "${ZIPSFX_RUNNER:-}" ]; then
        "$ZIPSFX_RUNNER" "$@"
    else
        "$@"
    fi
}

# Whether the script's Wine parts run: not when it runs again for another build of the tool
# (ZIPSFX_NO_WINE=1), whose Windows counterpart the native run has covered.
wine_parts_wanted() {
    [ "${ZIPSFX_NO_WINE:-}" != 1 ]
}

# Skips the script when the host tool has not been built.
require_tool_built() {
    [ -x "$TOOL" ] || skip "no zipsfx tool at $TOOL (build it first)"
}

# The shared fixtures folder beside the source tree, in $SHARED_FIXTURES. Where it is missing,
# a CI run (CI=true) fails, since CI always has it; elsewhere the script goes on without it and
# says so.
find_shared_fixtures() {
    SHARED_FIXTURES="${ZIPSFX_FIXTURES_DIR:-$ZIPSFX_ROOT/../shared/fixtures}"
    if [ ! -d "$SHARED_FIXTURES" ]; then
        [ "${CI:-}" = true ] && fail "the shared fixtures are missing at $SHARED_FIXTURES"
        note "no shared fixtures at $SHARED_FIXTURES: their archives are left out"
    fi
}
