#!/usr/bin/python3
"""Writes tests/data/modern/*.dcm with pydicom and expected.tsv, the values
pydicom reads back from them and from the real samples; DCMTK's dcmdump must
read the same element values, or nothing is written. Run from the project's
root: /usr/bin/python3 tests/make_modern_fixtures.py
"""
import os
import numpy as np
import pydicom
from pydicom.dataset import Dataset, FileMetaDataset
from pydicom.uid import ExplicitVRLittleEndian, ExplicitVRBigEndian, ImplicitVRLittleEndian, generate_uid

OUT = "tests/data/modern"


def base(rows, cols, bits=16, signed=0, photometric="MONOCHROME2", syntax=ExplicitVRLittleEndian):
    ds = Dataset()
    ds.file_meta = FileMetaDataset()
    ds.file_meta.MediaStorageSOPClassUID = "1.2.840.10008.5.1.4.1.1.4"
    ds.file_meta.MediaStorageSOPInstanceUID = generate_uid(entropy_srcs=[str(rows), str(cols), photometric])
    ds.file_meta.TransferSyntaxUID = syntax
    ds.SOPClassUID = ds.file_meta.MediaStorageSOPClassUID
    ds.SOPInstanceUID = ds.file_meta.MediaStorageSOPInstanceUID
    ds.SeriesInstanceUID = "1.2.826.0.1.3680043.8.498.1"
    ds.SeriesNumber = 7
    ds.SeriesDescription = "fixture"
    ds.InstanceNumber = 3
    ds.Rows, ds.Columns = rows, cols
    ds.SamplesPerPixel = 1
    ds.PhotometricInterpretation = photometric
    ds.BitsAllocated, ds.BitsStored, ds.HighBit = bits, bits, bits - 1
    ds.PixelRepresentation = signed
    return ds


def save(ds, name, pixels):
    ds.PixelData = pixels.tobytes()
    little = ds.file_meta.TransferSyntaxUID != ExplicitVRBigEndian
    if not little:
        ds.PixelData = pixels.astype(pixels.dtype.newbyteorder(">")).tobytes()
    ds.is_little_endian = little
    ds.is_implicit_VR = ds.file_meta.TransferSyntaxUID == ImplicitVRLittleEndian
    ds.save_as(os.path.join(OUT, name), write_like_original=False)


def ramp(rows, cols, lo, hi, dtype, frames=None):
    n = rows * cols * (frames or 1)
    a = np.linspace(lo, hi, n).astype(dtype)
    return a.reshape((frames, rows, cols) if frames else (rows, cols))


