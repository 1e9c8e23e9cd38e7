#!/bin/bash
# The Windows stub end to end under Wine, in real windows on an Xvfb display driven with xdotool:
# quiet runs, the confirmation and destination dialogs, the progress window and its Cancel, the
# error box, and the start of the RUN program from a folder with a blank in its name and from one
# named in other scripts; RUN follows the names this run wrote (a renamed file or top-level
# folder), never starts a program that was there before, and passes its arguments as written.
# Screenshots of the three dialogs are left in build/screenshots/.
set -euo pipefail
source "$(dirname "$0")/stub_lib.sh"
source "$ZIPSFX_ROOT/tools/wine-env.sh"

BUILD_DIR="${ZIPSFX_STUB_WINE_BUILD_DIR:-$ZIPSFX_ROOT/build/$ZIPSFX_WINE_BUILD}"
STUB="$BUILD_DIR/zipsfx-stub.exe"
[ -f "$STUB" ] || skip "no Windows stub at $STUB (build it first)"
command -v zip >/dev/null || skip "Info-ZIP zip is not installed"
command -v xdotool >/dev/null || skip "xdotool is not installed"
if [ "$ZIPSFX_WINE_BUILD" = win64 ]; then CXX=x86_64-w64-mingw32-g++; else CXX=i686-w64-mingw32-g++; fi
command -v "$CXX" >/dev/null || skip "$CXX is not installed"

SHOTS="$ZIPSFX_ROOT/build/screenshots"
mkdir -p "$SHOTS"
WORK=$(mktemp -d)
wine_start
trap 'wine_stop; rm -rf "$WORK"' EXIT
# Without a window manager Wine draws the captions itself only when told to.
"$ZIPSFX_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1

# Two small Windows helpers: one reads a window's controls (class, id, text, screen rectangle),
# the other stands in for the RUN program and writes its command line and arguments down.
cat >"$WORK/wintext.cpp" <<'CPP'
#include <windows.h>
#include <cstdio>
#include <cstring>
// Texts are printed in UTF-8, whatever the script of the folder names in them.
static void utf8(const wchar_t* text, char* out, int size) {
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out, size, nullptr, nullptr);
}
static BOOL CALLBACK child(HWND w, LPARAM) {
    char cls[64] = {}, text[4096] = {};
    wchar_t wide[1024] = {};
    GetClassNameA(w, cls, sizeof cls);
    DWORD_PTR got = 0;
    SendMessageTimeoutW(w, WM_GETTEXT, sizeof wide / sizeof wide[0], reinterpret_cast<LPARAM>(wide),
                        SMTO_ABORTIFHUNG, 2000, &got);
    utf8(wide, text, sizeof text);
    RECT r;
    GetWindowRect(w, &r);
    std::printf("control|%s|%d|%s|%ld|%ld|%ld|%ld\n", cls, GetDlgCtrlID(w), text, r.left, r.top,
                r.right, r.bottom);
    return TRUE;
}
static BOOL CALLBACK top(HWND w, LPARAM title) {
    char text[512] = {};
    GetWindowTextA(w, text, sizeof text);
    if (IsWindowVisible(w) && std::strcmp(text, reinterpret_cast<const char*>(title)) == 0) {
        RECT r;
        GetWindowRect(w, &r);
        std::printf("window|%s|%ld|%ld|%ld|%ld\n", text, r.left, r.top, r.right, r.bottom);
        EnumChildWindows(w, child, 0);
    }
    return TRUE;
}
int main(int argc, char** argv) {
    if (argc < 2) return 2;
    EnumWindows(top, reinterpret_cast<LPARAM>(argv[1]));
    return 0;
}
CPP
cat >"$WORK/setup.cpp" <<'CPP'
#include <windows.h>
#include <cstdio>
#include <cwchar>
// Writes ran.txt beside itself, in UTF-8, from the wide command line: the folder may be in any
// script.
int main(int argc, char** argv) {
    wchar_t path[4096] = {};
    GetModuleFileNameW(nullptr, path, 4096);
    std::wcscpy(std::wcsrchr(path, L'\\') + 1, L"ran.txt");
    FILE* f = _wfopen(path, L"w");
    if (!f) return 1;
    char line[8192] = {};
    WideCharToMultiByte(CP_UTF8, 0, GetCommandLineW(), -1, line, sizeof line, nullptr, nullptr);
    std::fprintf(f, "line=%s\n", line);
    for (int i = 1; i < argc; ++i) std::fprintf(f, "arg=%s\n", argv[i]);
    std::fclose(f);
    return 0;
}
CPP
"$CXX" -O2 -static -o "$WORK/wintext.exe" "$WORK/wintext.cpp"
"$CXX" -O2 -static -o "$WORK/setup.exe" "$WORK/setup.cpp"

