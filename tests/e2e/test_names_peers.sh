#!/bin/bash
# Entry names from several producers: `zipsfx extract` gives the same names, byte for byte, as
# Info-ZIP unzip and 7-Zip where those two agree (zip 3.0 on Linux, Python's zipfile with bit
# 11), and the names of the decoding rules where they do not (a code page 437 archive, which
# unzip turns into Latin-1 and 7-Zip leaves as raw bytes; control characters, which unzip drops
# and 7-Zip keeps). `zipsfx list` shows the names in UTF-8 with control characters escaped, and
# a name too long for this system is refused before anything is written.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
export LANG=C.UTF-8 LC_ALL=C.UTF-8

require_tool_built
command -v unzip >/dev/null || skip "Info-ZIP unzip is not installed"
command -v 7z >/dev/null || skip "7-Zip (7z) is not installed"
command -v zip >/dev/null || skip "Info-ZIP zip is not installed"

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

# Every file and folder below a folder, one relative path a line, in byte order.
names_below() {  # folder
    (cd "$1" && find . -mindepth 1 -printf '%P\n' | LC_ALL=C sort)
}

note "archives made here"
NAMES=('café.txt' 'Ábaco.txt' '日本語.txt' $'e\xcc\x81-nfd.txt' '😀 emoji.txt' 'Привет/файл.txt'
    'a?b*c<d>.txt' $'look\xe2\x88\x95alike\xef\xbc\x8fslash.txt')
mkdir -p "$WORK/src/tree/Привет"
for name in "${NAMES[@]}"; do
    printf '%s\n' "$name" >"$WORK/src/tree/$name"
done
# Info-ZIP zip on Linux: raw UTF-8 names, no bit 11, made on Unix, a Unicode Path field each.
(cd "$WORK/src" && zip -qrX "$WORK/izip-utf8.zip" tree)
python3 - "$WORK" "${NAMES[@]}" <<'PY'
import struct, sys, zipfile, zlib
work, names = sys.argv[1], sys.argv[2:]
# Python's zipfile: bit 11 on every name that is not ASCII.
with zipfile.ZipFile(work + "/python-bit11.zip", "w", zipfile.ZIP_DEFLATED) as z:
    for name in names:
        z.writestr(name, (name + "\n").encode("utf-8", "surrogateescape"))

# Made on DOS, names in code page 437 without any mark, '\' separators as old tools wrote them.
def raw(entries):
    out = central = b""
    for name, data in entries:
        crc, offset = zlib.crc32(data), len(out)
        out += struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, 0, 0, 0x6000, 0x5A8A, crc,
                           len(data), len(data), len(name), 0) + name + data
        central += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 20, 20, 0, 0, 0x6000, 0x5A8A,
                               crc, len(data), len(data), len(name), 0, 0, 0, 0, 0x20,
                               offset) + name
    return out + central + struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, len(entries),
                                       len(entries), len(central), len(out), 0)
with open(work + "/raw-cp437.zip", "wb") as f:
    f.write(raw([(b"\x8erger.txt", b"1"), (b"caf\x82.txt", b"2"),
                 (b"\x84\x94\x81\xe1 \xe0\xe1\xe2.txt", b"3"), (b"dir\\sub\x82.txt", b"4")]))

with zipfile.ZipFile(work + "/python-control.zip", "w") as z:
    z.writestr("ctl\x1b[31m\x7f.txt", b"x")
    z.writestr("tab\there.txt", b"x")
with zipfile.ZipFile(work + "/python-long.zip", "w") as z:
    z.writestr("first.txt", b"1")
    z.writestr("deep/" + "n" * 300 + ".txt", b"2")
PY

# What the decoding rules give where the peers disagree.
printf '%s\n' 'caf'$'\xc3\xa9''.txt' 'dir' 'dir/sub'$'\xc3\xa9''.txt' \
    $'\xc3\xa4\xc3\xb6\xc3\xbc\xc3\x9f \xce\xb1\xc3\x9f\xce\x93.txt' $'\xc3\x84rger.txt' |
    LC_ALL=C sort >"$WORK/raw-cp437.expected"
