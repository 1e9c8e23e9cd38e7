#!/bin/bash
# Installer mode of the Windows stub under Wine (the build Wine runs), in real windows on Xvfb:
# --temp (a private folder under the temporary folder whose access list names this user alone,
# RUN waited for with its exit code and our arguments, the folder deleted afterwards), a program
# that keeps a file open (its exit code, no box, only that file's folder left if anything), Cancel
# in the progress window under --temp, the command line's -d, -t and -h, and `zipsfx info`.
set -euo pipefail
source "$(dirname "$0")/make_lib.sh"
source "$ZIPSFX_ROOT/tools/wine-env.sh"

require_windows_stub
command -v xdotool >/dev/null || skip "xdotool is not installed"
if [ "$ZIPSFX_WINE_BUILD" = win64 ]; then CXX=x86_64-w64-mingw32-g++; else CXX=i686-w64-mingw32-g++; fi
command -v "$CXX" >/dev/null || skip "$CXX is not installed"

make_wine_work
wine_start
"$ZIPSFX_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1

# The RUN program. Writes down (in $RECORD, a Windows path) its folder, the temporary folder, its
# folder's access list (SDDL) and its arguments, then ends with 7. "hold" starts a copy of itself that
# keeps held.txt open for 9 seconds, and ends with 5 as soon as the file is held.
cat >"$WORK/setup.cpp" <<'CPP'
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
#include <cstdio>
#include <cwchar>
static void put(FILE* f, const char* key, const wchar_t* value) {
    char text[8192] = {};
    WideCharToMultiByte(CP_UTF8, 0, value, -1, text, sizeof text, nullptr, nullptr);
    std::fprintf(f, "%s=%s\n", key, text);
}
int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    wchar_t self[4096] = {}, dir[4096] = {}, held[4200] = {};
    GetModuleFileNameW(nullptr, self, 4096);
    std::wcscpy(dir, self);
    *std::wcsrchr(dir, L'\\') = 0;
    _snwprintf(held, 4200, L"%ls\\held.txt", dir);
    if (argc >= 2 && std::wcscmp(argv[1], L"keep") == 0) {
        HANDLE h = CreateFileW(held, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                               nullptr);
        Sleep(9000);
        CloseHandle(h);
        return 0;
    }
    wchar_t record[4096] = {}, temp[4096] = {};
    GetEnvironmentVariableW(L"RECORD", record, 4096);
    FILE* f = _wfopen(record, L"w");
    if (!f) return 1;
    put(f, "dir", dir);
    GetTempPathW(4096, temp);
    put(f, "temp", temp);
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR sd = nullptr;
    wchar_t* sddl = nullptr;
    if (GetNamedSecurityInfoW(dir, SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                              &dacl, nullptr, &sd) == ERROR_SUCCESS &&
        ConvertSecurityDescriptorToStringSecurityDescriptorW(sd, SDDL_REVISION_1,
                                                             DACL_SECURITY_INFORMATION, &sddl,
                                                             nullptr)) {
        put(f, "acl", sddl);
    }
    for (int i = 1; i < argc; ++i) put(f, "arg", argv[i]);
    std::fclose(f);
    if (argc >= 2 && std::wcscmp(argv[1], L"hold") == 0) {
        wchar_t line[4200] = {};
        _snwprintf(line, 4200, L"\"%ls\" keep", self);
        STARTUPINFOW si = {};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi = {};
        if (!CreateProcessW(self, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
            return 1;
        for (int i = 0; i < 100 && GetFileAttributesW(held) == INVALID_FILE_ATTRIBUTES; ++i)
            Sleep(50);
        Sleep(300);
        return 5;
    }
    return 7;
}
CPP
# Lists the controls of the top-level window of a given title: id, text and screen rectangle.
cat >"$WORK/boxtext.cpp" <<'CPP'
#include <windows.h>
#include <cstdio>
#include <cstring>
static BOOL CALLBACK child(HWND w, LPARAM) {
    wchar_t wide[4096] = {};
    char text[8192] = {};
    GetWindowTextW(w, wide, 4096);
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, text, sizeof text, nullptr, nullptr);
    RECT r;
    GetWindowRect(w, &r);
    std::printf("text|%s\n", text);
    std::printf("control|%d|%ld|%ld|%ld|%ld\n", GetDlgCtrlID(w), r.left, r.top, r.right,
                r.bottom);
    return TRUE;
}
static BOOL CALLBACK top(HWND w, LPARAM title) {
    char text[512] = {};
    GetWindowTextA(w, text, sizeof text);
    if (IsWindowVisible(w) && std::strcmp(text, reinterpret_cast<const char*>(title)) == 0) {
        std::printf("window|%s\n", text);
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
"$CXX" -O2 -static -o "$WORK/setup.exe" "$WORK/setup.cpp" -ladvapi32 -lshell32
"$CXX" -O2 -static -o "$WORK/boxtext.exe" "$WORK/boxtext.cpp"

TITLE="Self-Extracting archive"
BOX="Self-extracting archive"
export RECORD_UNIX="$WORK/record.txt"
export RECORD
RECORD=$(wine_path "$RECORD_UNIX")

controls() {  # title
    "$ZIPSFX_WINE" "$WORK/boxtext.exe" "$1" 2>/dev/null | tr -d '\r'
}

box_text() {
    controls "$BOX"
}

# Clicks the control of that id in the window of that title.
click() {  # title id
    local line
    line=$(controls "$1" | awk -F'|' -v id="$2" '$1 == "control" && $2 == id' | head -1)
    [ -n "$line" ] || fail "no control $2 in '$1'"
    # shellcheck disable=SC2046
    xdotool mousemove $(echo "$line" | awk -F'|' '{print int(($3 + $5) / 2), int(($4 + $6) / 2)}') click 1
}

wait_box() {
    local i
    for i in $(seq 1 200); do
        box_text | grep -q '^window' && return 0
        sleep 0.1
    done
    return 1
}

# Presses a key in the window of that title.
press() {  # title key
    local id i
    for i in $(seq 1 200); do
        id=$(xdotool search --name "^$1\$" 2>/dev/null | head -1 || true)
        [ -n "$id" ] && break
        sleep 0.1
    done
    [ -n "$id" ] || fail "no window '$1' to press $2 in"
    xdotool windowfocus --sync "$id" 2>/dev/null || true
    sleep 0.2
    xdotool key "$2"
}

launch() {  # exe cwd args...
    local exe=$1 cwd=$2
    shift 2
    (cd "$cwd" && exec "$ZIPSFX_WINE" "$exe" "$@" >/dev/null 2>&1) &
    RUN_PID=$!
}

finish() {
    code=0
    wait "$RUN_PID" || code=$?
}

# Runs to the end, watching for any window of ours; sets `code` and `seen`.
run_watching() {  # exe cwd args...
    launch "$@"
    seen=""
    while kill -0 "$RUN_PID" 2>/dev/null; do
        if xdotool search --name "^($TITLE|$BOX)\$" >/dev/null 2>&1; then seen=yes; fi
        sleep 0.05
    done
    finish
}

unix_path() {
    "$ZIPSFX_WINE" winepath -u "$1" 2>/dev/null | tr -d '\r'
}

recorded() {  # key
    tr -d '\r' <"$RECORD_UNIX" | sed -n "s/^$1=//p"
}

# The private folders of our runs in the temporary folder the stub sees.
WINTEMP=$(unix_path "$("$ZIPSFX_WINE" cmd /c echo %TEMP% 2>/dev/null | tr -d '\r')")
[ -d "$WINTEMP" ] || fail "cannot find Wine's temporary folder ($WINTEMP)"
ours() {
    find "$WINTEMP" -maxdepth 1 -name 'zipsfx-*' | head -5
}
[ -z "$(ours)" ] || rm -rf "$WINTEMP"/zipsfx-*

mkdir -p "$WORK/src" "$WORK/cwd"
cp "$WORK/setup.exe" "$WORK/src/setup.exe"
printf 'payload\r\n' >"$WORK/src/data.txt"

echo "== --temp: a private folder, RUN waited for with our arguments, exit 7, no window, gone"
"$TOOL" make -o "$WORK/temp.exe" --stub "$STUB" --temp --run "setup.exe a b" -l 0 \
    "$WORK/src/setup.exe" "$WORK/src/data.txt"
run_watching "$WORK/temp.exe" "$WORK/cwd" -q -- extra "two words"
[ "$code" = 7 ] || fail "--temp run: exit $code"
[ -z "$seen" ] || fail "--temp -q showed a window"
[ -s "$RECORD_UNIX" ] || fail "RUN did not run"
dir=$(recorded dir)
temp=$(recorded temp)
case "$dir" in "${temp%\\}\\zipsfx-"?*) ;; *) fail "RUN ran in '$dir', not in a folder of '$temp'" ;; esac
[ "$(recorded arg)" = "$(printf '%s\n' a b extra 'two words')" ] ||
    fail "RUN arguments: $(cat "$RECORD_UNIX")"
