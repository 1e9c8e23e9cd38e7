#!/bin/bash
# The POSIX stub end to end: quiet runs, the terminal questions, Ctrl-C, SIGTERM and SIGHUP
# during a large entry (the host tool's extract too), a damaged archive, on self-extracting files
# made here from Info-ZIP archives.
set -euo pipefail
source "$(dirname "$0")/stub_lib.sh"

STUB="${ZIPSFX_STUB_NATIVE:-$ZIPSFX_ROOT/build/native/zipsfx-stub}"
[ -x "$STUB" ] || skip "no native stub at $STUB (build it first)"
command -v zip >/dev/null || skip "Info-ZIP zip is not installed"

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

# The payload: a small tree with known times, and a second archive with one large entry.
mkdir -p "$WORK/src/docs/deep"
printf 'hello\n' >"$WORK/src/a.txt"
printf 'inner\n' >"$WORK/src/docs/b.txt"
head -c 70000 /dev/urandom >"$WORK/src/docs/deep/c.bin"
touch -d '2021-03-04 05:06:08' "$WORK/src/a.txt" "$WORK/src/docs/b.txt" "$WORK/src/docs/deep/c.bin"
(cd "$WORK/src" && zip -qr -X "$WORK/small.zip" .)
make_sfx "$STUB" "$WORK/small.zip" "$WORK/small.sfx"
chmod +x "$WORK/small.sfx"
EXPECTED=$(tree_of "$WORK/src")

echo "== -q: no questions, exact tree and times, exit 0"
mkdir "$WORK/quiet"
(cd "$WORK/quiet" && "$WORK/small.sfx" -q </dev/null >"$WORK/out.txt" 2>&1) || fail "-q exit $?"
[ ! -s "$WORK/out.txt" ] || fail "-q printed: $(cat "$WORK/out.txt")"
[ "$(tree_of "$WORK/quiet")" = "$EXPECTED" ] || fail "-q tree differs: $(tree_of "$WORK/quiet")"
cmp "$WORK/src/docs/deep/c.bin" "$WORK/quiet/docs/deep/c.bin" || fail "-q content differs"

echo "== interactive on a terminal: y, then Enter keeps the offered current folder"
mkdir "$WORK/keep"
code=$(on_terminal "$WORK/small.sfx" "$WORK/keep" -- "[y/N]" $'y\n' "Extract to [$WORK/keep]: " $'\n')
[ "$code" = 0 ] || fail "interactive exit $code"
[ "$(tree_of "$WORK/keep")" = "$EXPECTED" ] || fail "interactive tree differs"

echo "== interactive: a typed folder with a blank is used"
mkdir "$WORK/cwd"
code=$(on_terminal "$WORK/small.sfx" "$WORK/cwd" -Q -- "[y/N]" $'Y\n' "Extract to" "$WORK/typed place"$'\n')
[ "$code" = 0 ] || fail "typed destination exit $code"
[ "$(tree_of "$WORK/typed place")" = "$EXPECTED" ] || fail "typed destination tree differs"
[ -z "$(ls -A "$WORK/cwd")" ] || fail "the current folder was written to"

echo "== not quiet: '-Q', ' -q' and '-q x' ask; Enter, 'n' or Ctrl-C decline; nothing written"
mkdir -p "$WORK/decline"
for arg in "-Q" " -q" "-q x"; do
    code=$(on_terminal "$WORK/small.sfx" "$WORK/decline" "$arg" -- "[y/N]" $'\n')
    [ "$code" = 1 ] || fail "declining ('$arg') exit $code"
