# DICOM part 10 files: geometry and pixels compared with pydicom (Debian's
# python3-pydicom and its test files; the ITK series in tests/data/dicom).
import numpy as np
import pydicom
import pytest
from pydicom.data import get_testdata_file

import quarn
from conftest import DATA

SERIES = sorted((DATA / "dicom" / "itk" / "DicomSeries").glob("Image00*.dcm"))
# Explicit and implicit VR little endian, with padding, and a real series.
FILES = [get_testdata_file(n) for n in ("CT_small.dcm", "MR_small.dcm", "MR_small_implicit.dcm",
                                        "MR_small_padded.dcm")] + SERIES


@pytest.mark.parametrize("path", FILES, ids=lambda p: str(p).rsplit("/", 1)[-1])
def test_dicom_geometry_matches_pydicom(path):
    ds = pydicom.dcmread(path)
    first, last, (h,) = quarn.scan([path])
    spacing = float(ds.PixelSpacing[0])  # the first number serves both directions
    assert (h.num_pix, h.num_pix_y, h.image_num) == (ds.Columns, ds.Rows, int(ds.InstanceNumber)) and first == last
    assert h.size_pix == h.size_pix_y == pytest.approx(spacing)
    assert h.slice_thickness == pytest.approx(float(ds.SliceThickness))
    assert h.data_type is quarn.BaseDataType.Short and h.file_type is quarn.MriDicom and h.is_valid
    cosines = [float(v) for v in ds.ImageOrientationPatient]
    assert h.position.position == pytest.approx([float(v) for v in ds.ImagePositionPatient])
    assert h.position.row_col_dirs[0] == pytest.approx(cosines[:3])
    assert h.position.row_col_dirs[1] == pytest.approx(cosines[3:])


@pytest.mark.parametrize("path", FILES, ids=lambda p: str(p).rsplit("/", 1)[-1])
def test_dicom_pixels_match_pydicom(path):
    ds = pydicom.dcmread(path)
    s = quarn.read(path)
    assert s.is_display and s.shape == (ds.Rows, ds.Columns) and s.dtype == np.int16
    assert np.array_equal(s.pixels, ds.pixel_array.astype(np.int16))  # same bits, signed or not


def test_dicom_series_scan_and_consistency(tmp_path):
    first, last, headers = quarn.scan(list(reversed(SERIES)))
    assert (first, last) == (75, 77) and [h.image_num for h in headers] == [77, 76, 75]
    assert [h.file_name for h in sorted(headers)] == [str(p) for p in SERIES]
    assert headers[0].image_plane is quarn.SliceCoronal and headers[0].plane_type is quarn.SliceSagittal
    assert quarn.dicom_values_are_consistant(headers) == 3
    with pytest.raises(quarn.QuarnError) as e:
        quarn.scan(SERIES[:2] + [get_testdata_file("CT_small.dcm")])  # another size
    assert e.value.status == -2
    with pytest.raises(quarn.QuarnError) as e:
        quarn.scan([SERIES[0], tmp_path / "missing.dcm"])
    assert e.value.status == -101
    assert quarn.scan([], quarn.MriDicom) == (32767, -32768, [])
    use, tolerance = quarn.get_comparison_tolerance()
    try:
        quarn.set_comparison_tolerance(True, 1e-3)
        assert quarn.get_comparison_tolerance() == (True, 1e-3)
    finally:
        quarn.set_comparison_tolerance(use, tolerance)


def test_files_the_reader_refuses_raise_quarn_error(tmp_path):
    refused = [get_testdata_file(n) for n in ("MR_small_bigendian.dcm", "rtstruct.dcm", "liver_1frame.dcm")]
    data = open(get_testdata_file("MR_small.dcm"), "rb").read()
    for cut in (140, 600, 5000):  # in the header, in the elements, in the pixel data
        (tmp_path / f"cut{cut}.dcm").write_bytes(data[:cut])
        refused.append(tmp_path / f"cut{cut}.dcm")
    for path in refused:
        with pytest.raises(quarn.QuarnError):
            quarn.read(path)
