#!/bin/bash
# The built stubs stay far below the 512 KB in which the mark is searched for, and no built
# executable holds a copy of the mark at a multiple of 512 (where the search would stop inside
# the program instead of at the archive).
set -euo pipefail
source "$(dirname "$0")/stub_lib.sh"

BUILDS="${ZIPSFX_SIZE_BUILDS:-$ZIPSFX_ROOT/build/win32 $ZIPSFX_ROOT/build/win64 $ZIPSFX_ROOT/build/native}"
LIMIT=524288

stubs=0
for dir in $BUILDS; do
    for stub in "$dir/zipsfx-stub.exe" "$dir/zipsfx-stub"; do
        [ -f "$stub" ] || continue
        size=$(stat -c %s "$stub")
        echo "$stub: $size bytes"
        [ "$size" -lt "$LIMIT" ] || fail "$stub is $size bytes, not below $LIMIT"
        stubs=$((stubs + 1))
    done
done
[ "$stubs" -gt 0 ] || skip "no built stub in: $BUILDS"

mapfile -t files < <(for dir in $BUILDS; do
    for f in "$dir"/*.exe "$dir"/zipsfx*; do
        [ -f "$f" ] && echo "$f"
    done
done | sort -u)
python3 - "$ZIPSFX_ROOT/sfx/Mark.h" "${files[@]}" <<'PY'
import re, sys
text = open(sys.argv[1]).read()
body = text[text.index("inverted[kMarkSize]"):]
body = body[body.index("{") + 1:body.index("}")]
mark = bytes((~int(v, 16)) & 0xFF for v in re.findall(r"0x[0-9a-fA-F]{2}", body))
assert len(mark) == 32
bad = False
for path in sys.argv[2:]:
    data = open(path, "rb").read()
    at = data.find(mark)
    while at != -1:
        where = "on a 512-byte boundary" if at % 512 == 0 else "(not on a boundary)"
        print("%s: a copy of the mark at %d %s" % (path, at, where))
        bad = bad or at % 512 == 0
        at = data.find(mark, at + 1)
    print("%s: checked" % path)
sys.exit(1 if bad else 0)
PY
echo "PASS"
