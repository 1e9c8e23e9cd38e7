#!/bin/bash
# `zipsfx make` with the POSIX stub, end to end: make from a tree, extract with -q, compare; the
# RUN program and its arguments; the destinations; an Info-ZIP archive appended unchanged; peers
# reading what was made; refusals that leave no file.
set -euo pipefail
source "$(dirname "$0")/make_lib.sh"

STUB="${ZIPSFX_STUB_NATIVE:-$ZIPSFX_ROOT/build/native/zipsfx-stub}"
require_tool
[ -x "$STUB" ] || skip "no POSIX stub at $STUB (build it first)"

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
make_tree "$WORK"

note "make from a tree, extract quietly into the current folder"
"$TOOL" make -v -o "$WORK/tree.sfx" --stub "$STUB" --no-run "$WORK/tree" >"$WORK/make.log"
grep -q "adding: tree/sub/random.bin" "$WORK/make.log" || fail "-v lists no entries"
[ -x "$WORK/tree.sfx" ] || fail "the output is not executable"
"$TOOL" test "$WORK/tree.sfx" >/dev/null || fail "zipsfx test rejects what make made"
peer_check "$WORK/tree.sfx"
mkdir "$WORK/current" && (cd "$WORK/current" && "$WORK/tree.sfx" -q) || fail "the stub failed"
same_tree "$WORK/tree" "$WORK/current/tree"

note "--run starts the named program with its arguments; --no-run starts nothing"
"$TOOL" make -o "$WORK/run.sfx" --stub "$STUB" --run "tree/run.sh $WORK/ran.txt two three" \
    "$WORK/tree" 2>"$WORK/run.log"
[ ! -s "$WORK/run.log" ] || { cat "$WORK/run.log"; fail "unexpected warnings"; }
mkdir "$WORK/run" && (cd "$WORK/run" && "$WORK/run.sfx" -q 2>/dev/null) || fail "the stub failed"
[ -x "$WORK/run/tree/run.sh" ] || fail "the stub did not restore the recorded executable bit"
{
    for _ in $(seq 1 50); do [ -s "$WORK/ran.txt" ] && break; sleep 0.1; done
    [ "$(cat "$WORK/ran.txt" 2>/dev/null)" = "$WORK/ran.txt|two|three|" ] ||
        fail "RUN did not start tree/run.sh with its arguments"
    # The stub's own block names setup.sh; --no-run must empty it.
    sed "s|\"\$1\"|$WORK/default-ran.txt|" "$WORK/tree/run.sh" >"$WORK/setup.sh"
    chmod 755 "$WORK/setup.sh"
    "$TOOL" make -o "$WORK/norun.sfx" --stub "$STUB" --no-run "$WORK/setup.sh"
    mkdir "$WORK/norun" && (cd "$WORK/norun" && "$WORK/norun.sfx" -q) || fail "the stub failed"
    sleep 0.5
    [ ! -e "$WORK/default-ran.txt" ] || fail "--no-run still started the stub's default program"
}

note "--destination temp and a fixed folder"
mkdir "$WORK/tmp"
"$TOOL" make -o "$WORK/temp.sfx" --stub "$STUB" --destination temp "$WORK/tree/with blank"
(cd "$WORK/run" && TMPDIR="$WORK/tmp" "$WORK/temp.sfx" -q) || fail "the stub failed"
[ -f "$WORK/tmp/with blank/a file.txt" ] || fail "--destination temp did not land in TMPDIR"
"$TOOL" make -o "$WORK/fixed.sfx" --stub "$STUB" --destination "$WORK/fixed place" "$WORK/tree"
(cd "$WORK/run" && "$WORK/fixed.sfx" -q) || fail "the stub failed"
same_tree "$WORK/tree" "$WORK/fixed place/tree"

note "an archive made by Info-ZIP zip is appended unchanged and extracts the same"
if command -v zip >/dev/null; then
    (cd "$WORK" && zip -qr -X info.zip tree)
    "$TOOL" make -o "$WORK/info.sfx" --stub "$STUB" "$WORK/info.zip"
    size=$(stat -c %s "$WORK/info.zip")
    cmp <(tail -c "$size" "$WORK/info.sfx") "$WORK/info.zip" || fail "the Zip was not appended unchanged"
    mkdir "$WORK/info" && (cd "$WORK/info" && "$WORK/info.sfx" -q) || fail "the stub failed"
    same_tree "$WORK/tree" "$WORK/info/tree"
else
    echo "SKIP (part): Info-ZIP zip is not installed"
