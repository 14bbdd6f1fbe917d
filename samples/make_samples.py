#!/usr/bin/python3
"""Writes the generated sample files of this folder (see SOURCES.md).

Every generated slice holds a known ramp: the pixel in column x and row y of a
64 x 64 slice has the value 64 * y + x plus a per-file base, so that pictures
made from them can be checked pixel by pixel.

Run from anywhere: /usr/bin/python3 samples/make_samples.py
"""
import os
import struct

import pydicom
from pydicom.dataset import Dataset, FileMetaDataset
from pydicom.uid import ExplicitVRLittleEndian, ImplicitVRLittleEndian, generate_uid

HERE = os.path.dirname(os.path.abspath(__file__))
N = 64


def ramp(base=0):
    return [base + 64 * y + x for y in range(N) for x in range(N)]


def write(rel, data):
    path = os.path.join(HERE, rel)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def raw_samples():
    write("raw/ramp16.raw", struct.pack("<%dh" % (N * N), *ramp()))
    write("raw/ramp16.hdr", b"<Axial: short>(64,64,0.5,0.5,3,0,1)\n")


def dicom_dataset(instance, base, z):
    ds = Dataset()
    ds.SOPClassUID = "1.2.840.10008.5.1.4.1.1.4"  # MR Image Storage
    ds.SOPInstanceUID = "1.2.826.0.1.3680043.9.7433.1.%d" % instance
    ds.Modality = "MR"
    ds.PatientName = "Ramp^Sample"
    ds.PatientID = "QUARN-SAMPLE"
    ds.PatientPosition = "HFS"
    ds.StudyInstanceUID = "1.2.826.0.1.3680043.9.7433.2"
    ds.SeriesInstanceUID = "1.2.826.0.1.3680043.9.7433.3"
    ds.InstanceNumber = instance
    ds.SliceThickness = "3"
    ds.SpacingBetweenSlices = "3"
    ds.ImagePositionPatient = ["-16", "-16", str(z)]
    ds.ImageOrientationPatient = ["1", "0", "0", "0", "1", "0"]
    ds.SamplesPerPixel = 1
    ds.PhotometricInterpretation = "MONOCHROME2"
    ds.Rows = N
    ds.Columns = N
    ds.PixelSpacing = ["0.5", "0.5"]
    ds.BitsAllocated = 16
    ds.BitsStored = 16
    ds.HighBit = 15
    ds.PixelRepresentation = 1
    ds.PixelData = struct.pack("<%dh" % (N * N), *ramp(base))
    return ds


def dicom_samples():
    # A three-slice series, written in the file order c, a, b so that a sort by
    # image number is visible.
    for name, instance in (("slice_c.dcm", 3), ("slice_a.dcm", 1), ("slice_b.dcm", 2)):
        ds = dicom_dataset(instance, 1000 * (instance - 1), 3 * instance)
        meta = FileMetaDataset()
        meta.MediaStorageSOPClassUID = ds.SOPClassUID
        meta.MediaStorageSOPInstanceUID = ds.SOPInstanceUID
        meta.TransferSyntaxUID = ExplicitVRLittleEndian
        meta.ImplementationClassUID = "1.2.826.0.1.3680043.9.7433.9"
        ds.file_meta = meta
        ds.is_little_endian = True
        ds.is_implicit_VR = False
        path = os.path.join(HERE, "dicom/series", name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        ds.save_as(path, write_like_original=False)
    # An ACR-NEMA style file: no preamble, no "DICM", no file meta, implicit VR.
    ds = dicom_dataset(1, 0, 0)
    ds.ImageType = ["ORIGINAL", "PRIMARY"]
    ds.add_new(0x00080010, "LO", "ACR-NEMA 2.0")  # Recognition Code
    ds.is_little_endian = True
    ds.is_implicit_VR = True
    path = os.path.join(HERE, "dicom/acr_nema_ramp.img")
    pydicom.dcmwrite(path, ds, write_like_original=True)


def siemens_sample():
    h = bytearray(6144)
    h[96:103] = b"SIEMENS"
    h[105:130] = b"Quarn sample generator   "
    h[281:296] = b"RAMP GENERATOR "
    h[768:793] = b"Ramp^Sample              "
    h[795:807] = b"QUARN-SAMPLE"
    struct.pack_into(">d", h, 1544, 3.0)            # slice thickness
    struct.pack_into(">d", h, 3744, N * 0.5)        # field of view, height
    struct.pack_into(">d", h, 3752, N * 0.5)        # field of view, width
    struct.pack_into(">d", h, 5000, 0.5)            # pixel height
    struct.pack_into(">d", h, 5008, 0.5)            # pixel width
    h[5529:5536] = b"HFS    "
    h[5546:5551] = b"   7\0"                      # image number
    h[5814:5817] = b"Cor"                           # plane
    write("siemens/ramp.ima", bytes(h) + struct.pack(">%dh" % (N * N), *ramp(500)))


def imgf_sample():
    image_header_at, image_header_len = 156, 1044
    pixels_at = image_header_at + image_header_len
    c = bytearray(156)
    c[0:4] = b"IMGF"
    struct.pack_into(">iiiii", c, 4, pixels_at, N, N, 16, 1)  # offset, width, height, depth, compression
    struct.pack_into(">i", c, 32, 0)                          # background shade
    struct.pack_into(">h", c, 52, 3)                          # header version
    struct.pack_into(">ii", c, 148, image_header_at, image_header_len)
    i = bytearray(image_header_len)
    struct.pack_into(">h", i, 12, 5)       # image number
    struct.pack_into(">f", i, 26, 2.0)     # slice thickness
    struct.pack_into(">hh", i, 30, N, N)   # columns, rows
    struct.pack_into(">f", i, 50, 0.75)    # pixel sizes
    struct.pack_into(">f", i, 54, 0.75)
    struct.pack_into(">h", i, 114, 2)      # plane code
    struct.pack_into(">f", i, 116, 2.5)    # slice spacing
    write("ge/ramp.imgf", bytes(c) + bytes(i) + struct.pack(">%dh" % (N * N), *ramp(200)))


if __name__ == "__main__":
    raw_samples()
    dicom_samples()
    siemens_sample()
    imgf_sample()
