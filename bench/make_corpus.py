#!/usr/bin/python3
"""Writes the benchmark corpus: series of 16-bit MR slices written by pydicom,
and one compressed 512 x 512 GE Genesis image.

Each series is one folder of N files (default 1000) with a file list
`files.txt` beside them. Series written:

  explicit-512-b12  part 10, explicit VR little endian, 512 x 512, 12 bits stored
  explicit-512-b16  the same with 16 bits stored
  explicit-256-b12  part 10, explicit VR little endian, 256 x 256, 12 bits stored
  explicit-256-b16  the same with 16 bits stored
  implicit-512-b12  part 10, implicit VR little endian, 512 x 512, 12 bits stored
  nema-512-b12      ACR-NEMA: implicit VR little endian, no preamble, no meta group,
                    opening with the group length of group 0008
  nema-256-b12      the same at 256 x 256

and an archive for the volume benchmarks: archive/series-01 ... series-20,
20 series of 100 explicit VR 256 x 256 slices (12 bits stored), each its own
series UID and number.

The header is what an MR scanner typically writes: identification, patient,
study and series, acquisition parameters, geometry (position, orientation,
spacing), pixel description, window values and a private block of a few small
values and a 1 KiB blob. Every slice of a series has the same geometry and its
own instance number and position, so a series scan finds it consistent.

Usage: make_corpus.py OUTDIR [--files N] [--only NAME[,NAME...]]
"""
import argparse
import os
import struct
import sys

import numpy as np
import pydicom
import pydicom.filebase
from pydicom.dataset import Dataset, FileMetaDataset
from pydicom.filewriter import write_dataset
from pydicom.uid import ExplicitVRLittleEndian, ImplicitVRLittleEndian

MR_STORAGE = "1.2.840.10008.5.1.4.1.1.4"
ROOT = "1.2.826.0.1.3680043.9.7434."  # a private root for made-up UIDs

SERIES = {
    "explicit-512-b12": ("explicit", 512, 12),
    "explicit-512-b16": ("explicit", 512, 16),
    "explicit-256-b12": ("explicit", 256, 12),
    "explicit-256-b16": ("explicit", 256, 16),
    "implicit-512-b12": ("implicit", 512, 12),
    "nema-512-b12": ("nema", 512, 12),
    "nema-256-b12": ("nema", 256, 12),
}


def phantom(size, bits, seed):
    """A head-like phantom: nested ellipses, a smooth bias field and noise."""
    rng = np.random.default_rng(seed)
    y, x = np.mgrid[0:size, 0:size].astype(np.float64) / size - 0.5
    img = np.zeros((size, size))
    img[(x / 0.42) ** 2 + (y / 0.48) ** 2 < 1] = 0.55
    img[(x / 0.38) ** 2 + (y / 0.44) ** 2 < 1] = 0.35
    img[((x - 0.1) / 0.08) ** 2 + (y / 0.2) ** 2 < 1] = 0.8
    img[((x + 0.1) / 0.08) ** 2 + (y / 0.2) ** 2 < 1] = 0.8
    img *= 1.0 + 0.3 * np.cos(3 * x) * np.cos(2 * y)
    img += rng.normal(0.0, 0.02, img.shape)
    top = (1 << bits) - 1 if bits < 16 else 30000
    return np.clip(img * top, 0, top).astype(np.uint16)


