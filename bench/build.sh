#!/bin/sh
# Builds bench/inflate_bench (the decoder alone against zlib and libdeflate), optimised, outside
# the normal build. Needs zlib and libdeflate headers (zlib1g-dev, libdeflate-dev).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/build/bench}
mkdir -p "$out"
out=$(cd "$out" && pwd)
. "$root/tests/fuzz/inflate_sources.sh"
cd "$root"
# shellcheck disable=SC2086 # the source list is split on purpose (its names have no blanks)
c++ -std=c++17 -O2 -g -DNDEBUG -I"$root" \
    bench/inflate_bench.cpp $INFLATE_SOURCES \
    -lz -ldeflate -o "$out/inflate_bench"
echo "$out/inflate_bench"
