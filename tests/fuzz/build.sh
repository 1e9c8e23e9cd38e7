#!/bin/sh
# Builds the Deflate decoder's libFuzzer target with clang, ASan and UBSan, outside the normal
# build. Usage: tests/fuzz/build.sh [output folder]; then run
#   OUT/inflate_fuzzer -max_total_time=300 -max_len=4096 CORPUS_COPY tests/fuzz/corpus
# with a scratch copy of the corpus first, so that the committed seeds stay few.
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
out=${1:-$root/build/fuzz}
mkdir -p "$out"
out=$(cd "$out" && pwd)
. "$root/tests/fuzz/inflate_sources.sh"
cd "$root"
# shellcheck disable=SC2086 # the source list is split on purpose (its names have no blanks)
clang++ -std=c++17 -O1 -g -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
    -I"$root" \
    tests/fuzz/inflate_fuzzer.cpp $INFLATE_SOURCES \
    -lz -o "$out/inflate_fuzzer"
echo "$out/inflate_fuzzer"
