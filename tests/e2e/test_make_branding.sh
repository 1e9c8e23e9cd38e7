#!/bin/bash
# `zipsfx make` with the shipper's face: --icon, --title, --message, --license, --version-info,
# --version and --admin. The made file is read back through Windows' own functions under Wine
# (GetFileVersionInfoW/VerQueryValueW for every key, ExtractIconExW and LoadImageW for the icon's
# sizes and a pixel, the manifest), signed and verified with osslsigncode, extracted with -q byte
# for byte, and driven through its branded question and licence page (declined, then accepted),
# whose captions xdotool finds by the title. The writer also runs on the 32-bit stub, on a stub
# whose resources must become a new section at the end, and is refused damaged inputs.
# Screenshots: build/screenshots/branded-question.png, branded-license.png,
# branded-long-message.png.
set -euo pipefail
source "$(dirname "$0")/make_lib.sh"
source "$ZIPSFX_ROOT/tools/wine-env.sh"

require_windows_stub
command -v osslsigncode >/dev/null || skip "osslsigncode is not installed"
command -v openssl >/dev/null || skip "openssl is not installed"
command -v xdotool >/dev/null || skip "xdotool is not installed"
if [ "$ZIPSFX_WINE_BUILD" = win64 ]; then CXX=x86_64-w64-mingw32-g++; else CXX=i686-w64-mingw32-g++; fi
command -v "$CXX" >/dev/null || skip "$CXX is not installed"
SHOTS="$ZIPSFX_ROOT/build/screenshots"
mkdir -p "$SHOTS"
make_wine_work