# Full access for this user; nobody else but the system, which Wine always lists (Wine keeps the
# list as the folder's Unix mode where the file system stores no other, and shows a plain
# folder's as open to everyone, "WD").
acl=$(recorded acl)
echo "access list of the private folder: $acl"
echo "$acl" | grep -q "(A;OICI;FA;;;S-1-5-21-[0-9-]*)" || fail "no full access for the user: $acl"
[ -z "$(echo "$acl" | grep -o '([^)]*)' | grep -v ';;;S-1-5-21-' | grep -v ';;;SY)')" ] ||
    fail "others may enter the private folder: $acl"
[ ! -e "$(unix_path "$dir")" ] || fail "the private folder is still there"
[ -z "$(ours)" ] || fail "left in the temporary folder: $(ours)"
[ -z "$(ls -A "$WORK/cwd")" ] || fail "the current folder was written to"

echo "== --temp and a program that keeps a file open: exit 5, no box, only that file's folder left"
rm -f "$RECORD_UNIX"
"$TOOL" make -o "$WORK/hold.exe" --stub "$STUB" --temp --run "setup.exe hold" -l 0 \
    "$WORK/src/setup.exe" "$WORK/src/data.txt"
run_watching "$WORK/hold.exe" "$WORK/cwd" -q
[ "$code" = 5 ] || fail "held file: exit $code"
[ -z "$seen" ] || fail "a window was shown after a successful install"
dir=$(unix_path "$(recorded dir)")
if [ -e "$dir" ]; then
    left=$(cd "$dir" && find . -mindepth 1 | sort | tr '\n' ' ')
    case "$left" in "./held.txt " | "./held.txt ./setup.exe " | "./setup.exe ") ;;
        *) fail "more than the held files was left: $left" ;; esac
    echo "left while held: $left"
