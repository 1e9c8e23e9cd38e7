#!/bin/bash
# Encrypted archives end to end: archives made here by 7-Zip (AES-128, -192, -256, ZipCrypto),
# bsdtar (AES-256, traditional) and Info-ZIP zip -P (a non-ASCII password) extracted with the
# right password by the tool and the POSIX stub (on a pseudo-terminal and with -p), compared
# byte for byte; wrong passwords (three questions, exit 2, nothing written); an altered AES
# entry; `zipsfx make --password-file` read by 7-Zip and bsdtar; the Windows stub under Wine with
# -p and through its password dialog; the Windows stubs import no bcrypt.dll.
set -euo pipefail
source "$(dirname "$0")/stub_lib.sh"
require_tool_built
STUB="${ZIPSFX_STUB_NATIVE:-$ZIPSFX_ROOT/build/native/zipsfx-stub}"
[ -x "$STUB" ] || skip "no native stub at $STUB (build it first)"
for peer in 7z bsdtar zip; do
    command -v $peer >/dev/null || skip "$peer is not installed"
done

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

mkdir -p "$WORK/src/docs"
seq 1 40000 >"$WORK/src/docs/text.txt"
head -c 150000 /dev/urandom >"$WORK/src/noise.bin"
printf 'hi\n' >"$WORK/src/small.txt"
: >"$WORK/src/empty.txt"

ASCII='s3cret pass'
UNICODE='pässwörd ключ'
# 7-Zip takes only ASCII passwords for Zip encryption; the others take any UTF-8.
(cd "$WORK/src" &&
    for m in AES128 AES192 AES256 ZipCrypto; do
        7z a -tzip -mem=$m -p"$ASCII" "$WORK/7z-$m.zip" . >/dev/null
    done &&
    bsdtar --format zip --options zip:encryption=aes256 --passphrase "$UNICODE" -cf "$WORK/bsdtar-aes256.zip" . &&
    bsdtar --format zip --options zip:encryption=traditional --passphrase "$UNICODE" -cf "$WORK/bsdtar-traditional.zip" . &&
    zip -qr -P "$UNICODE" "$WORK/zip-P.zip" .)
password_of() {
    case "$1" in 7z-*) echo "$ASCII" ;; *) echo "$UNICODE" ;; esac
}
same_as_source() {  # folder what
    diff -r "$WORK/src" "$1" >/dev/null || fail "$2: extracted files differ from the source"
}

