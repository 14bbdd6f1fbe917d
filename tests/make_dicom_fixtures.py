#!/usr/bin/python3
"""Writes tests/data/dicom/generated/*.dcm with pydicom (run with
/usr/bin/python3); expected.tsv beside them is data (see PROVENANCE.md)."""
import os
import struct

import pydicom
from pydicom.dataelem import DataElement
from pydicom.dataset import Dataset, FileMetaDataset
from pydicom.filebase import DicomBytesIO
from pydicom.filewriter import write_dataset
from pydicom.sequence import Sequence
from pydicom.uid import ExplicitVRLittleEndian, ImplicitVRLittleEndian

HERE = os.path.dirname(os.path.abspath(__file__))
DATA = os.path.join(HERE, "data", "dicom")
UID_ROOT = "1.2.826.0.1.3680043.8.498.77."
MR_STORAGE = "1.2.840.10008.5.1.4.1.1.4"


def image(rows=16, cols=16, bits=16, number="1", orientation="1\\0\\0\\0\\1\\0", spacing="0.5\\0.5",
          thickness="2.5", position="-40\\-40\\12.5", pixels=None, uid="1"):
    """A small MR image data set; None leaves an element out."""
    if pixels is None:
        pixels = bytes((i * 7) & 0xFF for i in range(rows * cols * (bits // 8)))
    ds = Dataset()
    for tag, vr, value in [
            (0x00080016, "UI", MR_STORAGE), (0x00080018, "UI", UID_ROOT + uid), (0x00080060, "CS", "MR"),
            (0x00100010, "PN", "Fixture^Generated"), (0x00180050, "DS", thickness), (0x00185100, "CS", "HFS"),
            (0x00200013, "IS", number), (0x00200032, "DS", position), (0x00200037, "DS", orientation),
            (0x00280002, "US", 1), (0x00280004, "CS", "MONOCHROME2"), (0x00280010, "US", rows),
            (0x00280011, "US", cols), (0x00280030, "DS", spacing), (0x00280100, "US", bits),
            (0x00280101, "US", bits), (0x00280102, "US", bits - 1), (0x00280103, "US", 0),
            (0x7FE00010, "OB" if bits == 8 else "OW", pixels)]:
        if value is not None:
            ds.add_new(tag, vr, value)
    return ds


def part10(ds, transfer_syntax=ExplicitVRLittleEndian, preamble=True):
    meta = FileMetaDataset()
    meta.MediaStorageSOPClassUID = ds[0x00080016].value
    meta.MediaStorageSOPInstanceUID = ds[0x00080018].value
    meta.TransferSyntaxUID = transfer_syntax
    meta.ImplementationClassUID = UID_ROOT + "999"
    meta.ImplementationVersionName = "QUARN_FIXTURES"
    ds.file_meta = meta
    ds.is_little_endian = True
    ds.is_implicit_VR = transfer_syntax == ImplicitVRLittleEndian
    ds.preamble = b"\0" * 128
    out = DicomBytesIO()
    pydicom.dcmwrite(out, ds, write_like_original=False)
    data = out.getvalue()
    return data if preamble else data[128:]


def nema(ds, little=True, group_length=True):
    """An ACR-NEMA style file: no preamble, no "DICM", no file meta, implicit VR."""
    out = DicomBytesIO()
    out.is_little_endian, out.is_implicit_VR = little, True
    write_dataset(out, ds)
    data = out.getvalue()
    if group_length:
        # pydicom leaves group lengths out of a data set; write (0008,0000) UL
        # in front, valued with the length of the group 0008 elements.
        group8 = DicomBytesIO()
        group8.is_little_endian, group8.is_implicit_VR = little, True
        write_dataset(group8, Dataset({t: ds[t] for t in ds.keys() if t >> 16 == 0x0008}))
        order = "<" if little else ">"
        data = struct.pack(order + "HHII", 0x0008, 0x0000, 4, len(group8.getvalue())) + data
    return data


def sequence(tag, items, undefined):
    seq = Sequence(items)
    elem = DataElement(tag, "SQ", seq)
    elem.is_undefined_length = undefined
    for item in items:
        item.is_undefined_length_sequence_item = undefined
    return elem


def item(**elements):
    ds = Dataset()
    for tag, (vr, value) in elements.items():
        ds.add_new(int(tag[1:], 16), vr, value)
    return ds


def generated_files():
    files = {}

    # ACR-NEMA without preamble, implicit VR, little and big endian, opening
    # with the group length (0008,0000) of length 4.
    files["nema_implicit_le.dcm"] = nema(image(number="12", orientation="0\\1\\0\\0\\0\\-1", uid="10"))
    files["nema_implicit_be.dcm"] = nema(image(number="13", orientation="1\\0\\0\\0\\0\\-1", uid="11"), little=False)
    # ACR-NEMA files opening with the other elements such files start with,
    # and one opening with an element they do not start with.
    for element, vr, value in [(0x0001, "UL", 1234), (0x0005, "CS", "ISO_IR 100"),
                               (0x0008, "CS", "ORIGINAL\\PRIMARY"), (0x0018, "UI", UID_ROOT + "18")]:
        ds = image(uid="2%d" % element)
        if element != 0x0018:
            del ds[0x00080018]
        ds.add_new(0x00080000 | element, vr, value)
        if element != 0x0016:
            del ds[0x00080016]
        files["nema_opens_0008_%04X.dcm" % element] = nema(ds, group_length=False)
    ds = image(uid="22")
    del ds[0x00080018]
    files["nema_opens_0008_0016.dcm"] = nema(ds, group_length=False)

    # Part 10 variants: 8-bit with frames, "DICM" without preamble, implicit VR.
    ds = image(bits=8, number="4", uid="30")
    ds.add_new(0x00280008, "IS", "3")
    files["filemeta_8bit_frames.dcm"] = part10(ds)
    files["filemeta_no_preamble.dcm"] = part10(image(number="5", uid="31"), preamble=False)
    files["filemeta_implicit.dcm"] = part10(image(number="6", orientation="0\\1\\0\\0\\0\\-1", uid="32"),
                                           ImplicitVRLittleEndian)

    # Sequences: an undefined-length sequence whose items hold elements the
    # reader acts on, and the same with defined lengths, which it passes over.
    for undefined, name in [(True, "seq_undefined.dcm"), (False, "seq_defined.dcm")]:
        ds = image(number="7", uid="40" if undefined else "41")
        ds[0x00081140] = sequence(0x00081140, [item(x00200013=("IS", "12"))], undefined)
        ds[0x00400275] = sequence(0x00400275, [item(x00280010=("US", 32), x00180050=("DS", "7.5"),
                                                      x00200037=("DS", "1\\0\\0\\0\\0\\-1"))], undefined)
        files[name] = part10(ds)
    # An out-of-range image number inside an undefined-length sequence, then a valid one.
    ds = image(number="7", uid="42")
    ds[0x00081140] = sequence(0x00081140, [item(x00200013=("IS", "9000"))], True)
    files["seq_image_number_out_of_range.dcm"] = part10(ds)
    # A pixel data element inside an undefined-length item (an icon) ends the read.
    ds = image(uid="43")
    icon = item(x00280010=("US", 4), x00280011=("US", 4), x00280100=("US", 8), x7FE00010=("OB", bytes(16)))
    ds[0x00880200] = sequence(0x00880200, [icon], True)
    files["seq_icon_pixels.dcm"] = part10(ds)

    # Palette tables of 512 bytes each, with elements after them.
    ds = image(bits=8, uid="50")
    ds[0x00280004].value = "PALETTE COLOR"
    for t in (0x00281101, 0x00281102, 0x00281103):
        ds.add_new(t, "US", [256, 0, 16])
    for t in (0x00281201, 0x00281202, 0x00281203):
        ds.add_new(t, "OW", bytes(range(256)) * 2)
    ds.add_new(0x00282110, "CS", "00")
    ds.add_new(0x00400254, "LO", "after the palette")
    files["palette_8bit.dcm"] = part10(ds)

    # Odd and missing values: no thickness, an image number out of range,
    # zero frames, a pixel spacing whose two sizes are split by a NUL byte.
    ds = image(number="9000", thickness=None, orientation=None, uid="60")
    ds.add_new(0x00280008, "IS", "0")
    ds.add_new(0x00180088, "DS", "3.25")
    del ds[0x00280030]
    ds[0x00280030] = DataElement(0x00280030, "OB", b"0.5\x000.75")
    files["odd_values.dcm"] = nema(ds, group_length=True)
    # A value representation outside the reader's list (UT) before the pixel data.
    ds = image(uid="61")
    ds.add_new(0x00204000, "UT", "a comment")
    files["vr_ut.dcm"] = part10(ds)

    # A series: three consistent slices numbered 5, 3, 9; one whose pixel
    # width differs by 1e-7 mm; one of 2048 columns.
    for n in (5, 3, 9):
        files["series_%d.dcm" % n] = part10(image(number=str(n), position="0\\0\\%d" % n, uid="7%d" % n))
    files["series_spacing_1e-7.dcm"] = part10(image(number="4", spacing="0.5000001\\0.5", uid="80"))
    files["series_2048_columns.dcm"] = part10(image(number="1", cols=2048, pixels=bytes(64), uid="81"))
    return files


def main():
    gen_dir = os.path.join(DATA, "generated")
    os.makedirs(gen_dir, exist_ok=True)
    for name, data in sorted(generated_files().items()):
        with open(os.path.join(gen_dir, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
