# The Deflate decoder's sources, relative to the source root, for the programs built outside
# CMake (bench/build.sh, tests/fuzz/build.sh). Sourced, not run.
INFLATE_SOURCES="algorithm/Algorithm.cpp
algorithm/zip/Decompressor.cpp
algorithm/zip/InflateInput.cpp
algorithm/zip/InflateTable.cpp
algorithm/zip/Huffman.cpp
stream/BufferedInput.cpp
stream/Stream.cpp"
