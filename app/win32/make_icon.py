#!/usr/bin/env python3
"""Draws the stub's icon: a brown parcel with a zipper down its middle, 16x16 and 32x32, 32-bit.

Run it to regenerate stub.ico: python3 make_icon.py stub.ico
"""
import struct
import sys


def pixel(x, y, n):
    """The BGRA colour of one pixel of an n-by-n image (y counts from the top)."""
    u = n / 32.0
    margin = 3 * u
    if x < margin or x >= n - margin or y < 5 * u or y >= n - 3 * u:
        return (0, 0, 0, 0)
    edge = x < margin + u or x >= n - margin - u or y < 6 * u or y >= n - 4 * u
    if edge:
        return (0x20, 0x40, 0x60, 0xFF)
    mid = n / 2
    if abs(x + 0.5 - mid) <= 1.5 * u:
        # The zipper: alternating teeth, with a pull tab near the top.
        if 7 * u <= y < 11 * u:
            return (0x30, 0xC0, 0xE8, 0xFF)
        tooth = int(y / max(1, int(2 * u))) % 2
        return (0xA0, 0xA0, 0xA0, 0xFF) if tooth else (0x50, 0x50, 0x50, 0xFF)
    return (0x40, 0x90, 0xC8, 0xFF)


def image(n):
    rows = []
    for y in reversed(range(n)):  # DIB rows run bottom-up
        rows.append(b"".join(struct.pack("4B", *pixel(x, y, n)) for x in range(n)))
    xor = b"".join(rows)
    mask_row = ((n + 31) // 32) * 4
    mask = bytes(mask_row * n)  # the alpha channel does the masking
    header = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return header + xor + mask


def main(out):
    sizes = [16, 32]
    images = [image(n) for n in sizes]
    data = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for n, img in zip(sizes, images):
        data += struct.pack("<BBBBHHII", n, n, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    with open(out, "wb") as f:
        f.write(data + b"".join(images))


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "stub.ico")
