#!/usr/bin/python3
"""Writes tests/data/dicom_slices with pydicom (its MR_small image as NEMA
streams, synthetic images) and pixel_table.txt, the values pydicom reads from
them and from the real files copied from ITK's test data; never the library's.
Run from anywhere:  /usr/bin/python3 tests/make_dicom_slice_fixtures.py
"""
import io
import os
import sys

import numpy as np
import pydicom
from pydicom.dataelem import DataElement
from pydicom.dataset import Dataset
from pydicom.filebase import DicomFileLike
from pydicom.filewriter import write_data_element, write_dataset

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "data", "dicom_slices")
PYDICOM_FILES = os.path.join(os.path.dirname(pydicom.__file__), "data", "test_files")


def group_bytes(ds, group, little_endian):
    part = Dataset()
    for elem in ds.group_dataset(group):
        part.add(elem)
    buf = DicomFileLike(io.BytesIO())
    buf.is_little_endian = little_endian
    buf.is_implicit_VR = True
    return write_dataset(buf, part)


def write_stream(ds, path, preamble=False, little_endian=True, group_length=False):
    """Bare implicit-VR elements, after a preamble and "DICM" or opening with group 0008's length."""
    with open(path, "wb") as raw:
        if preamble:
            raw.write(b"\0" * 128 + b"DICM")
        fp = DicomFileLike(raw)
        fp.is_little_endian = little_endian
        fp.is_implicit_VR = True
        if group_length:
            length = DataElement(0x00080000, "UL", group_bytes(ds, 0x0008, little_endian))
            write_data_element(fp, length)
        write_dataset(fp, ds)


def read_stream(path, little_endian=True):
    with open(path, "rb") as f:
        head = f.read(132)
        start = 132 if head[128:132] == b"DICM" else 0
        f.seek(start)
        ds = pydicom.filereader.read_dataset(f, is_implicit_VR=True, is_little_endian=little_endian)
    ds.file_meta = pydicom.dataset.FileMetaDataset()
    ds.file_meta.TransferSyntaxUID = (pydicom.uid.ImplicitVRLittleEndian if little_endian
                                      else pydicom.uid.ExplicitVRBigEndian)
    ds.is_implicit_VR = True
    ds.is_little_endian = little_endian
    return ds


def synthetic(rows, cols, bits, seed):
    rng = np.random.default_rng(seed)
    ds = Dataset()
    for key, value in dict(SOPClassUID="1.2.840.10008.5.1.4.1.1.4", Modality="MR", PatientName="Fixture^Slice",
                           PatientID="QUARN-%d" % seed, SliceThickness="2.5", SeriesNumber="3", InstanceNumber="7",
                           ImageOrientationPatient=[0, 1, 0, 0, 0, -1], SamplesPerPixel=1,
                           PhotometricInterpretation="MONOCHROME2", Rows=rows, Columns=cols, PixelSpacing=[0.75, 0.75],
                           BitsAllocated=bits, BitsStored=bits, HighBit=bits - 1,
                           PixelRepresentation=int(bits != 8)).items():
        setattr(ds, key, value)
    if bits == 8:
        arr = rng.integers(0, 256, size=(rows, cols), dtype=np.uint8)
    else:
        arr = rng.integers(-32768, 32768, size=(rows, cols), dtype=np.int16)
    ds.PixelData = arr.tobytes()
    return ds


def fnv1a64(data):
    h = 0xCBF29CE484222325
    for b in data:
        h ^= b
        h = (h * 0x100000001B3) & 0xFFFFFFFFFFFFFFFF
    return h


def table_line(name, ds, pixels):
    first = pixels[0] if pixels.ndim == 3 else pixels
    bits = int(ds.BitsAllocated)
    values = first.astype("<u1" if bits == 8 else "<i2")
    rows, cols = values.shape
    valid = all(ds.get(k) not in (None, "") for k in ("Rows", "Columns", "SliceThickness", "PixelSpacing"))
    spacing = "%.6g" % float(ds.PixelSpacing[0]) if ds.get("PixelSpacing") else "-"
    thickness = "%.6g" % float(ds.SliceThickness) if ds.get("SliceThickness") not in (None, "") else "-"
    flat = values.reshape(-1)
    picks = sorted({0, len(flat) // 3, len(flat) // 2 + 1, len(flat) - 1})
    samples = " ".join("%d:%d" % (i, int(flat[i])) for i in picks)
    return "%s %s %d %d %016x %d %d %s %s %s" % (
        name, "uchar" if bits == 8 else "short", rows, cols, fnv1a64(values.tobytes()),
        int(values.astype(np.int64).sum()), int(valid), spacing, thickness, samples)


def main():
    os.makedirs(OUT, exist_ok=True)
    lines = []

    def put(ds, name, little_endian=True, same_as=None, **how):
        """Writes a stream and gives the table line of what pydicom reads back from it."""
        path = os.path.join(OUT, name)
        write_stream(ds, path, little_endian=little_endian, **how)
        back = read_stream(path, little_endian=little_endian)
        assert same_as is None or np.array_equal(back.pixel_array, same_as), name
        return table_line(name, back, back.pixel_array)

    # pydicom's MR_small image, written as a NEMA stream and behind a preamble.
    mr = pydicom.dcmread(os.path.join(PYDICOM_FILES, "MR_small_implicit.dcm"))
    truth = mr.pixel_array
    lines += [put(mr, "mr_small_nema.dcm", same_as=truth), put(mr, "mr_small_preamble.dcm", True, truth, preamble=True)]
    # The same image big-endian, opening with group 0008's length (how the element reader tells the order).
    be = mr.copy()
    be.PixelData = truth.astype(">i2").tobytes()
    lines.append("# big-endian: " + put(be, "mr_small_nema_bigendian.dcm", False, truth, group_length=True))

    # 8-bit of odd size with Siemens private elements; 16-bit signed without a thickness.
    odd = synthetic(37, 23, 8, 1)
    odd.add_new(0x00211020, "IS", "17")
    odd.add_new(0x00211221, "DS", "5.5")
    lines.append(put(odd, "synthetic_8bit_37x23.dcm"))
    even = synthetic(40, 48, 16, 2)
    del even.SliceThickness
    lines.append(put(even, "synthetic_16bit_40x48.dcm", preamble=True))

    # Real implicit little-endian files without file meta (ITK test data).
    for name in ("NoPreambleDicomTest.dcm", "OT-PAL-8-face.dcm", "dicom-sc_cs-1.dcm"):
        path = os.path.join(OUT, name)
        ds = pydicom.dcmread(path, force=True)
        ds.file_meta = pydicom.dataset.FileMetaDataset()
        ds.file_meta.TransferSyntaxUID = pydicom.uid.ImplicitVRLittleEndian
        lines.append(table_line(name, ds, ds.pixel_array))

    with open(os.path.join(OUT, "pixel_table.txt"), "w") as f:
        f.write("# Written by tests/make_dicom_slice_fixtures.py from pydicom %s.\n" % pydicom.__version__)
        f.write("# file type rows cols fnv1a64 sum valid pixel_spacing thickness index:value...\n")
        f.write("\n".join(lines) + "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
