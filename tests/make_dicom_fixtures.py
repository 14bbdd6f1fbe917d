#!/usr/bin/python3
"""Writes the generated DICOM and ACR-NEMA test files and the values that
pydicom reads from every DICOM test file.

  tests/data/dicom/generated/*.dcm   files written here with pydicom
  tests/data/dicom/expected.tsv      per readable file: what the header reader
                                     must report, computed from pydicom's reading

The expected values follow the header reader's rules on top of pydicom's
parse: the read ends at the first pixel data element, including one inside an
undefined-length sequence item; elements inside undefined-length items count
as top-level ones, those inside defined-length sequences or items do not;
pixel spacing gives its first number for both sizes unless a NUL byte inside
the value separates a second one; the first image number in 0..8192 wins and
one outside that range gives 0; the plane comes from the dominant axes of the
row and column directions, with PlaneType swapped for sagittal and coronal.

Usage: make_dicom_fixtures.py            rewrite the files in the source tree
       make_dicom_fixtures.py --check    regenerate into a temporary folder and
                                         fail when anything differs
Needs Debian's python3-pydicom (run with /usr/bin/python3).
"""
import filecmp
import io
import os
import re
import struct
import sys
import tempfile

import pydicom
from pydicom.dataelem import DataElement, RawDataElement
from pydicom.datadict import dictionary_VR
from pydicom.dataset import Dataset, FileMetaDataset
from pydicom.filebase import DicomBytesIO
from pydicom.filereader import read_dataset
from pydicom.filewriter import write_dataset
from pydicom.sequence import Sequence
from pydicom.uid import ExplicitVRLittleEndian, ImplicitVRLittleEndian

HERE = os.path.dirname(os.path.abspath(__file__))
DATA = os.path.join(HERE, "data", "dicom")
UID_ROOT = "1.2.826.0.1.3680043.8.498.77."
MR_STORAGE = "1.2.840.10008.5.1.4.1.1.4"

# Real files (copied from other packages, see PROVENANCE.md) that the header
# reader reads to their pixel data. Files it stops on are checked in the C++
# tests with the reader's message.
REAL_READABLE = [
    "pydicom/MR_small.dcm",
    "pydicom/MR_small_implicit.dcm",
    "pydicom/MR_small_padded.dcm",
    "pydicom/MR_small_RLE.dcm",
    "pydicom/MR_truncated.dcm",
    "pydicom/CT_small.dcm",
    "pydicom/SC_rgb_small_odd.dcm",
    "pydicom/dicomdirtests/CT2/17106",
    "pydicom/dicomdirtests/CT2/17136",
    "pydicom/dicomdirtests/CT2/17166",
    "pydicom/dicomdirtests/CT2/17196",
    "pydicom/dicomdirtests/MR700/4467",
    "pydicom/dicomdirtests/MR700/4528",
    "pydicom/dicomdirtests/MR700/4558",
    "pydicom/dicomdirtests/MR700/4588",
    "pydicom/dicomdirtests/MR700/4618",
    "pydicom/dicomdirtests/MR700/4648",
    "pydicom/dicomdirtests/MR700/4678",
    "octave-dicom/simple-test.dcm",
    "octave-dicom/simpleImageWithIcon.dcm",
    "itk/NoPreambleDicomTest.dcm",
    "itk/OT-PAL-8-face.dcm",
    "itk/slopeIntercept.dcm",
    "itk/ImageOrientation.1.dcm",
    "itk/DicomSeries/Image0075.dcm",
    "itk/DicomSeries/Image0076.dcm",
    "itk/DicomSeries/Image0077.dcm",
    "nibabel/decimal_rescale.dcm",
]


# ---------------------------------------------------------------- writers

