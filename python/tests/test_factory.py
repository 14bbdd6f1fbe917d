# Reading through the slice factory (read_mri_slice).
import gc

import numpy as np
import pytest

import quarn
from conftest import raw_header


@pytest.fixture
def ramp(tmp_path):
    values = (np.arange(48 * 40) * 3).astype(np.int16).reshape(40, 48)
    path = tmp_path / "ramp.raw"
    values.tofile(path)
    return path, values


def test_display_and_plain_slices_of_a_raw_file(ramp):
    path, values = ramp
    d = quarn.read_mri_slice(path, quarn.MriRaw16, raw_header(48, 40))
    p = quarn.read_mri_slice(path, quarn.MriRaw16, raw_header(48, 40), display=False)
    assert d.is_display and not p.is_display
    for s in (d, p):
        assert s.shape == (40, 48) and s.data_type is quarn.BaseDataType.Short
        assert np.array_equal(s.pixels, values) and np.shares_memory(s.pixels, s.pixels)
    assert (d.min_val, d.max_val) == (0, int(values.max()))  # a display slice knows its range


def test_display_pixels_outlive_the_slice_object(ramp):
    path, values = ramp
    a = quarn.read_mri_slice(path, quarn.MriRaw16, raw_header(48, 40)).pixels
    gc.collect()
    junk = [np.ones((40, 48), dtype=np.int16) for _ in range(50)]
    assert np.array_equal(a, values) and len(junk) == 50


def test_display_window_and_rotation(ramp):
    path, _ = ramp
    s = quarn.read_mri_slice(path, quarn.MriRaw16, raw_header(48, 40))
    assert s.set_gray_val_translation(quarn.GrayTranslationMethod.GrayLinear, 10, 200) >= 1
    method, low, high = s.get_gray_val_translation()
    assert method is quarn.GrayTranslationMethod.GrayLinear and (low, high) == (10, 200)
    s.set_rotation_flags(2)
    assert s.get_rotation_flags() == 2
    plain = quarn.read_mri_slice(path, quarn.MriRaw16, raw_header(48, 40), display=False)
    with pytest.raises(quarn.QuarnError) as e:
        plain.set_rotation_flags(2)
    assert e.value.status == -100


def test_factory_failures_raise_quarn_error(tmp_path, ramp):
    path, _ = ramp
    for t in (0, 2, 7, 10, 21, -1):
        with pytest.raises(quarn.QuarnError, match="no slice read") as e:
            quarn.read_mri_slice(path, t)
        assert e.value.status is None
    with pytest.raises(quarn.QuarnError) as e:
        quarn.read_mri_slice(tmp_path / "missing.raw", quarn.MriRaw16, raw_header(48, 40))
    assert e.value.status == -19 and "missing.raw" in str(e.value)
    with pytest.raises(quarn.QuarnError):  # a plain slice reads raw files only
        quarn.read_mri_slice(path, quarn.MriSiemens, display=False)


def test_labels_count_up_and_can_be_replaced(ramp):
    path, _ = ramp
    a = quarn.read_mri_slice(path, quarn.MriRaw16, raw_header(48, 40))
    b = quarn.read_mri_slice(path, quarn.MriRaw16, raw_header(48, 40))
    assert int(b.label.split("-")[1]) == int(a.label.split("-")[1]) + 1
    assert a.set_label("first") == 1 and a.label == "first"
    with pytest.raises(quarn.QuarnError) as e:
        b.set_label("")
    assert e.value.status == -1 and b.set_label("", force=True) == 2
