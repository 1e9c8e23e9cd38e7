#!/bin/bash
# make demo: packs examples/sample into self-extracting files with `zipsfx make`, checks them,
# runs the POSIX stub and the Windows stub (under Wine) quietly, and shows what they extracted.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
export ZIPSFX_ROOT="$ROOT"
OUT="$ROOT/build/demo"
TOOL="$ROOT/build/native/zipsfx"

step() { printf '\n== %s\n' "$*"; }
tree() { (cd "$1" && find . -mindepth 1 | sort | sed 's|^\./|  |'); }

rm -rf "$OUT"
mkdir -p "$OUT"

step "POSIX: zipsfx make (POSIX stub, runs sample/setup.sh after extracting)"
"$TOOL" make -v -o "$OUT/sample.sfx" --stub posix --run "sample/setup.sh demo-argument" \
    examples/sample
"$TOOL" list "$OUT/sample.sfx"
"$TOOL" test "$OUT/sample.sfx"

step "POSIX: running the self-extracting file with -q in $OUT/posix"
mkdir -p "$OUT/posix"
(cd "$OUT/posix" && "$OUT/sample.sfx" -q)
sleep 1  # setup.sh is started, not waited for
tree "$OUT/posix"
echo "Run $OUT/sample.sfx without -q on a terminal to be asked, choose a folder and see progress."

source tools/wine-env.sh
STUB="$ROOT/build/$ZIPSFX_WINE_BUILD/zipsfx-stub.exe"
CC=i686-w64-mingw32-gcc
[ "$ZIPSFX_WINE_BUILD" = win64 ] && CC=x86_64-w64-mingw32-gcc

step "Windows: a small setup.exe for the sample, and zipsfx make with the Windows stub"
mkdir -p "$OUT/windows-input/sample"
cp -r examples/sample/. "$OUT/windows-input/sample/"
"$CC" -O2 -s -o "$OUT/windows-input/sample/setup.exe" examples/setup.c
"$TOOL" make -o "$OUT/sample-setup.exe" --stub "$STUB" --run "sample\\setup.exe demo-argument" \
    "$OUT/windows-input/sample"
"$TOOL" make -o "$OUT/sample-setup-win32.exe" --stub windows --run "sample\\setup.exe" \
    "$OUT/windows-input/sample"
echo "made $OUT/sample-setup-win32.exe with the 32-bit product stub ($(stat -c %s "$ROOT/build/win32/zipsfx-stub.exe") bytes)"

step "Windows: running sample-setup.exe -q under Wine ($ZIPSFX_WINE_BUILD build) in $OUT/windows"
if [ "$ZIPSFX_WINE_BUILD" = win64 ]; then
    echo "(this machine cannot run 32-bit code, so Wine runs the same stub built for 64-bit Windows)"
fi
wine_start
trap wine_stop EXIT
mkdir -p "$OUT/windows"
(cd "$OUT/windows" && "$ZIPSFX_WINE" "$OUT/sample-setup.exe" -q)
# setup.exe is started from the folder it was extracted to, in the stub's current folder, and
# not waited for: it notes where it ran in setup-ran.txt.
for _ in $(seq 1 50); do
    [ -f "$OUT/windows/setup-ran.txt" ] && break
    sleep 0.2
done
tree "$OUT/windows"
[ -f "$OUT/windows/setup-ran.txt" ] && tr -d '\r' <"$OUT/windows/setup-ran.txt"
wine_stop
trap - EXIT

step "Windows: screenshots of the dialogs, taken by the end-to-end test that drives them"
if ! ls build/screenshots/*.png >/dev/null 2>&1; then
    bash tests/e2e/test_stub_wine.sh >"$OUT/screenshots.log" 2>&1 ||
        echo "(the dialog test failed; see $OUT/screenshots.log)"
fi
mkdir -p "$OUT/screenshots"
cp build/screenshots/*.png "$OUT/screenshots/" 2>/dev/null || true
ls "$OUT/screenshots"

step "Done: everything is in $OUT"
