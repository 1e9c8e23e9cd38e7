#!/usr/bin/env python3
"""Writes the raw Deflate streams that the inflate tests decode, from data that the tests
regenerate with the same generator (tests/inflate/InflateVectors.h). Run from this folder;
the output is deterministic for a given zlib."""
import zlib

WORDS = [b"the", b"archive", b"window", b"of", b"entry", b"stream", b"and", b"a",
         b"header", b"deflate", b"to", b"in", b"block", b"code", b"length", b"is"]


class Generator:
    def __init__(self, seed):
        self.state = seed & 0x7FFFFFFF

    def next(self):
        self.state = (self.state * 1103515245 + 12345) & 0x7FFFFFFF
        return self.state >> 16


def generate(size, seed):
    g = Generator(seed)
    out = bytearray()
    while len(out) < size:
        r = g.next() % 10
        if r < 6:
            out += WORDS[g.next() % len(WORDS)] + b" "
        elif r < 8:
            n = g.next() % 16
            out += bytes(g.next() & 0xFF for _ in range(n))
        elif r < 9:
            byte = g.next() & 0xFF
            out += bytes([byte]) * (g.next() % 300)
        elif out:
            n = g.next() % 300
            distance = g.next() % min(len(out), 40000) + 1
            for _ in range(n):
                out.append(out[-distance])
    return bytes(out[:size])


def deflate(data, level, wbits=15, strategy=zlib.Z_DEFAULT_STRATEGY):
    c = zlib.compressobj(level, zlib.DEFLATED, -wbits, 9, strategy)
    return c.compress(data) + c.flush()


VECTORS = []
for size in (0, 1, 32767, 32768, 32769):
    for level in (1, 6, 9):
        VECTORS.append(("size%d-level%d" % (size, level), size, 7, level, 15, zlib.Z_DEFAULT_STRATEGY))
for wbits in range(9, 16):
    VECTORS.append(("window%d" % wbits, 150000, 11, 9, wbits, zlib.Z_DEFAULT_STRATEGY))
VECTORS.append(("stored", 70000, 13, 0, 15, zlib.Z_DEFAULT_STRATEGY))
VECTORS.append(("fixed", 150000, 17, 6, 15, zlib.Z_FIXED))
VECTORS.append(("huffman-only", 40000, 19, 6, 15, zlib.Z_HUFFMAN_ONLY))
VECTORS.append(("rle", 150000, 23, 6, 15, zlib.Z_RLE))
VECTORS.append(("large", 3000000, 29, 6, 15, zlib.Z_DEFAULT_STRATEGY))

with open("vectors.tsv", "w") as manifest:
    manifest.write("# name\tsize\tseed\tcrc32 of the output (the data itself is regenerated)\n")
    for name, size, seed, level, wbits, strategy in VECTORS:
        data = generate(size, seed)
        with open(name + ".deflate", "wb") as f:
            f.write(deflate(data, level, wbits, strategy))
        manifest.write("%s\t%d\t%d\t%08x\n" % (name, size, seed, zlib.crc32(data)))
