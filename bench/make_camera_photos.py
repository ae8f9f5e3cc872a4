#!/usr/bin/env python3
"""Writes N camera-like JPEG files into a folder, for the peer benchmark
(../shared/bench/peer-rename.sh) and the rename benchmarks.

    make_camera_photos.py FOLDER N [SEED]

Each photo is what a compact camera of the early 2000s writes: an APP1 EXIF
block with the main directory (maker, model, orientation, resolutions,
software, date), the Exif directory (exposure, aperture, ISO, the three
dates, flash, focal length, pixel size, a maker note, a user comment), an
interoperability directory, a thumbnail directory with its small JPEG
preview, then tables, a frame header and a scan of 2 to 164 KiB. Names are
"dscNNNNN.jpg". About a fifth of the photos share their second with the
previous one (a burst), the others are taken a few seconds apart. The same
SEED gives the same files.
"""
import datetime
import os
import random
import struct
import sys

ASCII, SHORT, LONG, RATIONAL, UNDEFINED, SRATIONAL = 2, 3, 4, 5, 7, 10
SIZES = {ASCII: 1, SHORT: 2, LONG: 4, RATIONAL: 8, UNDEFINED: 1, SRATIONAL: 8}


def pack_value(kind, value):
    if kind == ASCII:
        data = value.encode("ascii") + b"\0"
        return data, len(data)
    if kind == UNDEFINED:
        return value, len(value)
    values = value if isinstance(value, list) else [value]
    if kind == SHORT:
        return b"".join(struct.pack("<H", v) for v in values), len(values)
    if kind == LONG:
        return b"".join(struct.pack("<I", v) for v in values), len(values)
    if kind in (RATIONAL, SRATIONAL):
        code = "<II" if kind == RATIONAL else "<ii"
        return b"".join(struct.pack(code, *v) for v in values), len(values)
    raise ValueError(kind)


class Tiff:
    """A little-endian TIFF block built directory by directory; offsets are
    from the start of the TIFF header."""

    def __init__(self):
        self.data = bytearray(b"II*\0" + struct.pack("<I", 8))

    def directory(self, entries, next_offset=0):
        """entries: (tag, kind, value); a value 'OFFSET' placeholder is a LONG
        filled in later by patch(). Returns (offset, {tag: field position})."""
        start = len(self.data)
        size = 2 + 12 * len(entries) + 4
        values = bytearray()
        fields = bytearray()
        positions = {}
        for tag, kind, value in sorted(entries, key=lambda e: e[0]):
            data, count = pack_value(kind, value)
            positions[tag] = start + 2 + len(fields) + 8
            if len(data) <= 4:
                field = data.ljust(4, b"\0")
            else:
                field = struct.pack("<I", start + size + len(values))
                values += data + (b"\0" if len(data) % 2 else b"")
            fields += struct.pack("<HHI", tag, kind, count) + field
        self.data += struct.pack("<H", len(entries)) + fields + struct.pack("<I", next_offset) + values
        return start, positions

    def patch(self, position, value):
        self.data[position:position + 4] = struct.pack("<I", value)

    def append(self, blob):
        offset = len(self.data)
        self.data += blob
        return offset


def segment(marker, payload):
    return bytes([0xFF, marker]) + struct.pack(">H", len(payload) + 2) + payload


def entropy(rng, size):
    """Scan-like bytes: every 0xFF is followed by a stuffed 0x00."""
    raw = rng.randbytes(size)
    return raw.replace(b"\xff", b"\xff\x00")[:size]


def tables():
    dqt = segment(0xDB, b"\x00" + bytes(range(1, 65)))
    sof = segment(0xC0, b"\x08\x01\xe0\x02\x80\x03\x01\x21\x00\x02\x11\x01\x03\x11\x01")
    dht = segment(0xC4, b"\x00" + bytes([0, 1, 5, 1, 1, 1, 1, 1, 1] + [0] * 7) + bytes(range(12)))
    sos = segment(0xDA, b"\x03\x01\x00\x02\x11\x03\x11\x00\x3f\x00")
    return dqt + sof + dht, sos


def thumbnail(rng):
    head, sos = tables()
    return b"\xff\xd8" + head + sos + entropy(rng, rng.randint(3000, 7000)) + b"\xff\xd9"


def maker_note(rng):
    """A plain directory, as some makers write, at its own offset."""
    entries = [
        (0x0001, SHORT, [rng.randint(0, 5) for _ in range(20)]),
        (0x0002, SHORT, [rng.randint(0, 90) for _ in range(4)]),
        (0x0004, SHORT, [rng.randint(0, 300) for _ in range(16)]),
        (0x0006, ASCII, "IMG:PowerShot A70 JPEG"),
        (0x0007, ASCII, "Firmware Version 1.00"),
        (0x0008, LONG, rng.randint(1000000, 9999999)),
        (0x0009, ASCII, "Owner".ljust(31)),
    ]
    return entries


