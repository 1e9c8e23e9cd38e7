#!/usr/bin/env python3
"""Writes the seeds of the legacy-method, LZMA and whole-archive fuzz targets into tests/fuzz/corpus/
from the archives in tests/data, in each target's input layout. Run once when a layout changes;
the seeds are checked in, so the fuzz runs need nothing but them."""
import io
import os
import struct
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
CORPUS = os.path.join(ROOT, "tests", "fuzz", "corpus")
LEGACY = os.path.join(ROOT, "tests", "data", "legacy")
LZMA = os.path.join(ROOT, "tests", "data", "lzma")
# Small entries that still reach every part of the decoders: trees or follower sets, literals,
# long runs, and the escape byte of Reduce.
ENTRIES = (b"short.txt", b"runs.bin", b"escapes.bin")


def local_entries(data):
    """(name, method, flags, uncompressed size, compressed bytes) per local header."""
    at = 0
    while data[at:at + 4] == b"PK\3\4":
        flags, method = struct.unpack_from("<HH", data, at + 6)
        _crc, packed, size, name_length, extra_length = struct.unpack_from("<IIIHH", data, at + 14)
        start = at + 30 + name_length + extra_length
        name = data[at + 30:at + 30 + name_length]
        yield name, method, flags, size, data[start:start + packed]
        at = start + packed


def write(target, name, data):
    folder = os.path.join(CORPUS, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as out:
        out.write(data)


def legacy_seeds():
    for archive in sorted(os.listdir(LEGACY)):
        with open(os.path.join(LEGACY, archive), "rb") as f:
            data = f.read()
        stem = archive[len("hwzip-"):-len(".zip")]
        for name, method, flags, size, packed in local_entries(data):
            if name not in ENTRIES:
                continue
            seed = stem + "-" + name.decode().split(".")[0]
            if method == 1:
                write("shrink", seed, packed)
            elif 2 <= method <= 5:
                write("reduce", seed, bytes([method - 2]) + struct.pack("<H", size) + packed)
            elif method == 6:
                selector = (1 if flags & 2 else 0) | (2 if flags & 4 else 0)
                write("implode", seed, bytes([selector]) + struct.pack("<H", size) + packed)


def lzma_seeds():
    """The LZMA test vectors of up to 64 KB, told their size; bit 0 of the selector announces
    the end marker they carry (set on every other seed)."""
    sizes = {}
    with open(os.path.join(LZMA, "vectors.tsv")) as manifest:
        for line in manifest:
            if not line.startswith("#"):
                name, size = line.split("\t")[:2]
                sizes[name] = int(size)
    sizes["noise"] = 20000
    for number, (name, size) in enumerate(sorted(sizes.items())):
        if size <= 0xFFFF:
            with open(os.path.join(LZMA, name + ".lzma"), "rb") as f:
                write("lzma", name, bytes([number & 1]) + struct.pack("<H", size) + f.read())


def small_zip(method, names):
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w", method) as z:
        for name, text in names:
            info = zipfile.ZipInfo(name, (2024, 2, 29, 13, 14, 16))
            info.compress_type = method
            z.writestr(info, text)
    return buffer.getvalue()


def archive_seeds():
    text = b"hello, world\n" * 8
    write("archive", "lzma", small_zip(zipfile.ZIP_LZMA, [("a.txt", text * 4)]))
    write("archive", "stored", small_zip(zipfile.ZIP_STORED, [("a.txt", text), ("d/", b"")]))
    write("archive", "deflated",
          small_zip(zipfile.ZIP_DEFLATED, [("a.txt", text), ("d/b.bin", bytes(range(256)))]))
    # Zip64 fields in both headers, a data descriptor and a Unix link: what the dictionary's
    # tokens mutate towards (the local/central comparison, the extents, the link judge).
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w") as z:
        with z.open(zipfile.ZipInfo("big.txt", (2020, 1, 1, 0, 0, 0)), "w", force_zip64=True) as f:
            f.write(text)
        link = zipfile.ZipInfo("d/link", (2020, 1, 1, 0, 0, 0))
        link.create_system = 3
        link.external_attr = 0o120777 << 16
        z.writestr(link, "../big.txt")
    write("archive", "zip64-link", buffer.getvalue())
    # One entry of each legacy method, cut down to its local header and a central directory.
    for archive in ("hwzip-shrink.zip", "hwzip-reduce3.zip", "hwzip-implode-8k3t.zip"):
        with open(os.path.join(LEGACY, archive), "rb") as f:
            data = f.read()
        for name, method, flags, size, packed in local_entries(data):
            if name == b"short.txt":
                write("archive", archive[len("hwzip-"):-len(".zip")],
                      single_entry_zip(data, name, method, flags, size, packed))


def single_entry_zip(data, name, method, flags, size, packed):
    at = 0
    while data[at + 30:at + 30 + len(name)] != name:
        at = data.index(b"PK\3\4", at + 4)
    version = struct.unpack_from("<H", data, at + 4)[0]
    time, date, crc = struct.unpack_from("<HHI", data, at + 10)
    local = struct.pack("<IHHHHHIIIHH", 0x04034B50, version, flags, method, time, date, crc,
                        len(packed), size, len(name), 0) + name + packed
    central = struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, version, version, flags, method, time,
                          date, crc, len(packed), size, len(name), 0, 0, 0, 0, 0, 0) + name
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, 1, 1, len(central), len(local), 0)
    return local + central + end


if __name__ == "__main__":
    legacy_seeds()
    lzma_seeds()
    archive_seeds()
