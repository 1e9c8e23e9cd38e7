#!/bin/bash
# The built stubs stay far below the 512 KB in which the mark is searched for, and release builds
# of the 32-bit Windows and the POSIX stub within their own, smaller limits; the POSIX stub needs
# nothing but a C library as old as the README says; and no built executable holds a copy of the
# mark at a multiple of 512 (where the search would stop inside the program instead of at the
# archive).
set -euo pipefail
source "$(dirname "$0")/stub_lib.sh"

BUILDS="${ZIPSFX_SIZE_BUILDS:-$ZIPSFX_ROOT/build/win32 $ZIPSFX_ROOT/build/win64 $ZIPSFX_ROOT/build/native}"
require_tool_built
LIMIT=$("$TOOL" layout search-limit) || fail "zipsfx layout search-limit failed"
STEP=$("$TOOL" layout search-step) || fail "zipsfx layout search-step failed"
MARK=$("$TOOL" layout mark) || fail "zipsfx layout mark failed"
# Release builds of the two stubs people receive: the 32-bit Windows one and the POSIX one. The
# Windows figure is just above where the stub stands today (365,056 bytes), so that it cannot grow
# unnoticed; the aim is 160 KB. The POSIX figure likewise sits just above today's 344,248 bytes;
# its goal is under 160 KB. The README's size table says what the last round of features (local
# headers read first, installer mode, Deflate64, BZip2, LZMA, passwords and AES, the shipper's
# texts, the version record, one large entry decoded and written in a pipeline, entries extracted
# by several threads) added to each.
WIN32_RELEASE_LIMIT=366080
POSIX_RELEASE_LIMIT=348160

release_build() {  # build folder
    grep -qE '^CMAKE_BUILD_TYPE:[A-Z]+=(Release|MinSizeRel)$' "$1/CMakeCache.txt" 2>/dev/null
}

# The size people download: the limits of the 32-bit Windows stub (the product) and of the POSIX
# stub, for release builds; the 64-bit Windows test build has only the hard limit.
check_release_limits() {  # build folder
    local dir=$1 stub limit size
    release_build "$dir" || { note "$dir: not a release build, only the hard limit applies"; return; }
    if [ -f "$dir/zipsfx-stub.exe" ]; then
        objdump -f "$dir/zipsfx-stub.exe" | grep -q 'file format pei-i386' || return 0
        stub=$dir/zipsfx-stub.exe limit=$WIN32_RELEASE_LIMIT
    elif [ -f "$dir/zipsfx-stub" ]; then
        stub=$dir/zipsfx-stub limit=$POSIX_RELEASE_LIMIT
    else
        return 0
    fi
    size=$(stat -c %s "$stub")
    [ "$size" -le "$limit" ] || fail "$stub is $size bytes, above the release limit of $limit"
    if [ "$stub" = "$dir/zipsfx-stub.exe" ]; then
        check_dwarf_unwinder "$dir"
        check_no_pthreads "$dir"
    fi
    echo "$stub: within the release limit of $limit bytes"
}

# The 32-bit Windows stub's exceptions unwind through DWARF tables, which the build trims to the
# functions that can throw; a compiler that switched to setjmp/longjmp exceptions would make those
# options wrong. This kernel cannot run the 32-bit stub, so the linker map says which unwinder it
# links.
check_dwarf_unwinder() {  # build folder
    local map=$1/zipsfx-stub.map
    [ -f "$map" ] || fail "no linker map beside the 32-bit stub: $map"
    grep -q 'libgcc_eh\.a(unwind-dw2\.o)' "$map" || fail "$map: the stub links no DWARF unwinder"
    ! grep -qE 'unwind-sjlj\.o|_Unwind_SjLj_' "$map" ||
        fail "$map: the stub links setjmp/longjmp exception support"
    echo "$1/zipsfx-stub.exe: exceptions unwind through DWARF tables"
}

