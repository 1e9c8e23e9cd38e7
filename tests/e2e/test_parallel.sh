#!/bin/bash
# Extraction by several threads, the host tool and the POSIX stub, against one thread and against
# Info-ZIP unzip: the same trees, times, names and exit codes with ZIPSFX_THREADS=1 and 4; a
# damaged entry in the middle of many ends the run with no partial file and no file after it;
# SIGTERM during a parallel run leaves only whole files; many entries of one name get the same
# numbered names as on one thread. (The Windows stub's Cancel button under several threads:
# test_stub_wine.sh, which runs with the machine's thread count.)
set -euo pipefail
source "$(dirname "$0")/stub_lib.sh"

require_tool_built
STUB="${ZIPSFX_STUB_NATIVE:-$ZIPSFX_ROOT/build/native/zipsfx-stub}"
[ -x "$STUB" ] || skip "no native stub at $STUB (build it first)"
command -v zip >/dev/null || skip "Info-ZIP zip is not installed"
command -v unzip >/dev/null || skip "Info-ZIP unzip is not installed"
command -v python3 >/dev/null || skip "python3 is not installed"

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

# Runs the tool or the stub on a Zip (or the self-extracting file made of it) into a new folder;
# prints the exit code.
extract_with() {  # program threads zip out [stderr-file]
    local program=$1 threads=$2 zip=$3 out=$4 err=${5:-/dev/null} code=0
    mkdir -p "$out"
    if [ "$program" = stub ]; then
        make_sfx "$STUB" "$zip" "$WORK/run.sfx"
        chmod +x "$WORK/run.sfx"
        (cd "$out" && ZIPSFX_THREADS=$threads exec "$WORK/run.sfx" -q </dev/null >/dev/null 2>"$err") ||
            code=$?
    else
        ZIPSFX_THREADS=$threads "$TOOL" extract "$zip" -d "$out" -q </dev/null >/dev/null 2>"$err" ||
            code=$?
    fi
    echo "$code"
}

# Many files of many sizes, compressible and not, in nested folders, with their own times.
python3 - "$WORK/src" <<'PY'
import os, sys
root = sys.argv[1]
for folder in ("docs/deep", "bin"):
    os.makedirs(os.path.join(root, folder))
for i in range(1, 151):
    kind = i % 5
    name, data = [("bin/r%d.bin" % i, os.urandom(i * 997)),
                  ("docs/s%d.txt" % i, "".join("%d\n" % n for n in range(i * 300)).encode()),
                  ("docs/deep/e%d" % i, b""),
                  ("bin/z%d.bin" % i, bytes(i * 20000)),
                  ("docs/deep/l%d.txt" % i, b"line %d\n" % i)][kind]
    path = os.path.join(root, name)
    with open(path, "wb") as f:
        f.write(data)
    when = 1640995200 + i * 60  # 2022-01-01 UTC, a minute apart
    os.utime(path, (when, when))
PY
(cd "$WORK/src" && zip -qr -X "$WORK/many.zip" .)
mkdir "$WORK/unzip"
(cd "$WORK/unzip" && unzip -q "$WORK/many.zip")
EXPECTED=$(tree_of "$WORK/unzip")

echo "[$SECONDS s] == tool and stub, 1 and 4 threads: unzip's tree and times, exit 0"
for program in tool stub; do
    for threads in 1 4; do
        out="$WORK/out-$program-$threads"
        code=$(extract_with "$program" "$threads" "$WORK/many.zip" "$out")
        [ "$code" = 0 ] || fail "$program with $threads threads: exit $code"
        [ "$(tree_of "$out")" = "$EXPECTED" ] || fail "$program with $threads threads: tree differs"
        diff -r "$WORK/unzip" "$out" >/dev/null || fail "$program with $threads threads: contents differ"
        rm -rf "$out"
    done
done

echo "[$SECONDS s] == numbered names: entries of one name and a taken folder, as on one thread"
python3 - "$WORK/same.zip" <<'PY'
import sys, warnings, zipfile
warnings.simplefilter("ignore")  # duplicate names are the point
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as z:
    for i in range(30):
        z.writestr("same.txt", "copy %d\n" % i * (i * 500 + 1))
        z.writestr("docs/f%d.txt" % i, "docs %d\n" % i)
