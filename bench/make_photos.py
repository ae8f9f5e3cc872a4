#!/usr/bin/env python3
"""Writes N small JPEG files with an EXIF block (maker, model, picture date)
into a folder, for the rename benchmark.

    make_photos.py FOLDER N [--same-second]

Every photo of a run is taken in 2004; by default each one a second after the
previous (distinct names under the default format), with --same-second all at
the same instant (every name collides unless it carries a running number).
"""
import datetime
import os
import struct
import sys


def ascii_entry(tag, text):
    value = text.encode("ascii") + b"\0"
    return (tag, 2, len(value), value)


def tiff_block(date):
    entries = [
        ascii_entry(0x010F, "Quillcam"),
        ascii_entry(0x0110, "QM-1"),
        ascii_entry(0x0132, date),
    ]
    # Little-endian header, then one directory at offset 8, then the values.
    directory_size = 2 + 12 * len(entries) + 4
    values = b""
    fields = b""
    value_offset = 8 + directory_size
    for tag, kind, count, value in entries:
        if len(value) <= 4:
            field = value.ljust(4, b"\0")
        else:
            field = struct.pack("<I", value_offset + len(values))
            values += value + (b"\0" if len(value) % 2 else b"")
        fields += struct.pack("<HHI", tag, kind, count) + field
    return b"II*\0" + struct.pack("<I", 8) + struct.pack("<H", len(entries)) + fields + struct.pack("<I", 0) + values


def segment(marker, payload):
    return bytes([0xFF, marker]) + struct.pack(">H", len(payload) + 2) + payload


def jpeg(date, serial):
    exif = segment(0xE1, b"Exif\0\0" + tiff_block(date))
    sos = segment(0xDA, b"\x01\x01\x00\x00\x3f\x00")
    scan = ("photo %d" % serial).encode("ascii")
    return b"\xff\xd8" + exif + sos + scan + b"\xff\xd9"


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    folder, count = sys.argv[1], int(sys.argv[2])
    same = "--same-second" in sys.argv[3:]
    os.makedirs(folder, exist_ok=True)
    start = datetime.datetime(2004, 1, 1, 8, 0, 0)
    for i in range(count):
        when = start if same else start + datetime.timedelta(seconds=i)
        with open(os.path.join(folder, "IMG_%05d.JPG" % (i + 1)), "wb") as out:
            out.write(jpeg(when.strftime("%Y:%m:%d %H:%M:%S"), i))


if __name__ == "__main__":
    main()
