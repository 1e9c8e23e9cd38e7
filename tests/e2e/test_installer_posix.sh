#!/bin/bash
# Installer mode of the POSIX stub end to end: --temp (a private folder under $TMPDIR, RUN waited
# for with its exit code, the folder deleted without following links, also after a cancel or a
# failure), --wait with a signal death, the command line's -d, -t, -h and "-- ARGS", and
# `zipsfx info` on the files made.
set -euo pipefail
source "$(dirname "$0")/make_lib.sh"

STUB="${ZIPSFX_STUB_NATIVE:-$ZIPSFX_ROOT/build/native/zipsfx-stub}"
require_tool
[ -x "$STUB" ] || skip "no POSIX stub at $STUB (build it first)"

WORK=$(mktemp -d)
trap 'chmod -R u+rwx "$WORK" 2>/dev/null; rm -rf "$WORK"' EXIT
mkdir -p "$WORK/src" "$WORK/tmp" "$WORK/cwd" "$WORK/outside"
export RECORD="$WORK/record.txt"
# The RUN program: writes down its folder, that folder's mode and its arguments, plants a link to
# a folder outside, and ends with 7.
cat >"$WORK/src/setup.sh" <<'SH'
#!/bin/sh
here=$(cd "$(dirname "$0")" && pwd)
{
    echo "dir=$here"
    echo "mode=$(stat -c %a "$here")"
    for a in "$@"; do echo "arg=$a"; done
} >"$RECORD"
ln -s "$OUTSIDE" "$here/link-out"
exit 7
SH
chmod 755 "$WORK/src/setup.sh"
printf 'payload\n' >"$WORK/src/data.txt"
printf 'keep me\n' >"$WORK/outside/precious.txt"
export OUTSIDE="$WORK/outside"

in_tmp() {
    find "$WORK/tmp" -mindepth 1 | head -5
}

note "--temp: RUN runs in a private folder with its arguments and ours, exit 7, folder gone"
"$TOOL" make -o "$WORK/temp.sfx" --stub "$STUB" --temp --run "setup.sh a b" \
    "$WORK/src/setup.sh" "$WORK/src/data.txt"
code=0
(cd "$WORK/cwd" && TMPDIR="$WORK/tmp" "$WORK/temp.sfx" -q -- extra "two words" \
    </dev/null >"$WORK/out.txt" 2>"$WORK/err.txt") || code=$?
[ "$code" = 7 ] || fail "--temp run: exit $code ($(cat "$WORK/err.txt"))"
[ -s "$RECORD" ] || fail "RUN did not run"
dir=$(sed -n 's/^dir=//p' "$RECORD")
case "$dir" in "$WORK/tmp/"?*) ;; *) fail "RUN ran in '$dir', not under TMPDIR" ;; esac
grep -qx "mode=700" "$RECORD" || fail "the private folder is not 0700: $(cat "$RECORD")"
[ "$(grep '^arg=' "$RECORD")" = "$(printf 'arg=%s\n' a b extra 'two words')" ] ||
    fail "RUN arguments: $(cat "$RECORD")"
[ ! -e "$dir" ] || fail "the private folder is still there: $(ls -A "$dir")"
[ -z "$(in_tmp)" ] || fail "left in TMPDIR: $(in_tmp)"
[ -f "$WORK/outside/precious.txt" ] || fail "the link in the folder was followed when deleting"
[ -z "$(ls -A "$WORK/cwd")" ] || fail "the current folder was written to"
[ ! -s "$WORK/out.txt" ] && [ ! -s "$WORK/err.txt" ] || fail "output: $(cat "$WORK/out.txt" "$WORK/err.txt")"

note "--temp without TMPDIR uses /tmp"
rm -f "$RECORD"
code=0
(cd "$WORK/cwd" && env -u TMPDIR "$WORK/temp.sfx" -q </dev/null >/dev/null 2>&1) || code=$?
[ "$code" = 7 ] || fail "--temp under /tmp: exit $code"
dir=$(sed -n 's/^dir=//p' "$RECORD")
case "$dir" in /tmp/?*) ;; *) fail "RUN ran in '$dir', not under /tmp" ;; esac
[ ! -e "$dir" ] || fail "the private folder under /tmp is still there"

if [ "$(id -u)" != 0 ]; then
    note "a folder that cannot be deleted: the program's code stays, one line on stderr"
    cat >"$WORK/src/stuck.sh" <<'SH'
