#!/bin/bash
# A self-extracting file made by `zipsfx make` and then signed with osslsigncode (Authenticode,
# a throwaway certificate) still checks and extracts: the signature lands after the Zip, and the
# end record is still found within its search window.
set -euo pipefail
source "$(dirname "$0")/make_lib.sh"
source "$ZIPSFX_ROOT/tools/wine-env.sh"

require_windows_stub
command -v osslsigncode >/dev/null || skip "osslsigncode is not installed"
command -v openssl >/dev/null || skip "openssl is not installed"

make_wine_work
make_tree "$WORK"

note "make, then sign"
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$WORK/key.pem" -out "$WORK/cert.pem" -days 2 \
    -subj "/CN=zipsfx signing test" -addext "extendedKeyUsage=codeSigning" 2>/dev/null
"$TOOL" make -o "$WORK/app.exe" --stub "$STUB" --no-run "$WORK/tree"
osslsigncode sign -certs "$WORK/cert.pem" -key "$WORK/key.pem" -n "zipsfx signing test" \
    -h sha256 -in "$WORK/app.exe" -out "$WORK/signed.exe" >/dev/null
osslsigncode verify -CAfile "$WORK/cert.pem" "$WORK/signed.exe" >"$WORK/verify.log" 2>&1 ||
    { cat "$WORK/verify.log"; fail "the signature does not verify"; }
[ "$(stat -c %s "$WORK/signed.exe")" -gt "$(stat -c %s "$WORK/app.exe")" ] || fail "nothing was signed"
# Signing changes the PE header (checksum, certificate table) and appends; nothing else moves.
size=$(stat -c %s "$WORK/app.exe")
cmp <(tail -c +1025 "$WORK/app.exe") <(head -c "$size" "$WORK/signed.exe" | tail -c +1025) ||
    fail "signing changed more than the PE header and the end of the file"

note "the signed file still checks and extracts"
"$TOOL" test "$WORK/signed.exe" >/dev/null || fail "zipsfx test rejects the signed file"
peer_check "$WORK/signed.exe"
mkdir "$WORK/out"
"$TOOL" extract -q -d "$WORK/out" "$WORK/signed.exe" >/dev/null || fail "zipsfx extract failed"
same_tree "$WORK/tree" "$WORK/out/tree"
if wine_start; then
    mkdir "$WORK/wine"
    (cd "$WORK/wine" && timeout 300 "$ZIPSFX_WINE" "$WORK/signed.exe" -q) ||
        fail "the signed stub failed under Wine"
    same_tree "$WORK/tree" "$WORK/wine/tree"
else
    echo "SKIP (part): cannot start Wine"
fi

echo "PASS"
