#!/bin/bash
# Zip64 values past 4 GiB, where a 32-bit build shows a size or an offset narrowed on the way
# (the i386 tool runs this script too, through test_i386_tool.sh). Two archives are written here,
# sparse, in a second or so:
# - big.zip holds a stored entry of 4 GiB + 3 bytes (a hole, so zeros) with its sizes in the
#   Zip64 field of both headers, then small entries whose local headers, like the central
#   directory and the Zip64 end record, lie past 4 GiB. Listed (sizes, totals) and tested (4 GiB
#   of CRC-32: 10 seconds natively, half a minute under qemu-i386); extracted (4 GiB written)
#   only with ZIPSFX_SLOW=1.
# - far.zip holds small entries behind 4 GiB of leading bytes, their offsets counted from the
#   file's start as `zip -A` writes them: every offset needs Zip64, and listing, testing and
#   extracting it reads only a few bytes.
# Python's zipfile reads both first, so that a fault in how they are written is not taken for one
# in the tool.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
export TZ=UTC

require_tool_built
command -v python3 >/dev/null || skip "python3 is not installed"

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
GiB4=$((4 * 1024 * 1024 * 1024))
free=$(df --output=avail -B1 "$WORK" | tail -1)
# The archives are sparse; the slow part writes the large entry out.
[ "$free" -gt $((1024 * 1024 * 1024)) ] || skip "less than 1 GiB free in $WORK"

python3 - "$WORK" "$GiB4" <<'PY'
import struct, sys, zlib

work, gib4 = sys.argv[1], int(sys.argv[2])
TIME, DATE = (12 << 11) | (34 << 5) | 28, ((2024 - 1980) << 9) | (2 << 5) | 29
MASK32 = 0xFFFFFFFF


def zero_crc(size):
    crc, block = 0, bytes(1 << 24)
    while size > 0:
        crc = zlib.crc32(block[:min(size, len(block))], crc)
        size -= len(block)
    return crc


def write(path, start, entries):
    """Writes a Zip64 archive at `start` in a new file, everything before it a hole. entries:
    (name, data or a size of zeros to leave as a hole, method). Every value that can be in a Zip64
    field is put there, as Python's zipfile and Info-ZIP zip do when a value needs it."""
    central, listing = b"", ""
    with open(path, "wb") as f:
        f.seek(start)
        for name, data, method in entries:
            name = name.encode()
            offset = f.tell()
            if isinstance(data, int):
                size, crc, stored = data, zero_crc(data), None
            else:
                size, crc = len(data), zlib.crc32(data)
                if method == 8:
                    packer = zlib.compressobj(9, zlib.DEFLATED, -15)
                    stored = packer.compress(data) + packer.flush()
                else:
                    stored = data
            packed = size if stored is None else len(stored)
            listing += "%d %d %s\n" % (size, packed, name.decode())
            extra = struct.pack("<HHQQ", 1, 16, size, packed)
            f.write(struct.pack("<IHHHHHIIIHH", 0x04034B50, 45, 0, method, TIME, DATE, crc,
                                MASK32, MASK32, len(name), len(extra)) + name + extra)
            if stored is None:
                f.seek(packed, 1)
            else:
                f.write(stored)
            extra = struct.pack("<HHQQQ", 1, 24, size, packed, offset)
            central += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, (3 << 8) | 45, 45, 0,
                                   method, TIME, DATE, crc, MASK32, MASK32, len(name),
                                   len(extra), 0, 0, 0, 0o100644 << 16, MASK32) + name + extra
        at = f.tell()
        f.write(central)
        end64 = f.tell()
        count = len(entries)
        f.write(struct.pack("<IQHHIIQQQQ", 0x06064B50, 44, (3 << 8) | 45, 45, 0, 0, count, count,
                            len(central), at))
        f.write(struct.pack("<IIQI", 0x07064B50, 0, end64, 1))
        f.write(struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 0xFFFF, 0xFFFF, MASK32, MASK32, 0))
    open(path + ".expected", "w").write(listing)


text = b"".join(b"line %d past four gibibytes\n" % i for i in range(2000))
write(work + "/big.zip", 0, [("big.bin", gib4 + 3, 0), ("after.txt", b"after the big one\n", 0),
                             ("tail/text.txt", text, 8)])
write(work + "/far.zip", gib4 + 4096, [("first.txt", b"first\n", 0), ("tail/text.txt", text, 8)])
open(work + "/text.txt", "wb").write(text)
PY
printf 'after the big one\n' >"$WORK/after.txt"
printf 'first\n' >"$WORK/first.txt"

