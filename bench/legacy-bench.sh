#!/bin/bash
# Times `zipsfx test` against Info-ZIP `unzip -t` on the archives of the legacy methods (shrink,
# reduce, implode): the project's own ones and, when present, the DOS PKZIP ones of the shared
# fixtures (read in place). Both test every entry's CRC-32 without writing files.
# Usage: bench/legacy-bench.sh [ZIPSFX_BINARY] [ROUNDS]
# Without a binary it builds an optimised zipsfx in build/bench-legacy first.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
tool=${1:-}
rounds=${2:-5}
if [ -z "$tool" ]; then
    cmake -S "$root" -B "$root/build/bench-legacy" -DCMAKE_BUILD_TYPE=Release \
        -DZIPSFX_TESTS=OFF >/dev/null
    cmake --build "$root/build/bench-legacy" -j2 --target zipsfx >/dev/null
    tool=$root/build/bench-legacy/zipsfx
fi
command -v unzip >/dev/null || { echo "unzip is not installed" >&2; exit 1; }

archives=("$root"/tests/data/legacy/*.zip)
pkzip=$root/../shared/fixtures/pkzip
if [ -d "$pkzip" ]; then
    for f in "$pkzip"/pkzip080-reduce*.zip "$pkzip"/pkzip110-*.zip; do
        archives+=("$f")
    done
else
    echo "(no $pkzip: the DOS PKZIP archives are left out)"
fi

# Milliseconds for rounds runs of a command, or - when a run fails (some unzip builds leave out
# the reduce methods and answer 81, unsupported).
timed() {
    local start end
    start=$(date +%s%N)
    for ((i = 0; i < rounds; i++)); do
        "$@" >/dev/null 2>&1 || { echo -; return 0; }
    done
    end=$(date +%s%N)
    echo $(((end - start) / 1000000 / rounds))
}

printf '%-28s %10s %10s %7s\n' archive "zipsfx ms" "unzip ms" ratio
total_ours=0
total_unzip=0
status=0
for f in "${archives[@]}"; do
    ours=$(timed "$tool" test "$f")
    theirs=$(timed unzip -tqq "$f")
    if [ "$ours" = - ]; then
        echo "zipsfx test failed on $f" >&2
        status=1
        continue
    fi
    ratio=-
    if [ "$theirs" != - ]; then
        # Totals compare only the archives both can test.
        total_ours=$((total_ours + ours))
        total_unzip=$((total_unzip + theirs))
        ratio=$(awk -v a="$ours" -v b="$theirs" 'BEGIN { printf (b > 0 ? "%.2f" : "-"), a / b }')
    fi
    printf '%-28s %10s %10s %7s\n' "$(basename "$f")" "$ours" "$theirs" "$ratio"
done
ratio=$(awk -v a="$total_ours" -v b="$total_unzip" 'BEGIN { printf (b > 0 ? "%.2f" : "-"), a / b }')
printf '%-28s %10d %10d %7s\n' "total (both tested)" "$total_ours" "$total_unzip" "$ratio"
exit $status
