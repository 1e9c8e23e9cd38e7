#!/bin/sh
# Where the stub's bytes go: each built stub's size, then its largest contributors read from the
# linker map the build writes beside it (zipsfx-stub.map), by library, by object (archive member)
# and by output section. Sizes are those of the input sections kept in the program, before
# stripping; debug and symbol sections are left out.
# Usage: tools/size-report.sh [build folder...] (default build/win32 build/win64 build/native);
# TOP sets how many rows each table shows (default 15).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
[ $# -gt 0 ] || set -- "$root/build/win32" "$root/build/win64" "$root/build/native"
found=0
for dir in "$@"; do
    for stub in "$dir/zipsfx-stub.exe" "$dir/zipsfx-stub"; do
        [ -f "$stub" ] || continue
        found=1
        echo "== $stub: $(stat -c %s "$stub") bytes"
        map="$dir/zipsfx-stub.map"
        if [ ! -f "$map" ]; then
            echo "   (no linker map: $map)"
            continue
        fi
        python3 - "$map" "${TOP:-15}" <<'PY'
import collections, os, re, sys

path, top = sys.argv[1], int(sys.argv[2])
lines = open(path, errors="replace").read().splitlines()
try:
    start = next(i for i, l in enumerate(lines) if l.startswith("Linker script and memory map"))
except StopIteration:
    sys.exit("not a GNU ld map: " + path)

# An input section is " .name addr size file", or " .name" alone with "addr size file" on the
# next line when the name is long. Lines of the output section (no leading space) are skipped.
entry = re.compile(r"^ (\.\S+|COMMON)\s+0x[0-9a-fA-F]+\s+0x([0-9a-fA-F]+)\s+(\S.*)$")
alone = re.compile(r"^ (\.\S+|COMMON)$")
rest = re.compile(r"^\s+0x[0-9a-fA-F]+\s+0x([0-9a-fA-F]+)\s+(\S.*)$")
skipped = (".debug", ".comment", ".note.GNU-stack", ".stab", ".gnu.lto")
linker_made = {".interp", ".hash", ".gnu.hash", ".dynsym", ".dynstr", ".gnu.version",
               ".gnu.version_r", ".rela.dyn", ".rela.plt", ".rel.dyn", ".rel.plt", ".relr.dyn",
               ".plt", ".plt.got", ".got", ".got.plt", ".dynamic", ".eh_frame_hdr", ".reloc"}
by_lib, by_obj, by_section = collections.Counter(), collections.Counter(), collections.Counter()
output = None
i = start
while i < len(lines):
    line = lines[i]
    i += 1
    if line and not line[0].isspace():
        output = line.split()[0]
        continue
    m = entry.match(line)
    if m:
        name, size, where = m.group(1), int(m.group(2), 16), m.group(3)
    else:
        m = alone.match(line)
        if not m or i >= len(lines):
            continue
        n = rest.match(lines[i])
        if not n:
            continue
        i += 1
        name, size, where = m.group(1), int(n.group(1), 16), n.group(2)
    if size == 0 or output is None or output.startswith(skipped) or output == "/DISCARD/":
        continue
    if name.startswith(skipped):
        continue
    # "lib.a(member.o)" or "object.o"; folders left out, except a library's name. Tables the
    # linker makes (relocations, dynamic symbols, the unwind index) are listed under its name.
    lib_match = re.match(r"^(.*?)\((.*)\)$", where)
    if output in linker_made or name in linker_made:
        lib, obj = "(made by the linker)", "(made by the linker) " + output
    elif lib_match:
        lib, member = os.path.basename(lib_match.group(1)), lib_match.group(2)
        obj = "%s(%s)" % (lib, member)
    else:
        lib, obj = "(objects of the program)", os.path.basename(where)
    by_lib[lib] += size
    by_obj[obj] += size
    by_section[output] += size

total = sum(by_lib.values())
def table(title, counter):
    print("   %s:" % title)
    for name, size in counter.most_common(top):
        print("   %9d  %5.1f%%  %s" % (size, 100.0 * size / total if total else 0, name))
print("   %d bytes in the kept input sections" % total)
table("by library", by_lib)
table("by object", by_obj)
table("by output section", by_section)
PY
    done
done
[ "$found" = 1 ] || { echo "no built stub in: $*" >&2; exit 1; }