#!/bin/sh
here=$(cd "$(dirname "$0")" && pwd)
echo "dir=$here" >"$RECORD"
mkdir "$here/locked" && touch "$here/locked/file" && chmod 500 "$here/locked"
exit 0
SH
    chmod 755 "$WORK/src/stuck.sh"
    "$TOOL" make -o "$WORK/stuck.sfx" --stub "$STUB" --temp --run stuck.sh "$WORK/src/stuck.sh"
    code=0
    (cd "$WORK/cwd" && TMPDIR="$WORK/tmp" "$WORK/stuck.sfx" -q </dev/null 2>"$WORK/err.txt") || code=$?
    [ "$code" = 0 ] || fail "stuck folder: exit $code"
    [ "$(wc -l <"$WORK/err.txt")" = 1 ] && grep -q "zipsfx-" "$WORK/err.txt" ||
        fail "stderr about the folder left: $(cat "$WORK/err.txt")"
    dir=$(sed -n 's/^dir=//p' "$RECORD")
    [ -d "$dir/locked" ] && [ ! -e "$dir/stuck.sh" ] || fail "not just the locked folder remains"
    chmod -R u+rwx "$WORK/tmp" && rm -rf "$WORK/tmp"/*
else
    note "SKIP (part): running as root, a folder cannot be locked against deletion"
fi

note "--temp: cancelled (SIGTERM during a large entry) or failed (damaged data): no folder left"
head -c 300000000 /dev/zero >"$WORK/big.bin"
"$TOOL" make -o "$WORK/big.sfx" --stub "$STUB" --temp --run "setup.sh" -l 0 \
    "$WORK/src/setup.sh" "$WORK/big.bin"
rm -f "$WORK/big.bin" "$RECORD"
(cd "$WORK/cwd" && TMPDIR="$WORK/tmp" exec "$WORK/big.sfx" -q </dev/null >/dev/null 2>&1) &
pid=$!
for i in $(seq 1 3000); do
    [ -n "$(find "$WORK/tmp" -name big.bin 2>/dev/null)" ] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.01
done
kill -TERM "$pid" 2>/dev/null || fail "the stub ended before SIGTERM could be sent"
code=0
wait "$pid" || code=$?
[ "$code" = 1 ] || fail "cancelled --temp run: exit $code"
[ -z "$(in_tmp)" ] || fail "a cancelled run left: $(in_tmp)"
[ ! -e "$RECORD" ] || fail "RUN started after a cancel"
rm -f "$WORK/big.sfx"
damage_copy() {  # file out text
    python3 - "$1" "$2" "$3" <<'PY'
import sys
data = bytearray(open(sys.argv[1], "rb").read())
at = data.index(sys.argv[3].encode())
data[at] = ord("j")
open(sys.argv[2], "wb").write(data)
PY
}
"$TOOL" make -o "$WORK/stored.sfx" --stub "$STUB" --temp --run "setup.sh" -l 0 \
    "$WORK/src/setup.sh" "$WORK/src/data.txt"
damage_copy "$WORK/stored.sfx" "$WORK/bad.sfx" $'payload\n'
chmod +x "$WORK/bad.sfx"
code=0
(cd "$WORK/cwd" && TMPDIR="$WORK/tmp" "$WORK/bad.sfx" -q </dev/null >/dev/null 2>"$WORK/err.txt") || code=$?
[ "$code" = 2 ] || fail "damaged --temp run: exit $code"
grep -q "CRC mismatch" "$WORK/err.txt" || fail "damaged --temp run said: $(cat "$WORK/err.txt")"
[ -z "$(in_tmp)" ] || fail "a failed run left: $(in_tmp)"
[ ! -e "$RECORD" ] || fail "RUN started after a failure"

note "--wait: the program's code, a death by signal as 128 + N, the folder kept"
printf '#!/bin/sh\nkill -TERM $$\n' >"$WORK/src/die.sh"
chmod 755 "$WORK/src/die.sh"
"$TOOL" make -o "$WORK/wait.sfx" --stub "$STUB" --wait --run "die.sh" "$WORK/src/die.sh"
mkdir "$WORK/waited"
code=0
(cd "$WORK/waited" && "$WORK/wait.sfx" -q </dev/null) || code=$?
[ "$code" = 143 ] || fail "--wait with SIGTERM: exit $code"
[ -x "$WORK/waited/die.sh" ] || fail "--wait removed the extracted files"

note "-d: a folder with a blank and non-ASCII characters, as one word and as -d=DIR"
"$TOOL" make -o "$WORK/plain.sfx" --stub "$STUB" --no-run "$WORK/src/data.txt"
NAMED="$WORK/Łukasz Рабочий стол/sub"
(cd "$WORK/cwd" && "$WORK/plain.sfx" -q -d "$NAMED" </dev/null) || fail "-d: exit $?"
cmp "$WORK/src/data.txt" "$NAMED/data.txt" || fail "-d did not extract into '$NAMED'"
(cd "$WORK/cwd" && "$WORK/plain.sfx" "-d=$NAMED 2" -q </dev/null) || fail "-d=: exit $?"
cmp "$WORK/src/data.txt" "$NAMED 2/data.txt" || fail "-d= did not extract into '$NAMED 2'"
# With --temp stored, a folder on the command line is the user's: used, kept, RUN waited for.
rm -f "$RECORD"
code=0
(cd "$WORK/cwd" && "$WORK/temp.sfx" -q -d "$WORK/kept place" </dev/null) || code=$?
[ "$code" = 7 ] || fail "-d on a --temp file: exit $code"
[ -f "$WORK/kept place/data.txt" ] || fail "-d on a --temp file: the folder was not kept"
[ -z "$(ls -A "$WORK/cwd")" ] || fail "the current folder was written to"

note "-t: a sound file exits 0, a damaged one 2; nothing is written"
rm -f "$RECORD"
code=0
(cd "$WORK/cwd" && TMPDIR="$WORK/tmp" "$WORK/temp.sfx" -t </dev/null >"$WORK/out.txt" 2>&1) || code=$?
[ "$code" = 0 ] || fail "-t on a sound file: exit $code"
grep -qx "Tested 2 entries: no errors." "$WORK/out.txt" || fail "-t said: $(cat "$WORK/out.txt")"
code=0
(cd "$WORK/cwd" && TMPDIR="$WORK/tmp" "$WORK/bad.sfx" -t -q </dev/null >"$WORK/out.txt" 2>&1) || code=$?
[ "$code" = 2 ] || fail "-t on a damaged file: exit $code"
grep -q "data.txt" "$WORK/out.txt" || fail "-t -q did not name the damaged entry: $(cat "$WORK/out.txt")"
[ -z "$(ls -A "$WORK/cwd")" ] && [ -z "$(in_tmp)" ] || fail "-t wrote files"
[ ! -e "$RECORD" ] || fail "-t started RUN"

note "-h, --help: the usage with the exit codes on stdout, exit 0, nothing else"
for arg in -h --help "/?"; do
    (cd "$WORK/cwd" && "$WORK/temp.sfx" "$arg" </dev/null >"$WORK/out.txt" 2>&1) || fail "$arg: exit $?"
    grep -q -- "-d DIR" "$WORK/out.txt" && grep -q "Exit codes" "$WORK/out.txt" ||
        fail "$arg printed: $(cat "$WORK/out.txt")"
done
[ -z "$(ls -A "$WORK/cwd")" ] && [ -z "$(in_tmp)" ] || fail "-h wrote files"

note "zipsfx info on files made with and without the options"
"$TOOL" info "$WORK/temp.sfx" >"$WORK/info.txt"
grep -qx "run: *setup.sh a b" "$WORK/info.txt" || fail "info: $(cat "$WORK/info.txt")"
grep -qx "temp: *yes" "$WORK/info.txt" || fail "info: $(cat "$WORK/info.txt")"
grep -q "^wait: *yes" "$WORK/info.txt" || fail "info: $(cat "$WORK/info.txt")"
grep -q "^stub: *POSIX (ELF 64-bit" "$WORK/info.txt" || fail "info: $(cat "$WORK/info.txt")"
grep -qx "archive: *2 entries, .*" "$WORK/info.txt" || fail "info: $(cat "$WORK/info.txt")"
"$TOOL" info "$WORK/plain.sfx" >"$WORK/info.txt"
grep -qx "run: *nothing" "$WORK/info.txt" && grep -qx "wait: *no" "$WORK/info.txt" &&
    grep -qx "temp: *no" "$WORK/info.txt" && grep -qx "signed: *no" "$WORK/info.txt" ||
    fail "info without options: $(cat "$WORK/info.txt")"
VERSION=$("$TOOL" --version | sed -n 's/^zipsfx //p')
grep -qx "stub version: *$VERSION" "$WORK/info.txt" || fail "info's stub version: $(cat "$WORK/info.txt")"
printf 'Terms.\n' >"$WORK/licence.txt"
"$TOOL" make -o "$WORK/branded.sfx" --stub "$STUB" --title "Acme Setup" --message "Install Acme?" \
    --license "$WORK/licence.txt" "$WORK/src/data.txt"
"$TOOL" info "$WORK/branded.sfx" >"$WORK/info.txt"
grep -qx "title: *Acme Setup" "$WORK/info.txt" && grep -qx "message: *Install Acme?" "$WORK/info.txt" &&
    grep -q "^licence: *7 bytes" "$WORK/info.txt" && ! grep -q "^elevation:" "$WORK/info.txt" ||
    fail "info of a branded file: $(cat "$WORK/info.txt")"
rc=0
"$TOOL" make -o "$WORK/refused.sfx" --stub "$STUB" --temp --destination temp "$WORK/src/data.txt" \
    2>"$WORK/err.txt" || rc=$?
[ $rc -ne 0 ] && grep -q -- "--destination" "$WORK/err.txt" && [ ! -e "$WORK/refused.sfx" ] ||
    fail "--temp with --destination: exit $rc, $(cat "$WORK/err.txt")"

echo "PASS"
