# Shared by every end-to-end script (sourced, not run): where the sources and the tool are, and
# how a script fails, skips or announces a step.

ZIPSFX_ROOT="${ZIPSFX_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}"
TOOL="${ZIPSFX_TOOL:-$ZIPSFX_ROOT/build/native/zipsfx}"

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

skip() {
    echo "SKIP: $*"
    exit 0
}

note() {
    echo "--- $*"
}

# Skips the script when the host tool has not been built.
require_tool_built() {
    [ -x "$TOOL" ] || skip "no zipsfx tool at $TOOL (build it first)"
}