PY
for threads in 1 4; do
    out="$WORK/same-$threads"
    mkdir -p "$out/docs"
    echo "there before" >"$out/same.txt"
    code=$(extract_with tool "$threads" "$WORK/same.zip" "$out")
    [ "$code" = 0 ] || fail "same names with $threads threads: exit $code"
    (cd "$out" && find . -type f -exec md5sum {} + | sort -k2) >"$WORK/same-$threads.sums"
done
cmp -s "$WORK/same-1.sums" "$WORK/same-4.sums" || fail "numbered names differ: $(diff "$WORK/same-1.sums" "$WORK/same-4.sums" | head)"
[ "$(grep -c same "$WORK/same-4.sums")" = 31 ] || fail "not every same.txt was written"
[ -d "$WORK/same-4/docs_1" ] || fail "the taken folder was not renamed"

echo "[$SECONDS s] == a damaged entry in the middle of many: exit 2, the same message, nothing after it"
python3 - "$WORK/damaged.zip" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED) as z:
    for i in range(60):
        data = (b"entry %03d " % i) * (2000 + 3000 * (i % 7))
        z.writestr("d/e%03d.txt" % i, data)
# Entry 30's deflated data is damaged past its first bytes, so that it fails while others run.
with zipfile.ZipFile(sys.argv[1]) as z:
    info = z.getinfo("d/e030.txt")
with open(sys.argv[1], "r+b") as f:
    f.seek(info.header_offset + 26)
    name, extra = int.from_bytes(f.read(2), "little"), int.from_bytes(f.read(2), "little")
    start = info.header_offset + 30 + name + extra
    f.seek(start + info.compress_size // 2)
    f.write(b"\xff\xff\xff\xff")
PY
for program in tool stub; do
    for threads in 1 4; do
        out="$WORK/damaged-$program-$threads"
        code=$(extract_with "$program" "$threads" "$WORK/damaged.zip" "$out" "$WORK/err-$program-$threads")
        [ "$code" = 2 ] || fail "damaged, $program with $threads threads: exit $code"
        left=$(cd "$out" && find . -type f | sort | tr '\n' ' ')
        want=$(for i in $(seq 0 29); do printf './d/e%03d.txt ' "$i"; done)
        [ "$left" = "$want" ] || fail "damaged, $program with $threads threads: files left: $left"
    done
    cmp -s "$WORK/err-$program-1" "$WORK/err-$program-4" ||
        fail "damaged, $program: messages differ: $(cat "$WORK/err-$program-1") / $(cat "$WORK/err-$program-4")"
done

echo "[$SECONDS s] == SIGTERM during a run of 4 threads, tool and stub: exit 1, only whole files left"
python3 - "$WORK/big.zip" <<'PY'
import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED, compresslevel=1) as z:
    for i in range(10, 30):
        z.writestr("f%d.bin" % i, bytes(40000000))
PY
make_sfx "$STUB" "$WORK/big.zip" "$WORK/big.sfx"
chmod +x "$WORK/big.sfx"
for program in tool stub; do
    out="$WORK/term-$program"
    mkdir "$out"
    if [ "$program" = stub ]; then
        (cd "$out" && ZIPSFX_THREADS=4 exec "$WORK/big.sfx" -q </dev/null >/dev/null 2>&1) &
    else
        ZIPSFX_THREADS=4 "$TOOL" extract "$WORK/big.zip" -d "$out" -q </dev/null >/dev/null 2>&1 &
    fi
    pid=$!
    # Once the eleventh file appears, the first entries are done and others on their way.
    for i in $(seq 1 3000); do
        [ -e "$out/f20.bin" ] && break
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.01
    done
    kill -TERM "$pid" 2>/dev/null || fail "the $program ended before SIGTERM could be sent"
    code=0
    wait "$pid" || code=$?
    [ "$code" = 1 ] || fail "SIGTERM to the $program: exit $code"
    # What is left is the first entries, each whole.
    n=10
    for file in $(cd "$out" && ls | sort); do
        [ "$file" = "f$n.bin" ] || fail "SIGTERM to the $program: $file left out of order"
        [ "$(stat -c %s "$out/$file")" = 40000000 ] ||
            fail "SIGTERM to the $program: partial file $file: $(stat -c %s "$out/$file")"
        n=$((n + 1))
    done
    [ "$n" -lt 30 ] || fail "SIGTERM to the $program came after the end"
    rm -rf "$out"
done

echo "PASS"