def photo(rng, when, serial):
    stamp = when.strftime("%Y:%m:%d %H:%M:%S")
    tiff = Tiff()
    ifd0, p0 = tiff.directory([
        (0x010F, ASCII, "Canon"),
        (0x0110, ASCII, "Canon PowerShot A70"),
        (0x0112, SHORT, 1),
        (0x011A, RATIONAL, (180, 1)),
        (0x011B, RATIONAL, (180, 1)),
        (0x0128, SHORT, 2),
        (0x0131, ASCII, "Firmware 1.00"),
        (0x0132, ASCII, stamp),
        (0x0213, SHORT, 1),
        (0x8769, LONG, 0),
    ])
    width, height = rng.choice([(2048, 1536), (1600, 1200), (1024, 768), (640, 480)])
    exif, pe = tiff.directory([
        (0x829A, RATIONAL, (1, rng.choice([30, 60, 125, 250, 500]))),
        (0x829D, RATIONAL, (rng.choice([28, 35, 40, 56, 80]), 10)),
        (0x8827, SHORT, rng.choice([50, 100, 200, 400])),
        (0x9000, UNDEFINED, b"0220"),
        (0x9003, ASCII, stamp),
        (0x9004, ASCII, stamp),
        (0x9101, UNDEFINED, b"\x01\x02\x03\x00"),
        (0x9102, RATIONAL, (3, 1)),
        (0x9201, SRATIONAL, (rng.randint(100, 300), 32)),
        (0x9202, RATIONAL, (rng.randint(90, 200), 32)),
        (0x9204, SRATIONAL, (0, 3)),
        (0x9205, RATIONAL, (95, 32)),
        (0x9207, SHORT, 5),
        (0x9209, SHORT, rng.choice([0, 1, 16, 24, 25])),
        (0x920A, RATIONAL, (rng.randint(5400, 16200), 1000)),
        (0x927C, LONG, 0),  # replaced below by the maker note's offset
        (0x9286, UNDEFINED, b"\0" * 264),
        (0xA000, UNDEFINED, b"0100"),
        (0xA001, SHORT, 1),
        (0xA002, SHORT, width),
        (0xA003, SHORT, height),
        (0xA005, LONG, 0),
        (0xA20E, RATIONAL, (width * 1000 // 5, 206)),
        (0xA20F, RATIONAL, (height * 1000 // 5, 155)),
        (0xA210, SHORT, 2),
        (0xA217, SHORT, 2),
    ])
    tiff.patch(p0[0x8769], exif)
    # The maker note: an UNDEFINED block holding a directory of its own.
    entries = maker_note(rng)
    # Built in place so that its value offsets count from the TIFF header.
    mn_offset, _ = tiff.directory(entries)
    mn_length = len(tiff.data) - mn_offset
    position = pe[0x927C] - 8  # the entry itself
    tiff.data[position:position + 12] = struct.pack("<HHII", 0x927C, UNDEFINED, mn_length, mn_offset)
    interop, _ = tiff.directory([(0x0001, ASCII, "R98"), (0x0002, UNDEFINED, b"0100")])
    tiff.patch(pe[0xA005], interop)
    thumb = thumbnail(rng)
    ifd1, p1 = tiff.directory([
        (0x0103, SHORT, 6),
        (0x011A, RATIONAL, (180, 1)),
        (0x011B, RATIONAL, (180, 1)),
        (0x0128, SHORT, 2),
        (0x0201, LONG, 0),
        (0x0202, LONG, len(thumb)),
    ])
    tiff.patch(ifd0 + 2 + 12 * 10, ifd1)  # IFD0's link to the next directory
    tiff.patch(p1[0x0201], tiff.append(thumb))
    app1 = segment(0xE1, b"Exif\0\0" + bytes(tiff.data))
    head, sos = tables()
    body = entropy(rng, max(512, int(2048 * (82 ** rng.random())) - 1024 - len(app1)))
    return b"\xff\xd8" + segment(0xE0, b"JFIF\0\x01\x01\x01\x00\xb4\x00\xb4\x00\x00") + app1 + head + sos + body + \
        b"\xff\xd9"


def main():
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    folder, count = sys.argv[1], int(sys.argv[2])
    rng = random.Random(int(sys.argv[3]) if len(sys.argv) > 3 else 2004)
    os.makedirs(folder, exist_ok=True)
    when = datetime.datetime(2004, 6, 12, 9, 0, 0)
    for i in range(count):
        if i > 0 and rng.random() >= 0.2:
            when += datetime.timedelta(seconds=rng.randint(1, 120))
        with open(os.path.join(folder, "dsc%05d.jpg" % (i + 1)), "wb") as out:
            out.write(photo(rng, when, i))


if __name__ == "__main__":
    main()
