import gc

import numpy as np
import pytest

import quarn
from conftest import DATA, raw_header


@pytest.mark.parametrize("ftype,word,dtype", [
    (quarn.MriRaw8, "uchar", np.uint8),
    (quarn.MriRaw16, "short", np.int16),
    (quarn.MriRawFloat, "float", np.float32),
])
def test_raw_pixels_arrive_in_their_type_and_shape(tmp_path, ftype, word, dtype):
    expected = (np.arange(24 * 20) % 251).astype(dtype).reshape(20, 24)
    path = tmp_path / "slice.raw"
    expected.tofile(path)
    s = quarn.read_raw_slice(path, ftype, raw_header(24, 20, word))
    assert s.shape == (20, 24) and s.dtype == dtype and not s.is_display
    assert s.pixels.dtype == dtype and np.array_equal(s.pixels, expected)


def test_swapped_16_bit_and_halving(tmp_path):
    values = np.arange(-512, 512, dtype=np.int16).reshape(32, 32)
    path = tmp_path / "slice.raw"
    values.astype(">i2").tofile(path)
    s = quarn.read_raw_slice(path, quarn.MriRaw16Swapped, raw_header(32, 32))
    assert np.array_equal(s.pixels, values)
    half = quarn.read_raw_slice(path, quarn.MriRaw16Swapped, raw_header(32, 32), options=0x10000)
    assert half.shape == (16, 16)
    means = values.reshape(16, 2, 16, 2).mean(axis=(1, 3))  # each pixel the mean of a 2 x 2 block
    assert np.all(np.abs(half.pixels - means) <= 0.5)


def test_pixels_share_the_slice_buffer_and_keep_the_slice_alive(tmp_path):
    values = np.arange(64 * 64, dtype=np.int16).reshape(64, 64)
    path = tmp_path / "slice.raw"
    values.tofile(path)
    s = quarn.read_raw_slice(path, quarn.MriRaw16, raw_header(64, 64))
    a, b = s.pixels, s.pixels
    assert np.shares_memory(a, b) and a.base is s  # no copy: both view the slice's own buffer
    assert not a.flags.writeable
    with pytest.raises(ValueError):
        a[0, 0] = 1
    del s, b
    gc.collect()
    junk = [np.full((64, 64), 7, dtype=np.int16) for _ in range(50)]  # reuse any freed memory
    assert np.array_equal(a, values) and len(junk) == 50


def test_real_ct_blocks_read_as_raw_match_an_independent_reader():
    # GE CT slices whose 512 x 512 big-endian block starts at byte 3416; ITK's
    # values (sum, min, max) are in tests/data/genesis/PROVENANCE.md.
    for name, total, top in (("c_vf1122.fre", 137937814, 3199), ("c_vf1210.fre", 67457920, 2667)):
        path = DATA / "genesis" / name
        s = quarn.read_raw_slice(path, quarn.MriRaw16Swapped,
                                 raw_header(512, 512, offset=3416))
        assert int(s.pixels.sum(dtype=np.int64)) == total and s.pixels.max() == top
        assert np.array_equal(s.pixels, np.fromfile(path, dtype=">i2", offset=3416).reshape(512, 512))
        assert s.set_max_min_values() == 512 * 512 and (s.min_val, s.max_val) == (0, top)


def test_read_failures_raise_quarn_error_with_the_status(tmp_path):
    with pytest.raises(quarn.QuarnError) as e:
        quarn.read_raw_slice(tmp_path / "missing.raw", quarn.MriRaw16, raw_header(16, 16))
    assert e.value.status == -19 and "missing.raw" in e.value.message
    short = tmp_path / "short.raw"
    short.write_bytes(b"\0" * 100)
    with pytest.raises(quarn.QuarnError) as e:
        quarn.read_raw_slice(short, quarn.MriRaw16, raw_header(16, 16))
    assert e.value.status is not None and e.value.status < 0
    invalid = quarn.RawHeaderInfo()  # never filled: not valid
    with pytest.raises(quarn.QuarnError) as e:
        quarn.read_raw_slice(short, quarn.MriRaw8, invalid)
    assert e.value.status == -1


def test_wrong_arguments_raise_type_and_value_errors(tmp_path):
    h = raw_header(16, 16)
    with pytest.raises(TypeError):
        quarn.read_raw_slice(42, quarn.MriRaw16, h)
    with pytest.raises(ValueError, match="NUL"):
        quarn.read_raw_slice("a\0b", quarn.MriRaw16, h)
    with pytest.raises(ValueError, match="raw file types"):
        quarn.read_raw_slice(tmp_path / "x", quarn.MriDicom, h)
    with pytest.raises(TypeError):
        quarn.read_raw_slice(tmp_path / "x", quarn.MriRaw16, "header")
    with pytest.raises(TypeError, match="list of file names"):
        quarn.find_dicom_file_image_range("IM0001")

