#!/bin/bash
# A self-extracting file made by `zipsfx make` and then signed with osslsigncode (Authenticode,
# a throwaway certificate) still checks and extracts: the signature lands after the Zip. The
# signature does not cover its own certificate table, so a second Zip written into the table
# keeps the signature valid: the tool and the stub must see only the signed archive.
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

note "a Zip injected into the certificate table after signing is never seen"
(cd "$WORK" && mkdir -p injected/tree && printf 'injected\n' >injected/tree/hello.txt &&
    printf 'injected\n' >injected/tree/evil.txt)
python3 - "$WORK/signed.exe" "$WORK/injected" "$WORK/injected.exe" <<'PY'
import io, os, struct, sys, zipfile
signed, folder, out = sys.argv[1:]
data = bytearray(open(signed, "rb").read())
pe = struct.unpack_from("<I", data, 0x3C)[0]
optional = pe + 24
count_at = 92 if struct.unpack_from("<H", data, optional)[0] == 0x10B else 108
entry = optional + count_at + 4 + 4 * 8
address, size = struct.unpack_from("<II", data, entry)
assert address + size == len(data), "the certificate table is not at the end"
# A Zip whose offsets count from the start of the appended archive, as the signed one's do.
buffer = io.BytesIO()
with zipfile.ZipFile(buffer, "w") as z:
    for root, _, files in os.walk(folder):
        for name in sorted(files):
            path = os.path.join(root, name)
            z.write(path, os.path.relpath(path, folder))
payload = bytearray(buffer.getvalue())
# Where the signed archive's offsets count from: its end record says where its directory is.
signed_end = data.rfind(b"PK\x05\x06", 0, address)
signed_size, signed_offset = struct.unpack_from("<II", data, signed_end + 12)
start = signed_end - signed_size - signed_offset
delta = len(data) - start
end = payload.rfind(b"PK\x05\x06")
entries, central_size, central = struct.unpack_from("<HII", payload, end + 10)
struct.pack_into("<I", payload, end + 16, central + delta)
at = central
for _ in range(entries):
    name, extra, comment = struct.unpack_from("<HHH", payload, at + 28)
    local = struct.unpack_from("<I", payload, at + 42)[0]
    struct.pack_into("<I", payload, at + 42, local + delta)
    at += 46 + name + extra + comment
payload += b"\0" * (-len(payload) % 8)
data += payload
struct.pack_into("<I", data, entry + 4, size + len(payload))       # the directory's size
length = struct.unpack_from("<I", data, address)[0]
struct.pack_into("<I", data, address, length + len(payload))      # the certificate's length
open(out, "wb").write(data)
PY
osslsigncode verify -CAfile "$WORK/cert.pem" "$WORK/injected.exe" >"$WORK/verify2.log" 2>&1 ||
    { cat "$WORK/verify2.log"; fail "the signature no longer verifies after the injection"; }
"$TOOL" list "$WORK/injected.exe" >"$WORK/list.txt" || fail "zipsfx list fails on the injected file"
grep -q "evil.txt" "$WORK/list.txt" && fail "zipsfx list shows the injected archive"
grep -q "tree/sub/random.bin" "$WORK/list.txt" || fail "zipsfx list lost the signed archive"
"$TOOL" test "$WORK/injected.exe" >"$WORK/test.txt" || fail "zipsfx test rejects the injected file"
grep -q "^signed: the archive lies inside the signed range" "$WORK/test.txt" ||
    fail "zipsfx test does not say the file is signed: $(head -1 "$WORK/test.txt")"
grep -q "evil.txt" "$WORK/test.txt" && fail "zipsfx test checks the injected archive"
mkdir "$WORK/out2"
"$TOOL" extract -q -d "$WORK/out2" "$WORK/injected.exe" >/dev/null || fail "zipsfx extract failed"
same_tree "$WORK/tree" "$WORK/out2/tree"
if wine_start; then
    mkdir "$WORK/wine2"
    (cd "$WORK/wine2" && timeout 300 "$ZIPSFX_WINE" "$WORK/injected.exe" -q) ||
        fail "the injected stub failed under Wine"
    same_tree "$WORK/tree" "$WORK/wine2/tree"
else
    echo "SKIP (part): cannot start Wine"
fi

echo "PASS"
