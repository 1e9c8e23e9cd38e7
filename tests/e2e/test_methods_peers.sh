#!/bin/bash
# Deflate64 and BZip2 archives as 7-Zip (-mm=Deflate64, -mm=BZip2), Info-ZIP zip (-Z bzip2) and
# Python's zipfile (ZIP_BZIP2) make them, over files that exercise each method (matches 40 to
# 65 KB back, text of several BZip2 blocks, a long run, an empty file, incompressible bytes),
# extracted by `zipsfx extract`, the POSIX stub and the Windows stub (under Wine) to exactly the
# input bytes. Then damaged copies (a flipped BZip2 block CRC, a cut BZip2 stream, a cut
# Deflate64 stream) end with exit code 2, a message naming the entry and no file left.
set -euo pipefail
source "$(dirname "$0")/stub_lib.sh"
source "$ZIPSFX_ROOT/tools/wine-env.sh"
export TZ=UTC LC_ALL=C

require_tool_built
STUB="${ZIPSFX_STUB_NATIVE:-$ZIPSFX_ROOT/build/native/zipsfx-stub}"
[ -x "$STUB" ] || skip "no native stub at $STUB (build it first)"
for peer in 7z zip python3; do
    command -v "$peer" >/dev/null || skip "$peer is not installed"
done

WORK=$(mktemp -d)
WINE_STARTED=
cleanup() {
    [ -n "$WINE_STARTED" ] && wine_stop
    rm -rf "$WORK"
}
trap cleanup EXIT

SRC="$WORK/src"
mkdir -p "$SRC"
python3 - "$SRC" <<'PY'
import os, random, sys
d = sys.argv[1]
r = random.Random(64)
# Random stretches repeated from 40,000 to 65,000 bytes back: only Deflate64 reaches them.
far = bytearray(r.getrandbits(8) for _ in range(70000))
while len(far) < 600000:
    start = len(far) - r.randint(40000, 65000)
    far += far[start:start + r.randint(200, 5000)]
    far += bytes(r.getrandbits(8) for _ in range(r.randint(10, 300)))
open(os.path.join(d, "far.bin"), "wb").write(far)
# About 2.5 MB of text: three blocks of 900 KB, the most a BZip2 block holds.
words = [b"archive", b"block", b"stream", b"selector", b"huffman", b"the", b"of", b"run"]
text = b"".join(b" ".join(r.choice(words) for _ in range(12)) + b"\n" for _ in range(35000))
open(os.path.join(d, "text.txt"), "wb").write(text)
open(os.path.join(d, "random.bin"), "wb").write(bytes(r.getrandbits(8) for _ in range(300000)))
open(os.path.join(d, "empty"), "wb").close()
# Runs around BZip2's counted runs (4 bytes and a count) and one of a megabyte.
open(os.path.join(d, "runs.bin"), "wb").write(
    b"a" * 1000000 + b"b" * 4 + b"c" * 5 + b"d" * 259 + b"e" * 260 + bytes(range(256)))
PY

