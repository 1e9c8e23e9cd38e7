#!/bin/bash
# Archives as the common producers make them, extracted by `zipsfx extract` and the POSIX stub
# and compared with Info-ZIP unzip (files, bytes, times, links): Info-ZIP zip (plain, -y links,
# -fz Zip64, streaming from a pipe, -A adjusted self-extracting offsets), Python's zipfile with
# force_zip64, bsdtar ("./" first) and 7-Zip. Then what stays refused or skipped: a method that
# is not supported (named in list, test, extract, the stub and make), a link leading outside
# the destination; an empty archive behind both stubs; exact times under two time zones.
set -euo pipefail
source "$(dirname "$0")/stub_lib.sh"
source "$ZIPSFX_ROOT/tools/wine-env.sh"

require_tool_built
STUB="${ZIPSFX_STUB_NATIVE:-$ZIPSFX_ROOT/build/native/zipsfx-stub}"
[ -x "$STUB" ] || skip "no native stub at $STUB (build it first)"
command -v zip >/dev/null || skip "Info-ZIP zip is not installed"
command -v unzip >/dev/null || skip "Info-ZIP unzip is not installed"

WORK=$(mktemp -d)
WINE_STARTED=
cleanup() {
    [ -n "$WINE_STARTED" ] && wine_stop
    rm -rf "$WORK"
}
trap cleanup EXIT
export TZ=UTC

# Files (path, size, sha256, mtime), folders and links (path -> target) below a folder, sorted.
describe() {  # folder
    (cd "$1" && find . -mindepth 1 \( -type d -printf '%P/\n' \) -o \
        \( -type l -printf '%P -> %l\n' \) -o \( -type f -printf '%P\t%s\t%T@\n' \) |
        while IFS=$'\t' read -r path size time; do
            if [ -n "${size:-}" ]; then
                printf '%s\t%s\t%s\t%s\n' "$path" "$size" "$(sha256sum <"$path" | cut -c1-64)" \
                    "${time%%.*}"
            else
                printf '%s\n' "$path"
            fi
        done) | sort
}

# The source tree: nested folders, an empty file, a blank in a name, a link inside.
SRC="$WORK/src"
mkdir -p "$SRC/docs/deep" "$SRC/empty dir"
printf 'hello\n' >"$SRC/a.txt"
printf 'inner\n' >"$SRC/docs/b.txt"
: >"$SRC/docs/empty.txt"
head -c 100000 /dev/urandom >"$SRC/docs/deep/c.bin"
printf 'blank\n' >"$SRC/with blank.txt"
ln -s ../a.txt "$SRC/docs/link-to-a"
find "$SRC" -exec touch -h -d '2021-03-04 05:06:07' {} +

# Extracts with a reference (unzip, or 7z where unzip ignores the producer's exact times), zipsfx
# extract, zipsfx test and the POSIX stub, and compares the three trees.
check_archive() {  # name zip [unzip|7z]
    local name=$1 zip=$2 reference=${3:-unzip} dir="$WORK/x-$1"
    mkdir -p "$dir/ref" "$dir/tool" "$dir/stub"
    if [ "$reference" = 7z ]; then
        7z x -bso0 -bsp0 -o"$dir/ref" "$zip" >/dev/null
    else
        unzip -q -o "$zip" -d "$dir/ref" 2>/dev/null || true
    fi
    "$TOOL" test "$zip" >"$dir/test.out" 2>&1 || fail "$name: zipsfx test: $(cat "$dir/test.out")"
    "$TOOL" extract "$zip" -q -d "$dir/tool" >"$dir/extract.out" 2>&1 ||
        fail "$name: zipsfx extract: $(cat "$dir/extract.out")"
    make_sfx "$STUB" "$zip" "$dir/sfx"
    chmod +x "$dir/sfx"
    (cd "$dir/stub" && run_program "$dir/sfx" -q </dev/null >"$dir/stub.out" 2>&1) ||
        fail "$name: stub: $(cat "$dir/stub.out")"
    local ref tool stub
    ref=$(describe "$dir/ref")
    tool=$(describe "$dir/tool")
    stub=$(describe "$dir/stub")
    [ "$tool" = "$ref" ] || fail "$name: zipsfx extract differs from unzip:
$(diff <(echo "$ref") <(echo "$tool"))"
    [ "$stub" = "$ref" ] || fail "$name: the stub differs from unzip:
$(diff <(echo "$ref") <(echo "$stub"))"
    echo "ok  $name"
}

