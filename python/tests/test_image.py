# quarn.read and quarn.scan: arrays, descriptions, refusals and threads,
# compared with what pydicom (or numpy) reads from the same files.
import gc
import inspect
import re
import subprocess
import sys

import numpy as np
import pydicom
import pytest
from pydicom.multival import MultiValue
from pydicom.pixel_data_handlers.util import apply_modality_lut

import quarn
from conftest import DATA, SOURCE_DIR, write

PYDICOM = DATA / "dicom" / "pydicom"
GE = DATA / "genesis" / "c_vf1122.fre"  # 512 x 512 big-endian int16 after a 3416-byte header


CASES = {  # id: format word, and a file or the pixels and elements of one pydicom writes
    "uint16 above 32767, anisotropic, rescaled": ("dicom", np.array([[0, 7, 32767], [32768, 4e4, 65535]], np.uint16),
                                                  dict(PixelSpacing=[0.5, 0.8], RescaleSlope=2, RescaleIntercept=-9)),
    "frames, MONOCHROME1, no geometry": ("dicom", np.arange(72, dtype=np.uint8).reshape(3, 4, 6),
                                         dict(NumberOfFrames=3, PhotometricInterpretation="MONOCHROME1")),
    "RGB by plane": ("dicom", np.arange(60, dtype=np.uint8).reshape(4, 5, 3),
                     dict(samples=3, PlanarConfiguration=1, PhotometricInterpretation="RGB")),
    "RGB by pixel": ("dicom", PYDICOM / "SC_rgb_small_odd.dcm"),
    "explicit big endian": ("dicom", PYDICOM / "MR_small_bigendian.dcm"),
    "palette, no file meta": ("nema", DATA / "dicom_slices" / "OT-PAL-8-face.dcm"),
    "rescale of a real file": ("dicom", DATA / "dicom" / "itk" / "slopeIntercept.dcm"),
}
KEYS = ("Rows", "Columns", "NumberOfFrames", "PixelSpacing", "SliceThickness", "ImagePositionPatient",
        "InstanceNumber", "PhotometricInterpretation", "RescaleSlope", "RescaleIntercept")


def plain(value):  # a pydicom value as JSON gives it
    if value is None or isinstance(value, str):
        return value
    return [float(v) for v in value] if isinstance(value, MultiValue) else float(value)


@pytest.mark.parametrize("case", CASES)
def test_read_gives_what_pydicom_reads(tmp_path, case):
    word, *source = CASES[case]
    path = source[0] if len(source) == 1 else write(tmp_path / "w.dcm", source[0], **source[1])
    ds = pydicom.dcmread(path, force=True)
    ds.file_meta.setdefault("TransferSyntaxUID", pydicom.uid.ImplicitVRLittleEndian)
    im, expected = quarn.read(path), ds.pixel_array
    assert (im.format, im.file, im.pixels.shape) == (word, str(path), expected.shape)
    assert im.pixels.dtype == expected.dtype.newbyteorder("=") and np.array_equal(im.pixels, expected)
    assert {k: im.image[k] for k in KEYS} == {k: plain(ds.get(k)) for k in KEYS}
    rescaled = im.rescaled()
    assert rescaled.dtype == np.float32 and np.array_equal(rescaled, apply_modality_lut(expected, ds))
    assert all(text in repr(im) for text in (str(path), word, str(im.pixels.dtype)))


RAW = dict(rows=512, columns=512, pixel_type=np.int16, byte_order="big", pixel_spacing=(0.48828125, 0.48828125))


@pytest.mark.parametrize("alone,kwargs,word", [
    (False, {}, "genesis"),
    (False, {"format": "raw", "raw": dict(RAW, offset=3416)}, "raw"),
    (True, {"raw": quarn.RawLayout(**RAW)}, "raw")])  # the block alone: no format
def test_ge_and_raw_files_read_as_numpy_reads_their_pixel_block(tmp_path, alone, kwargs, word):
    block = np.fromfile(GE, ">i2", offset=3416).reshape(512, 512)
    path = tmp_path / "block.raw" if alone else GE
    block.tofile(tmp_path / "block.raw")
    im = quarn.read(path, **kwargs)
    assert im.format == word and im.pixels.shape == (512, 512) and np.array_equal(im.pixels, block)
    assert im.image["PixelSpacing"] == [0.48828125, 0.48828125]  # ITK's value


