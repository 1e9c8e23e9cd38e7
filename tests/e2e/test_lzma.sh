#!/bin/bash
# LZMA (Zip method 14) end to end. Archives made here by 7-Zip (-mm=LZMA, at its default and
# highest level), Python's zipfile (ZIP_LZMA, with the end marker) and `zipsfx make --method lzma`
# (no end marker), holding an empty file, incompressible data, text, a program and a long run,
# are extracted by `zipsfx extract`, `zipsfx test`, the POSIX stub and the Windows stub (under
# Wine) and compared with the sources byte for byte. Damaged entries (a cut stream, a wrong
# properties size, a dictionary over the limit) end with exit code 2, a message naming the entry
# and no file left. What make writes, 7-Zip and bsdtar extract; its progress line appears on a
# terminal only; the Windows tool refuses lzma in words.
set -euo pipefail
source "$(dirname "$0")/stub_lib.sh"
source "$ZIPSFX_ROOT/tools/wine-env.sh"

require_tool_built
STUB="${ZIPSFX_STUB_NATIVE:-$ZIPSFX_ROOT/build/native/zipsfx-stub}"
[ -x "$STUB" ] || skip "no native stub at $STUB (build it first)"
command -v 7z >/dev/null || skip "7-Zip is not installed"
command -v python3 >/dev/null || skip "python3 is not installed"

WORK=$(mktemp -d)
WINE_STARTED=
cleanup() {
    [ -n "$WINE_STARTED" ] && wine_stop
    rm -rf "$WORK"
}
trap cleanup EXIT

WINSTUB="$ZIPSFX_ROOT/build/$ZIPSFX_WINE_BUILD/zipsfx-stub.exe"
WINE_OK=
if [ -f "$WINSTUB" ] && [ -x "$ZIPSFX_WINE" ]; then
    wine_start
    WINE_STARTED=1
    WINE_OK=1
else
    note "no Windows stub at $WINSTUB: the Wine parts are left out"
fi

SRC="$WORK/src"
mkdir -p "$SRC/sub"
: >"$SRC/empty"
head -c 300000 /dev/urandom >"$SRC/noise.bin"
python3 -c "
import random
random.seed(5)
words = 'the archive window of entry stream and a header block code length is'.split()
print(' '.join(random.choice(words) for _ in range(120000)))" >"$SRC/sub/text.txt"
cp "$TOOL" "$SRC/sub/program"
# A run far longer than the decoder's output pieces and the longest match.
head -c 1000000 /dev/zero >"$SRC/zeros"

same_as_source() {  # folder what
    diff -r "$SRC" "$1" >"$WORK/diff.out" 2>&1 || fail "$2 differs from the source: $(head -5 "$WORK/diff.out")"
}

# zipsfx test, zipsfx extract, the POSIX stub and the Windows stub, each compared with the source.
check_archive() {  # name zip
    local name=$1 zip=$2 dir="$WORK/x-$1"
    mkdir -p "$dir/tool" "$dir/stub" "$dir/win"
    "$TOOL" test "$zip" >"$dir/test.out" 2>&1 || fail "$name: zipsfx test: $(cat "$dir/test.out")"
    "$TOOL" extract "$zip" -q -d "$dir/tool" >"$dir/extract.out" 2>&1 ||
        fail "$name: zipsfx extract: $(cat "$dir/extract.out")"
    same_as_source "$dir/tool" "$name: zipsfx extract"
    make_sfx "$STUB" "$zip" "$dir/sfx"
    chmod +x "$dir/sfx"
    (cd "$dir/stub" && "$dir/sfx" -q </dev/null >"$dir/stub.out" 2>&1) ||
        fail "$name: POSIX stub: $(cat "$dir/stub.out")"
    same_as_source "$dir/stub" "$name: the POSIX stub"
    if [ -n "$WINE_OK" ]; then
        make_sfx "$WINSTUB" "$zip" "$dir/sfx.exe"
        (cd "$dir/win" && "$ZIPSFX_WINE" "$dir/sfx.exe" -q >/dev/null 2>&1) ||
            fail "$name: Windows stub: exit $?"
        same_as_source "$dir/win" "$name: the Windows stub"
    fi
    echo "ok  $name"
}

# Bit 1 of the general-purpose flags (end marker) of every LZMA entry: "1", "0" or "mixed".
marker_flags() {  # zip
    python3 - "$1" <<'PY'
import sys, zipfile
bits = {(i.flag_bits >> 1) & 1 for i in zipfile.ZipFile(sys.argv[1]).infolist() if i.compress_type == 14}
print("mixed" if len(bits) != 1 else bits.pop())
PY
}