def header(kind, size, bits, series_uid, study_uid, index, count, series_number=3):
    ds = Dataset()
    ds.SpecificCharacterSet = "ISO_IR 100"
    ds.ImageType = ["ORIGINAL", "PRIMARY", "M", "ND"]
    ds.SOPClassUID = MR_STORAGE
    ds.SOPInstanceUID = f"{series_uid}.{index + 1}"
    ds.StudyDate = ds.SeriesDate = ds.AcquisitionDate = ds.ContentDate = "20240315"
    ds.StudyTime = ds.SeriesTime = "101500.000000"
    ds.AcquisitionTime = ds.ContentTime = f"1015{index % 60:02d}.250000"
    ds.AccessionNumber = "A1234567"
    ds.Modality = "MR"
    ds.Manufacturer = "BENCH"
    ds.InstitutionName = "General Hospital"
    ds.ReferringPhysicianName = "Doe^John"
    ds.StationName = "MR1"
    ds.StudyDescription = "BRAIN"
    ds.SeriesDescription = "T1 AX"
    ds.ManufacturerModelName = "Bench 1.5T"
    ds.PatientName = "Phantom^Head"
    ds.PatientID = "PH0001"
    ds.PatientBirthDate = "19700101"
    ds.PatientSex = "O"
    ds.PatientAge = "054Y"
    ds.PatientWeight = "70"
    ds.ScanningSequence = "SE"
    ds.SequenceVariant = "SP"
    ds.ScanOptions = "PFP"
    ds.MRAcquisitionType = "2D"
    ds.SliceThickness = "3"
    ds.RepetitionTime = "500"
    ds.EchoTime = "14"
    ds.NumberOfAverages = "2"
    ds.ImagingFrequency = "63.86"
    ds.ImagedNucleus = "1H"
    ds.EchoNumbers = "1"
    ds.MagneticFieldStrength = "1.5"
    ds.SpacingBetweenSlices = "3.5"
    ds.EchoTrainLength = "1"
    ds.PercentSampling = "100"
    ds.PercentPhaseFieldOfView = "100"
    ds.SoftwareVersions = "1.0"
    ds.ProtocolName = "T1_AX"
    ds.ReceiveCoilName = "HEAD"
    ds.AcquisitionMatrix = [0, size, size, 0]
    ds.InPlanePhaseEncodingDirection = "ROW"
    ds.FlipAngle = "90"
    ds.SAR = "0.5"
    ds.PatientPosition = "HFS"
    ds.StudyInstanceUID = study_uid
    ds.SeriesInstanceUID = series_uid
    ds.StudyID = "1"
    ds.SeriesNumber = str(series_number)
    ds.AcquisitionNumber = "1"
    ds.InstanceNumber = str(index + 1)
    z = -0.5 * 3.5 * count + 3.5 * index
    ds.ImagePositionPatient = [f"{-0.5 * size * 0.47:.4f}", f"{-0.5 * size * 0.47:.4f}", f"{z:.4f}"]
    ds.ImageOrientationPatient = ["1", "0", "0", "0", "1", "0"]
    ds.FrameOfReferenceUID = series_uid + ".0"
    ds.PositionReferenceIndicator = ""
    ds.SliceLocation = f"{z:.4f}"
    ds.SamplesPerPixel = 1
    ds.PhotometricInterpretation = "MONOCHROME2"
    ds.Rows = size
    ds.Columns = size
    ds.PixelSpacing = ["0.47", "0.47"]
    ds.BitsAllocated = 16
    ds.BitsStored = bits
    ds.HighBit = bits - 1
    ds.PixelRepresentation = 0
    ds.SmallestImagePixelValue = 0
    ds.LargestImagePixelValue = 4095 if bits == 12 else 30000
    ds.WindowCenter = "600"
    ds.WindowWidth = "1200"
    # A private block as scanners write them: a creator, a few numbers, a blob.
    ds.add_new(0x00190010, "LO", "BENCH_PRIVATE")
    ds.add_new(0x00191001, "DS", "1.25")
    ds.add_new(0x00191002, "IS", "7")
    ds.add_new(0x00191003, "LO", "bench protocol")
    ds.add_new(0x00191010, "OB", bytes(range(256)) * 4)
    return ds


def group_length(ds, group):
    """Length in bytes of one group's elements, as implicit little endian."""
    part = Dataset()
    for elem in ds:
        if elem.tag.group == group and elem.tag.element != 0:
            part.add(elem)
    buf = pydicom.filebase.DicomBytesIO()
    buf.is_little_endian = True
    buf.is_implicit_VR = True
    write_dataset(buf, part)
    return len(buf.getvalue())


