# Shared by the `zipsfx make` end-to-end scripts (sourced, not run): the tool, a test tree with
# the shapes that matter, and comparisons of trees and times.

source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

require_tool() {
    require_tool_built
    "$TOOL" make --help >/dev/null 2>&1 || skip "$TOOL has no make command yet"
}

# For the scripts run under Wine (after tools/wine-env.sh): the tool, and the Windows stub of the
# build Wine runs in $STUB.
require_windows_stub() {
    STUB="${ZIPSFX_STUB_WINDOWS:-$ZIPSFX_ROOT/build/$ZIPSFX_WINE_BUILD/zipsfx-stub.exe}"
    require_tool
    [ -f "$STUB" ] || skip "no Windows stub at $STUB (build it first)"
}

# A work folder in $WORK, removed, with Wine stopped, when the script ends.
make_wine_work() {
    WORK=$(mktemp -d)
    trap 'wine_stop; rm -rf "$WORK"' EXIT
}

# A tree under $1/tree: nesting, an empty folder, an empty file, binary files of a few MB, names
# with blanks, a script. Files get even-second times (the archive keeps two-second steps).
make_tree() {  # parent
    local root="$1/tree"
    mkdir -p "$root/sub/deeper/deepest" "$root/empty folder" "$root/with blank"
    : >"$root/empty.txt"
    printf 'hello\r\nworld\n' >"$root/hello.txt"
    head -c 3000000 /dev/urandom >"$root/sub/random.bin"
    seq 1 400000 >"$root/sub/deeper/numbers.txt"
    head -c 2000000 /dev/zero >"$root/sub/deeper/deepest/zeros.bin"
    printf 'x' >"$root/with blank/a file.txt"
    printf '#!/bin/sh\nprintf "%%s|" "$@" >"$1"\n' >"$root/run.sh"
    chmod 755 "$root/run.sh"
    local i=0
    while IFS= read -r -d '' f; do
        i=$((i + 1))
        touch -d "2021-03-04 05:06:$(printf '%02d' $((i * 2 % 60)))" "$f"
    done < <(find "$root" -type f -print0 | sort -z)
}

# Files and folders below a root, with sizes and file times to the second, sorted.
listing() {  # folder
    (cd "$1" && find . -mindepth 1 \( -type d -printf 'd %p\n' \) -o \( -type f -printf 'f %s %T@ %p\n' \) |
        sed -E 's/ ([0-9]+)\.[0-9]+ / \1 /' | sort)
}

# The extracted tree must equal the original: the same entries, bytes and file times.
same_tree() {  # original extracted
    diff <(listing "$1") <(listing "$2") || fail "$2 differs from $1 in entries, sizes or times"
    diff -r "$1" "$2" >/dev/null || fail "$2 differs from $1 in content"
}

# Info-ZIP's unzip warns about the stub before the archive and returns 1; anything else is an error.
peer_check() {  # file
    if command -v unzip >/dev/null; then
        local rc=0
        unzip -tq "$1" >"$WORK/unzip.log" 2>&1 || rc=$?
        [ $rc -le 1 ] && grep -q "No errors detected" "$WORK/unzip.log" ||
            { cat "$WORK/unzip.log"; fail "unzip -t rejects $1"; }
    fi
    if command -v 7z >/dev/null; then
        7z t "$1" >"$WORK/7z.log" 2>&1 || { cat "$WORK/7z.log"; fail "7z t rejects $1"; }
    fi
}