note "producers: the same tree as each one writes it"
(cd "$SRC" && zip -qr -X "$WORK/plain.zip" .)
check_archive info-zip "$WORK/plain.zip"
(cd "$SRC" && zip -qr -y "$WORK/links.zip" .)
check_archive info-zip-links "$WORK/links.zip"
(cd "$SRC" && zip -qr -y -fz "$WORK/zip64.zip" .)
check_archive info-zip-fz "$WORK/zip64.zip"
# Streaming: data descriptors, Zip64 extra fields, version needed 4.5.
(cd "$SRC" && find . -type f | sort | zip -q - -@ >"$WORK/stream.zip")
check_archive info-zip-stream "$WORK/stream.zip"
python3 - "$SRC" "$WORK/python64.zip" <<'PY'
import os, sys, zipfile
src, out = sys.argv[1:]
with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
    for root, dirs, files in sorted(os.walk(src)):
        for d in sorted(dirs):
            full = os.path.join(root, d)
            if not os.path.islink(full):
                z.write(full, os.path.relpath(full, src))
        for f in sorted(files):
            full = os.path.join(root, f)
            if os.path.islink(full):
                continue
            info = zipfile.ZipInfo.from_file(full, os.path.relpath(full, src))
            info.compress_type = zipfile.ZIP_DEFLATED
            with open(full, "rb") as data, z.open(info, "w", force_zip64=True) as entry:
                entry.write(data.read())
PY
check_archive python-force-zip64 "$WORK/python64.zip"
if command -v bsdtar >/dev/null; then
    (cd "$SRC" && bsdtar -a -cf "$WORK/bsdtar.zip" .)
    # The whole listing is read (sed, not head): with pipefail, unzip cut off by SIGPIPE would
    # fail the check at random.
    first=$(unzip -Z1 "$WORK/bsdtar.zip" | sed -n 1p)
    [ "$first" = ./ ] || fail "bsdtar wrote no ./ first"
    check_archive bsdtar "$WORK/bsdtar.zip"
else
    note "bsdtar is not installed: its archive is left out"
fi
# 7-Zip stores exact NTFS times, which unzip does not read: 7-Zip itself is the reference. Its
# extraction refuses any link with "..", so the link stays out of this one.
(cd "$SRC" && 7z a -tzip -bso0 -bsp0 "-x!docs/link-to-a" "$WORK/7z.zip" . >/dev/null)
check_archive 7-zip "$WORK/7z.zip" 7z

note "zip -A: offsets counted from the file start, on an archive large enough for false P"
mkdir -p "$WORK/many"
python3 - "$WORK/many" <<'PY'
import os, random, sys
random.seed(13)
for i in range(400):
    with open(os.path.join(sys.argv[1], "f%03d.bin" % i), "wb") as f:
        f.write(random.randbytes(random.randint(1000, 40000)))
PY
(cd "$WORK/many" && zip -q -r -0 "$WORK/many.zip" .)
make_sfx "$STUB" "$WORK/many.zip" "$WORK/many-adjusted.sfx"
zip -q -A "$WORK/many-adjusted.sfx"
unzip -tq "$WORK/many-adjusted.sfx" >/dev/null || fail "unzip rejects the adjusted file"
chmod +x "$WORK/many-adjusted.sfx"
"$TOOL" test "$WORK/many-adjusted.sfx" >"$WORK/adjusted.out" ||
    fail "zipsfx test on the adjusted file: $(grep -v '^OK' "$WORK/adjusted.out" | head)"
mkdir "$WORK/adjusted"
(cd "$WORK/adjusted" && run_program "$WORK/many-adjusted.sfx" -q </dev/null >/dev/null 2>&1) ||
    fail "the adjusted stub fails"
[ "$(ls "$WORK/adjusted" | wc -l)" = 400 ] || fail "the adjusted stub extracted $(ls "$WORK/adjusted" | wc -l) files"
cmp -s "$WORK/many/f399.bin" "$WORK/adjusted/f399.bin" || fail "f399.bin differs"
echo "ok  zip -A"

note "an unsupported method is named everywhere and refused by make before it writes"
python3 -c "print('ppmd me ' * 2000)" >"$WORK/b.txt"
(cd "$WORK" && 7z a -tzip -mm=PPMd -bso0 -bsp0 ppmd.zip b.txt >/dev/null)
WORDS="unsupported compression method 98 (PPMd)"
"$TOOL" list "$WORK/ppmd.zip" | grep -q "PPMd" || fail "list does not name PPMd"
set +e
"$TOOL" test "$WORK/ppmd.zip" >"$WORK/bz.out" 2>&1
code=$?
set -e
[ "$code" = 2 ] && grep -qF "$WORDS" "$WORK/bz.out" || fail "test: exit $code, $(cat "$WORK/bz.out")"
mkdir "$WORK/bzout"
set +e
"$TOOL" extract "$WORK/ppmd.zip" -q -d "$WORK/bzout" >"$WORK/bz.out" 2>&1
code=$?
set -e
[ "$code" = 2 ] && grep -qF "$WORDS" "$WORK/bz.out" || fail "extract: exit $code, $(cat "$WORK/bz.out")"
[ -z "$(ls -A "$WORK/bzout")" ] || fail "extract wrote $(ls -A "$WORK/bzout")"
make_sfx "$STUB" "$WORK/ppmd.zip" "$WORK/ppmd.sfx"
chmod +x "$WORK/ppmd.sfx"
set +e
(cd "$WORK/bzout" && run_program "$WORK/ppmd.sfx" -q </dev/null >"$WORK/bz.out" 2>&1)
code=$?
set -e
[ "$code" = 2 ] && grep -qF "$WORDS" "$WORK/bz.out" || fail "stub: exit $code, $(cat "$WORK/bz.out")"
set +e
"$TOOL" make -o "$WORK/bz-made" "$WORK/ppmd.zip" >"$WORK/bz.out" 2>&1
code=$?
set -e
[ "$code" != 0 ] && grep -qF "$WORDS" "$WORK/bz.out" || fail "make: exit $code, $(cat "$WORK/bz.out")"
[ ! -e "$WORK/bz-made" ] || fail "make wrote a file"
echo "ok  PPMd refused with its name"

