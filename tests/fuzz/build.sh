#!/bin/sh
# Builds the Deflate decoder's libFuzzer target with clang, ASan and UBSan, outside the normal
# build. Usage: tests/fuzz/build.sh [output folder]; then run
#   OUT/inflate_fuzzer -max_total_time=300 -max_len=4096 CORPUS_COPY tests/fuzz/corpus
# with a scratch copy of the corpus first, so that the committed seeds stay few.
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
out=${1:-$root/build/fuzz}
mkdir -p "$out"
clang++ -std=c++17 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
    -I"$root" \
    "$root/tests/fuzz/inflate_fuzzer.cpp" \
    "$root/algorithm/Algorithm.cpp" \
    "$root/algorithm/zip/Decompressor.cpp" \
    "$root/algorithm/zip/InflateInput.cpp" \
    "$root/algorithm/zip/InflateTable.cpp" \
    "$root/algorithm/zip/Huffman.cpp" \
    "$root/stream/BufferedInput.cpp" \
    "$root/stream/Stream.cpp" \
    -lz -o "$out/inflate_fuzzer"
echo "$out/inflate_fuzzer"
