#!/bin/bash
# Times the Deflate64 and BZip2 decoders through `zipsfx extract` against the reference tools on
# the same data in one run: BZip2 against `bzip2 -d` (the same stream in a .bz2 file and, made
# by Python's zipfile, in a Zip), Deflate64 against `7z x` (the same 7-Zip Zip). Both sides write
# their output to a file. Prints the median wall time of REPEAT runs (default 5) and the ratio
# of the reference's time to ours (above 1: ours is faster).
# Usage: bench/methods_bench.sh [DATA_FILE]  (default: about 40 MB of this machine's headers and
# shared libraries). ZIPSFX names the tool (default build/native/zipsfx).
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
ZIPSFX=${ZIPSFX:-$ROOT/build/native/zipsfx}
REPEAT=${REPEAT:-5}
[ -x "$ZIPSFX" ] || { echo "no zipsfx at $ZIPSFX (make native)" >&2; exit 1; }
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

DATA=${1:-}
if [ -z "$DATA" ]; then
    DATA=$WORK/data.bin
    # head ends the pipes early on purpose.
    { find /usr/include -name '*.h' | sort | xargs cat | head -c 20000000 || true
      find /usr/lib/x86_64-linux-gnu -maxdepth 1 -name '*.so*' -type f | sort | xargs cat |
          head -c 20000000 || true; } 2>/dev/null >"$DATA"
fi
cp "$DATA" "$WORK/data"
(cd "$WORK" && bzip2 -9 -k data && 7z a -tzip -mm=Deflate64 -bso0 -bsp0 d64.zip data >/dev/null)
python3 -c 'import sys, zipfile
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_BZIP2) as z: z.write(sys.argv[2], "data")' \
    "$WORK/bz.zip" "$WORK/data"

median() {  # command... -> seconds
    local times=() i start end
    for i in $(seq 1 "$REPEAT"); do
        rm -rf "$WORK/out" && mkdir "$WORK/out"
        start=$(date +%s.%N)
        "$@" >/dev/null 2>&1
        end=$(date +%s.%N)
        times+=("$(echo "$end - $start" | bc)")
    done
    printf '%s\n' "${times[@]}" | sort -n | sed -n "$(((REPEAT + 1) / 2))p"
}

row() {  # label ours-seconds reference-seconds
    printf '%-10s %8.2f MB  zipsfx %6.2f s  %-8s %6.2f s  ratio %.2f\n' "$1" \
        "$(echo "$(stat -c %s "$WORK/data") / 1000000" | bc -l)" "$2" "$4" "$3" \
        "$(echo "$3 / $2" | bc -l)"
}

ours=$(median "$ZIPSFX" extract "$WORK/bz.zip" -q -d "$WORK/out")
ref=$(median sh -c "bzip2 -dc '$WORK/data.bz2' > '$WORK/out/data'")
row BZip2 "$ours" "$ref" "bzip2 -d"
ours=$(median "$ZIPSFX" extract "$WORK/d64.zip" -q -d "$WORK/out")
ref=$(median 7z x -y -o"$WORK/out" "$WORK/d64.zip")
row Deflate64 "$ours" "$ref" "7z x"
