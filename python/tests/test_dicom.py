# DICOM part 10 files through the slice interface's series scan, compared with
# pydicom (Debian's python3-pydicom and its test files; the ITK series in
# tests/data/dicom), and the series montage example.
import subprocess
import sys

import numpy as np
import pydicom
import pytest
from PIL import Image
from pydicom.data import get_testdata_file

import quarn
from conftest import DATA, SOURCE_DIR

SERIES = sorted((DATA / "dicom" / "itk" / "DicomSeries").glob("Image00*.dcm"))
# Explicit and implicit VR little endian, with padding, and a real series.
FILES = [get_testdata_file(n) for n in ("CT_small.dcm", "MR_small.dcm", "MR_small_implicit.dcm",
                                        "MR_small_padded.dcm")] + SERIES


@pytest.mark.parametrize("path", FILES, ids=lambda p: str(p).rsplit("/", 1)[-1])
def test_dicom_geometry_matches_pydicom(path):
    ds = pydicom.dcmread(path)
    first, last, (h,) = quarn.find_dicom_file_image_range([path])
    spacing = float(ds.PixelSpacing[0])  # the first number serves both directions
    assert (h.num_pix, h.num_pix_y, h.image_num) == (ds.Columns, ds.Rows, int(ds.InstanceNumber)) and first == last
    assert h.size_pix == h.size_pix_y == pytest.approx(spacing)
    assert h.slice_thickness == pytest.approx(float(ds.SliceThickness))
    assert h.data_type is quarn.BaseDataType.Short and h.file_type is quarn.MriDicom and h.is_valid
    cosines = [float(v) for v in ds.ImageOrientationPatient]
    assert h.position.position == pytest.approx([float(v) for v in ds.ImagePositionPatient])
    assert h.position.row_col_dirs[0] == pytest.approx(cosines[:3])
    assert h.position.row_col_dirs[1] == pytest.approx(cosines[3:])


def test_dicom_series_scan_and_consistency(tmp_path):
    first, last, headers = quarn.find_dicom_file_image_range(list(reversed(SERIES)))
    assert (first, last) == (75, 77) and [h.image_num for h in headers] == [77, 76, 75]
    assert [h.file_name for h in sorted(headers)] == [str(p) for p in SERIES]
    assert headers[0].image_plane is quarn.SliceCoronal and headers[0].plane_type is quarn.SliceSagittal
    assert quarn.dicom_values_are_consistant(headers) == 3
    with pytest.raises(quarn.QuarnError) as e:
        quarn.find_dicom_file_image_range(SERIES[:2] + [get_testdata_file("CT_small.dcm")])  # another size
    assert e.value.status == -2
    with pytest.raises(quarn.QuarnError) as e:
        quarn.find_dicom_file_image_range([SERIES[0], tmp_path / "missing.dcm"])
    assert e.value.status == -101
    assert quarn.find_dicom_file_image_range([]) == (32767, -32768, [])
    use, tolerance = quarn.get_comparison_tolerance()
    try:
        quarn.set_comparison_tolerance(True, 1e-3)
        assert quarn.get_comparison_tolerance() == (True, 1e-3)
    finally:
        quarn.set_comparison_tolerance(use, tolerance)


def test_series_montage_example(tmp_path):
    out = tmp_path / "montage.png"
    run = subprocess.run([sys.executable, SOURCE_DIR / "examples" / "series_montage.py", out, SERIES[2], SERIES[0],
                          SERIES[1]], capture_output=True, text=True)
    assert run.returncode == 0, run.stderr
    assert "3 slices, images 75..77, volume (3, 256, 256) float32" in run.stdout
    picture = np.asarray(Image.open(out))
    volume = np.stack([pydicom.dcmread(p).pixel_array for p in SERIES]).astype(np.float64)
    expected = np.rint((volume - volume.min()) * (255.0 / (volume.max() - volume.min()))).astype(np.uint8)
    assert picture.shape == (512, 512) and picture.dtype == np.uint8
    assert np.array_equal(picture[:256, :256], expected[0]) and np.array_equal(picture[:256, 256:], expected[1])
    assert np.array_equal(picture[256:, :256], expected[2]) and not picture[256:, 256:].any()
