#!/bin/bash
# `zipsfx test` and `zipsfx extract` against Info-ZIP unzip: on every stored, encrypted,
# self-extracting and legacy fixture, and on archives made here by Info-ZIP zip and Python's
# zipfile, both give the same files with the same bytes and the same modification times.
# Natively, then with the Windows build of the tool under Wine when it has been built.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
export TZ=UTC

require_tool_built
command -v unzip >/dev/null || skip "Info-ZIP unzip is not installed"

WORK=$(mktemp -d)
WINE_STARTED=
cleanup() {
    [ -n "$WINE_STARTED" ] && wine_stop
    rm -rf "$WORK"
}
trap cleanup EXIT

# Files (path, size, sha256, mtime) and folders (path) below a folder, one per line, sorted.
describe_tree() {  # folder
    (cd "$1" && find . -mindepth 1 -type d -printf '%P/\n' &&
        find . -type f -printf '%P\t%s\t%T@\n' | sort | while IFS=$'\t' read -r path size time; do
            printf '%s\t%s\t%s\t%s\n' "$path" "$size" "$(sha256sum <"$path" | cut -c1-64)" \
                "${time%%.*}"
        done) | sort
}

ARCHIVES=()
add() {  # archive
    [ -f "$1" ] && ARCHIVES+=("$1")
    return 0
}