fi
sleep 9  # the copy that holds the file ends
rm -rf "$WINTEMP"/zipsfx-*

echo "== --temp and Cancel in the progress window during a large entry: exit 1, no folder left"
mkdir "$WORK/big"
head -c 1000000000 /dev/zero >"$WORK/big/big.bin"
"$TOOL" make -o "$WORK/big.exe" --stub "$STUB" --temp --run "setup.exe" -l 0 \
    "$WORK/big/big.bin" "$WORK/src/setup.exe"
rm -rf "$WORK/big"
rm -f "$RECORD_UNIX"
launch "$WORK/big.exe" "$WORK/cwd"
press "$TITLE" Return
for i in $(seq 1 300); do
    [ -n "$(find "$WINTEMP" -maxdepth 2 -path '*zipsfx-*/big.bin' 2>/dev/null)" ] && break
    sleep 0.05
done
[ -n "$(ours)" ] || fail "no private folder while extracting"
click "$TITLE" 2
finish
[ "$code" = 1 ] || fail "Cancel under --temp: exit $code"
[ -z "$(ours)" ] || fail "a cancelled run left: $(ours)"
[ ! -e "$RECORD_UNIX" ] || fail "RUN started after a cancel"
rm -f "$WORK/big.exe"

echo "== -d with a blank and non-ASCII characters, quiet; RUN waited for there, folder kept"
NAMED="$WORK/Łukasz Рабочий стол"
run_watching "$WORK/temp.exe" "$WORK/cwd" -q -d "$(wine_path "$NAMED")"
[ "$code" = 7 ] || fail "-d: exit $code"
[ -f "$NAMED/data.txt" ] && [ -f "$NAMED/setup.exe" ] || fail "-d did not extract into '$NAMED'"
[ "$(recorded dir)" = "$(wine_path "$NAMED")" ] || fail "RUN ran in $(recorded dir)"
[ -z "$(ours)" ] || fail "-d made a private folder"
[ -z "$(ls -A "$WORK/cwd")" ] || fail "the current folder was written to"

