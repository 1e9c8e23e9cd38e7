#!/bin/sh
# Times extraction of each corpus by zipsfx and its peers, side by side, several rounds, each run
# into a fresh folder (never deleting between the timed runs of a corpus: on these disks creating
# files right after deleting many is slow, and the figures would measure the file system), each
# after a sync (otherwise a run pays for the write-back of the run before it).
# zipsfx runs with ZIPSFX_THREADS=1, 2 and the machine's core count (at most 8); the peers are
# unzip, 7z, bsdtar and `cp -r` of the corpus's own tree (the cost of writing the files at all).
# Usage: bench/peers.sh [rounds] (default 5); corpora from bench/make_corpora.sh.
# Prints a table per corpus: the median wall time, its ratio to unzip's median, and peak memory.
# ZIPSFX names the tool to time (default the native build's); ZIPSFX_BASE names a second zipsfx
# (an older build, say) timed in the same series at the machine's core count, as "zipsfx-base",
# so that a change is measured before and after under the same load. CORPUS_LIST picks corpora.
set -eu
if [ "${1:-}" = --one ]; then
    # One timed extraction: --one TOOL ZIP DEST TREE (the zipsfx path comes in ZIPSFX).
    tool=$2 zip=$3 dest=$4 tree=$5
    case $tool in
        zipsfx-t*)
            mkdir -p "$dest"
            ZIPSFX_THREADS=${tool#zipsfx-t} exec "$ZIPSFX" extract "$zip" -d "$dest" -q ;;
        zipsfx-base)
            mkdir -p "$dest"
            exec "$ZIPSFX_BASE" extract "$zip" -d "$dest" -q ;;
        unzip) exec unzip -q "$zip" -d "$dest" ;;
        7z) exec 7z x -bd -y -o"$dest" "$zip" > /dev/null ;;
        bsdtar) mkdir -p "$dest" && exec bsdtar -xf "$zip" -C "$dest" ;;
        cp) exec cp -r "$tree" "$dest" ;;
    esac
    exit 2
fi
root=$(cd "$(dirname "$0")/.." && pwd)
rounds=${1:-5}
corpora=${CORPORA:-$root/build/bench/corpora}
zipsfx=${ZIPSFX:-$root/build/native/zipsfx}
[ -x "$zipsfx" ] || { echo "no zipsfx to time at $zipsfx (make native)" >&2; exit 2; }
cores=$(nproc)
[ "$cores" -le 8 ] || cores=8
out=$(mktemp -d "${TMPDIR:-/tmp}/zipsfx-bench.XXXXXX")
results=$out/results.tsv
: > "$results"

tools="zipsfx-t1"
[ "$cores" -ge 2 ] && tools="$tools zipsfx-t2"
[ "$cores" -gt 2 ] && tools="$tools zipsfx-t$cores"
tools="$tools unzip 7z bsdtar cp"
if [ -n "${ZIPSFX_BASE:-}" ]; then
    [ -x "$ZIPSFX_BASE" ] || { echo "ZIPSFX_BASE is no program: $ZIPSFX_BASE" >&2; exit 2; }
    tools="zipsfx-base $tools"
    export ZIPSFX_BASE
fi
export ZIPSFX="$zipsfx"
self=$(cd "$(dirname "$0")" && pwd)/$(basename "$0")

echo "machine: $(nproc) cores, $(awk '/MemTotal/ { printf "%.0f GB", $2 / 1048576 }' /proc/meminfo)," \
    "load average $(cut -d' ' -f1-3 /proc/loadavg) at the start; $rounds rounds"
for corpus in ${CORPUS_LIST:-mixed big stored small}; do
    zip=$corpora/$corpus.zip
    tree=$corpora/$corpus
    [ "$corpus" = stored ] && tree=$corpora/mixed
    [ -f "$zip" ] || { echo "missing $zip (run bench/make_corpora.sh)" >&2; continue; }
    cat "$zip" > /dev/null  # into the page cache before the first timed run
    find "$tree" -type f -exec cat {} + > /dev/null
    for round in $(seq "$rounds"); do
        # Each round starts with another tool: the first run after another tool's writes pays
        # for their write-back, and no tool may always be the one that pays.
        order=$(echo "$tools" | awk -v k="$round" '{ for (i = 0; i < NF; i++) printf "%s ", $((i + k - 1) % NF + 1) }')
        for tool in $order; do
            # No run pays for the write-back of the one before: each starts with nothing dirty.
            sync
            dest=$out/$corpus-$tool-$round
            stats=$(/usr/bin/time -f '%e %M' "$self" --one "$tool" "$zip" "$dest" "$tree" 2>&1 >/dev/null |
                tail -n 1)
            printf '%s\t%s\t%s\t%s\n' "$corpus" "$tool" "$round" "$stats" >> "$results"
        done
    done
    # The corpus's outputs go before the next corpus, and their write-back with them.
    rm -rf "$out/$corpus"-*
    sync
    sleep 5
done

python3 - "$results" "$tools" <<'PY'
import sys, statistics, collections
rows = collections.defaultdict(list)
mem = collections.defaultdict(int)
corpora = []
for line in open(sys.argv[1]):
    corpus, tool, rnd, stats = line.rstrip("\n").split("\t")
    seconds, kb = stats.split()
    if corpus not in corpora:
        corpora.append(corpus)
    rows[(corpus, tool)].append(float(seconds))
    mem[(corpus, tool)] = max(mem[(corpus, tool)], int(kb))
tools = sys.argv[2].split()
print("| corpus | tool | median s | / unzip | peak MB |")
print("|---|---|---|---|---|")
for corpus in corpora:
    base = rows.get((corpus, "unzip"))
    for tool in tools:
        if (corpus, tool) not in rows:
            continue
        m = statistics.median(rows[(corpus, tool)])
        ratio = m / statistics.median(base) if base else float("nan")
        print("| %s | %s | %.2f | %.2f | %.1f |" % (corpus, tool, m, ratio, mem[(corpus, tool)] / 1024))
PY
rm -rf "$out"
