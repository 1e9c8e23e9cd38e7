#!/bin/bash
# Deflated archives made by Info-ZIP zip at levels 1, 6 and 9, by 7z (other block strategies)
# and by Python's zipfile (zlib, levels 1 and 9) extract with `zipsfx extract` to exactly the
# bytes Info-ZIP unzip gives, and pass `zipsfx test`. The data mixes text, binaries from this
# machine, runs, incompressible bytes and the sizes around the 32 KB window.
set -euo pipefail
source "$(dirname "$0")/lib.sh"
export TZ=UTC LC_ALL=C

require_tool_built
for peer in unzip zip python3; do
    command -v "$peer" >/dev/null || skip "$peer is not installed"
done

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

# The data.
src=$WORK/src
mkdir -p "$src/text" "$src/bin" "$src/edge"
find /usr/include -name '*.h' | sort | sed -n '1,200p' | while read -r f; do
    cat "$f"
done > "$src/text/headers.txt"
find /usr/bin -maxdepth 1 -type f -size +100k -size -3M | sort | sed -n '1,3p' | while read -r f; do
    cp "$f" "$src/bin/"
done
python3 - "$src/edge" <<'PY'
import os, random, sys
d = sys.argv[1]
r = random.Random(1951)
for n in (0, 1, 32767, 32768, 32769, 65536, 65537):
    open(os.path.join(d, "text-%d" % n), "wb").write(
        bytes(r.choice(b"abcdefgh \n") for _ in range(n)))
open(os.path.join(d, "random-100k"), "wb").write(bytes(r.getrandbits(8) for _ in range(100000)))
open(os.path.join(d, "run-3m"), "wb").write(b"z" * 3000000)
# Repeats at the far end of the window.
block = bytes(r.getrandbits(8) for _ in range(32768))
open(os.path.join(d, "far-matches"), "wb").write(block * 6)
PY

# The archives.
arch=$WORK/archives
mkdir -p "$arch"
for level in 1 6 9; do
    (cd "$src" && zip -q -r -$level "$arch/zip$level.zip" .)
done
if command -v 7z >/dev/null; then
    (cd "$src" && 7z a -tzip -mm=Deflate -mx=9 "$arch/7z9.zip" . >/dev/null)
    (cd "$src" && 7z a -tzip -mm=Deflate -mx=1 "$arch/7z1.zip" . >/dev/null)
else
    echo "--- 7z is not installed: no 7z archives"
fi
python3 - "$src" "$arch" <<'PY'
import os, sys, zipfile
src, arch = sys.argv[1], sys.argv[2]
for level in (1, 9):
    with zipfile.ZipFile(os.path.join(arch, "python%d.zip" % level), "w",
                         zipfile.ZIP_DEFLATED, compresslevel=level) as z:
        for folder, _, files in sorted(os.walk(src)):
            for name in sorted(files):
                path = os.path.join(folder, name)
                z.write(path, os.path.relpath(path, src))
PY

# Every file of the tree: path, size, sha256.
describe() {
    (cd "$1" && find . -type f -printf '%P\n' | sort | while read -r p; do
        printf '%s\t%s\t%s\n' "$p" "$(stat -c %s "$p")" "$(sha256sum < "$p" | cut -c1-64)"
    done)
}

count=0
for a in "$arch"/*.zip; do
    name=$(basename "$a" .zip)
    unzip -q "$a" -d "$WORK/unzip-$name"
    "$TOOL" extract "$a" -d "$WORK/zipsfx-$name" -q || fail "$name: zipsfx extract failed"
    "$TOOL" test "$a" > /dev/null || fail "$name: zipsfx test failed"
    if ! diff <(describe "$WORK/unzip-$name") <(describe "$WORK/zipsfx-$name"); then
        fail "$name: zipsfx and unzip differ"
    fi
    count=$((count + 1))
done
echo "PASS: $count deflated archives extract byte-identically with unzip"
