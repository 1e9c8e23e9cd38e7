#!/bin/bash
# One end-to-end script again, with the zipsfx tool and the POSIX stub of build/i386 (32-bit x86
# Linux, where size_t and long are 32 bits wide as in the 32-bit Windows product) run under
# qemu-i386: a step of the native build's test list, labelled i386 (tests/CMakeLists.txt lists
# which scripts). qemu-i386 is named explicitly: a 64-bit kernel without 32-bit support, or
# without a binfmt entry for qemu, cannot start an i386 program itself. The scripts take the
# tool from ZIPSFX_TOOL and run their self-extracting files through ZIPSFX_RUNNER (lib.sh), and
# leave their Wine parts to the native run (ZIPSFX_NO_WINE). A missing build or qemu-i386 is a
# skip (exit 77), or in CI, which builds every configuration first, a failure.
# Usage: tests/i386-e2e.sh SCRIPT  (a name in tests/e2e/)
set -uo pipefail
ZIPSFX_ROOT="$(cd "$(dirname "$0")/.." && pwd)"
script="${1:?script}"
build="${ZIPSFX_I386_BUILD:-$ZIPSFX_ROOT/build/i386}"
qemu="${ZIPSFX_QEMU_I386:-qemu-i386}"

missing() {  # reason
    if [ "${CI:-}" = true ]; then
        echo "FAIL: $1 (CI builds every configuration first)"
        exit 1
    fi
    echo "SKIP: $1"
    exit 77
}
command -v "$qemu" >/dev/null || missing "no $qemu to run 32-bit programs (make deps)"
for program in zipsfx zipsfx-stub; do
    [ -x "$build/$program" ] || missing "no $build/$program (make i386)"
done

# The tool as the scripts call it: one program that starts the i386 tool under qemu.
WRAP=$(mktemp -d)
trap 'rm -rf "$WRAP"' EXIT
printf '#!/bin/bash\nexec %q %q "$@"\n' "$(command -v "$qemu")" "$build/zipsfx" >"$WRAP/zipsfx"
chmod +x "$WRAP/zipsfx"
echo "i386: $script with $build/zipsfx and $build/zipsfx-stub under $qemu"
ZIPSFX_TOOL="$WRAP/zipsfx" ZIPSFX_STUB_NATIVE="$build/zipsfx-stub" ZIPSFX_RUNNER="$qemu" \
    ZIPSFX_NO_WINE=1 bash "$ZIPSFX_ROOT/tests/e2e/$script"
