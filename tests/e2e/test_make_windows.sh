#!/bin/bash
# `zipsfx make` with the Windows stub, end to end under Wine: make from a tree, extract with -q,
# compare; the RUN program and its arguments; the destinations; an Info-ZIP archive appended.
set -euo pipefail
source "$(dirname "$0")/make_lib.sh"
source "$ZIPSFX_ROOT/tools/wine-env.sh"

require_windows_stub
CC=x86_64-w64-mingw32-gcc
[ "$ZIPSFX_WINE_BUILD" = win32 ] && CC=i686-w64-mingw32-gcc
command -v "$CC" >/dev/null || skip "$CC is not installed"

make_wine_work
wine_start || skip "cannot start Wine"
make_tree "$WORK"

run_sfx() {  # folder sfx (run in folder, quietly)
    (cd "$1" && timeout 300 "$ZIPSFX_WINE" "$2" -q) || fail "the stub failed on $2"
}

note "make from a tree, extract quietly into the current folder"
"$TOOL" make -o "$WORK/tree.exe" --stub "$STUB" --no-run "$WORK/tree"
"$TOOL" test "$WORK/tree.exe" >/dev/null || fail "zipsfx test rejects what make made"
peer_check "$WORK/tree.exe"
mkdir "$WORK/current"
run_sfx "$WORK/current" "$WORK/tree.exe"
same_tree "$WORK/tree" "$WORK/current/tree"

note "--run starts the named program with its arguments"
mkdir -p "$WORK/app/bin"
cat >"$WORK/ran.c" <<'C'
#include <stdio.h>
int main(int argc, char** argv) {
    FILE* f = fopen(argv[1], "w");
    for (int i = 2; i < argc; ++i) fprintf(f, "%s|", argv[i]);
    return fclose(f);
}
C
"$CC" -O1 -o "$WORK/app/bin/ran.exe" "$WORK/ran.c"
"$TOOL" make -o "$WORK/run.exe" --stub "$STUB" \
    --run "app\\bin\\ran.exe $(wine_path "$WORK/ran.txt") two \"three four\"" "$WORK/app" \
    2>"$WORK/run.log"
[ ! -s "$WORK/run.log" ] || { cat "$WORK/run.log"; fail "unexpected warnings"; }
mkdir "$WORK/run"
run_sfx "$WORK/run" "$WORK/run.exe"
for _ in $(seq 1 100); do [ -s "$WORK/ran.txt" ] && break; sleep 0.1; done
[ "$(cat "$WORK/ran.txt" 2>/dev/null)" = "two|three four|" ] ||
    fail "RUN did not start app\\bin\\ran.exe with its arguments: $(cat "$WORK/ran.txt" 2>&1)"

note "--no-run starts nothing, although the stub's own block names setup.exe"
# setup.exe leaves a marker file wherever it is started from, so a start cannot go unseen.
marker=$(wine_path "$WORK/setup-started.txt")
cat >"$WORK/setup.c" <<C
#include <stdio.h>
int main(void) {
    FILE* f = fopen("${marker//\\/\\\\}", "w");
    return f ? fclose(f) : 1;
}
C
mkdir "$WORK/setup"
"$CC" -O1 -o "$WORK/setup/setup.exe" "$WORK/setup.c"
"$TOOL" make -o "$WORK/norun.exe" --stub "$STUB" --no-run "$WORK/setup/setup.exe"
mkdir "$WORK/norun"
run_sfx "$WORK/norun" "$WORK/norun.exe"
[ -f "$WORK/norun/setup.exe" ] || fail "setup.exe was not extracted"
sleep 1
[ ! -e "$WORK/setup-started.txt" ] || fail "--no-run still started the stub's default setup.exe"
# The same archive with --run does start it: the marker is a fair witness.
"$TOOL" make -o "$WORK/withrun.exe" --stub "$STUB" --run setup.exe "$WORK/setup/setup.exe"
mkdir "$WORK/withrun"
run_sfx "$WORK/withrun" "$WORK/withrun.exe"
for _ in $(seq 1 100); do [ -e "$WORK/setup-started.txt" ] && break; sleep 0.1; done
[ -e "$WORK/setup-started.txt" ] || fail "--run setup.exe did not start it"

note "--destination temp and a fixed folder"
unique="zipsfx-make-$$"
mkdir "$WORK/$unique"
cp "$WORK/tree/hello.txt" "$WORK/$unique/"
"$TOOL" make -o "$WORK/temp.exe" --stub "$STUB" --destination temp "$WORK/$unique"
run_sfx "$WORK/current" "$WORK/temp.exe"
landed=$(find "$WINEPREFIX/drive_c" -path "*/$unique/hello.txt" | head -1)
[ -n "$landed" ] || fail "--destination temp: nothing landed in Wine's temporary folder"
case "$landed" in
*/[Tt]emp/"$unique"/hello.txt) ;;
*) fail "--destination temp landed in $landed" ;;
esac
rm -rf "$(dirname "$landed")"
"$TOOL" make -o "$WORK/fixed.exe" --stub "$STUB" --destination "$(wine_path "$WORK/fixed place")" \
    "$WORK/tree"
