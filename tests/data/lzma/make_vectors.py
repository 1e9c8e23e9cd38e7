#!/usr/bin/env python3
"""Writes the LZMA streams that the LZMA decoder tests decode, as a Zip entry holds them (the
4-byte Zip LZMA header, the 5 properties bytes, then liblzma's raw LZMA1 stream with its end
marker), from data that the tests regenerate with the generator of the inflate vectors
(tests/algorithm/zip/InflateTestSupport.h). Run from this folder; the output is deterministic
for a given liblzma."""
import hashlib
import lzma
import struct
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


def zip_lzma(data, lc, lp, pb, dict_size, preset=6):
    options = {"id": lzma.FILTER_LZMA1, "preset": preset, "lc": lc, "lp": lp, "pb": pb,
               "dict_size": dict_size}
    raw = lzma.compress(data, format=lzma.FORMAT_RAW, filters=[options])
    properties = struct.pack("<BI", (pb * 5 + lp) * 9 + lc, dict_size)
    return struct.pack("<BBH", 5, 4, len(properties)) + properties + raw


# name, size, seed, lc, lp, pb, dictionary size
VECTORS = [
    ("empty", 0, 7, 3, 0, 2, 1 << 16),
    ("one-byte", 1, 7, 3, 0, 2, 1 << 16),
    ("default", 150000, 11, 3, 0, 2, 1 << 20),
    ("lc0-lp0-pb0", 60000, 13, 0, 0, 0, 1 << 16),
    ("lc4-lp0-pb4", 60000, 17, 4, 0, 4, 1 << 16),
    ("lc0-lp4-pb2", 60000, 19, 0, 4, 2, 1 << 16),
    ("lc1-lp3-pb1", 60000, 23, 1, 3, 1, 1 << 16),
    # The smallest dictionary, far smaller than the data: the history wraps many times.
    ("dict4k", 200000, 29, 3, 0, 2, 4096),
    ("large", 1000000, 31, 3, 0, 2, 1 << 22),
]

with open("vectors.tsv", "w") as manifest:
    manifest.write("# name\tsize\tseed\tcrc32 of the output (the data itself is regenerated)\n")
    for name, size, seed, lc, lp, pb, dict_size in VECTORS:
        data = generate(size, seed)
        with open(name + ".lzma", "wb") as f:
            f.write(zip_lzma(data, lc, lp, pb, dict_size))
        manifest.write("%s\t%d\t%d\t%08x\n" % (name, size, seed, zlib.crc32(data)))

# Incompressible bytes (SHA-256 in counter mode; the data is stored beside its stream).
noise = b"".join(hashlib.sha256(b"noise %d" % i).digest() for i in range(625))
with open("noise.bin", "wb") as f:
    f.write(noise)
with open("noise.lzma", "wb") as f:
    f.write(zip_lzma(noise, 3, 0, 2, 1 << 16))