def write_series(outdir, name, count, folder=None, series_number=3):
    kind, size, bits = SERIES[name]
    folder = folder or os.path.join(outdir, name)
    os.makedirs(folder, exist_ok=True)
    base = phantom(size, bits, seed=size + bits)
    series_uid = f"{ROOT}{size}.{bits}.{len(kind)}.{series_number}"
    study_uid = f"{ROOT}1"
    names = []
    for i in range(count):
        ds = header(kind, size, bits, series_uid, study_uid, i, count, series_number)
        pixels = np.roll(base, i % size, axis=0)  # every slice differs a little
        ds.PixelData = pixels.tobytes()
        ds["PixelData"].VR = "OW"
        path = os.path.join(folder, f"IM{i + 1:05d}.dcm")
        if kind == "nema":
            # ACR-NEMA files open with the group length of group 0008, which
            # pydicom no longer writes: it is put in front of pydicom's bytes.
            buf = pydicom.filebase.DicomBytesIO()
            buf.is_little_endian = True
            buf.is_implicit_VR = True
            write_dataset(buf, ds)
            with open(path, "wb") as f:
                f.write(struct.pack("<HHII", 0x0008, 0x0000, 4, group_length(ds, 0x0008)))
                f.write(buf.getvalue())
        else:
            meta = FileMetaDataset()
            meta.MediaStorageSOPClassUID = MR_STORAGE
            meta.MediaStorageSOPInstanceUID = ds.SOPInstanceUID
            meta.TransferSyntaxUID = ExplicitVRLittleEndian if kind == "explicit" else ImplicitVRLittleEndian
            ds.file_meta = meta
            ds.is_little_endian = True
            ds.is_implicit_VR = kind == "implicit"
            ds.preamble = b"\0" * 128
            ds.save_as(path, write_like_original=False)
        names.append(path)
    with open(os.path.join(folder, "files.txt"), "w") as f:
        f.write("\n".join(names) + "\n")
    return names


def encode_genesis_compressed(values):
    """GE Genesis compressed stream: 1-byte deltas -64..63, 2-byte deltas
    -8192..8191, and 3-byte absolute values for anything larger."""
    out = bytearray()
    cur = 0
    for v in values.tolist():
        d = v - cur
        if -64 <= d <= 63:
            out.append(d & 0x7F)
        elif -8192 <= d <= 8191:
            w = d & 0x3FFF
            out += bytes((0x80 | (w >> 8), w & 0xFF))
        else:
            out += bytes((0xC0, (v >> 8) & 0xFF, v & 0xFF))
        cur = v
    return bytes(out)


def write_genesis(outdir):
    """A compressed (method 3) 512 x 512 16-bit Genesis image of the phantom."""
    size = 512
    img = phantom(size, 12, seed=99)
    stream = encode_genesis_compressed(img.reshape(-1).astype(np.int64))
    exam_off, image_off = 156, 156 + 1040
    pix_off = image_off + 1044
    hdr = bytearray(156)
    struct.pack_into(">4siiiii", hdr, 0, b"IMGF", pix_off, size, size, 16, 3)
    struct.pack_into(">i", hdr, 132, exam_off)
    struct.pack_into(">i", hdr, 148, image_off)
    exam = bytearray(1040)
    exam[0:2] = b"CT"
    image = bytearray(1044)
    struct.pack_into(">h", image, 12, 1)           # image number
    struct.pack_into(">f", image, 26, 3.0)         # slice thickness
    struct.pack_into(">ff", image, 50, 0.47, 0.47)  # pixel width and height
    struct.pack_into(">h", image, 114, 2)          # axial
    struct.pack_into(">f", image, 116, 3.5)        # spacing
    path = os.path.join(outdir, "genesis-512-compressed.MR")
    with open(path, "wb") as f:
        f.write(hdr + exam + image + stream)
    return path


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("outdir")
    ap.add_argument("--files", type=int, default=1000)
    ap.add_argument("--only", default="", help="comma-separated series names")
    args = ap.parse_args()
    wanted = [s for s in args.only.split(",") if s] or list(SERIES)
    for name in wanted:
        if name not in SERIES:
            sys.exit(f"unknown series {name}; known: {', '.join(SERIES)}")
    os.makedirs(args.outdir, exist_ok=True)
    for name in wanted:
        write_series(args.outdir, name, args.files)
        print(f"{name}: {args.files} files", flush=True)
    print("genesis:", write_genesis(args.outdir))
    for k in range(1, 21):
        write_series(args.outdir, "explicit-256-b12", 100, os.path.join(args.outdir, "archive", f"series-{k:02d}"), k)
    print("archive: 20 series of 100 files")
    with open(os.path.join(args.outdir, "corpus.txt"), "w") as f:
        f.write(f"files={args.files}\nseries={','.join(wanted)}\narchive=20x100\npydicom={pydicom.__version__}\n")


if __name__ == "__main__":
    main()