# A solid icon: every size in one colour (BGRA), 32 bits per pixel.
make_icon() {  # out colour-bgra sizes
    python3 - "$@" <<'PY'
import struct, sys
out, colour = sys.argv[1], bytes.fromhex(sys.argv[2])
sizes = [int(s) for s in sys.argv[3].split(",")]
images = []
for n in sizes:
    xor = colour * (n * n)
    mask = bytes(((n + 31) // 32) * 4 * n)
    images.append(struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 32, 0, len(xor) + len(mask),
                              0, 0, 0, 0) + xor + mask)
data = struct.pack("<HHH", 0, 1, len(sizes))
offset = 6 + 16 * len(sizes)
for n, img in zip(sizes, images):
    data += struct.pack("<BBBBHHII", n % 256, n % 256, 0, 0, 1, 32, len(img), offset)
    offset += len(img)
open(out, "wb").write(data + b"".join(images))
PY
}

cat >"$WORK/brandcheck.cpp" <<'CPP'
#include <windows.h>
#include <shellapi.h>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>
// Reads a made file's branding back through the system: the version resource, the icon (as
// Explorer extracts it and as LoadImage picks a size) and the manifest. Prints UTF-8 lines.
static std::string utf8(const wchar_t* text) {
    char out[4096] = {};
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out, sizeof out, nullptr, nullptr);
    return out;
}
static std::wstring wide(const char* text) {
    wchar_t out[4096] = {};
    MultiByteToWideChar(CP_UTF8, 0, text, -1, out, 4096);
    return out;
}
static void describe(const char* what, HICON icon) {
    if (icon == nullptr) {
        std::printf("%s|none\n", what);
        return;
    }
    ICONINFO info = {};
    GetIconInfo(icon, &info);
    BITMAP bitmap = {};
    GetObjectW(info.hbmColor, sizeof bitmap, &bitmap);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = bitmap.bmWidth;
    bi.bmiHeader.biHeight = -bitmap.bmHeight;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    std::vector<unsigned char> pixels(4u * bitmap.bmWidth * bitmap.bmHeight);
    HDC dc = GetDC(nullptr);
    GetDIBits(dc, info.hbmColor, 0, bitmap.bmHeight, pixels.data(), &bi, DIB_RGB_COLORS);
    ReleaseDC(nullptr, dc);
    const unsigned char* p = &pixels[4u * (bitmap.bmHeight / 2 * bitmap.bmWidth + bitmap.bmWidth / 2)];
    std::printf("%s|%ldx%ld|%02x%02x%02x\n", what, bitmap.bmWidth, bitmap.bmHeight, p[2], p[1], p[0]);
}
int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const std::wstring file = wide(argv[1]);
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &handle);
    std::vector<unsigned char> data(size ? size : 1);
    if (size && GetFileVersionInfoW(file.c_str(), 0, size, data.data())) {
        VS_FIXEDFILEINFO* fixed = nullptr;
        UINT length = 0;
        if (VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length)) {
            std::printf("fixed|%u.%u.%u.%u|%u.%u.%u.%u\n", HIWORD(fixed->dwFileVersionMS),
                        LOWORD(fixed->dwFileVersionMS), HIWORD(fixed->dwFileVersionLS),
                        LOWORD(fixed->dwFileVersionLS), HIWORD(fixed->dwProductVersionMS),
                        LOWORD(fixed->dwProductVersionMS), HIWORD(fixed->dwProductVersionLS),
                        LOWORD(fixed->dwProductVersionLS));
        }
        for (int i = 2; i < argc; ++i) {
            const std::wstring path = L"\\StringFileInfo\\040904B0\\" + wide(argv[i]);
            wchar_t* value = nullptr;
            if (VerQueryValueW(data.data(), path.c_str(), reinterpret_cast<void**>(&value), &length)) {
                std::printf("string|%s|%s\n", argv[i], utf8(value).c_str());
            } else {
                std::printf("string|%s|<none>\n", argv[i]);
            }
        }
    } else {
        std::printf("version|none\n");
    }
    std::printf("icons|%u\n", ExtractIconExW(file.c_str(), -1, nullptr, nullptr, 0));
    HICON large = nullptr, small = nullptr;
    ExtractIconExW(file.c_str(), 0, &large, &small, 1);
    describe("large", large);
    describe("small", small);
    HMODULE module = LoadLibraryExW(file.c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (module == nullptr) module = LoadLibraryExW(file.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    describe("load48", static_cast<HICON>(LoadImageW(module, L"ICON", IMAGE_ICON, 48, 48, 0)));
    HRSRC manifest = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    if (manifest != nullptr) {
        const char* text = static_cast<const char*>(LockResource(LoadResource(module, manifest)));
        const std::string xml(text, SizeofResource(module, manifest));
        std::printf("manifest|admin=%d|controls=%d|dpi=%d\n",
                    xml.find("level=\"requireAdministrator\"") != std::string::npos,
                    xml.find("Microsoft.Windows.Common-Controls") != std::string::npos,
                    xml.find("dpiAware") != std::string::npos);
    } else {
        std::printf("manifest|none\n");
    }
    return 0;
}
CPP
cat >"$WORK/wintext.cpp" <<'CPP'
#include <windows.h>
#include <cstdio>
#include <cstring>
// Prints the visible top-level window of that title and its controls' texts, in UTF-8.
static BOOL CALLBACK child(HWND w, LPARAM) {
    wchar_t wide[8192] = {};
    char text[16384] = {};
    DWORD_PTR got = 0;
    SendMessageTimeoutW(w, WM_GETTEXT, 8192, reinterpret_cast<LPARAM>(wide), SMTO_ABORTIFHUNG,
                        2000, &got);
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, text, sizeof text, nullptr, nullptr);
    for (char* p = text; *p; ++p) if (*p == '\r' || *p == '\n') *p = ' ';
    RECT r;
    GetWindowRect(w, &r);
    std::printf("control|%d|%s|%ld|%ld|%ld|%ld\n", GetDlgCtrlID(w), text, r.left, r.top, r.right,
                r.bottom);
    return TRUE;
}
static BOOL CALLBACK top(HWND w, LPARAM title) {
    wchar_t text[512] = {};
    GetWindowTextW(w, text, 512);
    char utf8[1024] = {};
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8, nullptr, nullptr);
    if (IsWindowVisible(w) && std::strcmp(utf8, reinterpret_cast<const char*>(title)) == 0) {
        RECT r;
        GetWindowRect(w, &r);
        std::printf("window|%s|%ld|%ld|%ld|%ld\n", utf8, r.left, r.top, r.right, r.bottom);
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
"$CXX" -O2 -static -o "$WORK/brandcheck.exe" "$WORK/brandcheck.cpp" -lversion -lgdi32 -lshell32
"$CXX" -O2 -static -o "$WORK/wintext.exe" "$WORK/wintext.cpp"

wine_start || skip "cannot start Wine"
"$ZIPSFX_WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1

KEYS=(ProductName CompanyName FileDescription FileVersion ProductVersion LegalCopyright
    OriginalFilename)
# What the system reads back from a file: one line per fact.
brandcheck() {  # file
    "$ZIPSFX_WINE" "$WORK/brandcheck.exe" "$(wine_path "$1")" "${KEYS[@]}" 2>/dev/null | tr -d '\r'
}
expect_line() {  # output line what
    grep -qxF -- "$2" <<<"$1" || { echo "$1"; fail "$3: no line '$2'"; }
}

make_tree "$WORK"
make_icon "$WORK/brand.ico" 4020c0ff 16,32,48
printf 'ACME TOOLS LICENCE\r\n\r\nÜnïcödé – you may use this.\nLast line.\n' >"$WORK/licence.txt"
TITLE="Acme Tools Setup"
MESSAGE="Install Acme Tools 1.2 on this computer?"
brand=(--icon "$WORK/brand.ico" --title "$TITLE" --message "$MESSAGE" --license "$WORK/licence.txt"
    --version-info ProductName="Acme Tools" --version-info CompanyName="Acme Ltd"
    --version-info FileDescription="Acme Tools installer" --version-info LegalCopyright="© 2026 Acme Ltd"
    --version-info OriginalFilename=acme-setup.exe --version 1.2.3.4 --admin)

check_branded() {  # file what
    local out
    out=$(brandcheck "$1")
    expect_line "$out" "fixed|1.2.3.4|1.2.3.4" "$2"
    expect_line "$out" "string|ProductName|Acme Tools" "$2"
    expect_line "$out" "string|CompanyName|Acme Ltd" "$2"
    expect_line "$out" "string|FileDescription|Acme Tools installer" "$2"
    expect_line "$out" "string|FileVersion|1.2.3.4" "$2"
    expect_line "$out" "string|ProductVersion|1.2.3.4" "$2"
    expect_line "$out" "string|LegalCopyright|© 2026 Acme Ltd" "$2"
    expect_line "$out" "string|OriginalFilename|acme-setup.exe" "$2"
    expect_line "$out" "icons|1" "$2"
    expect_line "$out" "large|32x32|c02040" "$2"
    expect_line "$out" "small|16x16|c02040" "$2"
    expect_line "$out" "load48|48x48|c02040" "$2"
    expect_line "$out" "manifest|admin=1|controls=1|dpi=1" "$2"
}

note "the stub as built: our icon, no elevation"
out=$(brandcheck "$STUB")
expect_line "$out" "manifest|admin=0|controls=1|dpi=1" "the stub"
grep -q '^large|32x32|c02040$' <<<"$out" && fail "the stub already has the test's icon"

note "made with every option, signed, verified"
"$TOOL" make -o "$WORK/app.exe" --stub "$STUB" --no-run "${brand[@]}" "$WORK/tree"
check_branded "$WORK/app.exe" "the made file"
# The checksum of the file as made, whole archive included: 16-bit words with end-around carry,
# the field itself left out, plus the length. (osslsigncode counts an odd file's length one short.)
python3 - "$WORK/app.exe" <<'PY' || fail "the made file's checksum is wrong"
import struct, sys
data = open(sys.argv[1], "rb").read()
at = struct.unpack_from("<I", data, 0x3C)[0] + 24 + 64
padded = data + b"\0" * (len(data) % 2)
total = 0
for i in range(0, len(padded), 2):
    if i not in (at, at + 2):
        total += padded[i] | padded[i + 1] << 8
        total = (total & 0xFFFF) + (total >> 16)
expected = ((total & 0xFFFF) + (total >> 16)) + len(data)
stored = struct.unpack_from("<I", data, at)[0]
sys.exit(0 if stored == expected else "checksum %08x, expected %08x" % (stored, expected))
PY
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$WORK/key.pem" -out "$WORK/cert.pem" -days 2 \
    -subj "/CN=zipsfx branding test" -addext "extendedKeyUsage=codeSigning" 2>/dev/null
osslsigncode sign -certs "$WORK/cert.pem" -key "$WORK/key.pem" -h sha256 \
    -in "$WORK/app.exe" -out "$WORK/signed.exe" >/dev/null
osslsigncode verify -CAfile "$WORK/cert.pem" "$WORK/signed.exe" >"$WORK/verify.log" 2>&1 ||
    { cat "$WORK/verify.log"; fail "the branded file's signature does not verify"; }
"$TOOL" test "$WORK/signed.exe" >"$WORK/test.txt" || fail "zipsfx test rejects the signed file"
grep -q "^signed: the archive lies inside the signed range" "$WORK/test.txt" ||
    fail "zipsfx test does not say the branded file is signed"
check_branded "$WORK/signed.exe" "the signed file"
# The shipper's version resource replaces ours, but the file still says which stub made it.
"$TOOL" info "$WORK/signed.exe" >"$WORK/info.txt"
VERSION=$("$TOOL" --version | sed -n 's/^zipsfx //p')
grep -qx "stub version: *$VERSION" "$WORK/info.txt" && grep -qx "title: *$TITLE" "$WORK/info.txt" &&
    grep -q "^elevation: *asks for administrator rights" "$WORK/info.txt" &&
    grep -qx "signed: *yes" "$WORK/info.txt" || fail "zipsfx info of the branded file: $(cat "$WORK/info.txt")"

note "extracted with -q under Wine: byte for byte, the licence accepted for the user"
mkdir "$WORK/quiet"
(cd "$WORK/quiet" && timeout 300 "$ZIPSFX_WINE" "$WORK/signed.exe" -q) ||
    fail "the signed branded file failed with -q"
same_tree "$WORK/tree" "$WORK/quiet/tree"

# The dialogs, found by the shipper's title.
controls() {  # title
    "$ZIPSFX_WINE" "$WORK/wintext.exe" "$1" 2>/dev/null | tr -d '\r'
}
wait_window() {  # title
    local i id
    for i in $(seq 1 300); do
        id=$(xdotool search --name "^$1\$" 2>/dev/null | head -1 || true)
        if [ -n "$id" ] && controls "$1" | grep -q '^window'; then
            echo "$id"
            return 0
        fi
        sleep 0.1
    done
    return 1
}
wait_control() {  # title id -> waits for a window of that title that has the control
    local i
    for i in $(seq 1 300); do
        controls "$1" | grep -q "^control|$2|" && return 0
        sleep 0.1
    done
    return 1
}
press() {  # title keys...
    local id
    id=$(wait_window "$1") || fail "no window '$1'"
    shift
    xdotool windowfocus --sync "$id" 2>/dev/null || true
    sleep 0.3
    xdotool key "$@"
}
shot() {  # title name
    local line
    line=$(controls "$1" | grep '^window' | head -1)
    import -window root "$WORK/screen.png"
    echo "$line" | awk -F'|' '{printf "%dx%d+%d+%d\n", $5 - $3 + 20, $6 - $4 + 20, $3 - 10, $4 - 10}' |
        xargs -I{} convert "$WORK/screen.png" -crop {} "$SHOTS/$2.png"
    echo "screenshot: $SHOTS/$2.png"
}
launch() {  # sfx cwd
    (cd "$2" && exec "$ZIPSFX_WINE" "$1" >/dev/null 2>&1) &
    RUN_PID=$!
}
finish() {
    code=0
    wait "$RUN_PID" || code=$?
}

note "the branded question and the licence page, declined"
mkdir "$WORK/declined"
launch "$WORK/signed.exe" "$WORK/declined"
wait_control "$TITLE" 1101 || fail "no question titled '$TITLE'"
controls "$TITLE" | grep -qF "control|1101|$MESSAGE|" || { controls "$TITLE"; fail "the question is not the message"; }
shot "$TITLE" branded-question
press "$TITLE" Return
wait_control "$TITLE" 1102 || fail "no licence page titled '$TITLE'"
text=$(controls "$TITLE" | awk -F'|' '$1 == "control" && $2 == 1102 {print $3}')
[ "$text" = "ACME TOOLS LICENCE    Ünïcödé – you may use this.  Last line.  " ] ||
    fail "the licence page shows '$text'"
controls "$TITLE" | grep -q "^control|1|I accept|" || fail "no 'I accept' button"
controls "$TITLE" | grep -q "^control|2|Cancel|" || fail "no 'Cancel' button"
shot "$TITLE" branded-license
press "$TITLE" Escape
finish
[ "$code" = 1 ] || fail "declining the licence ended with $code, not 1"
[ -z "$(ls -A "$WORK/declined")" ] || fail "declining the licence wrote files"

note "accepted: the destination dialog carries the title too"
mkdir "$WORK/accepted"
launch "$WORK/signed.exe" "$WORK/accepted"
press "$TITLE" Return
wait_control "$TITLE" 1102 || fail "no licence page"
press "$TITLE" Return
wait_control "$TITLE" 1007 || fail "no destination dialog titled '$TITLE'"
press "$TITLE" Return
finish
[ "$code" = 0 ] || fail "the accepted run ended with $code"
same_tree "$WORK/tree" "$WORK/accepted/tree"

note "a long message of several lines: the question grows, its buttons below the text"
LONG=$'Acme Tools 1.2 will be installed.\nIt needs 40 MB of disk space and replaces any earlier version of Acme Tools that it finds in the folder you choose next.\nContinue?'
"$TOOL" make -o "$WORK/long.exe" --stub "$STUB" --no-run --title "$TITLE" --message "$LONG" "$WORK/tree"
mkdir "$WORK/long"
launch "$WORK/long.exe" "$WORK/long"
wait_control "$TITLE" 1101 || fail "no question titled '$TITLE'"
rects=$(controls "$TITLE")
text_bottom=$(awk -F'|' '$1 == "control" && $2 == 1101 {print $7}' <<<"$rects")
text_top=$(awk -F'|' '$1 == "control" && $2 == 1101 {print $5}' <<<"$rects")
ok_top=$(awk -F'|' '$1 == "control" && $2 == 1 {print $5}' <<<"$rects")
window_bottom=$(awk -F'|' '$1 == "window" {print $6}' <<<"$rects")
ok_bottom=$(awk -F'|' '$1 == "control" && $2 == 1 {print $7}' <<<"$rects")
[ $((text_bottom - text_top)) -ge 40 ] || { echo "$rects"; fail "the message box did not grow"; }
[ "$ok_top" -ge "$text_bottom" ] || { echo "$rects"; fail "the buttons overlap the message"; }
[ "$ok_bottom" -le "$window_bottom" ] || { echo "$rects"; fail "the buttons fall outside the window"; }
shot "$TITLE" branded-long-message
press "$TITLE" Escape
finish
[ "$code" = 1 ] || fail "declining the long question ended with $code"

note "the 32-bit stub"
STUB32="$ZIPSFX_ROOT/build/win32/zipsfx-stub.exe"
if [ -f "$STUB32" ]; then
    "$TOOL" make -o "$WORK/app32.exe" --stub "$STUB32" --no-run "${brand[@]}" "$WORK/tree"
    check_branded "$WORK/app32.exe" "the 32-bit file"
    osslsigncode sign -certs "$WORK/cert.pem" -key "$WORK/key.pem" -h sha256 \
        -in "$WORK/app32.exe" -out "$WORK/signed32.exe" >/dev/null
    osslsigncode verify -CAfile "$WORK/cert.pem" "$WORK/signed32.exe" >/dev/null 2>&1 ||
        fail "the 32-bit branded file's signature does not verify"
    "$TOOL" test "$WORK/signed32.exe" >/dev/null || fail "zipsfx test rejects the 32-bit file"
else
    echo "SKIP (part): no 32-bit stub at $STUB32 (make win32)"
fi

note "a stub whose resources cannot grow in place becomes a new section at the end"
# The section behind the resources no longer discardable: it may not move.
python3 - "$STUB" "$WORK/fixed.exe" <<'PY'
import struct, sys
data = bytearray(open(sys.argv[1], "rb").read())
pe = struct.unpack_from("<I", data, 0x3C)[0]
count, optional = struct.unpack_from("<H", data, pe + 6)[0], struct.unpack_from("<H", data, pe + 20)[0]
table = pe + 24 + optional
names = [bytes(data[table + 40 * i:table + 40 * i + 8]).rstrip(b"\0") for i in range(count)]
i = names.index(b".rsrc") + 1
assert i < count, "nothing behind the resources"
flags = struct.unpack_from("<I", data, table + 40 * i + 36)[0]
struct.pack_into("<I", data, table + 40 * i + 36, flags & ~0x02000000)
open(sys.argv[2], "wb").write(data)
PY
"$TOOL" make -o "$WORK/moved.exe" --stub "$WORK/fixed.exe" --no-run "${brand[@]}" "$WORK/tree"
sections() { "${CXX%g++}objdump" -h "$1" | awk '$2 ~ /^\./ {print $2}' | tr '\n' ' '; }
[ "$(sections "$WORK/moved.exe")" = "$(sections "$WORK/fixed.exe").rsrc " ] ||
    fail "no new section at the end: $(sections "$WORK/moved.exe")"
check_branded "$WORK/moved.exe" "the file with a new resource section"
mkdir "$WORK/moved"
(cd "$WORK/moved" && timeout 300 "$ZIPSFX_WINE" "$WORK/moved.exe" -q) ||
    fail "the file with a new resource section does not run"
same_tree "$WORK/tree" "$WORK/moved/tree"

note "damaged inputs are refused before anything is written"
python3 - "$WORK/brand.ico" "$WORK" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
open(sys.argv[2] + "/truncated.ico", "wb").write(data[:len(data) - 100])
lying = bytearray(data)
struct.pack_into("<H", lying, 4, 20)  # says 20 images: the list runs into the first image
open(sys.argv[2] + "/lying.ico", "wb").write(lying)
struct.pack_into("<H", lying, 4, 2000)  # more than the file can list
open(sys.argv[2] + "/lying-long.ico", "wb").write(lying)
open(sys.argv[2] + "/notanicon.ico", "wb").write(b"GIF89a" + bytes(100))
PY
refused() {  # words-expected args...
    local expected=$1
    shift
    rm -f "$WORK/refused.exe"
    local rc=0
    "$TOOL" make -o "$WORK/refused.exe" --stub "$STUB" --no-run "$@" "$WORK/tree" 2>"$WORK/err.txt" || rc=$?
    [ "$rc" != 0 ] || fail "accepted: $*"
    grep -qF -- "$expected" "$WORK/err.txt" || { cat "$WORK/err.txt"; fail "not refused with '$expected': $*"; }
    [ ! -e "$WORK/refused.exe" ] || fail "a file was made for: $*"
    ls "$WORK" | grep -q '^refused' && fail "a temporary file was left for: $*"
    true
}
refused "truncated" --icon "$WORK/truncated.ico"
refused "its image count is wrong" --icon "$WORK/lying.ico"
refused "says it holds 2000 images, but is too short" --icon "$WORK/lying-long.ico"
refused "is not an icon file" --icon "$WORK/notanicon.ico"
refused "is too long" --version-info "$(printf 'K%.0s' $(seq 1 65))=x"
refused "is too long" --title "$(printf 't%.0s' $(seq 1 256))"
head -c 140000 /dev/zero | tr '\0' 'x' >"$WORK/long.txt"
refused "is too large" --license "$WORK/long.txt"
printf 'bad \xff byte\n' >"$WORK/bad.txt"
refused "is not UTF-8" --license "$WORK/bad.txt"

echo "PASS"