TITLE="Self-Extracting archive"
BOX="Self-extracting archive"

controls() {  # title
    "$ZIPSFX_WINE" "$WORK/wintext.exe" "$1" 2>/dev/null | tr -d '\r'
}

wait_window() {  # title -> prints the X window id
    local i id
    for i in $(seq 1 200); do
        id=$(xdotool search --name "^$1\$" 2>/dev/null | head -1 || true)
        if [ -n "$id" ] && controls "$1" | grep -q '^window'; then
            echo "$id"
            return 0
        fi
        sleep 0.1
    done
    return 1
}

wait_gone() {  # title
    local i
    for i in $(seq 1 100); do
        controls "$1" | grep -q '^window' || return 0
        sleep 0.1
    done
    return 1
}

press() {  # title keys...
    local id
    id=$(wait_window "$1") || fail "no window '$1' to press $2 in"
    shift
    xdotool windowfocus --sync "$id" 2>/dev/null || true
    sleep 0.2
    xdotool key "$@"
}

click() {  # title control-id
    local line x y
    wait_window "$1" >/dev/null || fail "no window '$1' to click in"
    line=$(controls "$1" | awk -F'|' -v id="$2" '$1 == "control" && $3 == id' | head -1)
    [ -n "$line" ] || fail "no control $2 in '$1'"
    x=$(echo "$line" | awk -F'|' '{print int(($5 + $7) / 2)}')
    y=$(echo "$line" | awk -F'|' '{print int(($6 + $8) / 2)}')
    xdotool mousemove "$x" "$y" click 1
}

control_text() {  # title control-id
    controls "$1" | awk -F'|' -v id="$2" '$1 == "control" && $3 == id {print $4}' | head -1
}

shot() {  # title name
    local line
    line=$(controls "$1" | grep '^window' | head -1)
    import -window root "$WORK/screen.png"
    echo "$line" | awk -F'|' '{printf "%dx%d+%d+%d\n", $5 - $3 + 20, $6 - $4 + 20, $3 - 10, $4 - 10}' |
        xargs -I{} convert "$WORK/screen.png" -crop {} "$SHOTS/$2.png"
    echo "screenshot: $SHOTS/$2.png"
}

# Whether the RUN stand-in, started in that folder, wrote down this exact line.
ran_has() {  # folder line
    tr -d '\r' <"$1/ran.txt" | grep -qxF -- "$2"
}

# Starts the self-extracting file in the background; `finish` waits and sets `code` to its exit
# code (not in a command substitution: only this shell can wait for its own child).
launch() {  # sfx cwd args...
    local sfx=$1 cwd=$2
    shift 2
    (cd "$cwd" && exec "$ZIPSFX_WINE" "$sfx" "$@" >/dev/null 2>&1) &
    RUN_PID=$!
}

finish() {
    code=0
    wait "$RUN_PID" || code=$?
}

# The payload: a small tree with known times, and setup.exe (the RUN program).
mkdir -p "$WORK/src/docs"
printf 'hello\r\n' >"$WORK/src/a.txt"
printf 'inner\r\n' >"$WORK/src/docs/b.txt"
cp "$WORK/setup.exe" "$WORK/src/setup.exe"
touch -d '2021-03-04 05:06:08' "$WORK/src/a.txt" "$WORK/src/docs/b.txt" "$WORK/src/setup.exe"
(cd "$WORK/src" && zip -qr -X "$WORK/small.zip" .)
cp "$STUB" "$WORK/stub.exe"
set_run "$WORK/stub.exe" setup.exe 'setup.exe first "second arg"'
make_sfx "$WORK/stub.exe" "$WORK/small.zip" "$WORK/small.exe"
EXPECTED=$(tree_of "$WORK/src")

echo "== -q: no window at all, exit 0, exact tree and times, RUN started with its arguments"
mkdir "$WORK/quiet"
launch "$WORK/small.exe" "$WORK/quiet" -q
seen=""
while kill -0 "$RUN_PID" 2>/dev/null; do
    if xdotool search --name "^($TITLE|$BOX)\$" >/dev/null 2>&1; then seen=yes; fi
    sleep 0.05
