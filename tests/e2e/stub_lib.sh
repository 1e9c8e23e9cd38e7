# Shared by the stub's end-to-end scripts (sourced, not run): building self-extracting files from
# a stub and a Zip, rewriting the RUN block of a copy, and small checks.

source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

# stub + zero padding to a step of the mark search + the mark + zip. The mark comes from the tool
# (`zipsfx layout`), so that no script or data file ever holds it.
make_sfx() {  # stub zip out
    require_tool_built
    local mark step
    mark=$("$TOOL" layout mark) || fail "zipsfx layout mark failed"
    step=$("$TOOL" layout search-step) || fail "zipsfx layout search-step failed"
    python3 - "$mark" "$step" "$1" "$2" "$3" <<'PY'
import sys
mark, step, stub, zipfile, out = sys.argv[1:]
mark, step = bytes.fromhex(mark), int(step)
assert len(mark) == 32
data = open(stub, "rb").read()
data += bytes(-len(data) % step)
open(out, "wb").write(data + mark + open(zipfile, "rb").read())
PY
}

# A copy of a self-extracting file whose stored data is damaged: the first byte of `text` (the
# stored bytes of an entry) becomes 'j', so the entry's CRC no longer matches.
damage_copy() {  # file out text
    python3 - "$1" "$2" "$3" <<'PY'
import sys
data = bytearray(open(sys.argv[1], "rb").read())
at = data.index(sys.argv[3].encode())
data[at] = ord("j")
open(sys.argv[2], "wb").write(data)
PY
}

# Replaces the RUN block of a stub copy with new text, through the tool. The old text is checked
# first, so that a stub with other defaults is noticed.
set_run() {  # file default-text new-text
    require_tool_built
    local size
    size=$("$TOOL" layout block-size) || fail "zipsfx layout block-size failed"
    python3 - "$1" "$2" "$size" <<'PY' || fail "RUN block of $1 not found exactly once"
import sys
path, old, size = sys.argv[1], sys.argv[2].encode(), int(sys.argv[3])
assert open(path, "rb").read().count(old + bytes(size - len(old))) == 1
PY
    "$TOOL" layout set-run "$1" "$3" || fail "zipsfx layout set-run $1 failed"
}

# Lists a tree, sorted and relative to its root: "f size mtime path" for files (whose times come
# from the archive) and "d path" for folders.
tree_of() {  # folder
    (cd "$1" && {
        find . -mindepth 1 -type f -printf 'f %s %TY-%Tm-%Td %TH:%TM %p\n'
        find . -mindepth 1 -type d -printf 'd %p\n'
    } | sort)
}

# Runs the stub on a pseudo-terminal and plays a script of (wait-for-text, send-bytes) steps;
# prints the exit code. A step "INT" sends Ctrl-C.
on_terminal() {  # sfx cwd args... -- steps...
    python3 - "$@" <<'PY'
import os, pty, sys, time, select
args = sys.argv[1:]
split = args.index("--")
sfx, cwd, argv, steps = args[0], args[1], args[2:split], args[split + 1:]
pid, fd = pty.fork()
if pid == 0:
    os.chdir(cwd)
    os.execv(sfx, [sfx] + argv)
seen = b""
def wait_for(text, timeout=20):
    global seen
    end = time.time() + timeout
    while text.encode() not in seen:
        if time.time() > end:
            sys.stderr.write("timed out waiting for %r; saw %r\n" % (text, seen[-300:]))
            return False
        r, _, _ = select.select([fd], [], [], 0.05)
        if r:
            try:
                seen += os.read(fd, 4096)
            except OSError:
                return False
    return True
for i in range(0, len(steps), 2):
    if not wait_for(steps[i]):
        break
    data = steps[i + 1]
    os.write(fd, b"\x03" if data == "INT" else data.encode())
while True:
    try:
        chunk = os.read(fd, 4096)
    except OSError:
        break
    if not chunk:
        break
    seen += chunk
_, status = os.waitpid(pid, 0)
sys.stderr.write(seen.decode(errors="replace").replace("\r", "\n") + "\n")
print(os.WEXITSTATUS(status) if os.WIFEXITED(status) else 128 + os.WTERMSIG(status))
PY
}