# How refusals reach Python (each reader's refusals and causes are tested in C++).
def test_refusals_raise_quarn_error_with_reason_file_and_cause(tmp_path):
    (tmp_path / "empty").write_bytes(b"")
    (tmp_path / "noise").write_bytes(b"\xff\x7f" * 300)
    for path, kwargs, reason, cause in [
            (PYDICOM / "MR_small_RLE.dcm", {}, "compressed", "RLE Lossless"),
            (tmp_path / "missing.dcm", {}, "cannot-open", "cannot open"),
            (tmp_path / "empty", {}, "empty", "empty"),
            (tmp_path / "noise", {}, "unknown-format", "geometry"),
            (tmp_path / "noise", {"format": "raw"}, "needs-geometry", "rows"),
            (PYDICOM / "MR_small.dcm", {"raw": (64, 64)}, "unsupported", "raw geometry")]:
        with pytest.raises(quarn.QuarnError) as e:
            quarn.read(path, **kwargs)
        assert (e.value.reason, e.value.file, e.value.status) == (reason, str(path), None)
        assert str(e.value).startswith(f"{path}: ") and cause in str(e.value)
    assert [quarn.detect_file_type(p) for p in (GE, tmp_path / "noise")] == ["genesis", "unknown"]
    for kwargs in ({"format": "jpeg"}, {"raw": (0, 4)}, {"raw": (4, 4, ">i2")}, {"raw": (4, 4, "int64")},
                   {"raw": (4, 4), "format": "dicom"}, {"raw": (4, 4, "int16", "middle")}):
        with pytest.raises(ValueError):
            quarn.read(tmp_path / "noise", **kwargs)
    with pytest.raises(TypeError):
        quarn.read(42)


def test_scan_gives_one_record_per_file_in_order_and_goes_on_past_bad_files(tmp_path):
    paths = [PYDICOM / "MR_small.dcm", tmp_path / "missing.dcm", PYDICOM / "MR_small_RLE.dcm", PYDICOM / "CT_small.dcm"]
    records = quarn.scan(paths)
    assert [r["file"] for r in records] == [str(p) for p in paths]
    for record, path in ((records[0], paths[0]), (records[3], paths[3])):
        ds, image = pydicom.dcmread(path), record["image"]
        assert set(record) == {"file", "format", "image"} and record["format"] == "dicom"
        assert (image["InstanceNumber"], image["Maximum"]) == (ds.InstanceNumber, ds.pixel_array.max())
    assert records[1] == {"file": str(paths[1]), "error": f"{paths[1]}: cannot open: No such file or directory",
                          "reason": "cannot-open"}
    assert records[2]["reason"] == "compressed" and "RLE Lossless" in records[2]["error"]
    assert quarn.scan([]) == []
    with pytest.raises(TypeError):
        quarn.scan(str(paths[0]))


def test_pixels_outlive_the_image_and_reads_release_the_gil(tmp_path):
    a = quarn.read(PYDICOM / "MR_small.dcm").pixels
    with pytest.raises(ValueError):
        a[0, 0] = 1  # read-only: the description's Minimum and Maximum stay true
    gc.collect()
    junk = [np.full((64, 64), 7, np.int16) for _ in range(50)]
    assert np.array_equal(a, pydicom.dcmread(PYDICOM / "MR_small.dcm").pixel_array) and len(junk) == 50
    # A thread blocked reading a pipe must not hold a lock that this thread needs to open and fill the pipe.
    script = ("import os, threading, quarn; os.mkfifo('p'); out = []; t = threading.Thread(target=lambda: "
              "out.append(quarn.read('p', format='dicom'))); t.start(); open('p', 'wb').write(open(%r, 'rb').read());"
              "t.join(); print(out[0].pixels.shape)" % str(PYDICOM / "MR_small.dcm"))
    run = subprocess.run([sys.executable, "-c", script], cwd=tmp_path, capture_output=True, text=True, timeout=60)
    assert (run.returncode, run.stdout) == (0, "(64, 64)\n"), run.stderr


def test_public_names_are_documented_and_the_version_is_the_build_s():
    def description(name):  # past the signature line of compiled functions
        head, _, rest = (inspect.getdoc(getattr(quarn, name)) or "").partition("\n")
        return rest if head.startswith(name + "(") else head
    assert [n for n in quarn.__all__ if not description(n).strip()] == []
    project = (SOURCE_DIR / "CMakeLists.txt").read_text()
    assert quarn.__version__ == re.search(r"project\(Quarn VERSION (\S+)", project)[1]