echo "== -t: a sound file exits 0 (a box without -q), a damaged one 2; nothing written"
rm -f "$RECORD_UNIX"
run_watching "$WORK/temp.exe" "$WORK/cwd" -t -q
[ "$code" = 0 ] && [ -z "$seen" ] || fail "-t -q on a sound file: exit $code, window '$seen'"
launch "$WORK/temp.exe" "$WORK/cwd" -t
wait_box || fail "-t showed no box"
box_text | grep -qx 'text|Tested 2 entries: no errors.' || fail "-t box: $(box_text)"
press "$BOX" Return
finish
[ "$code" = 0 ] || fail "-t: exit $code"
python3 - "$WORK/temp.exe" "$WORK/bad.exe" <<'PY'
import sys
data = bytearray(open(sys.argv[1], "rb").read())
data[data.index(b"payload\r\n")] = ord("j")
open(sys.argv[2], "wb").write(data)
PY
run_watching "$WORK/bad.exe" "$WORK/cwd" -t -q
[ "$code" = 2 ] && [ -z "$seen" ] || fail "-t -q on a damaged file: exit $code, window '$seen'"
launch "$WORK/bad.exe" "$WORK/cwd" -t
wait_box || fail "-t on a damaged file showed no box"
box_text | grep -q '^text|Tested 2 entries: 1 damaged, the first data.txt' || fail "-t box: $(box_text)"
press "$BOX" Return
finish
[ "$code" = 2 ] || fail "-t on a damaged file: exit $code"
[ -z "$(ls -A "$WORK/cwd")" ] && [ -z "$(ours)" ] && [ ! -e "$RECORD_UNIX" ] || fail "-t wrote or started"

echo "== -h and /?: the usage in a box, exit 0"
for arg in -h "/?"; do
    launch "$WORK/temp.exe" "$WORK/cwd" "$arg"
    wait_box || fail "$arg showed no box"
    box_text | grep -q 'Exit codes' || fail "$arg box: $(box_text)"
    box_text | grep -q -- '-d DIR' || fail "$arg box: $(box_text)"
    press "$BOX" Return
    finish
    [ "$code" = 0 ] || fail "$arg: exit $code"
done

echo "== zipsfx info on Windows files made with and without the options"
"$TOOL" info "$WORK/temp.exe" >"$WORK/info.txt"
grep -q "^stub: *Windows" "$WORK/info.txt" && grep -qx "temp: *yes" "$WORK/info.txt" &&
    grep -qx "run: *setup.exe a b" "$WORK/info.txt" || fail "info: $(cat "$WORK/info.txt")"
"$TOOL" make -o "$WORK/plain.exe" --stub "$STUB" --wait --run setup.exe "$WORK/src/setup.exe"
"$TOOL" info "$WORK/plain.exe" >"$WORK/info.txt"
grep -qx "temp: *no" "$WORK/info.txt" && grep -q "^wait: *yes" "$WORK/info.txt" &&
    grep -qx "destination: *the current folder" "$WORK/info.txt" || fail "info: $(cat "$WORK/info.txt")"

echo "PASS"