done
finish
[ "$code" = 0 ] || fail "-q exit $code"
[ -z "$seen" ] || fail "-q showed a window"
for i in $(seq 1 50); do [ -f "$WORK/quiet/ran.txt" ] && break; sleep 0.1; done
rm -f "$WORK/quiet/ran.txt.tmp"
ran_has "$WORK/quiet" 'arg=first' || fail "RUN arguments: $(cat "$WORK/quiet/ran.txt")"
ran_has "$WORK/quiet" 'arg=second arg' || fail "RUN arguments: $(cat "$WORK/quiet/ran.txt")"
rm -f "$WORK/quiet/ran.txt"
[ "$(tree_of "$WORK/quiet")" = "$EXPECTED" ] || fail "-q tree differs: $(tree_of "$WORK/quiet")"

echo "== interactive: '-Q', ' -q' and '-q x' show the confirmation; Escape or Cancel give exit 1"
mkdir "$WORK/declined"
for how in "-Q:Escape" " -q:Cancel" "-q x:Escape"; do
    arg=${how%%:*}
    launch "$WORK/small.exe" "$WORK/declined" "$arg"
    wait_window "$TITLE" >/dev/null || fail "no confirmation for '$arg'"
    # The question's control (1101), which a shipper's --message replaces.
    [ "$(control_text "$TITLE" 1101)" = "This is a self-extracting Zip archive. Do you wish to continue and extract files?" ] ||
        fail "confirmation text: $(controls "$TITLE")"
    if [ "$arg" = "-Q" ]; then shot "$TITLE" confirmation; fi
    if [ "${how##*:}" = Cancel ]; then click "$TITLE" 2; else press "$TITLE" Escape; fi
    finish
    [ "$code" = 1 ] || fail "declined confirmation ('$arg') exit $code"
done

echo "== destination dialog: Escape and Cancel give exit 1 and write nothing"
for how in Escape Cancel; do
    launch "$WORK/small.exe" "$WORK/declined"
    press "$TITLE" Return
    wait_window "$TITLE" >/dev/null
    for i in $(seq 1 50); do controls "$TITLE" | grep -q '|1007|' && break; sleep 0.1; done
    if [ "$how" = Cancel ]; then
        # Text typed but not confirmed gives way to the stored folder when the browser is
        # cancelled.
        offered=$(control_text "$TITLE" 1007)
        click "$TITLE" 1007
        xdotool key End
        xdotool type --delay 5 'typed but dropped'
        click "$TITLE" 1008
        browser=$(wait_window "Browse for Folder") || fail "no folder browser"
        shot "Browse for Folder" folder-browser
        press "Browse for Folder" Escape
        wait_gone "Browse for Folder" || fail "the folder browser stays"
        [ "$(control_text "$TITLE" 1007)" = "$offered" ] ||
            fail "after a cancelled browser the edit holds '$(control_text "$TITLE" 1007)'"
        click "$TITLE" 2
    else
        press "$TITLE" Escape
    fi
    finish
    [ "$code" = 1 ] || fail "declined destination ($how) exit $code"
done
[ -z "$(ls -A "$WORK/declined")" ] || fail "declining wrote: $(ls -A "$WORK/declined")"

echo "== OK in both dialogs extracts into the typed folder (with a blank); RUN starts there"
mkdir "$WORK/cwd"
TYPED="$WORK/typed place"
launch "$WORK/small.exe" "$WORK/cwd"
press "$TITLE" Return
for i in $(seq 1 50); do controls "$TITLE" | grep -q '|1007|' && break; sleep 0.1; done
offered=$(control_text "$TITLE" 1007)
[ "$offered" = "$(wine_path "$WORK/cwd")" ] || fail "offered destination: '$offered'"
shot "$TITLE" destination
click "$TITLE" 1007
xdotool key End shift+Home BackSpace
xdotool type --delay 5 "$(wine_path "$TYPED")"
sleep 0.3
[ "$(control_text "$TITLE" 1007)" = "$(wine_path "$TYPED")" ] ||
    fail "typed text: '$(control_text "$TITLE" 1007)'"
click "$TITLE" 1
finish
[ "$code" = 0 ] || fail "interactive run exit $code"
for i in $(seq 1 50); do [ -f "$TYPED/ran.txt" ] && break; sleep 0.1; done
[ -f "$TYPED/ran.txt" ] || fail "RUN did not start from '$TYPED'"
ran_has "$TYPED" "line=\"$(wine_path "$TYPED")\\setup.exe\" first \"second arg\"" ||
    fail "RUN command line: $(cat "$TYPED/ran.txt")"
ran_has "$TYPED" 'arg=second arg' || fail "RUN arguments: $(cat "$TYPED/ran.txt")"
rm -f "$TYPED/ran.txt"
[ "$(tree_of "$TYPED")" = "$EXPECTED" ] || fail "interactive tree differs: $(tree_of "$TYPED")"
[ -z "$(ls -A "$WORK/cwd")" ] || fail "the current folder was written to"