def image(rows=16, cols=16, bits=16, number="1", orientation="1\\0\\0\\0\\1\\0", spacing="0.5\\0.5",
          thickness="2.5", position="-40\\-40\\12.5", pixels=None, uid="1"):
    """A small MR image data set; None leaves an element out."""
    ds = Dataset()
    ds.add_new(0x00080016, "UI", MR_STORAGE)
    ds.add_new(0x00080018, "UI", UID_ROOT + uid)
    ds.add_new(0x00080060, "CS", "MR")
    ds.add_new(0x00100010, "PN", "Fixture^Generated")
    if thickness is not None:
        ds.add_new(0x00180050, "DS", thickness)
    ds.add_new(0x00185100, "CS", "HFS")
    if number is not None:
        ds.add_new(0x00200013, "IS", number)
    if position is not None:
        ds.add_new(0x00200032, "DS", position)
    if orientation is not None:
        ds.add_new(0x00200037, "DS", orientation)
    ds.add_new(0x00280002, "US", 1)
    ds.add_new(0x00280004, "CS", "MONOCHROME2")
    ds.add_new(0x00280010, "US", rows)
    ds.add_new(0x00280011, "US", cols)
    if spacing is not None:
        ds.add_new(0x00280030, "DS", spacing)
    ds.add_new(0x00280100, "US", bits)
    ds.add_new(0x00280101, "US", bits)
    ds.add_new(0x00280102, "US", bits - 1)
    ds.add_new(0x00280103, "US", 0)
    if pixels is None:
        n = rows * cols * (bits // 8)
        pixels = bytes((i * 7) & 0xFF for i in range(n))
    ds.add_new(0x7FE00010, "OB" if bits == 8 else "OW", pixels)
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
    """name -> (bytes, how to read it back: None for dcmread, else (implicit, little))."""
    files = {}

    # ACR-NEMA without preamble, implicit VR, little and big endian, opening
    # with the group length (0008,0000) of length 4.
    files["nema_implicit_le.dcm"] = (
        nema(image(number="12", orientation="0\\1\\0\\0\\0\\-1", uid="10")), (True, True))
    files["nema_implicit_be.dcm"] = (
        nema(image(number="13", orientation="1\\0\\0\\0\\0\\-1", uid="11"), little=False), (True, False))
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
        files["nema_opens_0008_%04X.dcm" % element] = (nema(ds, group_length=False), (True, True))
    ds = image(uid="22")
    del ds[0x00080018]
    files["nema_opens_0008_0016.dcm"] = (nema(ds, group_length=False), (True, True))

    # Part 10 variants: 8-bit with frames, "DICM" without preamble, implicit VR.
    ds = image(bits=8, number="4", uid="30")
    ds.add_new(0x00280008, "IS", "3")
    files["filemeta_8bit_frames.dcm"] = (part10(ds), None)
    files["filemeta_no_preamble.dcm"] = (part10(image(number="5", uid="31"), preamble=False), "no-preamble")
    files["filemeta_implicit.dcm"] = (part10(image(number="6", orientation="0\\1\\0\\0\\0\\-1", uid="32"),
                                           ImplicitVRLittleEndian), None)

    # Sequences: an undefined-length sequence whose items hold elements the
    # reader acts on, and the same with defined lengths, which it passes over.
    for undefined, name in [(True, "seq_undefined.dcm"), (False, "seq_defined.dcm")]:
        ds = image(number="7", uid="40" if undefined else "41")
        ds[0x00081140] = sequence(0x00081140, [item(x00200013=("IS", "12"))], undefined)
        ds[0x00400275] = sequence(0x00400275, [item(x00280010=("US", 32), x00180050=("DS", "7.5"),
                                                      x00200037=("DS", "1\\0\\0\\0\\0\\-1"))], undefined)
        files[name] = (part10(ds), None)
    # An out-of-range image number inside an undefined-length sequence, then a valid one.
    ds = image(number="7", uid="42")
    ds[0x00081140] = sequence(0x00081140, [item(x00200013=("IS", "9000"))], True)
    files["seq_image_number_out_of_range.dcm"] = (part10(ds), None)
    # A pixel data element inside an undefined-length item (an icon) ends the read.
    ds = image(uid="43")
    icon = item(x00280010=("US", 4), x00280011=("US", 4), x00280100=("US", 8), x7FE00010=("OB", bytes(16)))
    ds[0x00880200] = sequence(0x00880200, [icon], True)
    files["seq_icon_pixels.dcm"] = (part10(ds), None)

    # Palette tables of 512 bytes each, with elements after them.
    ds = image(bits=8, uid="50")
    ds[0x00280004].value = "PALETTE COLOR"
    for t in (0x00281101, 0x00281102, 0x00281103):
        ds.add_new(t, "US", [256, 0, 16])
    for t in (0x00281201, 0x00281202, 0x00281203):
        ds.add_new(t, "OW", bytes(range(256)) * 2)
    ds.add_new(0x00282110, "CS", "00")
    ds.add_new(0x00400254, "LO", "after the palette")
    files["palette_8bit.dcm"] = (part10(ds), None)

    # Odd and missing values: no thickness, an image number out of range,
    # zero frames, a pixel spacing whose two sizes are split by a NUL byte.
    ds = image(number="9000", thickness=None, orientation=None, uid="60")
    ds.add_new(0x00280008, "IS", "0")
    ds.add_new(0x00180088, "DS", "3.25")
    del ds[0x00280030]
    ds[0x00280030] = DataElement(0x00280030, "OB", b"0.5\x000.75")
    files["odd_values.dcm"] = (nema(ds, group_length=True), (True, True))
    # A value representation outside the reader's list (UT) before the pixel data.
    ds = image(uid="61")
    ds.add_new(0x00204000, "UT", "a comment")
    files["vr_ut.dcm"] = (part10(ds), None)

    # A series: three consistent slices numbered 5, 3, 9; one whose pixel
    # width differs by 1e-7 mm; one of 2048 columns.
    for n in (5, 3, 9):
        files["series_%d.dcm" % n] = (part10(image(number=str(n), position="0\\0\\%d" % n, uid="7%d" % n)), None)
    files["series_spacing_1e-7.dcm"] = (part10(image(number="4", spacing="0.5000001\\0.5", uid="80")), None)
    files["series_2048_columns.dcm"] = (part10(image(number="1", cols=2048, pixels=bytes(64), uid="81")), None)
    return files


# ---------------------------------------------------------------- expected values

def atof(text):
    m = re.match(r"\s*([+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?)", text)
    return float(m.group(1)) if m else 0.0


def dominant(v):
    best, best_abs = -1, 0.0
    for i, x in enumerate(v):
        if abs(x) > best_abs:
            best, best_abs = i, abs(x)
    return best


def plane_of(cosines):
    """(PlaneType, ImagePlane) codes: axial 2, sagittal 4, coronal 8."""
    if len(cosines) < 6:
        return 2, 2
    row, col = dominant(cosines[:3]), dominant(cosines[3:6])
    if (row, col) == (0, 2):
        return 4, 8  # coronal image, reported as sagittal
    if (row, col) == (1, 2):
        return 8, 4  # sagittal image, reported as coronal
    return 2, 2


def numbers(value):
    if isinstance(value, (list, pydicom.multival.MultiValue)):
        return [float(x) for x in value]
    return [float(value)]


class State:
    def __init__(self):
        self.rows, self.cols, self.px, self.py = 256, 256, 0.8594, 0.8594
        self.thick, self.spacing, self.image, self.frames, self.dtype = 3.0, 0.0, 0, 1, 0
        self.plane = self.iplane = 2
        self.marks = set()
        self.pos, self.dirs, self.ppos = None, None, ""


def element_vr(raw, tag):
    if raw.VR:
        return raw.VR
    try:
        return dictionary_VR(tag)
    except KeyError:
        return "UN"


def walk(ds, st):
    """Applies the elements in file order; returns the pixel data offset or None."""
    for tag in list(ds.keys()):
        raw = ds.get_item(tag)
        if tag == 0x7FE00010:
            return raw.value_tell
        if isinstance(raw, RawDataElement):
            undefined = raw.length == 0xFFFFFFFF
        else:
            undefined = raw.is_undefined_length
        if element_vr(raw, tag) == "SQ" or undefined:
            if undefined:
                for it in ds[tag].value:
                    if it.is_undefined_length_sequence_item:
                        off = walk(it, st)
                        if off is not None:
                            return off
            continue
        rawbytes = raw.value if isinstance(raw, RawDataElement) else None
        apply(tag, rawbytes, ds, st)
    return None


def apply(tag, rawbytes, ds, st):
    # An empty value is not read at all.
    if (rawbytes is not None and len(rawbytes) == 0) or (rawbytes is None and ds[tag].value in (None, "")):
        return
    if tag == 0x00280030:
        cut = rawbytes.find(b"\0", 0, len(rawbytes) - 1) if rawbytes else -1
        if cut >= 0:
            st.px = atof(rawbytes[:cut].decode("latin-1"))
            st.py = atof(rawbytes[cut + 1:].split(b"\0")[0].decode("latin-1"))
        else:
            st.px = st.py = numbers(ds[tag].value)[0]
        st.marks.add("pixel spacing")
        return
    if tag not in (0x00280010, 0x00280011, 0x00280100, 0x00180050, 0x00180088, 0x00185100, 0x00200013,
                   0x00200032, 0x00200035, 0x00200037, 0x00280008):
        return
    value = ds[tag].value
    if tag == 0x00280010:
        st.rows = int(value); st.marks.add("rows")
    elif tag == 0x00280011:
        st.cols = int(value); st.marks.add("columns")
    elif tag == 0x00280100:
        st.dtype = {8: 105, 16: 98}[int(value)]
    elif tag == 0x00180050:
        st.thick = float(value); st.marks.add("thickness")
    elif tag == 0x00180088:
        st.spacing = float(value)
    elif tag == 0x00185100:
        st.ppos = rawbytes.split(b"\0")[0].decode("latin-1") if rawbytes is not None else str(value)
    elif tag == 0x00200013:
        if "image" not in st.marks:
            n = int(value)
            if 0 <= n <= 8192:
                st.image = n; st.marks.add("image")
            else:
                st.image = 0
    elif tag == 0x00200032:
        v = numbers(value)
        if len(v) >= 3:
            st.pos = v[:3]
    elif tag in (0x00200035, 0x00200037):
        v = numbers(value)
        st.plane, st.iplane = plane_of(v)
        if len(v) >= 6:
            st.dirs = v[:6]
        st.marks.add("orientation")
    elif tag == 0x00280008:
        if int(value) >= 1:
            st.frames = int(value)


def read_back(path, how):
    """The data set and the shift from pydicom's offsets to the file's."""
    if how == "no-preamble":
        with open(path, "rb") as f:
            return pydicom.dcmread(io.BytesIO(b"\0" * 128 + f.read())), -128
    if how is None:
        return pydicom.dcmread(path, force=True), 0
    implicit, little = how
    with open(path, "rb") as f:
        return read_dataset(f, implicit, little), 0


def expected_line(rel, ds, shift=0):
    st = State()
    offset = walk(ds, st)
    if offset is None:
        raise SystemExit("%s: no pixel data" % rel)
    offset += shift
    valid = {"rows", "columns", "orientation", "thickness", "pixel spacing"} <= st.marks
    fmt = lambda v: "-" if v is None else " ".join(repr(x) for x in v)
    fields = [rel, offset, st.rows, st.cols, repr(st.px), repr(st.py), repr(st.thick), repr(st.spacing),
              st.image, st.plane, st.iplane, st.frames, st.dtype, int(valid), fmt(st.pos), fmt(st.dirs),
              "[" + st.ppos + "]"]
    return "\t".join(str(f) for f in fields)


def write_all(root):
    gen_dir = os.path.join(root, "generated")
    os.makedirs(gen_dir, exist_ok=True)
    lines = ["# file\toffset\trows\tcolumns\tpixel width\tpixel height\tthickness\tspacing\timage\tPlaneType"
             "\tImagePlane\tframes\tDataType\tvalid\tposition\tdirections\t[patient position]"]
    for rel in REAL_READABLE:
        lines.append(expected_line(rel, pydicom.dcmread(os.path.join(DATA, rel), force=True)))
    # Generated files the reader stops on are not in the table.
    unreadable = {"nema_opens_0008_0018.dcm", "vr_ut.dcm"}
    for name, (data, how) in sorted(generated_files().items()):
        path = os.path.join(gen_dir, name)
        with open(path, "wb") as f:
            f.write(data)
        if name not in unreadable:
            lines.append(expected_line("generated/" + name, *read_back(path, how)))
    with open(os.path.join(root, "expected.tsv"), "w") as f:
        f.write("\n".join(lines) + "\n")


def main():
    if "--check" in sys.argv[1:]:
        with tempfile.TemporaryDirectory() as tmp:
            write_all(tmp)
            stale = []
            names = ["expected.tsv"] + ["generated/" + n for n in sorted(os.listdir(os.path.join(tmp, "generated")))]
            for n in names:
                mine = os.path.join(DATA, n)
                if not os.path.exists(mine) or not filecmp.cmp(mine, os.path.join(tmp, n), shallow=False):
                    stale.append(n)
            committed = set(os.listdir(os.path.join(DATA, "generated")))
            stale += sorted("generated/" + n + " (no longer generated)"
                            for n in committed - set(os.listdir(os.path.join(tmp, "generated"))))
            if stale:
                print("out of date: " + ", ".join(stale))
                return 1
            print("DICOM fixtures and expected values are up to date (%d files)" % (len(names) - 1))
            return 0
    write_all(DATA)
    return 0


if __name__ == "__main__":
    sys.exit(main())
