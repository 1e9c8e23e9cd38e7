#!/bin/sh
# Times extraction of each corpus by zipsfx and its peers, side by side, several repetitions,
# each run into a fresh folder (never deleting between timed runs: on these disks creating files
# right after deleting many is slow, and the figures would measure the file system). All
# outputs are deleted at the end; wait a few minutes before another series.
# Usage: bench/run_extract.sh [repetitions] (default 5); corpora from bench/make_corpora.sh.
# Prints, per corpus and tool, the median wall time, its ratio to unzip's, and peak memory.
# ZIPSFX_BASE names a second zipsfx (an older build, say) timed in the same series as
# "zipsfx-base", so that a change is measured before and after under the same load.
set -eu
if [ "${1:-}" = --one ]; then
    # One timed extraction: --one TOOL ZIP DEST (the zipsfx path comes in ZIPSFX).
    tool=$2 zip=$3 dest=$4
    mkdir -p "$dest"
    case $tool in
        zipsfx) exec "$ZIPSFX" extract "$zip" -d "$dest" -q ;;
        zipsfx-base) exec "$ZIPSFX_BASE" extract "$zip" -d "$dest" -q ;;
        unzip) exec unzip -q "$zip" -d "$dest" ;;
        7z) exec 7z x -bd -y -o"$dest" "$zip" > /dev/null ;;
        bsdtar) exec bsdtar -xf "$zip" -C "$dest" ;;
    esac
    exit 2
fi
root=$(cd "$(dirname "$0")/.." && pwd)
reps=${1:-5}
corpora=${CORPORA:-$root/build/bench/corpora}
zipsfx=${ZIPSFX:-$root/build/native/tools/zipsfx}
[ -x "$zipsfx" ] || zipsfx=$root/build/native/zipsfx
out=$(mktemp -d "${TMPDIR:-/tmp}/zipsfx-bench.XXXXXX")
results=$out/results.tsv
: > "$results"

tools="unzip 7z bsdtar"
if [ -x "$zipsfx" ]; then
    tools="zipsfx $tools"
else
    echo "zipsfx not built ($zipsfx): timing the peers only" >&2
fi
if [ -n "${ZIPSFX_BASE:-}" ]; then
    [ -x "$ZIPSFX_BASE" ] || { echo "ZIPSFX_BASE is no program: $ZIPSFX_BASE" >&2; exit 2; }
    tools="zipsfx-base $tools"
    export ZIPSFX_BASE
fi

export ZIPSFX="$zipsfx"
self=$(cd "$(dirname "$0")" && pwd)/$(basename "$0")

for corpus in tree large small; do
    zip=$corpora/$corpus.zip
    [ -f "$zip" ] || { echo "missing $zip (run bench/make_corpora.sh)" >&2; continue; }
    cat "$zip" > /dev/null  # into the page cache before the first timed run
    for rep in $(seq "$reps"); do
        # Each repetition starts with another tool: the first run after another tool's writes
        # pays for their write-back, and no tool may always be the one that pays.
        order=$(echo "$tools" | awk -v k="$rep" '{ for (i = 0; i < NF; i++) printf "%s ", $((i + k - 1) % NF + 1) }')
        for tool in $order; do
            dest=$out/$corpus-$tool-$rep
            stats=$(/usr/bin/time -f '%e %M' "$self" --one "$tool" "$zip" "$dest" 2>&1 >/dev/null |
                tail -n 1)
            printf '%s\t%s\t%s\t%s\n' "$corpus" "$tool" "$rep" "$stats" >> "$results"
        done
    done
done

python3 - "$results" <<'PY'
import sys, statistics, collections
rows = collections.defaultdict(list)
mem = collections.defaultdict(int)
for line in open(sys.argv[1]):
    corpus, tool, rep, stats = line.rstrip("\n").split("\t")
    seconds, kb = stats.split()
    rows[(corpus, tool)].append(float(seconds))
    mem[(corpus, tool)] = max(mem[(corpus, tool)], int(kb))
print("%-7s %-11s %9s %9s %10s" % ("corpus", "tool", "median s", "/unzip", "peak MB"))
for corpus in ("tree", "large", "small"):
    base = rows.get((corpus, "unzip"))
    for tool in ("zipsfx-base", "zipsfx", "unzip", "7z", "bsdtar"):
        if (corpus, tool) not in rows:
            continue
        m = statistics.median(rows[(corpus, tool)])
        ratio = m / statistics.median(base) if base else float("nan")
        print("%-7s %-11s %9.2f %9.2f %10.1f" % (corpus, tool, m, ratio, mem[(corpus, tool)] / 1024))
PY
rm -rf "$out"
