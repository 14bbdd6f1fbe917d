#!/usr/bin/python3
"""Writes small files whose headers claim far more data than they hold.

Each reader must refuse them before allocating what they claim; the memory
limit test (tests/reader_memory_limits.test.sh) runs every reader on every
file under a memory limit. The files also seed the fuzzers.

Usage: make_hostile_files.py OUTPUT_FOLDER      (writes the files)
"""
import os
import struct
import sys

from make_genesis_fixtures import imgf_header


def implicit_le(group, element, value, length=None):
    """An implicit little-endian element; `length` overrides the stated length."""
    n = len(value) if length is None else length
    return struct.pack('<HHI', group, element, n) + value


def explicit_le(group, element, vr, value, length=None):
    n = len(value) if length is None else length
    if vr in (b'OB', b'OW', b'SQ', b'UN'):
        return struct.pack('<HH', group, element) + vr + b'\0\0' + struct.pack('<I', n) + value
    return struct.pack('<HH', group, element) + vr + struct.pack('<H', n) + value


def pad(data, size):
    return data + b'\0' * (size - len(data))


def nema_group_start():
    return implicit_le(0x0008, 0x0000, struct.pack('<I', 4))


def dicom_nema_2gb_element():
    # 140 bytes: long enough for the part 10 check at byte 128, and a patient
    # name that claims 2 GB.
    body = nema_group_start() + implicit_le(0x0010, 0x0010, b'', length=0x7FFFFFF0)
    return pad(body, 140)


def dicom_filemeta_2gb_element():
    meta = explicit_le(0x0002, 0x0010, b'UI', b'1.2.840.10008.1.2.1\0')
    meta = explicit_le(0x0002, 0x0000, b'UL', struct.pack('<I', len(meta))) + meta
    body = explicit_le(0x0009, 0x0010, b'OB', b'', length=0x7FFFFFF0)
    return b'\0' * 128 + b'DICM' + meta + pad(body, 24)


def dicom_65535_square():
    # Every value a complete slice needs, 65535 x 65535 16-bit pixels claimed,
    # eight bytes of pixel data present.
    body = nema_group_start()
    body += implicit_le(0x0009, 0x0010, b'\0' * 60)  # private filler: the file passes 132 bytes
    body += implicit_le(0x0018, 0x0050, b'1 ')
    body += implicit_le(0x0028, 0x0010, struct.pack('<H', 0xFFFF))
    body += implicit_le(0x0028, 0x0011, struct.pack('<H', 0xFFFF))
    body += implicit_le(0x0028, 0x0030, b'1\\1 ')
    body += implicit_le(0x0028, 0x0100, struct.pack('<H', 16))
    body += implicit_le(0x7FE0, 0x0010, b'\x01\x02' * 4)
    return body


def genesis_65535_square():
    return pad(imgf_header(156, 65535, 65535, 16, 1), 1100)


def genesis_4gb_line_table(compression):
    return pad(imgf_header(156, 256, 256, 16, compression, table=(156, -1)), 1100)


def genesis_2gb_line_table():
    return pad(imgf_header(156, 1024, 1024, 16, 2, table=(156, 0x7FFFFFF0)), 1100)


def signa_32767_square():
    # Pixel data at 400, depth 16, the image header at 156 (222 bytes) with a
    # thickness, 32767 columns and rows and the pixel sizes.
    image = bytearray(222)
    struct.pack_into('>f', image, 26, 1.0)
    struct.pack_into('>hh', image, 30, 0x7FFF, 0x7FFF)
    struct.pack_into('>ff', image, 50, 1.0, 1.0)
    return pad(imgf_header(400, 0, 0, 16, 0, exam=(0, 0), image=(156, 222)) + bytes(image), 420)


def raw_65535_square():
    # The raw factory entry's input: type byte (16-bit), the caller's header
    # text, then the file bytes.
    return pad(b'\x01<Axial: short>(65535,65535,1,1,1,1,1)\n', 100)


FILES = {
    'dicom_nema_2gb_element.dcm': dicom_nema_2gb_element,
    'dicom_filemeta_2gb_element.dcm': dicom_filemeta_2gb_element,
    'dicom_65535x65535.dcm': dicom_65535_square,
    'genesis_65535x65535.fre': genesis_65535_square,
    'genesis_packed_4gb_line_table.fre': lambda: genesis_4gb_line_table(2),
    'genesis_compressed_packed_4gb_line_table.fre': lambda: genesis_4gb_line_table(4),
    'genesis_packed_2gb_line_table.fre': genesis_2gb_line_table,
    'signa_32767x32767.img': signa_32767_square,
    'raw_65535x65535.in': raw_65535_square,
}


def main():
    for name, make in FILES.items():
        with open(os.path.join(sys.argv[1], name), 'wb') as f:
            f.write(make())


if __name__ == '__main__':
    main()