note "links leading outside the destination are skipped with a line on stderr"
python3 - "$WORK/outside.zip" <<'PY'
import sys, zipfile
def link(z, name, target):
    info = zipfile.ZipInfo(name)
    info.create_system = 3
    info.external_attr = 0o120777 << 16
    z.writestr(info, target)
with zipfile.ZipFile(sys.argv[1], "w") as z:
    link(z, "up", "../../escaped")
    link(z, "abs", "/tmp/escaped")
    link(z, "fine", "ok.txt")
    z.writestr("ok.txt", "ok\n")
PY
mkdir -p "$WORK/outside/dest"
"$TOOL" extract "$WORK/outside.zip" -q -d "$WORK/outside/dest" 2>"$WORK/outside.err" ||
    fail "extract with outside links: exit $?"
[ "$(grep -c skipped "$WORK/outside.err")" = 2 ] || fail "skip lines: $(cat "$WORK/outside.err")"
[ "$(describe "$WORK/outside/dest")" = "$(printf 'fine -> ok.txt\nok.txt\t3\t%s\t%s' \
    "$(printf 'ok\n' | sha256sum | cut -c1-64)" \
    "$(stat -c %Y "$WORK/outside/dest/ok.txt")")" ] ||
    fail "outside links: $(describe "$WORK/outside/dest")"
"$TOOL" test "$WORK/outside.zip" | grep -c '^SKIPPED' | grep -qx 2 || fail "test does not skip them"
echo "ok  links outside skipped"

note "exact times (0x5455 from zip, 0x000a from 7-Zip): the same in two time zones"
for archive in links 7z; do
    for zone in UTC Asia/Tokyo; do
        mkdir -p "$WORK/tz-$archive-$zone"
        TZ=$zone "$TOOL" extract "$WORK/$archive.zip" -q -d "$WORK/tz-$archive-$zone"
    done
    [ "$(describe "$WORK/tz-$archive-UTC")" = "$(describe "$WORK/tz-$archive-Asia/Tokyo")" ] ||
        fail "$archive: times differ between zones"
done
echo "ok  times"

note "an empty archive: list shows 0 entries; extract and both stubs write nothing, exit 0"
python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1], "w").close()' "$WORK/empty.zip"
[ "$(stat -c %s "$WORK/empty.zip")" = 22 ] || fail "the empty archive is not 22 bytes"
"$TOOL" list "$WORK/empty.zip" | tail -1 | grep -q ' 0 entries$' || fail "list: $("$TOOL" list "$WORK/empty.zip")"
mkdir -p "$WORK/empty-out"
"$TOOL" extract "$WORK/empty.zip" -q -d "$WORK/empty-out" || fail "extract of an empty archive"
make_sfx "$STUB" "$WORK/empty.zip" "$WORK/empty.sfx"
chmod +x "$WORK/empty.sfx"
(cd "$WORK/empty-out" && run_program "$WORK/empty.sfx" -q </dev/null) || fail "POSIX stub: exit $?"
[ -z "$(ls -A "$WORK/empty-out")" ] || fail "the empty archive wrote $(ls -A "$WORK/empty-out")"
WINSTUB="$ZIPSFX_ROOT/build/$ZIPSFX_WINE_BUILD/zipsfx-stub.exe"
if wine_parts_wanted && [ -f "$WINSTUB" ] && [ -x "$ZIPSFX_WINE" ]; then
    wine_start
    WINE_STARTED=1
    make_sfx "$WINSTUB" "$WORK/empty.zip" "$WORK/empty.exe"
    (cd "$WORK/empty-out" && "$ZIPSFX_WINE" "$WORK/empty.exe" -q >/dev/null 2>&1) ||
        fail "Windows stub: exit $?"
    [ -z "$(ls -A "$WORK/empty-out")" ] || fail "the Windows stub wrote $(ls -A "$WORK/empty-out")"
    echo "ok  empty archive behind both stubs"
else
    note "no Windows stub at $WINSTUB, or ZIPSFX_NO_WINE=1: the Wine part is left out"
fi
echo PASS
