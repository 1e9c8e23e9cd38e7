#!/bin/sh
# Builds bench/inflate_bench (the decoder alone against zlib and libdeflate), optimised, outside
# the normal build. Needs zlib and libdeflate headers (zlib1g-dev, libdeflate-dev).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/build/bench}
mkdir -p "$out"
c++ -std=c++17 -O2 -g -DNDEBUG -I"$root" \
    "$root/bench/inflate_bench.cpp" \
    "$root/algorithm/Algorithm.cpp" \
    "$root/algorithm/zip/Decompressor.cpp" \
    "$root/algorithm/zip/InflateInput.cpp" \
    "$root/algorithm/zip/InflateTable.cpp" \
    "$root/algorithm/zip/Huffman.cpp" \
    "$root/stream/BufferedInput.cpp" \
    "$root/stream/Stream.cpp" \
    -lz -ldeflate -o "$out/inflate_bench"
echo "$out/inflate_bench"