run_sfx "$WORK/current" "$WORK/fixed.exe"
same_tree "$WORK/tree" "$WORK/fixed place/tree"

note "an archive made by Info-ZIP zip is appended unchanged and extracts the same"
if command -v zip >/dev/null; then
    (cd "$WORK" && zip -qr -X info.zip tree)
    "$TOOL" make -o "$WORK/info.exe" --stub "$STUB" "$WORK/info.zip"
    mkdir "$WORK/info"
    run_sfx "$WORK/info" "$WORK/info.exe"
    same_tree "$WORK/tree" "$WORK/info/tree"
else
    echo "SKIP (part): Info-ZIP zip is not installed"
fi

note "the Windows build of the tool makes the same under Wine, finding the stub beside it"
WINTOOL="${ZIPSFX_TOOL_WINDOWS:-$ZIPSFX_ROOT/build/$ZIPSFX_WINE_BUILD/zipsfx.exe}"
if [ -f "$WINTOOL" ] && [ -f "$(dirname "$WINTOOL")/zipsfx-stub.exe" ]; then
    (cd "$WORK" && timeout 300 "$ZIPSFX_WINE" "$WINTOOL" make -o wintool.exe tree) ||
        fail "the Windows tool failed"
    "$TOOL" test "$WORK/wintool.exe" >/dev/null || fail "zipsfx test rejects what the Windows tool made"
    mkdir "$WORK/wintool"
    run_sfx "$WORK/wintool" "$WORK/wintool.exe"
    same_tree "$WORK/tree" "$WORK/wintool/tree"
else
    echo "SKIP (part): no Windows tool with a stub beside it at $WINTOOL"
fi

note "names in any script, into a non-Latin destination, past 260 characters: stub and tool"
# Names stored in UTF-8 with flag bit 11. Each file holds its own name, so a name that arrives
# changed or a file that lands in another's place both show.
python3 - "$WORK/names.zip" "$WORK/names.expected" <<'PY'
import sys, zipfile
deep = "/".join("Ελληνικά-" + "d" * 90 + str(i) for i in range(3))
names = ["Привет/café.txt", "日本/😀 emoji.txt", deep + "/" + "долгий" * 10 + ".txt"]
with zipfile.ZipFile(sys.argv[1], "w") as z:
    for name in names:
        info = zipfile.ZipInfo(name, (2021, 3, 4, 5, 6, 8))
        info.flag_bits |= 0x800
        z.writestr(info, name)
raw = open(sys.argv[1], "rb").read()
assert all(n.encode() in raw for n in names)
with open(sys.argv[2], "w", encoding="utf-8") as out:
    out.write("".join("./%s|%s\n" % (n, n) for n in sorted(names)))
PY
"$TOOL" make -o "$WORK/names.exe" --stub "$STUB" --no-run "$WORK/names.zip"
# Each extracted file as "path|content", in bytes: the names as the system stored them.
names_of() {  # folder
    (cd "$1" && find . -type f | LC_ALL=C sort | while IFS= read -r f; do
        printf '%s|%s\n' "$f" "$(cat "$f")"
    done)
}
check_names() {  # folder what
    local longest
    diff <(LC_ALL=C sort "$WORK/names.expected") <(names_of "$1") ||
        fail "$2: names differ from the archive's"
    # In characters, as Windows counts them, from Z: on.
    longest=$(find "$1" -type f -print0 | python3 -c \
        'import sys; print(max(len("Z:" + p) for p in sys.stdin.buffer.read().decode().split("\0") if p))')
    [ "$longest" -gt 300 ] || fail "$2: the longest path has only $longest characters"
}
DEST="$WORK/Łukasz/日本語/Привет"
mkdir -p "$DEST/stub" "$DEST/tool"
run_sfx "$DEST/stub" "$WORK/names.exe"
check_names "$DEST/stub" "the stub"
if [ -f "$WINTOOL" ]; then
    timeout 300 "$ZIPSFX_WINE" "$WINTOOL" extract "$(wine_path "$WORK/names.exe")" -q \
        -d "$(wine_path "$DEST/tool")" || fail "the Windows tool could not extract"
    check_names "$DEST/tool" "the Windows tool"
else
    echo "SKIP (part): no Windows tool at $WINTOOL"
fi

echo "PASS"