echo "== a destination in other scripts: offered, shown, extracted into; RUN starts there"
UNICODE_DIR="$WORK/Łukasz 日本語 Привет"
mkdir "$UNICODE_DIR"
launch "$WORK/small.exe" "$UNICODE_DIR"
press "$TITLE" Return
for i in $(seq 1 50); do controls "$TITLE" | grep -q '|1007|' && break; sleep 0.1; done
offered=$(control_text "$TITLE" 1007)
[ "$offered" = "$(wine_path "$UNICODE_DIR")" ] || fail "offered destination: '$offered'"
shot "$TITLE" destination-unicode
press "$TITLE" Return
finish
[ "$code" = 0 ] || fail "run into '$UNICODE_DIR' exit $code"
for i in $(seq 1 50); do [ -f "$UNICODE_DIR/ran.txt" ] && break; sleep 0.1; done
ran_has "$UNICODE_DIR" "line=\"$(wine_path "$UNICODE_DIR")\\setup.exe\" first \"second arg\"" ||
    fail "RUN command line: $(cat "$UNICODE_DIR/ran.txt" 2>&1)"
rm -f "$UNICODE_DIR/ran.txt"
[ "$(tree_of "$UNICODE_DIR")" = "$EXPECTED" ] || fail "tree differs: $(tree_of "$UNICODE_DIR")"

echo "== damaged archive: exit 2 and a message box with the exception's text, no launch"
damage_copy "$WORK/small.exe" "$WORK/bad.exe" $'hello\r\n'  # stored: the bytes of a.txt
mkdir "$WORK/badout"
for arg in -q ""; do
    launch "$WORK/bad.exe" "$WORK/badout" $arg
    if [ -z "$arg" ]; then
        press "$TITLE" Return
        for i in $(seq 1 50); do controls "$TITLE" | grep -q '|1007|' && break; sleep 0.1; done
        press "$TITLE" Return
    fi
    wait_window "$BOX" >/dev/null || fail "no error box ('$arg')"
    controls "$BOX" | grep -q '|Bad data exception: CRC mismatch in zip reader; data is invalid.|' ||
        fail "error box text: $(controls "$BOX")"
    controls "$TITLE" | grep -q '^window' && fail "the progress window outlived the error"
    [ "$arg" = -q ] && shot "$BOX" error-box
    press "$BOX" Return
    finish
    [ "$code" = 2 ] || fail "damaged archive ('$arg') exit $code"
done
sleep 0.5
[ ! -e "$WORK/badout/ran.txt" ] || fail "RUN started after a failure"

# Waits for the RUN stand-in's ran.txt in that folder.
wait_ran() {  # folder
    for i in $(seq 1 50); do [ -f "$1/ran.txt" ] && return 0; sleep 0.1; done
    return 1
}

echo "== RUN and a taken setup.exe: the archive's copy, renamed setup_1.exe, is started"
mkdir "$WORK/taken"
cp "$WORK/setup.exe" "$WORK/taken/setup.exe"  # planted: it would write ran.txt just the same
launch "$WORK/small.exe" "$WORK/taken" -q
finish
[ "$code" = 0 ] || fail "taken setup.exe: exit $code"
cmp -s "$WORK/setup.exe" "$WORK/taken/setup.exe" || fail "the planted setup.exe was replaced"
[ -f "$WORK/taken/setup_1.exe" ] || fail "no setup_1.exe: $(ls "$WORK/taken")"
wait_ran "$WORK/taken" || fail "nothing was started"
ran_has "$WORK/taken" "line=\"$(wine_path "$WORK/taken")\\setup_1.exe\" first \"second arg\"" ||
    fail "not the archive's copy started: $(cat "$WORK/taken/ran.txt")"

