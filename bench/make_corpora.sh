#!/bin/sh
# Builds the benchmark corpora deterministically from files of this machine, and zips them with
# Info-ZIP zip. Usage: bench/make_corpora.sh [work folder] (default build/bench/corpora).
#   mixed.zip   about 250 MB of real files from /usr/share and /usr/lib (sorted list, < 8 MB
#               each), zip -6
#   big.zip     one file of about 210 MB (text files from /usr/include and /usr/share/doc and the
#               shared libraries of /usr/lib, concatenated in sorted order), zip -6
#   stored.zip  the files of mixed, stored (zip -0)
#   small.zip   20,000 small files (under 8 KB each, from /usr/share, sorted), zip -6
# The source trees stay beside the archives (bench/peers.sh copies them with cp -r as a peer).
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

if [ ! -f mixed.zip ]; then
    rm -rf mixed
    find /usr/share /usr/lib -type f -size -8M ! -name '*.zip' 2>/dev/null | sort |
        awk 'NR % 3 == 0' | take mixed 250000000
    (cd mixed && zip -q -r -6 ../mixed.zip .)
fi

if [ ! -f stored.zip ]; then
    (cd mixed && zip -q -r -0 ../stored.zip .)
fi

if [ ! -f big.zip ]; then
    rm -rf big
    mkdir -p big
    {
        find /usr/include /usr/share/doc -type f \( -name '*.h' -o -name '*.txt' \
            -o -name 'README*' -o -name 'copyright' -o -name '*.html' \) 2>/dev/null
        find /usr/lib -type f -name '*.so*' -size -16M 2>/dev/null
    } | sort > big.list
    : > big/big.bin
    while [ "$(stat -c %s big/big.bin)" -lt 210000000 ]; do
        xargs cat < big.list >> big/big.bin 2>/dev/null || true
    done
    truncate -s 210000000 big/big.bin
    (cd big && zip -q -6 ../big.zip big.bin)
fi

if [ ! -f small.zip ]; then
    rm -rf small
    find /usr/share -type f -size -8k 2>/dev/null | sort | sed -n '1,20000p' | take small 1000000000
    (cd small && zip -q -r -6 ../small.zip .)
fi

ls -l "$work"/*.zip