fi

note "an archive with Zip64 records throughout is appended unchanged and extracts the same"
# Python's zipfile writes the Zip64 extra fields, the Zip64 end record and its locator only for
# large archives; lowering its limits makes it write them for this small one.
python3 - "$WORK" <<'PY'
import os, sys, zipfile
work = sys.argv[1]
zipfile.ZIP64_LIMIT = 0
zipfile.ZIP_FILECOUNT_LIMIT = 0
os.chdir(work)
with zipfile.ZipFile("zip64.zip", "w") as z:
    for root, dirs, files in sorted(os.walk("tree")):
        z.write(root)
        for name in sorted(files):
            path = os.path.join(root, name)
            info = zipfile.ZipInfo.from_file(path)
            info.compress_type = zipfile.ZIP_DEFLATED
            with open(path, "rb") as source, z.open(info, "w", force_zip64=True) as target:
                target.write(source.read())
data = open("zip64.zip", "rb").read()
# The Zip64 end record and locator, and a Zip64 extra field in every file's central record.
assert data.count(b"PK\x06\x06") == 1 and data.count(b"PK\x06\x07") == 1, "no Zip64 end records"
with zipfile.ZipFile("zip64.zip") as z:
    for info in z.infolist():
        assert info.is_dir() or info.extra[:2] == b"\x01\x00", "no Zip64 field for " + info.filename
PY
"$TOOL" make -o "$WORK/zip64.sfx" --stub "$STUB" "$WORK/zip64.zip"
size=$(stat -c %s "$WORK/zip64.zip")
cmp <(tail -c "$size" "$WORK/zip64.sfx") "$WORK/zip64.zip" || fail "the Zip64 archive was not appended unchanged"
mkdir "$WORK/zip64" && (cd "$WORK/zip64" && "$WORK/zip64.sfx" -q) || fail "the stub failed on the Zip64 archive"
same_tree "$WORK/tree" "$WORK/zip64/tree"
mkdir "$WORK/zip64-tool" && "$TOOL" extract "$WORK/zip64.sfx" -d "$WORK/zip64-tool" -q >/dev/null ||
    fail "zipsfx extract failed on the Zip64 archive"
same_tree "$WORK/tree" "$WORK/zip64-tool/tree"

note "refusals give an error and leave no file"
python3 - "$WORK" <<'PY'
import sys, zipfile
work = sys.argv[1]
with zipfile.ZipFile(work + "/climb.zip", "w") as z:
    z.writestr("../outside.txt", "x")
with zipfile.ZipFile(work + "/absolute.zip", "w") as z:
    z.writestr("/etc/outside.txt", "x")
# A stored entry relabelled PPMd (98), a method the stub does not read, in both of its headers.
with zipfile.ZipFile(work + "/ppmd.zip", "w") as z:
    z.writestr("a.txt", "x" * 100)
data = bytearray(open(work + "/ppmd.zip", "rb").read())
data[8:10] = (98).to_bytes(2, "little")
central = data.rfind(b"PK\x01\x02")
data[central + 10:central + 12] = (98).to_bytes(2, "little")
open(work + "/ppmd.zip", "wb").write(data)
PY
refuse() {  # expected-words args...
    local words="$1"
    shift
    local rc=0
    "$TOOL" make -o "$WORK/refused.sfx" --stub "$STUB" "$@" 2>"$WORK/refused.log" || rc=$?
    [ $rc -ne 0 ] || fail "not refused: $*"
    grep -q -- "$words" "$WORK/refused.log" || { cat "$WORK/refused.log"; fail "no '$words' for: $*"; }
    [ ! -e "$WORK/refused.sfx" ] || fail "a file was left behind for: $*"
    [ -z "$(find "$WORK" -maxdepth 1 -name '.refused.sfx.*')" ] || fail "a temporary file was left"
}
refuse "'..'" "$WORK/climb.zip"
refuse "absolute" "$WORK/absolute.zip"
refuse "method 98 (PPMd)" "$WORK/ppmd.zip"
refuse "RUN" --run "$(printf 'r%.0s' $(seq 1 300))" "$WORK/tree"
refuse "destination" --destination "/$(printf 'd%.0s' $(seq 1 300))" "$WORK/tree"
refuse "cannot find" "$WORK/no such input"
refuse "no stub" --stub "$WORK/no such stub" "$WORK/tree"
rc=0
"$TOOL" make "$WORK/tree" 2>/dev/null || rc=$?
[ $rc -ne 0 ] || fail "make without -o succeeded"

echo "PASS"