ARCH="$WORK/archives"
mkdir -p "$ARCH"
(cd "$SRC" && 7z a -tzip -mm=Deflate64 -bso0 -bsp0 "$ARCH/7z-deflate64.zip" . >/dev/null)
(cd "$SRC" && 7z a -tzip -mm=BZip2 -bso0 -bsp0 "$ARCH/7z-bzip2.zip" . >/dev/null)
(cd "$SRC" && zip -q -Z bzip2 "$ARCH/zip-bzip2.zip" ./*)
python3 - "$SRC" "$ARCH/python-bzip2.zip" <<'PY'
import os, sys, zipfile
src, out = sys.argv[1], sys.argv[2]
with zipfile.ZipFile(out, "w", zipfile.ZIP_BZIP2) as z:
    for name in sorted(os.listdir(src)):
        z.write(os.path.join(src, name), name)
PY

# Each archive holds the method where the test needs it (a producer may store a file that does
# not compress).
method_of() {  # zip entry
    "$TOOL" list "$1" | awk -v name="$2" '$NF == name { print $3 }'
}
expect_method() {  # zip entry method
    local got
    got=$(method_of "$1" "$2")
    [ "$got" = "$3" ] || fail "$(basename "$1"): $2 is '$got', not $3"
}
expect_method "$ARCH/7z-deflate64.zip" far.bin Deflate64
expect_method "$ARCH/7z-deflate64.zip" runs.bin Deflate64
for a in 7z-bzip2 zip-bzip2 python-bzip2; do
    expect_method "$ARCH/$a.zip" text.txt BZip2
    expect_method "$ARCH/$a.zip" runs.bin BZip2
done
expect_method "$ARCH/python-bzip2.zip" random.bin BZip2
expect_method "$ARCH/python-bzip2.zip" empty BZip2

same_files() {  # folder what
    local f
    for f in far.bin text.txt random.bin empty runs.bin; do
        cmp -s "$SRC/$f" "$1/$f" || fail "$2: $f differs from the input"
    done
    [ "$(ls -A "$1" | wc -l)" = 5 ] || fail "$2: $(ls -A "$1")"
}

WINSTUB="$ZIPSFX_ROOT/build/$ZIPSFX_WINE_BUILD/zipsfx-stub.exe"
WINDOWS=
if [ -f "$WINSTUB" ] && [ -x "$ZIPSFX_WINE" ]; then
    wine_start
    WINE_STARTED=1
    WINDOWS=1
else
    note "no Windows stub at $WINSTUB: the Wine part is left out"
fi

for a in "$ARCH"/*.zip; do
    name=$(basename "$a" .zip)
    mkdir -p "$WORK/$name/tool" "$WORK/$name/stub" "$WORK/$name/windows"
    "$TOOL" extract "$a" -q -d "$WORK/$name/tool" || fail "$name: zipsfx extract exit $?"
    same_files "$WORK/$name/tool" "$name, zipsfx extract"
    "$TOOL" test "$a" >"$WORK/$name/test.out" || fail "$name: zipsfx test: $(cat "$WORK/$name/test.out")"
    make_sfx "$STUB" "$a" "$WORK/$name.sfx"
    chmod +x "$WORK/$name.sfx"
    (cd "$WORK/$name/stub" && "$WORK/$name.sfx" -q </dev/null >/dev/null 2>&1) ||
        fail "$name: POSIX stub exit $?"
    same_files "$WORK/$name/stub" "$name, POSIX stub"
    if [ -n "$WINDOWS" ]; then
        make_sfx "$WINSTUB" "$a" "$WORK/$name.exe"
        (cd "$WORK/$name/windows" && "$ZIPSFX_WINE" "$WORK/$name.exe" -q >/dev/null 2>&1) ||
            fail "$name: Windows stub exit $?"
        same_files "$WORK/$name/windows" "$name, Windows stub"
    fi
    echo "ok  $name${WINDOWS:+ (Windows stub too)}"
done

# The damaged archives, one entry each, written here so that the damage sits where it should.
DAMAGED="$WORK/damaged"
mkdir -p "$DAMAGED"
python3 - "$SRC" "$ARCH/7z-deflate64.zip" "$DAMAGED" <<'PY'
import bz2, os, struct, sys, zipfile, zlib
src, deflate64, out = sys.argv[1:]

def raw_zip(path, name, method, data, crc, size):
    """A one-entry Zip whose entry holds data as it is, declaring crc and size."""
    version = 46 if method == 12 else 21
    local = struct.pack("<IHHHHHIIIHH", 0x04034B50, version, 0, method, 0, 0x5266, crc,
                        len(data), size, len(name), 0) + name
    central = struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 0x031E, version, 0, method, 0,
                          0x5266, crc, len(data), size, len(name), 0, 0, 0, 0, 0o100644 << 16,
                          0) + name
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 1, 1, len(central),
                      len(local) + len(data), 0)
    open(path, "wb").write(local + data + central + end)

text = open(os.path.join(src, "text.txt"), "rb").read()
crc = zlib.crc32(text)
stream = bz2.compress(text, 9)
# Bytes 10 to 13 of a stream are its first block's CRC.
flipped = bytearray(stream)
flipped[12] ^= 0x10
raw_zip(os.path.join(out, "bzip2-block-crc.zip"), b"text.txt", 12, bytes(flipped), crc, len(text))
raw_zip(os.path.join(out, "bzip2-cut.zip"), b"text.txt", 12, stream[:len(stream) // 2], crc,
        len(text))
# 7-Zip's Deflate64 stream of far.bin, cut in half.
with zipfile.ZipFile(deflate64) as z:
    info = z.getinfo("far.bin")
data = open(deflate64, "rb").read()
at = info.header_offset
name_length, extra_length = struct.unpack_from("<HH", data, at + 26)
start = at + 30 + name_length + extra_length
packed = data[start:start + info.compress_size]
raw_zip(os.path.join(out, "deflate64-cut.zip"), b"far.bin", 9, packed[:len(packed) // 2],
        info.CRC, info.file_size)
PY

refused() {  # what exit-code output-file entry folder (no entry: the message is not read)
    [ "$2" = 2 ] || fail "$1: exit $2, $(cat "$3")"
    [ -z "$4" ] || grep -qF "$4" "$3" || fail "$1: the message does not name $4: $(cat "$3")"
    [ -z "$(ls -A "$5")" ] || fail "$1 left $(ls -A "$5")"
}

for a in "$DAMAGED"/*.zip; do
    name=$(basename "$a" .zip)
    entry=$(python3 -c 'import sys, zipfile; print(zipfile.ZipFile(sys.argv[1]).namelist()[0])' "$a")
    mkdir -p "$WORK/$name/tool" "$WORK/$name/stub" "$WORK/$name/windows"
    set +e
    "$TOOL" extract "$a" -q -d "$WORK/$name/tool" >"$WORK/$name/out" 2>&1
    code=$?
    set -e
    refused "$name, zipsfx extract" "$code" "$WORK/$name/out" "$entry" "$WORK/$name/tool"
    set +e
    "$TOOL" test "$a" >"$WORK/$name/out" 2>&1
    code=$?
    set -e
    refused "$name, zipsfx test" "$code" "$WORK/$name/out" "$entry" "$WORK/$name/tool"
    make_sfx "$STUB" "$a" "$WORK/$name.sfx"
    chmod +x "$WORK/$name.sfx"
    set +e
    (cd "$WORK/$name/stub" && "$WORK/$name.sfx" -q </dev/null >"$WORK/$name/out" 2>&1)
    code=$?
    set -e
    refused "$name, POSIX stub" "$code" "$WORK/$name/out" "$entry" "$WORK/$name/stub"
    if [ -n "$WINDOWS" ]; then
        # The Windows stub shows its error in a message box, even with -q: it is answered here.
        make_sfx "$WINSTUB" "$a" "$WORK/$name.exe"
        (cd "$WORK/$name/windows" && exec "$ZIPSFX_WINE" "$WORK/$name.exe" -q >/dev/null 2>&1) &
        pid=$!
        box=
        for i in $(seq 1 300); do
            box=$(xdotool search --name '^Self-extracting archive$' 2>/dev/null | head -1 || true)
            [ -n "$box" ] && break
            sleep 0.1
        done
        [ -n "$box" ] || { kill "$pid" 2>/dev/null; fail "$name: no error box from the Windows stub"; }
        sleep 0.3
        xdotool key --window "$box" Return 2>/dev/null || true
        set +e
        wait "$pid"
        code=$?
        set -e
        # The box's text is not read here (test_stub_wine.sh reads it for a damaged archive).
        refused "$name, Windows stub" "$code" /dev/null "" "$WORK/$name/windows"
    fi
    echo "ok  $name refused${WINDOWS:+ (Windows stub too)}"
done
echo PASS