def write():
    os.makedirs(OUT, exist_ok=True)
    ds = base(32, 24)
    ds.PixelSpacing = [0.5, 0.8]
    ds.SliceThickness = 2
    ds.ImagePositionPatient = [-10, 20.5, 33]
    ds.ImageOrientationPatient = [1, 0, 0, 0, 0.8, -0.6]
    save(ds, "unsigned_anisotropic.dcm", ramp(32, 24, 2540, 42900, np.uint16))

    ds = base(20, 20, signed=1, syntax=ImplicitVRLittleEndian)
    save(ds, "no_geometry.dcm", ramp(20, 20, -500, 800, np.int16))

    ds = base(16, 16)
    ds.NumberOfFrames = 15
    ds.PixelSpacing = [3.5, 3.5]
    save(ds, "multiframe.dcm", ramp(16, 16, 3, 10061, np.uint16, frames=15))

    ds = base(24, 24, signed=1)
    ds.RescaleSlope, ds.RescaleIntercept = 1, -1024
    ds.WindowCenter, ds.WindowWidth = 40, 400
    ds.PixelSpacing = [0.7, 0.7]
    save(ds, "rescaled_ct.dcm", ramp(24, 24, 0, 2200, np.int16))

    ds = base(16, 20, bits=8, photometric="MONOCHROME1")
    save(ds, "monochrome1.dcm", ramp(16, 20, 0, 255, np.uint8))

    ds = base(18, 22, signed=1, syntax=ExplicitVRBigEndian)
    ds.PixelSpacing = [1.25, 1.5]
    save(ds, "big_endian.dcm", ramp(18, 22, -3000, 3100, np.int16))

    # 12 of 16 bits stored, garbage above the high bit: -2048, -1, 0, 2047 signed
    # and 2048, 4095, 0, 2047 unsigned.
    words = np.array([0x0800, 0x0FFF, 0x0000, 0x07FF] * 4, dtype=np.uint16) | np.uint16(0xA000)
    for signed, name in ((1, "bits12_signed.dcm"), (0, "bits12_unsigned.dcm")):
        ds = base(4, 4, signed=signed)
        ds.BitsStored, ds.HighBit = 12, 11
        save(ds, name, words)
    # The signed values with nothing above the high bit: sign-extended all the same.
    ds = base(4, 4, signed=1)
    ds.BitsStored, ds.HighBit = 12, 11
    save(ds, "bits12_signed_bare.dcm", words & np.uint16(0x0FFF))

    ds = base(16, 16, bits=8, photometric="PALETTE COLOR")
    for c, scale in (("Red", 1), ("Green", 2), ("Blue", 3)):
        setattr(ds, f"{c}PaletteColorLookupTableDescriptor", [256, 0, 16])
        lut = (np.arange(256, dtype=np.uint32) * 257 * scale // 3).astype(np.uint16)
        setattr(ds, f"{c}PaletteColorLookupTableData", lut.tobytes())
    save(ds, "palette.dcm", ramp(16, 16, 0, 255, np.uint8))


FIELDS = ["file", "Rows", "Columns", "NumberOfFrames", "PixelSpacing", "SliceThickness",
          "PhotometricInterpretation", "RescaleSlope", "RescaleIntercept", "WindowCenter",
          "TransferSyntaxUID", "dtype", "Minimum", "Maximum", "weighted_sum"]


def show(v):
    if v is None or v == "":
        return "null"
    if isinstance(v, (list, pydicom.multival.MultiValue)):
        return "\\".join(f"{float(x):g}" for x in v)
    if isinstance(v, int) and not isinstance(v, bool):
        return str(v)
    if isinstance(v, (float, pydicom.valuerep.DSfloat, pydicom.valuerep.IS)):
        return f"{float(v):g}"
    return str(v)


def weighted(a):
    """The values in file order, each times 1 + its index modulo 7: a sum that
    also changes when values trade places."""
    v = a.astype(np.int64).ravel()
    return int((v * (np.arange(v.size) % 7 + 1)).sum())


DCMTK_FIELDS = {"Rows": 1, "Columns": 2, "NumberOfFrames": 3, "PixelSpacing": 4, "SliceThickness": 5,
                "PhotometricInterpretation": 6, "RescaleSlope": 7, "RescaleIntercept": 8, "WindowCenter": 9}


def dcmtk_agrees(path, row):
    """The element values as DCMTK's dcmdump prints them, against pydicom's row."""
    import re, subprocess
    args = ["dcmdump", "-q"] + [a for k in DCMTK_FIELDS for a in ("+P", k)] + [path]
    out = subprocess.run(args, capture_output=True, text=True, check=True).stdout
    said = {}
    for line in out.splitlines():
        m = re.match(r"\(\w{4},\w{4}\) \w\w (\[(.*?)\]|(\S+)).*#.*\s(\w+)$", line)
        if m:
            said[m.group(4)] = m.group(2) if m.group(2) is not None else m.group(3)
    for key, column in DCMTK_FIELDS.items():
        value = said.get(key)
        if value is None or value.strip() == "":
            want = "null"
        elif key == "PhotometricInterpretation":
            want = value.strip()
        else:
            want = "\\".join(f"{float(x):g}" for x in value.split("\\"))
        assert want == row[column], (path, key, want, row[column])


def record(path):
    ds = pydicom.dcmread(path, force=True)
    ts = ds.file_meta.get("TransferSyntaxUID")
    if ts is None:  # no file meta: pydicom is told the syntax it found the elements in
        ds.file_meta.TransferSyntaxUID = ImplicitVRLittleEndian if ds.is_implicit_VR else ExplicitVRLittleEndian
    a = ds.pixel_array
    row = [path.replace("tests/data/", ""), ds.Rows, ds.Columns, ds.get("NumberOfFrames"), ds.get("PixelSpacing"),
           ds.get("SliceThickness"), ds.get("PhotometricInterpretation"), ds.get("RescaleSlope"),
           ds.get("RescaleIntercept"), ds.get("WindowCenter"), ts, str(a.dtype.newbyteorder("=")),
           int(a.min()), int(a.max()), weighted(a)]
    return "\t".join(show(v) for v in row)


REAL = ["dicom/pydicom/CT_small.dcm", "dicom/pydicom/MR_small_bigendian.dcm", "dicom/pydicom/MR_small_implicit.dcm",
        "dicom_slices/mr_small_nema.dcm"]

if __name__ == "__main__":
    write()
    # pydicom keeps the bits above the high bit; their values are literals in the test.
    files = sorted(os.path.join(OUT, f) for f in os.listdir(OUT) if f.endswith(".dcm") and "bits12" not in f)
    files += [os.path.join("tests/data", f) for f in REAL]
    with open(os.path.join(OUT, "expected.tsv"), "w") as out:
        out.write("\t".join(FIELDS) + "\n")
        for f in files:
            line = record(f)
            dcmtk_agrees(f, line.split("\t"))
            out.write(line + "\n")
