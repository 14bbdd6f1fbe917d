# DICOM part 10 and ACR-NEMA files: pixels and geometry compared with pydicom
# (Debian's python3-pydicom and its test files).
import numpy as np
import pydicom
import pytest
from pydicom.data import get_testdata_file

import quarn
from conftest import needs

pytestmark = needs("ReadMriSlice", "FindDicomFileImageRange")

# Uncompressed single-frame grayscale files: explicit and implicit VR little
# endian, explicit VR big endian, 8 and 16 bits, with and without file meta.
FILES = ["CT_small.dcm", "MR_small.dcm", "MR_small_implicit.dcm", "MR_small_bigendian.dcm", "MR_small_expb.dcm",
         "MR_small_padded.dcm"]


def expected_geometry(ds):
    spacing = float(ds.PixelSpacing[0])  # the first number serves both directions
    cosines = [float(v) for v in ds.ImageOrientationPatient]
    return {
        "num_pix": ds.Columns, "num_pix_y": ds.Rows, "size_pix": spacing, "size_pix_y": spacing,
        "slice_thickness": float(ds.SliceThickness),
        "image_num": int(ds.InstanceNumber) if 0 <= int(ds.get("InstanceNumber", -1)) <= 8192 else 0,
        "data_type": quarn.BaseDataType.UnsignedChar if ds.BitsAllocated == 8 else quarn.BaseDataType.Short,
        "position": tuple(float(v) for v in ds.ImagePositionPatient),
        "row_col_dirs": (tuple(cosines[:3]), tuple(cosines[3:])),
    }


@pytest.mark.parametrize("name", FILES)
def test_dicom_pixels_and_geometry_match_pydicom(name):
    path = get_testdata_file(name)
    ds = pydicom.dcmread(path, force=True)
    want = expected_geometry(ds)
    s = quarn.read(path)
    assert s.is_display and s.shape == (ds.Rows, ds.Columns)
    assert np.array_equal(s.pixels, ds.pixel_array.astype(s.dtype))  # same bits, signed or not
    h = s.header
    for field in ("num_pix", "num_pix_y", "size_pix", "size_pix_y", "slice_thickness", "data_type"):
        assert getattr(h, field) == pytest.approx(want[field]), field
    assert h.file_type is quarn.MriDicom and h.is_valid

    first, last, headers = quarn.scan([path, path])
    assert first == last == want["image_num"] and len(headers) == 2
    assert headers[0].position.position == pytest.approx(want["position"])
    rows = headers[0].position.row_col_dirs
    assert rows[0] == pytest.approx(want["row_col_dirs"][0]) and rows[1] == pytest.approx(want["row_col_dirs"][1])


def test_dicom_series_consistency(tmp_path):
    a = get_testdata_file("MR_small.dcm")
    b = get_testdata_file("CT_small.dcm")
    first, last, headers = quarn.scan([a, a, a])
    assert quarn.dicom_values_are_consistant(headers) == 3
    with pytest.raises(quarn.QuarnError) as e:
        quarn.scan([a, b])  # another size
    assert e.value.status == -1
    with pytest.raises(quarn.QuarnError) as e:
        quarn.scan([a, tmp_path / "missing.dcm"])
    assert e.value.status == -101
    assert quarn.scan([], quarn.MriDicom) == (32767, -32768, [])
    use, tolerance = quarn.get_comparison_tolerance()
    try:
        quarn.set_comparison_tolerance(True, 1e-3)
        assert quarn.get_comparison_tolerance() == (True, 1e-3)
    finally:
        quarn.set_comparison_tolerance(use, tolerance)


def test_broken_dicom_files_raise_quarn_error(tmp_path):
    data = open(get_testdata_file("MR_small.dcm"), "rb").read()
    for cut in (140, 600, len(data) - 100):
        p = tmp_path / f"cut{cut}.dcm"
        p.write_bytes(data[:cut])
        with pytest.raises(quarn.QuarnError):
            quarn.read(p)
