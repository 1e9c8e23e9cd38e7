#!/bin/sh
# Builds the benchmark corpora deterministically from files of this machine, and zips each with
# Info-ZIP zip -6. Usage: bench/make_corpora.sh [work folder] (default build/bench/corpora).
#   tree.zip   about 250 MB of real files from /usr/share and /usr/lib (sorted list, < 8 MB each)
#   large.zip  one text file of about 100 MB (text files from /usr/include and /usr/share/doc,
#              concatenated in sorted order, repeated up to the size)
#   small.zip  20,000 small files (under 8 KB each, from /usr/share, sorted)
# Sources that change between machines change the corpora; the ratios stay comparable.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
work=${1:-$root/build/bench/corpora}
mkdir -p "$work"
cd "$work"
export LC_ALL=C

# Takes a sorted list of files on stdin and copies them, with their paths, under $1 until $2
# bytes are reached (one tar pipe: a process per file would take minutes).
take() {
    dest=$1
    limit=$2
    mkdir -p "$dest"
    while IFS= read -r f; do
        [ -r "$f" ] && printf '%s\n' "$f"
    done | xargs -d '\n' stat -c '%s %n' 2>/dev/null |
        awk -v limit="$limit" '{ if (total >= limit) exit; total += $1; sub(/^[0-9]+ /, ""); print }' |
        tar -cf - -T - 2>/dev/null | tar -xf - -C "$dest"
}

if [ ! -f tree.zip ]; then
    rm -rf tree
    find /usr/share /usr/lib -type f -size -8M ! -name '*.zip' 2>/dev/null | sort |
        awk 'NR % 3 == 0' | take tree 250000000
    (cd tree && zip -q -r -6 ../tree.zip .)
fi

if [ ! -f large.zip ]; then
    rm -rf large
    mkdir -p large
    find /usr/include /usr/share/doc -type f \( -name '*.h' -o -name '*.txt' -o -name 'README*' \
        -o -name 'copyright' -o -name '*.html' \) 2>/dev/null | sort > large.list
    : > large/large.txt
    while [ "$(stat -c %s large/large.txt)" -lt 100000000 ]; do
        xargs cat < large.list >> large/large.txt 2>/dev/null || true
    done
    truncate -s 100000000 large/large.txt
    (cd large && zip -q -6 ../large.zip large.txt)
fi

if [ ! -f small.zip ]; then
    rm -rf small
    find /usr/share -type f -size -8k 2>/dev/null | sort | sed -n '1,20000p' | take small 1000000000
    (cd small && zip -q -r -6 ../small.zip .)
fi

ls -l "$work"/*.zip