note "the archives as Python's zipfile reads them"
python3 - "$WORK" "$GiB4" <<'PY' || fail "Python's zipfile does not read the archives as written"
import sys, zipfile
work, gib4 = sys.argv[1], int(sys.argv[2])
with zipfile.ZipFile(work + "/big.zip") as z:
    infos = z.infolist()
    assert [i.file_size for i in infos][:2] == [gib4 + 3, 18], infos
    assert infos[1].header_offset > gib4 and z.read("after.txt") == b"after the big one\n"
    assert z.read("tail/text.txt") == open(work + "/text.txt", "rb").read()
with zipfile.ZipFile(work + "/far.zip") as z:
    assert z.read("first.txt") == b"first\n"
    assert z.read("tail/text.txt") == open(work + "/text.txt", "rb").read()
PY
[ "$(stat -c %s "$WORK/big.zip")" -gt "$GiB4" ] || fail "big.zip is not past 4 GiB"

# The listing's lines: length, compressed size and name.
listed() {  # archive
    "$TOOL" list "$1" >"$WORK/list.out" 2>&1 || fail "list $(basename "$1"): $(cat "$WORK/list.out")"
    awk '$1 ~ /^[0-9]+$/ { print $1, $2, $NF }' "$WORK/list.out"
}

note "list: sizes of 4 GiB and more, and their sums"
# The entries' lines as written, then the totals line (both sums past 4 GiB, 3 entries).
expected="$(cat "$WORK/big.zip.expected")
$(awk '{ u += $1; c += $2 } END { printf "%.0f %.0f entries", u, c }' "$WORK/big.zip.expected")"
got=$(listed "$WORK/big.zip")
[ "$got" = "$expected" ] || fail "big.zip lists
$got
instead of
$expected"
echo "ok  list big.zip"

note "far.zip: every offset past 4 GiB; list, test and extract"
got=$(listed "$WORK/far.zip")
grep -qx "6 6 first.txt" <<<"$got" || fail "far.zip lists $(cat "$WORK/list.out")"
"$TOOL" test "$WORK/far.zip" >"$WORK/test.out" 2>&1 || fail "test far.zip: $(cat "$WORK/test.out")"
grep -q '^2 entries checked, 0 failed$' "$WORK/test.out" || fail "test far.zip: $(cat "$WORK/test.out")"
mkdir "$WORK/far"
"$TOOL" extract "$WORK/far.zip" -q -d "$WORK/far" >"$WORK/extract.out" 2>&1 ||
    fail "extract far.zip: $(cat "$WORK/extract.out")"
cmp "$WORK/first.txt" "$WORK/far/first.txt" || fail "far.zip: first.txt differs"
cmp "$WORK/text.txt" "$WORK/far/tail/text.txt" || fail "far.zip: tail/text.txt differs"
echo "ok  far.zip"

note "big.zip: test decodes the 4 GiB entry and the entries past it"
"$TOOL" test "$WORK/big.zip" >"$WORK/test.out" 2>&1 || fail "test big.zip: $(cat "$WORK/test.out")"
grep -q '^3 entries checked, 0 failed$' "$WORK/test.out" || fail "test big.zip: $(cat "$WORK/test.out")"
echo "ok  test big.zip"

if [ "${ZIPSFX_SLOW:-}" != 1 ]; then
    note "extracting the 4 GiB entry runs only with ZIPSFX_SLOW=1"
    echo PASS
    exit 0
fi
note "big.zip: extract (4 GiB written)"
[ "$free" -gt $((GiB4 + 1024 * 1024 * 1024)) ] || skip "less than 5 GiB free in $WORK to extract"
mkdir "$WORK/big"
"$TOOL" extract "$WORK/big.zip" -q -d "$WORK/big" >"$WORK/extract.out" 2>&1 ||
    fail "extract big.zip: $(cat "$WORK/extract.out")"
[ "$(stat -c %s "$WORK/big/big.bin")" = $((GiB4 + 3)) ] || fail "big.bin: $(stat -c %s "$WORK/big/big.bin") bytes"
cmp -s "$WORK/big/big.bin" <(head -c $((GiB4 + 3)) /dev/zero) || fail "big.bin is not all zeros"
cmp "$WORK/after.txt" "$WORK/big/after.txt" || fail "big.zip: after.txt differs"
cmp "$WORK/text.txt" "$WORK/big/tail/text.txt" || fail "big.zip: tail/text.txt differs"
echo PASS
