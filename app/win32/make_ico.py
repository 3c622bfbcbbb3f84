#!/usr/bin/env python3
"""Wraps a PNG image in an ICO container (one entry), as Windows Vista and
later and Wine read icons: the PNG bytes stay as they are."""
import struct
import sys


def main(source, target):
    with open(source, "rb") as f:
        png = f.read()
    if png[:8] != b"\x89PNG\r\n\x1a\n" or png[12:16] != b"IHDR":
        sys.exit(f"{source}: not a PNG image")
    width, height = struct.unpack(">II", png[16:24])
    if width > 256 or height > 256:
        sys.exit(f"{source}: {width}x{height} is larger than an icon can be")
    # ICONDIR, then one ICONDIRENTRY (256 is written as 0), then the image.
    header = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 32, len(png), 6 + 16)
    with open(target, "wb") as f:
        f.write(header + entry + png)


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit("usage: make_ico.py IMAGE.png ICON.ico")
    main(sys.argv[1], sys.argv[2])