echo "== RUN in a renamed top-level folder (dist -> dist_1), arguments with quotes and ';'"
mkdir -p "$WORK/dist-src/dist" "$WORK/distout/dist"
cp "$WORK/setup.exe" "$WORK/dist-src/dist/setup.exe"
cp "$WORK/setup.exe" "$WORK/distout/dist/setup.exe"  # planted in the folder of that name
(cd "$WORK/dist-src" && zip -qr -X "$WORK/dist.zip" dist)
cp "$STUB" "$WORK/stub-dist.exe"
# As the tool's rule splits them: "a;b" and c;d whole, \" a literal quote inside quotes,
# backslashes before no quote literal.
set_run "$WORK/stub-dist.exe" setup.exe 'dist\setup.exe "a;b" c;d "say \"hi\"" back\\slash'
make_sfx "$WORK/stub-dist.exe" "$WORK/dist.zip" "$WORK/dist.exe"
launch "$WORK/dist.exe" "$WORK/distout" -q
finish
[ "$code" = 0 ] || fail "renamed folder: exit $code"
wait_ran "$WORK/distout/dist_1" || fail "the program in dist_1 was not started: $(ls -R "$WORK/distout")"
[ ! -e "$WORK/distout/dist/ran.txt" ] || fail "the planted dist\\setup.exe was started"
expected_args=$(printf 'arg=%s\n' 'a;b' 'c;d' 'say "hi"' 'back\\slash')
got_args=$(tr -d '\r' <"$WORK/distout/dist_1/ran.txt" | grep '^arg=' || true)
[ "$got_args" = "$expected_args" ] || fail "RUN arguments: $(cat "$WORK/distout/dist_1/ran.txt")"

echo "== RUN names a file the run did not write but that was there: nothing started, exit 3, said"
mkdir "$WORK/before"
cp "$WORK/setup.exe" "$WORK/before/tool.exe"
cp "$STUB" "$WORK/stub-tool.exe"
set_run "$WORK/stub-tool.exe" setup.exe 'tool.exe'
make_sfx "$WORK/stub-tool.exe" "$WORK/small.zip" "$WORK/tool.exe"
launch "$WORK/tool.exe" "$WORK/before" -q
wait_window "$BOX" >/dev/null || fail "no message about the program that was there before"
controls "$BOX" | grep -q 'tool.exe, was already there before extracting and was not written by it; nothing was started.|' ||
    fail "message box text: $(controls "$BOX")"
press "$BOX" Return
finish
[ "$code" = 3 ] || fail "program from before: exit $code"
sleep 0.5
[ ! -e "$WORK/before/ran.txt" ] || fail "the program that was there before was started"
[ -f "$WORK/before/setup.exe" ] || fail "the archive was not extracted"
rm -f "$WORK/dist.exe" "$WORK/tool.exe"

echo "== Cancel in the progress window during a large entry: exit 1, no partial file, no launch"
mkdir -p "$WORK/big" "$WORK/bigout"
printf 'first\r\n' >"$WORK/big/1-first.txt"
head -c 1000000000 /dev/zero >"$WORK/big/2-big.bin"
cp "$WORK/setup.exe" "$WORK/big/setup.exe"
(cd "$WORK/big" && zip -q -0 "$WORK/big.zip" 1-first.txt 2-big.bin setup.exe)
rm -f "$WORK/big/2-big.bin"
make_sfx "$WORK/stub.exe" "$WORK/big.zip" "$WORK/big.exe"
rm -f "$WORK/big.zip"
launch "$WORK/big.exe" "$WORK/bigout"
press "$TITLE" Return
for i in $(seq 1 50); do controls "$TITLE" | grep -q '|1007|' && break; sleep 0.1; done
press "$TITLE" Return
# One look at the window (each look starts a Windows program), then the screenshot and the click
# at once, while the large entry is still being written.
for i in $(seq 1 200); do
    view=$(controls "$TITLE")
    echo "$view" | grep -q '|1010|' && break
    sleep 0.05
done
echo "$view" | grep -q '|1010|' || fail "no progress window"
echo "$view" | awk -F'|' '$1 == "window" {printf "%dx%d+%d+%d\n", $5 - $3 + 20, $6 - $4 + 20, $3 - 10, $4 - 10}' >"$WORK/crop"
cancel=$(echo "$view" | awk -F'|' '$1 == "control" && $3 == 2 {print int(($5 + $7) / 2), int(($6 + $8) / 2)}')
import -window root "$WORK/screen.png"
# shellcheck disable=SC2086
xdotool mousemove $cancel click 1
convert "$WORK/screen.png" -crop "$(cat "$WORK/crop")" "$SHOTS/progress.png"
echo "screenshot: $SHOTS/progress.png"
name=$(echo "$view" | awk -F'|' '$1 == "control" && $3 == 1020 {print $4}')
case "$name" in *2-big.bin) ;; *) fail "progress window names '$name'" ;; esac
echo "$view" | grep -q '^control|msctls_progress32|2000|' || fail "no progress bar"
finish
[ "$code" = 1 ] || fail "Cancel in the progress window exit $code"
[ -f "$WORK/bigout/1-first.txt" ] || fail "the entry before the cancel is missing"
[ ! -e "$WORK/bigout/2-big.bin" ] || fail "partial file left"
[ ! -e "$WORK/bigout/setup.exe" ] || fail "extraction went on after the cancel"
rm -f "$WORK/big.exe"

echo "PASS"
