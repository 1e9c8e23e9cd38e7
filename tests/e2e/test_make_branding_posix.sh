#!/bin/bash
# The shipper's title, message and licence on the POSIX stub, in a pseudo-terminal of 10 rows:
# the title as the first line, the message as the question, the licence a page at a time (Enter
# turns the page) then "Accept? [y/N]"; declined (nothing written, exit 1) and accepted; -q
# accepts it without a terminal. Options only Windows can carry are refused.
set -euo pipefail
source "$(dirname "$0")/make_lib.sh"

STUB="${ZIPSFX_STUB_NATIVE:-$ZIPSFX_ROOT/build/native/zipsfx-stub}"
require_tool
[ -x "$STUB" ] || skip "no POSIX stub at $STUB (build it first)"

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
make_tree "$WORK"
# 25 numbered lines, a tab and an escape character that must be shown, not obeyed.
{
    printf 'ACME LICENCE\n'
    for i in $(seq 2 25); do printf 'line %02d\tÜnïcödé\n' "$i"; done
    printf 'end \033[31m\n'
} >"$WORK/licence.txt"
"$TOOL" make -o "$WORK/app.sfx" --stub "$STUB" --no-run --title "Acme Tools Setup" \
    --message "Install Acme Tools?" --license "$WORK/licence.txt" "$WORK/tree"

# Runs the file on a terminal of 10 rows, answering each prompt as it appears; prints what the
# terminal showed and, last, "exit N".
on_terminal() {  # cwd answers...
    python3 - "$WORK/app.sfx" "$@" <<'PY'
import fcntl, os, pty, select, struct, sys, termios, time
sfx, cwd, answers = sys.argv[1], sys.argv[2], sys.argv[3:]
pid, fd = pty.fork()
if pid == 0:
    os.chdir(cwd)
    os.execv(sfx, [sfx])
fcntl.ioctl(fd, termios.TIOCSWINSZ, struct.pack("HHHH", 10, 80, 0, 0))
seen = b""
mark = 0  # where the output after the last answer begins
def read_until(prompts, seconds=20):
    global seen
    end = time.time() + seconds
    while time.time() < end:
        if any(seen[mark:].rstrip(b" ").endswith(p) for p in prompts):
            return True
        r, _, _ = select.select([fd], [], [], 0.1)
        if r:
            try:
                chunk = os.read(fd, 4096)
            except OSError:
                return False
            if not chunk:
                return False
            seen += chunk
    return False
prompts = [b"[y/N]", b"--", b"]:"]
for answer in answers:
    if not read_until(prompts):
        break
    mark = len(seen)
    os.write(fd, answer.encode() + b"\n")
read_until([b"\0never"], 3)
_, status = os.waitpid(pid, 0)
sys.stdout.write(seen.decode("utf-8", "replace").replace("\r", ""))
print("\nexit %d" % os.waitstatus_to_exitcode(status))
PY
}

note "declined at the licence: nothing written"
mkdir "$WORK/declined"
out=$(on_terminal "$WORK/declined" y "" "" n)
first=$(head -1 <<<"$out")
[ "$first" = "Acme Tools Setup" ] || { echo "$out"; fail "the first line is '$first', not the title"; }
grep -q "^Install Acme Tools? \[y/N\] y$" <<<"$out" || { echo "$out"; fail "the message is not the question"; }
grep -q "^ACME LICENCE$" <<<"$out" || fail "the licence does not start"
grep -qP "^line 09\tÜnïcödé$" <<<"$out" || { echo "$out"; fail "a licence line lost its tab or text"; }
grep -q '^end \\x1b\[31m$' <<<"$out" || { echo "$out"; fail "the escape character was not shown as text"; }
# Pages of 9 lines on a terminal of 10 rows: 26 lines take three turns of the page.
[ "$(grep -c -- '-- more (Enter) --' <<<"$out")" = 2 ] || { echo "$out"; fail "not paged by the terminal's height"; }
awk '/^ACME LICENCE$/,/-- more/' <<<"$out" | grep -c . | grep -qx 10 ||
    { echo "$out"; fail "the first page is not 9 lines and its prompt"; }
grep -q "^Accept? \[y/N\] n$" <<<"$out" || { echo "$out"; fail "no 'Accept? [y/N]' after the licence"; }
tail -1 <<<"$out" | grep -qx "exit 1" || { echo "$out"; fail "declining did not end with exit 1"; }
[ -z "$(ls -A "$WORK/declined")" ] || fail "declining the licence wrote files"

note "declined at the question: no licence shown"
mkdir "$WORK/no"
out=$(on_terminal "$WORK/no" n)
grep -q "ACME LICENCE" <<<"$out" && fail "the licence was shown after the question was declined"
tail -1 <<<"$out" | grep -qx "exit 1" || { echo "$out"; fail "declining did not end with exit 1"; }

note "accepted"
mkdir "$WORK/accepted"
out=$(on_terminal "$WORK/accepted" y "" "" y "")
tail -1 <<<"$out" | grep -qx "exit 0" || { echo "$out"; fail "the accepted run failed"; }
grep -q "^Extract to \[" <<<"$out" || fail "no destination question after the licence"
same_tree "$WORK/tree" "$WORK/accepted/tree"

note "-q accepts the licence for the user"
mkdir "$WORK/quiet"
(cd "$WORK/quiet" && "$WORK/app.sfx" -q </dev/null) || fail "the quiet run failed"
same_tree "$WORK/tree" "$WORK/quiet/tree"

note "what only Windows carries is refused for the POSIX stub"
printf '\0\0\1\0\1\0' >"$WORK/x.ico"
for option in "--icon $WORK/x.ico" "--version 1.2" "--version-info ProductName=x" "--admin"; do
    # shellcheck disable=SC2086
    if "$TOOL" make -o "$WORK/refused.sfx" --stub "$STUB" --no-run $option "$WORK/tree" 2>"$WORK/err.txt"; then
        fail "$option was accepted for the POSIX stub"
    fi
    grep -q "for the Windows stub" "$WORK/err.txt" || { cat "$WORK/err.txt"; fail "$option: unclear refusal"; }
    [ ! -e "$WORK/refused.sfx" ] || fail "$option: a file was made"
done

echo "PASS"