note "producers: 7-Zip, Python's zipfile, zipsfx make"
(cd "$SRC" && 7z a -tzip -mm=LZMA -bso0 -bsp0 "$WORK/7z.zip" . >/dev/null)
check_archive 7-zip "$WORK/7z.zip"
(cd "$SRC" && 7z a -tzip -mm=LZMA -mx9 -bso0 -bsp0 "$WORK/7z-mx9.zip" . >/dev/null)
check_archive 7-zip-mx9 "$WORK/7z-mx9.zip"
python3 - "$SRC" "$WORK/python.zip" <<'PY'
import os, sys, zipfile
src, out = sys.argv[1:]
with zipfile.ZipFile(out, "w", zipfile.ZIP_LZMA) as z:
    for root, dirs, files in sorted(os.walk(src)):
        for f in sorted(files):
            full = os.path.join(root, f)
            z.write(full, os.path.relpath(full, src))
PY
[ "$(marker_flags "$WORK/python.zip")" = 1 ] || fail "Python wrote LZMA entries without the end marker"
check_archive python "$WORK/python.zip"
"$TOOL" make -q -o "$WORK/made.sfx" --stub posix --method lzma -l 9 "$SRC"/* 2>"$WORK/make.err" ||
    fail "make --method lzma: $(cat "$WORK/make.err")"
"$TOOL" list "$WORK/made.sfx" | grep -q " LZMA " || fail "make wrote no LZMA entry"
[ "$(marker_flags "$WORK/made.sfx")" = 0 ] || fail "make wrote LZMA entries with the end marker"
echo "ok  make --method lzma"

note "make's output: no end marker; 7-Zip, bsdtar and both stubs read it byte for byte"
for reader in 7z bsdtar; do
    mkdir -p "$WORK/peer-$reader"
    if [ "$reader" = 7z ]; then
        7z x -bso0 -bsp0 -o"$WORK/peer-7z" "$WORK/made.sfx" >/dev/null || fail "7z cannot extract make's output"
    elif command -v bsdtar >/dev/null; then
        bsdtar -xf "$WORK/made.sfx" -C "$WORK/peer-bsdtar" || fail "bsdtar cannot extract make's output"
    else
        note "bsdtar is not installed: left out"
        continue
    fi
    same_as_source "$WORK/peer-$reader" "$reader on make's output"
done
mkdir -p "$WORK/made-stub"
(cd "$WORK/made-stub" && "$WORK/made.sfx" -q </dev/null >/dev/null 2>&1) || fail "the POSIX stub on make's output"
same_as_source "$WORK/made-stub" "the POSIX stub on make's output"
if [ -n "$WINE_OK" ]; then
    "$TOOL" make -q -o "$WORK/made.exe" --stub "$WINSTUB" --method lzma "$SRC"/* ||
        fail "make --method lzma with the Windows stub"
    mkdir -p "$WORK/made-win"
    (cd "$WORK/made-win" && "$ZIPSFX_WINE" "$WORK/made.exe" -q >/dev/null 2>&1) ||
        fail "the Windows stub on make's output: exit $?"
    same_as_source "$WORK/made-win" "the Windows stub on make's output"
fi
echo "ok  make's output read everywhere"

note "damaged entries: exit 2, the entry named, no file left (tool, test, POSIX stub, Windows stub)"
# One-entry archives written by hand around the data of a real LZMA entry: the stream cut in
# half, the properties size 6 instead of 5, and a 1 GB dictionary for a declared 300 MB.
python3 - "$WORK/python.zip" "$WORK" <<'PY'
import struct, sys, zipfile
source, work = sys.argv[1:]
with zipfile.ZipFile(source) as z:
    info = z.getinfo("sub/text.txt")
raw = open(source, "rb").read()
at = info.header_offset
name_length, extra_length = struct.unpack_from("<HH", raw, at + 26)
start = at + 30 + name_length + extra_length
data = raw[start:start + info.compress_size]

def one_entry(path, data, size, crc, flags):
    name = b"damaged.txt"
    local = struct.pack("<IHHHHHIIIHH", 0x04034B50, 63, flags, 14, 0, 0x5221, crc, len(data),
                        size, len(name), 0) + name + data
    central = struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 63, 63, flags, 14, 0, 0x5221, crc,
                          len(data), size, len(name), 0, 0, 0, 0, 0, 0) + name
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 1, 1, len(central), len(local), 0)
    open(path, "wb").write(local + central + end)

one_entry(work + "/cut.zip", data[:len(data) // 2], info.file_size, info.CRC, info.flag_bits)
wrong = bytearray(data)
wrong[2] = 6
one_entry(work + "/props.zip", bytes(wrong), info.file_size, info.CRC, info.flag_bits)
huge = bytearray(data)
huge[5:9] = struct.pack("<I", 1 << 30)
one_entry(work + "/dictionary.zip", bytes(huge), 300 << 20, info.CRC, info.flag_bits)
PY
for case in "cut:unexpected end of LZMA data" "props:bad LZMA properties size 6 (not 5)" \
    "dictionary:LZMA dictionary of 1073741824 bytes refused (more than 256 MB)"; do
    name=${case%%:*}
    words="${case#*:} in LzmaDecoder for damaged.txt"
    zip="$WORK/$name.zip"
    mkdir -p "$WORK/bad-$name/tool" "$WORK/bad-$name/stub" "$WORK/bad-$name/win"
    set +e
    "$TOOL" extract "$zip" -q -d "$WORK/bad-$name/tool" >"$WORK/bad.out" 2>&1
    code=$?
    set -e
    [ "$code" = 2 ] && grep -qF "$words" "$WORK/bad.out" ||
        fail "$name: extract exit $code: $(cat "$WORK/bad.out")"
    [ -z "$(ls -A "$WORK/bad-$name/tool")" ] || fail "$name: extract left $(ls -A "$WORK/bad-$name/tool")"
    set +e
    "$TOOL" test "$zip" >"$WORK/bad.out" 2>&1
    code=$?
    set -e
    [ "$code" = 2 ] && grep -q "^FAILED  damaged.txt: .*${case#*:}" "$WORK/bad.out" ||
        fail "$name: test exit $code: $(cat "$WORK/bad.out")"
    make_sfx "$STUB" "$zip" "$WORK/bad-$name/sfx"
    chmod +x "$WORK/bad-$name/sfx"
    set +e
    (cd "$WORK/bad-$name/stub" && "$WORK/bad-$name/sfx" -q </dev/null >"$WORK/bad.out" 2>&1)
    code=$?
    set -e
    [ "$code" = 2 ] && grep -qF "$words" "$WORK/bad.out" ||
        fail "$name: POSIX stub exit $code: $(cat "$WORK/bad.out")"
    [ -z "$(ls -A "$WORK/bad-$name/stub")" ] || fail "$name: the POSIX stub left $(ls -A "$WORK/bad-$name/stub")"
    if [ -n "$WINE_OK" ]; then
        # The Windows stub shows its error in a message box, even with -q: Enter closes it.
        make_sfx "$WINSTUB" "$zip" "$WORK/bad-$name/sfx.exe"
        (cd "$WORK/bad-$name/win" && exec "$ZIPSFX_WINE" "$WORK/bad-$name/sfx.exe" -q >/dev/null 2>&1) &
        pid=$!
        box=
        for i in $(seq 1 300); do
            box=$(xdotool search --name "^Self-extracting archive\$" 2>/dev/null | head -1) || true
            [ -n "$box" ] && break
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        [ -n "$box" ] || { kill "$pid" 2>/dev/null || true; fail "$name: the Windows stub showed no error box"; }
        xdotool key --window "$box" Return 2>/dev/null || true
        for i in $(seq 1 50); do
            kill -0 "$pid" 2>/dev/null || break
            xdotool search --name "^Self-extracting archive\$" key Return >/dev/null 2>&1 || true
            sleep 0.2
        done
        code=0
        wait "$pid" || code=$?
        [ "$code" = 2 ] || fail "$name: Windows stub exit $code"
        [ -z "$(ls -A "$WORK/bad-$name/win")" ] || fail "$name: the Windows stub left $(ls -A "$WORK/bad-$name/win")"
    fi
    echo "ok  $name refused"
done

note "make's progress: a line on a terminal, none elsewhere or with -q"
if command -v script >/dev/null; then
    script -qfec "$TOOL make -o '$WORK/p1.sfx' --stub posix --method lzma -l 1 '$SRC'" /dev/null \
        >"$WORK/tty.out" </dev/null || fail "make on a terminal: $(cat "$WORK/tty.out")"
    grep -q "\[5/5\] .* MB 100% .* MB/s" "$WORK/tty.out" || fail "no progress line: $(cat -v "$WORK/tty.out")"
    script -qfec "$TOOL make -q -o '$WORK/p2.sfx' --stub posix --method lzma -l 1 '$SRC'" /dev/null \
        >"$WORK/tty.out" </dev/null || fail "make -q on a terminal"
    ! grep -q "MB/s" "$WORK/tty.out" || fail "-q drew progress: $(cat -v "$WORK/tty.out")"
else
    note "script (util-linux) is missing: the terminal part is left out"
fi
"$TOOL" make -o "$WORK/p3.sfx" --stub posix --method lzma -l 1 "$SRC" >"$WORK/out.txt" 2>"$WORK/err.txt"
[ ! -s "$WORK/out.txt" ] && [ ! -s "$WORK/err.txt" ] || fail "make printed without a terminal: $(cat "$WORK/err.txt")"
echo "ok  progress"

WINTOOL="$ZIPSFX_ROOT/build/$ZIPSFX_WINE_BUILD/zipsfx.exe"
if [ -n "$WINE_OK" ] && [ -f "$WINTOOL" ]; then
    note "the Windows tool writes store and deflate, and says so when asked for lzma"
    set +e
    "$ZIPSFX_WINE" "$WINTOOL" make -o "$(wine_path "$WORK/w.exe")" --method lzma \
        "$(wine_path "$SRC")" >"$WORK/w.out" 2>&1
    code=$?
    set -e
    [ "$code" = 3 ] && grep -q "method lzma is not available in this build" "$WORK/w.out" ||
        fail "Windows tool: exit $code: $(cat "$WORK/w.out")"
    [ ! -e "$WORK/w.exe" ] || fail "the Windows tool made a file"
    echo "ok  Windows tool refuses lzma"
fi
echo PASS
