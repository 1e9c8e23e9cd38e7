#!/bin/bash
# LZMA: the size of a real payload made with `zipsfx make --method lzma -l 9` against
# `--method deflate`, zip -9, 7-Zip's Zip with LZMA at -mx9 and 7-Zip's own format at -mx9; then
# the decoder's speed against 7-Zip and xz on the same data, in one series.
# Usage: bench/lzma_bench.sh [payload-folder] [repetitions]
# The default payload is the 40 largest shared libraries under 4 MB in /usr/lib/x86_64-linux-gnu
# (sorted by name, so the same machine gives the same set). Sizes are of the Zip archive alone
# (what follows the stub's mark). Times are user CPU seconds, median of the repetitions (the
# machines are shared: compare ratios, not seconds).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
tool=${ZIPSFX:-$root/build/native/zipsfx}
reps=${2:-3}
work=$(mktemp -d "${TMPDIR:-/tmp}/zipsfx-lzma.XXXXXX")
trap 'rm -rf "$work"' EXIT

payload=${1:-}
if [ -z "$payload" ]; then
    payload=$work/payload
    mkdir -p "$payload"
    find /usr/lib/x86_64-linux-gnu -maxdepth 1 -type f -name '*.so*' -size -4M -printf '%s %p\n' |
        sort -rn | head -40 | cut -d' ' -f2- | sort | while read -r file; do
        cp "$file" "$payload/"
    done
fi
total=$(du -sb "$payload" | cut -f1)
echo "payload: $(find "$payload" -type f | wc -l) files, $total bytes"

# The size of the Zip behind the mark of a file made by zipsfx.
archive_size() {  # sfx
    python3 - "$1" "$("$tool" layout mark)" <<'PY'
import sys
data = open(sys.argv[1], "rb").read()
print(len(data) - data.index(bytes.fromhex(sys.argv[2])) - 32)
PY
}

row() {  # label bytes
    printf '%-36s %12d  %5.1f%%\n' "$1" "$2" "$(python3 -c "print(100 * $2 / $total)")"
}

cd "$payload"
"$tool" make -q -o "$work/lzma.sfx" --stub posix --method lzma -l 9 ./* >/dev/null
row "zipsfx make --method lzma -l 9" "$(archive_size "$work/lzma.sfx")"
"$tool" make -q -o "$work/lzma6.sfx" --stub posix --method lzma -l 6 ./* >/dev/null
row "zipsfx make --method lzma -l 6" "$(archive_size "$work/lzma6.sfx")"
"$tool" make -q -o "$work/deflate.sfx" --stub posix --method deflate -l 9 ./* >/dev/null
row "zipsfx make --method deflate -l 9" "$(archive_size "$work/deflate.sfx")"
zip -q -9 "$work/zip9.zip" ./*
row "zip -9" "$(stat -c %s "$work/zip9.zip")"
7z a -tzip -mm=LZMA -mx9 -bso0 -bsp0 "$work/7z-lzma.zip" ./* >/dev/null
row "7z a -tzip -mm=LZMA -mx9" "$(stat -c %s "$work/7z-lzma.zip")"
7z a -t7z -mx9 -bso0 -bsp0 "$work/7z.7z" ./* >/dev/null
row "7z a -t7z -mx9" "$(stat -c %s "$work/7z.7z")"

# Decoding: the same LZMA data through zipsfx test, 7z t, and xz -d (the payload as one
# .lzma stream, the nearest xz gets to the same data).
tar -cf "$work/payload.tar" ./*
xz --format=lzma -6 -T1 -c "$work/payload.tar" >"$work/payload.lzma"
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
timed() {  # command...
    /usr/bin/time -f %U "$@" 2>&1 >/dev/null | tail -1
}
declare -A times
for ((i = 0; i < reps; i++)); do
    times[zipsfx]+="$(timed "$tool" test "$work/7z-lzma.zip") "
    times[7z]+="$(timed 7z t -bso0 -bsp0 "$work/7z-lzma.zip") "
    times[xz]+="$(timed xz -dc -T1 "$work/payload.lzma") "
done
ours=$(echo "${times[zipsfx]}" | tr ' ' '\n' | grep . | median)
echo
echo "decoding, user CPU seconds (median of $reps), and the peer's time over ours:"
for name in zipsfx 7z xz; do
    t=$(echo "${times[$name]}" | tr ' ' '\n' | grep . | median)
    printf '%-8s %6.2f s  %5.2f\n' "$name" "$t" "$(python3 -c "print($t / $ours if $ours else 0)")"
done