done
code=$(on_terminal "$WORK/small.sfx" "$WORK/decline" -q x -- "[y/N]" $'\n')
[ "$code" = 1 ] || fail "declining (-q x as two arguments) exit $code"
code=$(on_terminal "$WORK/small.sfx" "$WORK/decline" -- "[y/N]" $'n\n')
[ "$code" = 1 ] || fail "'n' exit $code"
code=$(on_terminal "$WORK/small.sfx" "$WORK/decline" -- "[y/N]" INT)
[ "$code" = 1 ] || fail "Ctrl-C at the question exit $code"
code=$(on_terminal "$WORK/small.sfx" "$WORK/decline" -- "[y/N]" $'y\n' "Extract to" INT)
[ "$code" = 1 ] || fail "Ctrl-C at the destination exit $code"
[ -z "$(ls -A "$WORK/decline")" ] || fail "declining wrote files: $(ls -A "$WORK/decline")"

echo "== Ctrl-C during a large entry: exit 1, no partial file"
mkdir -p "$WORK/big" "$WORK/bigout"
printf 'first\n' >"$WORK/big/1-first.txt"
head -c 400000000 /dev/zero >"$WORK/big/2-big.bin"
printf 'last\n' >"$WORK/big/3-last.txt"
(cd "$WORK/big" && zip -q -0 "$WORK/big.zip" 1-first.txt 2-big.bin 3-last.txt)
rm -f "$WORK/big/2-big.bin"
make_sfx "$STUB" "$WORK/big.zip" "$WORK/big.sfx"
chmod +x "$WORK/big.sfx"
code=$(on_terminal "$WORK/big.sfx" "$WORK/bigout" -- "[y/N]" $'y\n' "Extract to" $'\n' "2-big.bin" INT)
[ "$code" = 1 ] || fail "Ctrl-C during extraction exit $code"
[ -f "$WORK/bigout/1-first.txt" ] || fail "the entry before the cancel is missing"
[ ! -e "$WORK/bigout/2-big.bin" ] || fail "partial file left: $(stat -c %s "$WORK/bigout/2-big.bin")"
[ ! -e "$WORK/bigout/3-last.txt" ] || fail "extraction went on after the cancel"

echo "== SIGTERM and SIGHUP during a large entry, stub and tool: exit 1, no partial file"
# The signal goes out as soon as the large entry's file appears, long before its 400 MB are
# written.
for program in stub tool; do
    for signal in TERM HUP; do
        out="$WORK/signal-$program-$signal"
        mkdir "$out"
        if [ "$program" = stub ]; then
            (cd "$out" && exec "$WORK/big.sfx" -q </dev/null >/dev/null 2>&1) &
        else
            "$TOOL" extract "$WORK/big.zip" -d "$out" -q </dev/null >/dev/null 2>&1 &
        fi
        pid=$!
        for i in $(seq 1 3000); do
            [ -e "$out/2-big.bin" ] && break
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.01
        done
        kill -"$signal" "$pid" 2>/dev/null || fail "$program ended before SIG$signal could be sent"
        code=0
        wait "$pid" || code=$?
        [ "$code" = 1 ] || fail "SIG$signal to the $program: exit $code"
        [ -f "$out/1-first.txt" ] || fail "SIG$signal to the $program: the entry before is missing"
        [ ! -e "$out/2-big.bin" ] ||
            fail "SIG$signal to the $program: partial file left: $(stat -c %s "$out/2-big.bin")"
        [ ! -e "$out/3-last.txt" ] || fail "SIG$signal to the $program: extraction went on"
        rm -rf "$out"
    done
done
rm -f "$WORK/big.sfx" "$WORK/big.zip"

echo "== damaged archive: exit 2, the exception's text on stderr"
damage_copy "$WORK/small.sfx" "$WORK/bad.sfx" $'hello\n'  # stored: the bytes of a.txt
chmod +x "$WORK/bad.sfx"
mkdir "$WORK/badout"
set +e
(cd "$WORK/badout" && "$WORK/bad.sfx" -q </dev/null >"$WORK/bad.out" 2>"$WORK/bad.err")
code=$?
set -e
[ "$code" = 2 ] || fail "damaged archive exit $code"
grep -qx "Bad data exception: CRC mismatch in zip reader; data is invalid." "$WORK/bad.err" ||
    fail "damaged archive message: $(cat "$WORK/bad.err")"

echo "PASS"