# The extraction's worker threads are the system's own on Windows: no pthreads emulation may be
# linked into the 32-bit stub, neither imported (libwinpthread-1.dll) nor linked statically.
check_no_pthreads() {  # build folder
    local stub=$1/zipsfx-stub.exe map=$1/zipsfx-stub.map
    ! objdump -p "$stub" | grep -qi 'DLL Name:.*pthread' ||
        fail "$stub imports a pthreads library: $(objdump -p "$stub" | grep -i 'DLL Name:.*pthread')"
    ! grep -qi 'libwinpthread\|libpthread' "$map" || fail "$map: the stub links a pthreads emulation"
    ! strings "$stub" | grep -qi 'winpthread' || fail "$stub holds winpthread's strings"
    echo "$stub: no pthreads emulation"
}

# The POSIX stub starts wherever the C library is new enough: it needs no other shared library,
# and no symbol version newer than the glibc baseline the README states.
check_posix_self_contained() {  # stub
    local stub=$1 needed baseline newest
    # The loader itself may be named: the unwinder finds its tables through it.
    needed=$(readelf -d "$stub" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' |
        grep -vE '^ld-linux[-a-z0-9_.]*\.so\.[0-9]+$' | sort | tr '\n' ' ')
    [ "$needed" = "libc.so.6 " ] || fail "$stub needs shared libraries other than libc: $needed"
    # ldd lists what the loader would bring in, the loader itself and the vDSO included.
    local others
    others=$(ldd "$stub" | grep -vE '^\s*(linux-vdso\.so|libc\.so\.6 |/lib[^ ]*/ld-linux)' || true)
    [ -z "$others" ] || fail "$stub loads more than libc: $others"
    baseline=$(sed -n 's/.*glibc baseline: \**\([0-9][0-9]*\.[0-9][0-9]*\).*/\1/p' \
        "$ZIPSFX_ROOT/README.md" | head -n 1)
    [ -n "$baseline" ] || fail "README.md states no 'glibc baseline: X.Y'"
    newest=$(objdump -T "$stub" | grep -o 'GLIBC_[0-9][0-9.]*' | sed 's/GLIBC_//' | sort -V |
        tail -n 1)
    [ -n "$newest" ] || fail "no glibc symbol versions read from $stub"
    [ "$(printf '%s\n%s\n' "$newest" "$baseline" | sort -V | tail -n 1)" = "$baseline" ] ||
        fail "$stub needs GLIBC_$newest, newer than the README's baseline $baseline"
    if objdump -p "$stub" | grep -q 'GLIBC_ABI_DT_RELR'; then
        fail "$stub needs packed relative relocations (glibc 2.36)"
    fi
    echo "$stub: needs only $needed(glibc $newest, baseline $baseline)"
}

stubs=0
for dir in $BUILDS; do
    for stub in "$dir/zipsfx-stub.exe" "$dir/zipsfx-stub"; do
        [ -f "$stub" ] || continue
        size=$(stat -c %s "$stub")
        echo "$stub: $size bytes"
        [ "$size" -lt "$LIMIT" ] || fail "$stub is $size bytes, not below $LIMIT"
        stubs=$((stubs + 1))
    done
    check_release_limits "$dir"
    if [ -f "$dir/zipsfx-stub" ] && ! grep -q '^ZIPSFX_SANITIZE:BOOL=ON$' "$dir/CMakeCache.txt"; then
        check_posix_self_contained "$dir/zipsfx-stub"
    fi
done
[ "$stubs" -gt 0 ] || skip "no built stub in: $BUILDS"

mapfile -t files < <(for dir in $BUILDS; do
    for f in "$dir"/*.exe "$dir"/zipsfx*; do
        [ -f "$f" ] && echo "$f"
    done
done | sort -u)
python3 - "$MARK" "$STEP" "${files[@]}" <<'PY'
import sys
mark, step = bytes.fromhex(sys.argv[1]), int(sys.argv[2])
assert len(mark) == 32
bad = False
for path in sys.argv[3:]:
    data = open(path, "rb").read()
    at = data.find(mark)
    while at != -1:
        where = "on a %d-byte boundary" % step if at % step == 0 else "(not on a boundary)"
        print("%s: a copy of the mark at %d %s" % (path, at, where))
        bad = bad or at % step == 0
        at = data.find(mark, at + 1)
    print("%s: checked" % path)
sys.exit(1 if bad else 0)
PY
echo "PASS"