note "the tool: every producer, the right password (-P and --password-file), byte for byte"
for zip in "$WORK"/*.zip; do
    name=$(basename "$zip" .zip)
    password=$(password_of "$name")
    "$TOOL" extract "$zip" -d "$WORK/tool-$name" -q -P "$password" || fail "$name: extract exit $?"
    same_as_source "$WORK/tool-$name" "$name"
    printf '%s\n' "$password" >"$WORK/pw.txt"
    "$TOOL" test "$zip" --password-file "$WORK/pw.txt" >/dev/null || fail "$name: test exit $?"
    echo "ok  $name"
done
"$TOOL" list "$WORK/7z-AES192.zip" | grep -q 'Deflated\* AES-192 .* docs/text.txt' ||
    fail "the listing does not name AES-192: $("$TOOL" list "$WORK/7z-AES192.zip")"

note "the tool: a wrong password or none ends with exit 2 and writes nothing"
for zip in "$WORK/7z-AES256.zip" "$WORK/zip-P.zip"; do
    for option in "-P wrong" ""; do
        mkdir "$WORK/none"
        status=0
        # shellcheck disable=SC2086
        setsid "$TOOL" extract "$zip" -d "$WORK/none" -q $option </dev/null 2>"$WORK/err" || status=$?
        [ $status -eq 2 ] || fail "$(basename "$zip") '$option': exit $status, not 2"
        grep -qE 'wrong password|a password is needed' "$WORK/err" || fail "message: $(cat "$WORK/err")"
        [ -z "$(ls -A "$WORK/none")" ] || fail "$(basename "$zip") '$option' wrote: $(ls -A "$WORK/none")"
        rmdir "$WORK/none"
    done
done

note "an AES entry whose data was altered: exit 2, its file is not left"
python3 - "$WORK/7z-AES256.zip" "$WORK/altered.zip" <<'PY'
import struct, sys
data = bytearray(open(sys.argv[1], "rb").read())
at = data.index(b"noise.bin") + len("noise.bin")  # the local header's name ends here
extra = struct.unpack_from("<H", data, at - len("noise.bin") - 2)[0]
data[at + extra + 16 + 2 + 1000] ^= 1  # past salt and verifier, inside the data
open(sys.argv[2], "wb").write(data)
PY
status=0
"$TOOL" extract "$WORK/altered.zip" -d "$WORK/altered" -q -P "$ASCII" 2>"$WORK/err" || status=$?
[ $status -eq 2 ] || fail "altered entry: exit $status, not 2"
grep -q 'authentication code mismatch' "$WORK/err" || fail "message: $(cat "$WORK/err")"
[ ! -e "$WORK/altered/noise.bin" ] || fail "the altered entry's file was left"

note "the POSIX stub: -p with -q, and the terminal question (echo off), three tries"
make_sfx "$STUB" "$WORK/bsdtar-aes256.zip" "$WORK/aes.sfx"
chmod +x "$WORK/aes.sfx"
mkdir "$WORK/stub-p"
(cd "$WORK/stub-p" && "$WORK/aes.sfx" -p "$UNICODE" -q) || fail "stub -p -q exit $?"
same_as_source "$WORK/stub-p" "stub -p"
mkdir "$WORK/stub-q"
status=0
(cd "$WORK/stub-q" && setsid "$WORK/aes.sfx" -q </dev/null 2>"$WORK/err") || status=$?
[ $status -eq 2 ] || fail "stub -q without a password: exit $status, not 2"
grep -q 'a password is needed' "$WORK/err" || fail "message: $(cat "$WORK/err")"
[ -z "$(ls -A "$WORK/stub-q")" ] || fail "stub -q without a password wrote files"
mkdir "$WORK/stub-tty"
code=$(on_terminal "$WORK/aes.sfx" "$WORK/stub-tty" -- "[y/N]" $'y\n' "Extract to" $'\n' \
    "Password for" $'wrong\n' "(try 2 of 3): " "$UNICODE"$'\n' 2>"$WORK/tty.txt")
[ "$code" = 0 ] || fail "stub on a terminal: exit $code: $(cat "$WORK/tty.txt")"
same_as_source "$WORK/stub-tty" "stub on a terminal"
grep -q "$UNICODE" "$WORK/tty.txt" && fail "the terminal showed the password: $(cat "$WORK/tty.txt")"
mkdir "$WORK/stub-wrong"
code=$(on_terminal "$WORK/aes.sfx" "$WORK/stub-wrong" -- "[y/N]" $'y\n' "Extract to" $'\n' \
    "Password for" $'a\n' "(try 2 of 3): " $'b\n' "(try 3 of 3): " $'c\n' 2>"$WORK/tty.txt")
[ "$code" = 2 ] || fail "three wrong passwords: exit $code, not 2"
grep -q 'wrong password for' "$WORK/tty.txt" || fail "no message: $(cat "$WORK/tty.txt")"
[ -z "$(ls -A "$WORK/stub-wrong")" ] || fail "three wrong passwords wrote files"
mkdir "$WORK/stub-cancel"
code=$(on_terminal "$WORK/aes.sfx" "$WORK/stub-cancel" -- "[y/N]" $'y\n' "Extract to" $'\n' \
    "Password for" INT 2>/dev/null)
[ "$code" = 1 ] || fail "Ctrl-C at the password: exit $code, not 1"
[ -z "$(ls -A "$WORK/stub-cancel")" ] || fail "Ctrl-C at the password wrote files"

note "zipsfx make --password-file: AES-256 and ZipCrypto, read by 7-Zip and bsdtar"
printf '%s\n' "$UNICODE" >"$WORK/pw.txt"
for encryption in aes256 zipcrypto; do
    made="$WORK/made-$encryption.sfx"
    "$TOOL" make -o "$made" --stub posix --password-file "$WORK/pw.txt" \
        --encryption $encryption "$WORK/src/docs" "$WORK/src/noise.bin" >/dev/null ||
        fail "make --encryption $encryption exit $?"
    mkdir "$WORK/bsdtar-$encryption"
    bsdtar -xf "$made" --passphrase "$UNICODE" -C "$WORK/bsdtar-$encryption" ||
        fail "bsdtar cannot read the $encryption file made"
    diff -r "$WORK/src/docs" "$WORK/bsdtar-$encryption/docs" >/dev/null &&
        cmp -s "$WORK/src/noise.bin" "$WORK/bsdtar-$encryption/noise.bin" ||
        fail "bsdtar: the $encryption file made differs"
    echo "ok  bsdtar reads make --encryption $encryption"
done
# 7-Zip gets an ASCII password, which it takes for Zip.
printf '%s\n' "$ASCII" >"$WORK/pw-ascii.txt"
"$TOOL" make -o "$WORK/made-7z.sfx" --stub posix --password-file "$WORK/pw-ascii.txt" \
    "$WORK/src/docs" "$WORK/src/noise.bin" >/dev/null || fail "make for 7-Zip exit $?"
7z x -y -p"$ASCII" -o"$WORK/7z-made" "$WORK/made-7z.sfx" >/dev/null || fail "7-Zip cannot read the file made"
diff -r "$WORK/src/docs" "$WORK/7z-made/docs" >/dev/null &&
    cmp -s "$WORK/src/noise.bin" "$WORK/7z-made/noise.bin" || fail "7-Zip: the file made differs"
"$TOOL" list "$WORK/made-7z.sfx" | grep -q 'AES-256' || fail "the file made is not AES-256"
echo "ok  7-Zip reads make --password-file (AES-256)"

note "the Windows stubs import no bcrypt.dll (it is loaded from the system folder when needed)"
checked=0
for exe in "$ZIPSFX_ROOT/build/win32/zipsfx-stub.exe" "$ZIPSFX_ROOT/build/win64/zipsfx-stub.exe"; do
    [ -f "$exe" ] || continue
    objdump -p "$exe" | grep -i 'DLL Name' >"$WORK/imports"
    grep -qi kernel32 "$WORK/imports" || fail "no import table read from $exe"
    grep -qi bcrypt "$WORK/imports" && fail "$exe imports bcrypt.dll"
    checked=$((checked + 1))
done
[ $checked -gt 0 ] || note "no Windows stub built: import check left out"

source "$ZIPSFX_ROOT/tools/wine-env.sh"
WINSTUB="$ZIPSFX_ROOT/build/$ZIPSFX_WINE_BUILD/zipsfx-stub.exe"
if [ ! -f "$WINSTUB" ] || [ ! -x "$ZIPSFX_WINE" ]; then
    note "no Windows stub at $WINSTUB or no Wine: the Windows part is left out"
    echo "PASS"
    exit 0
fi
wine_start || fail "Wine did not start"
trap 'wine_stop; rm -rf "$WORK"' EXIT
make_sfx "$WINSTUB" "$WORK/bsdtar-aes256.zip" "$WORK/aes.exe"
make_sfx "$WINSTUB" "$WORK/7z-ZipCrypto.zip" "$WORK/zipcrypto.exe"

note "the Windows stub: -p with -q (CNG through bcrypt.dll), wrong and no password"
for case in "aes.exe:$UNICODE" "zipcrypto.exe:$ASCII"; do
    exe=${case%%:*}
    mkdir "$WORK/win-$exe"
    (cd "$WORK/win-$exe" && timeout 120 "$ZIPSFX_WINE" "$WORK/$exe" -p "${case#*:}" -q) ||
        fail "Windows stub $exe -p -q: exit $?"
    same_as_source "$WORK/win-$exe" "Windows stub $exe"
    echo "ok  Windows stub $exe with -p"
done

note "the Windows stub's password dialog: a wrong password, then the right one (typed with xdotool)"
if ! command -v xdotool >/dev/null; then
    note "no xdotool: the dialog is left out"
    echo "PASS"
    exit 0
fi
SHOTS="$ZIPSFX_ROOT/build/screenshots"
mkdir -p "$SHOTS"
make_sfx "$WINSTUB" "$WORK/7z-AES256.zip" "$WORK/ascii.exe"
# The stub's dialogs share their caption: each step waits for a window it has not seen before.
new_dialog() {  # previous ids... -> prints the id of a newer dialog window
    local i id
    for i in $(seq 1 300); do
        for id in $(xdotool search --name '^Self-Extracting archive$' 2>/dev/null); do
            case " $* " in *" $id "*) ;; *) echo "$id" && return 0 ;; esac
        done
        sleep 0.1
    done
    return 1
}
dialog_keys() {  # id keys...
    local id=$1
    shift
    xdotool windowfocus --sync "$id" 2>/dev/null || true
    sleep 0.3
    xdotool "$@"
}
mkdir "$WORK/win-dialog"
(cd "$WORK/win-dialog" && exec "$ZIPSFX_WINE" "$WORK/ascii.exe" >/dev/null 2>&1) &
pid=$!
confirm=$(new_dialog) || fail "no confirmation dialog"
dialog_keys "$confirm" key Return
destination=$(new_dialog "$confirm") || fail "no destination dialog"
dialog_keys "$destination" key Return
first=$(new_dialog "$confirm" "$destination") || fail "no password dialog"
dialog_keys "$first" type --delay 20 'not it'
dialog_keys "$first" key Return
second=$(new_dialog "$confirm" "$destination" "$first") || fail "no second password dialog"
dialog_keys "$second" type --delay 20 "$ASCII"
sleep 0.5
import -window root "$SHOTS/password.png" 2>/dev/null && echo "screenshot: $SHOTS/password.png"
dialog_keys "$second" key Return
code=0
wait "$pid" || code=$?
[ "$code" = 0 ] || fail "the password dialog run: exit $code"
same_as_source "$WORK/win-dialog" "Windows stub, password dialog"
echo "ok  Windows stub, password dialog"
echo "PASS"
