# Shared by the stub's end-to-end scripts (sourced, not run): building self-extracting files from
# a stub and a Zip, rewriting the RUN block of a copy, and small checks.

source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

# stub + zero padding to a multiple of 512 + the mark + zip. The mark is restored from the
# inverted copy in the sources, so that no script or data file ever holds it.
make_sfx() {  # stub zip out
    python3 - "$ZIPSFX_ROOT/sfx/Mark.h" "$1" "$2" "$3" <<'PY'
import re, sys
header, stub, zipfile, out = sys.argv[1:]
text = open(header).read()
body = text[text.index("inverted[kMarkSize]"):]
body = body[body.index("{") + 1:body.index("}")]
mark = bytes((~int(v, 16)) & 0xFF for v in re.findall(r"0x[0-9a-fA-F]{2}", body))
assert len(mark) == 32
data = open(stub, "rb").read()
data += bytes(-len(data) % 512)
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

# Replaces the 261-byte RUN block (default text, then zeros) of a stub copy with new text.
set_run() {  # file default-text new-text
    python3 - "$1" "$2" "$3" <<'PY'
import sys
path, old, new = sys.argv[1], sys.argv[2].encode(), sys.argv[3].encode()
data = open(path, "rb").read()
block = old + bytes(261 - len(old))
assert data.count(block) == 1, "RUN block not found exactly once"
assert len(new) <= 260
data = data.replace(block, new + bytes(261 - len(new)))
open(path, "wb").write(data)
PY
}

# Lists a tree, sorted and relative to its root: "f size mtime path" for files (whose times come
# from the archive) and "d path" for folders.
tree_of() {  # folder
    (cd "$1" && {
        find . -mindepth 1 -type f -printf 'f %s %TY-%Tm-%Td %TH:%TM %p\n'
        find . -mindepth 1 -type d -printf 'd %p\n'
    } | sort)
}
