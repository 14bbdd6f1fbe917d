#!/usr/bin/python3
"""Writes small GE Genesis ("IMGF") files for the reader's tests: for each storage
method (1 plain, 2 packed, 3 compressed, 4 both) and depth (8, 16 bits)
gem_<method>_<depth>.fre, and .pixels, the expected image as little-endian int16
row by row. Usage: make_genesis_fixtures.py OUTPUT_FOLDER

All numbers are big-endian; imgf_header is the one packer of the 156-byte header.
Packed methods have a line table of (start, run) int16 pairs; the pixels outside
a row's run take the background shade's low byte in each of their bytes.
"""
import os
import random
import struct
import sys

WIDTH, HEIGHT = 24, 17
EXAM_OFF, IMAGE_OFF, TABLE_OFF = 156, 156 + 1040, 156 + 1040 + 1044
BACKGROUND = 0x7F000005
IMAGE_NUMBER, EXAM_NUMBER = 37, 4242
THICKNESS, SPACING, PIX_X, PIX_Y, PLANE = 2.5, 3.25, 0.75, 0.875, 8  # coronal


def image_values(rng, depth):
    """Values that exercise every form of the compressed encoding."""
    lo, hi = (0, 255) if depth == 8 else (-32768, 32767)
    values, v = [], (lo + hi) // 2
    for _ in range(WIDTH * HEIGHT):
        kind = rng.random()
        if kind < 0.5:
            v += rng.randint(-64, 63)
        elif kind < 0.8:
            v += rng.randint(-8192, 8191) if depth == 16 else rng.randint(-120, 120)
        else:
            v = rng.randint(lo, hi)
        v = max(lo, min(hi, v))
        values.append(v)
    return values


def encode_compressed(values, rng):
    """The compressed encoding: 1-byte deltas -64..63, 2-byte deltas
    -8192..8191 (prefix bits 10), or a 3-byte absolute value (prefix bits 11).
    A longer form is sometimes chosen where a shorter one would do."""
    out, current = bytearray(), 0
    for value in values:
        u = value & 0xFFFF
        delta = (u - current) & 0xFFFF
        if delta >= 0x8000:
            delta -= 0x10000
        choice = rng.random()
        if -64 <= delta <= 63 and choice < 0.7:
            out.append(delta if delta >= 0 else delta + 128)
        elif -8192 <= delta <= 8191 and choice < 0.9:
            high, low = delta >> 8, delta & 0xFF  # floor division keeps low in 0..255
            out += bytes([0x80 | high if delta >= 0 else 0x80 | (high + 64), low])
        else:
            out += bytes([0xC0 | rng.randint(0, 63), u >> 8, u & 0xFF])
        current = u
    return bytes(out)


def line_runs(rng):
    runs = [(0, WIDTH), (5, 0), (WIDTH - 1, 1)]  # a full row, an empty row, the last column only
    while len(runs) < HEIGHT - 1:
        start = rng.randint(0, WIDTH - 1)
        runs.append((start, rng.randint(0, WIDTH - start)))
    runs.append((3, WIDTH - 6))  # the last row ends with stored pixels
    return runs


def be16(v):
    return struct.pack(">h", v)


def imgf_header(data_off, width, height, depth, compression, background=0, table=(0, 0), exam=(0, 1040),
                image=(0, 1044)):
    """The 156-byte "IMGF" header: offsets and lengths of the line table, exam and image headers."""
    head = bytearray(156)
    head[0:4] = b"IMGF"
    for off, v in ((4, data_off), (8, width), (12, height), (16, depth), (20, compression), (32, background),
                   (64, table[0]), (68, table[1]), (132, exam[0]), (136, exam[1]), (148, image[0]), (152, image[1])):
        head[off:off + 4] = struct.pack(">i", v)
    return bytes(head)


def make(method, depth, rng):
    values = image_values(rng, depth)
    gap_byte = BACKGROUND & 0xFF
    gap = gap_byte if depth == 8 else struct.unpack(">h", bytes([gap_byte, gap_byte]))[0]
    table, expected = b"", list(values)
    if method in (1, 3):
        stored = values
    else:
        runs = line_runs(rng)
        table = b"".join(be16(s) + be16(n) for s, n in runs)
        stored = []
        for r, (s, n) in enumerate(runs):
            row = values[r * WIDTH:(r + 1) * WIDTH]
            stored += row[s:s + n]
            expected[r * WIDTH:(r + 1) * WIDTH] = [gap] * s + row[s:s + n] + [gap] * (WIDTH - s - n)
    if method == 1:
        data = bytes(stored) if depth == 8 else b"".join(be16(v) for v in stored)
    elif method == 2:
        data = b"".join(be16(v) for v in stored)
    else:
        data = encode_compressed(stored, rng)

    data_off = TABLE_OFF + len(table)
    head = imgf_header(data_off, WIDTH, HEIGHT, depth, method, BACKGROUND, (TABLE_OFF if table else 0, len(table)),
                       (EXAM_OFF, 1040), (IMAGE_OFF, 1044))
    exam = bytearray(1040)
    exam[8:10] = be16(EXAM_NUMBER)
    image = bytearray(1044)
    image[12:14] = be16(IMAGE_NUMBER)
    image[26:30] = struct.pack(">f", THICKNESS)
    image[30:32], image[32:34] = be16(WIDTH), be16(HEIGHT)
    image[50:54], image[54:58] = struct.pack(">f", PIX_X), struct.pack(">f", PIX_Y)
    image[114:116] = be16(PLANE)
    image[116:120] = struct.pack(">f", SPACING)
    return bytes(head) + bytes(exam) + bytes(image) + table + data, expected


def main():
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    rng = random.Random(20240607)
    for method in (1, 2, 3, 4):
        for depth in (8, 16):
            blob, expected = make(method, depth, rng)
            base = os.path.join(folder, "gem_%d_%d" % (method, depth))
            with open(base + ".fre", "wb") as f:
                f.write(blob)
            with open(base + ".pixels", "wb") as f:
                f.write(b"".join(struct.pack("<h", v) for v in expected))


if __name__ == "__main__":
    main()