for f in "$ZIPSFX_ROOT"/tests/data/zip/*.zip "$ZIPSFX_ROOT"/tests/data/zip/*.sfx; do
    case "$f" in *password-secret*) continue ;; esac
    add "$f"
done
find_shared_fixtures
for f in "$SHARED_FIXTURES"/legacy/*.zip "$SHARED_FIXTURES"/pkzip/*.zip; do
    add "$f"
done

note "archives made here by Info-ZIP zip and Python's zipfile"
mkdir -p "$WORK/src/tree/sub/deeper" "$WORK/src/tree/empty folder"
: >"$WORK/src/tree/empty.txt"
printf 'hello\r\nworld\n' >"$WORK/src/tree/hello.txt"
head -c 300000 /dev/urandom >"$WORK/src/tree/sub/random.bin"
seq 1 50000 >"$WORK/src/tree/sub/deeper/numbers.txt"
touch -d '2024-02-29 13:14:16' "$WORK/src/tree/hello.txt"
if command -v zip >/dev/null; then
    # -X: no extended time stamps, so unzip too takes the two-second DOS times.
    (cd "$WORK/src" && zip -qrX -0 "$WORK/izip-stored.zip" tree &&
        zip -qrX -9 "$WORK/izip-deflated.zip" tree &&
        zip -qrX - tree | cat >"$WORK/izip-stream.zip")
    add "$WORK/izip-stored.zip"
    add "$WORK/izip-deflated.zip"
    add "$WORK/izip-stream.zip"
else
    note "Info-ZIP zip is not installed: its archives are left out"
fi
python3 - "$WORK" <<'PY'
import sys, zipfile
work = sys.argv[1]
with zipfile.ZipFile(work + "/py-comment.zip", "w", zipfile.ZIP_STORED) as z:
    z.writestr(zipfile.ZipInfo("docs/", (2020, 5, 17, 10, 20, 30)), b"")
    z.writestr(zipfile.ZipInfo("docs/a.txt", (2020, 5, 17, 10, 20, 32)), b"alpha\n" * 1000)
    z.writestr(zipfile.ZipInfo("b.bin", (2019, 1, 1, 0, 0, 0)), bytes(range(256)) * 300)
    # The signature in the comment lies too near the end to start a record of its own.
    z.comment = b"x" * 40 + b" a comment ending in PK\x05\x06 and 10"
PY
add "$WORK/py-comment.zip"

check_native() {  # archive
    local archive="$1" name
    name=$(basename "$archive")
    "$TOOL" test "$archive" >"$WORK/test.log" || fail "zipsfx test rejects $name: $(cat "$WORK/test.log")"
    rm -rf "$WORK/ours" "$WORK/theirs"
    mkdir -p "$WORK/ours" "$WORK/theirs"
    "$TOOL" extract "$archive" -d "$WORK/ours" -q || fail "zipsfx extract fails on $name"
    # unzip warns (status 1) about the program in front of a self-extracting archive.
    local status=0
    unzip -qq -o -P '' "$archive" -d "$WORK/theirs" 2>/dev/null || status=$?
    if [ $status -eq 81 ]; then
        # This unzip lacks the method (reduce): the unit tests compare with the listings.
        echo "ok  $name (zipsfx test only: unzip cannot decode this method)"
        return 0
    fi
    [ $status -le 1 ] || fail "unzip fails on $name ($status)"
    # unzip gives folders their stored times, the extractor does not: compare files' times only.
    diff <(describe_tree "$WORK/ours") <(describe_tree "$WORK/theirs") >"$WORK/diff" ||
        fail "$name: zipsfx and unzip differ: $(head -20 "$WORK/diff")"
    echo "ok  $name"
}

note "native: zipsfx against unzip on ${#ARCHIVES[@]} archives"
for archive in "${ARCHIVES[@]}"; do
    check_native "$archive"
done

note "native: an archive under another password fails with exit code 2 and leaves no file"
SECRET="$ZIPSFX_ROOT/tests/data/zip/password-secret-izip.zip"
rm -rf "$WORK/ours" && mkdir "$WORK/ours"
status=0
"$TOOL" extract "$SECRET" -d "$WORK/ours" -q -P wrong 2>"$WORK/err" || status=$?
[ $status -eq 2 ] || fail "extract of $SECRET gave $status, not 2"
grep -q 'wrong password' "$WORK/err" || fail "no wrong-password message: $(cat "$WORK/err")"
[ -z "$(find "$WORK/ours" -type f)" ] || fail "files left behind: $(find "$WORK/ours" -type f)"
status=0
"$TOOL" test "$SECRET" -P wrong >/dev/null || status=$?
[ $status -eq 2 ] || fail "test of $SECRET gave $status, not 2"

# The Windows build of the tool, when there is one.
source "$ZIPSFX_ROOT/tools/wine-env.sh"
WINTOOL="${ZIPSFX_TOOL_WINDOWS:-$ZIPSFX_ROOT/build/$ZIPSFX_WINE_BUILD/zipsfx.exe}"
if ! wine_parts_wanted; then
    note "ZIPSFX_NO_WINE=1: Wine part left out"
    exit 0
fi
if [ ! -f "$WINTOOL" ]; then
    note "no Windows build of the tool at $WINTOOL: Wine part left out"
    exit 0
fi
wine_start || skip "cannot start Wine"
WINE_STARTED=1

note "Wine: $(basename "$WINTOOL") against unzip on ${#ARCHIVES[@]} archives"
for archive in "${ARCHIVES[@]}"; do
    name=$(basename "$archive")
    "$ZIPSFX_WINE" "$WINTOOL" test "$(wine_path "$archive")" >"$WORK/test.log" 2>&1 ||
        fail "Windows zipsfx test rejects $name: $(tail -5 "$WORK/test.log")"
    rm -rf "$WORK/ours" "$WORK/theirs"
    mkdir -p "$WORK/ours" "$WORK/theirs"
    "$ZIPSFX_WINE" "$WINTOOL" extract "$(wine_path "$archive")" -d "$(wine_path "$WORK/ours")" -q ||
        fail "Windows zipsfx extract fails on $name"
    status=0
    unzip -qq -o -P '' "$archive" -d "$WORK/theirs" 2>/dev/null || status=$?
    if [ $status -eq 81 ]; then
        echo "ok  $name (Wine; zipsfx test only)"
        continue
    fi
    diff <(describe_tree "$WORK/ours") <(describe_tree "$WORK/theirs") >"$WORK/diff" ||
        fail "$name: Windows zipsfx and unzip differ: $(head -20 "$WORK/diff")"
    echo "ok  $name (Wine)"
done
status=0
"$ZIPSFX_WINE" "$WINTOOL" extract "$(wine_path "$SECRET")" -d "$(wine_path "$WORK/secret")" -q -P wrong \
    2>/dev/null || status=$?
[ $status -eq 2 ] || fail "Windows extract of $SECRET gave $status, not 2"
[ -z "$(find "$WORK/secret" -type f 2>/dev/null)" ] || fail "Windows extract left files behind"
echo "PASS"
