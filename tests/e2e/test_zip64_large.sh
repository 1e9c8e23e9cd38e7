#!/bin/bash
# The slow one: a file of 4 GiB + 1 byte (zeros, sparse on the source side) goes through
# `zipsfx make` (Zip64 sizes in both headers) and comes out of the POSIX stub whole. It writes
# 4 GiB and decodes it twice, so it runs only when ZIPSFX_SLOW=1.
set -euo pipefail
source "$(dirname "$0")/stub_lib.sh"

[ "${ZIPSFX_SLOW:-}" = 1 ] || skip "the 4 GiB round trip runs only with ZIPSFX_SLOW=1"
require_tool_built
STUB="${ZIPSFX_STUB_NATIVE:-$ZIPSFX_ROOT/build/native/zipsfx-stub}"
[ -x "$STUB" ] || skip "no native stub at $STUB (build it first)"

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
SIZE=$((4 * 1024 * 1024 * 1024 + 1))
free=$(df --output=avail -B1 "$WORK" | tail -1)
[ "$free" -gt $((SIZE + 1024 * 1024 * 1024)) ] || skip "less than 5 GiB free in $WORK"

mkdir "$WORK/in"
truncate -s "$SIZE" "$WORK/in/big.bin"
printf 'after\n' >"$WORK/in/small.txt"
note "make: deflated, Zip64 sizes"
"$TOOL" make -o "$WORK/big.sfx" --stub posix --level 1 "$WORK/in" || fail "make: exit $?"
"$TOOL" list "$WORK/big.sfx" | grep -q "^ *$SIZE .*in/big.bin$" ||
    fail "list: $("$TOOL" list "$WORK/big.sfx")"
if command -v unzip >/dev/null; then
    # unzip warns about the stub in front (exit code 1) and lists the archive all the same.
    listing=$(unzip -l "$WORK/big.sfx" 2>/dev/null || true)
    grep -q "^ *$SIZE .*in/big.bin$" <<<"$listing" || fail "unzip lists: $listing"
fi
note "the POSIX stub extracts it whole"
mkdir "$WORK/out"
(cd "$WORK/out" && "$WORK/big.sfx" -q </dev/null) || fail "stub: exit $?"
[ "$(stat -c %s "$WORK/out/in/big.bin")" = "$SIZE" ] || fail "size $(stat -c %s "$WORK/out/in/big.bin")"
cmp -s "$WORK/in/big.bin" "$WORK/out/in/big.bin" || fail "the extracted file is not all zeros"
cmp -s "$WORK/in/small.txt" "$WORK/out/in/small.txt" || fail "the entry after the large one differs"
echo PASS