printf '%s\n' 'ctl[31m.txt' 'tabhere.txt' | LC_ALL=C sort >"$WORK/python-control.expected"

for archive in "$WORK"/izip-utf8.zip "$WORK"/python-bit11.zip "$WORK"/raw-cp437.zip \
    "$WORK"/python-control.zip; do
    name=$(basename "$archive" .zip)
    mkdir -p "$WORK/ours-$name" "$WORK/unzip-$name" "$WORK/7z-$name"
    "$TOOL" extract "$archive" -d "$WORK/ours-$name" -q >"$WORK/log" 2>&1 ||
        fail "zipsfx extract fails on $name: $(cat "$WORK/log")"
    (cd "$WORK/unzip-$name" && unzip -qq "$archive" 2>/dev/null) || true
    7z x -y -o"$WORK/7z-$name" "$archive" >/dev/null 2>&1 || true
    names_below "$WORK/ours-$name" >"$WORK/ours.list"
    names_below "$WORK/unzip-$name" >"$WORK/unzip.list"
    names_below "$WORK/7z-$name" >"$WORK/7z.list"
    if cmp -s "$WORK/unzip.list" "$WORK/7z.list"; then
        cmp -s "$WORK/ours.list" "$WORK/unzip.list" ||
            fail "$name: names differ from unzip's and 7-Zip's:
$(diff "$WORK/unzip.list" "$WORK/ours.list" | cat -A)"
        note "$name: $(wc -l <"$WORK/ours.list") names as unzip and 7-Zip give them"
    else
        [ -f "$WORK/$name.expected" ] ||
            fail "$name: unzip and 7-Zip disagree and the script expects nothing of its own"
        cmp -s "$WORK/ours.list" "$WORK/$name.expected" ||
            fail "$name: names differ from the decoding rules':
$(diff "$WORK/$name.expected" "$WORK/ours.list" | cat -A)"
        note "$name: unzip and 7-Zip disagree; $(wc -l <"$WORK/ours.list") names as the rules give them"
    fi
done
# Each file holds its own name: the right content went under each name.
for name in "${NAMES[@]}"; do
    [ "$(cat "$WORK/ours-python-bit11/$name")" = "$name" ] || fail "wrong content under $name"
done

note "zipsfx list: UTF-8 names, control characters escaped"
"$TOOL" list "$WORK/python-control.zip" >"$WORK/list.txt"
grep -qF 'ctl\x1b[31m\x7f.txt' "$WORK/list.txt" || fail "list does not escape: $(cat -A "$WORK/list.txt")"
grep -qF 'tab\there.txt' "$WORK/list.txt" || fail "list does not escape a tab: $(cat -A "$WORK/list.txt")"
if LC_ALL=C grep -q $'[\x01-\x08\x0b-\x1f\x7f]' "$WORK/list.txt"; then
    fail "list prints raw control characters"
fi
[ "$(tail -c 1 "$WORK/list.txt" | od -An -c | tr -d ' ')" = '\n' ] || fail "list does not end its output with a newline"
"$TOOL" list "$WORK/raw-cp437.zip" | grep -qF $'\xc3\x84rger.txt' || fail "list does not decode code page 437"
"$TOOL" test "$WORK/izip-utf8.zip" | grep -qF $'OK      tree/\xd0\x9f\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82/\xd1\x84\xd0\xb0\xd0\xb9\xd0\xbb.txt' ||
    fail "test does not print the decoded names"

note "a name longer than this system allows: refused before anything is written"
mkdir -p "$WORK/ours-long"
if "$TOOL" extract "$WORK/python-long.zip" -d "$WORK/ours-long" -q >"$WORK/log" 2>&1; then
    fail "zipsfx extract took a 300-byte name"
fi
grep -q "cannot extract deep/nnnn.*longer than" "$WORK/log" || fail "unclear message: $(cat "$WORK/log")"
[ -z "$(names_below "$WORK/ours-long")" ] || fail "files were written before the refusal: $(names_below "$WORK/ours-long")"
echo "names: all checks passed"
