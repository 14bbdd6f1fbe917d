# Siemens MAGNETOM Vision files: real headers (tests/data/siemens, values an
# independent reader gives in its PROVENANCE.md).
import numpy as np
import pytest

import quarn
from conftest import DATA

FILES = sorted((DATA / "siemens").glob("3868-2-1*.ima"))


def test_siemens_scan_gives_the_header_values():
    first, last, headers = quarn.find_siemens_file_image_range(list(reversed(FILES)))
    assert (first, last) == (100, 105) and len(headers) == 6
    for h, number in zip(sorted(headers), range(100, 106)):
        assert h.image_num == number and h.file_type is quarn.MriSiemens
        assert (h.num_pix, h.num_pix_y, h.size_pix, h.size_pix_y) == (256, 256, 0.78125, 0.78125)
        assert h.slice_thickness == 1.2 and h.image_plane is quarn.SliceSagittal
        assert h.image_offset == 6144 and h.data_type is quarn.BaseDataType.Short


def test_siemens_slice_with_a_full_pixel_block(tmp_path):
    # The real header of 3868-2-100.ima describes 256 x 256 pixels; the file
    # holds only 4 x 4, so a full block is appended to the real header.
    header = FILES[0].read_bytes()[:6144]
    values = ((np.arange(256 * 256) * 7) % 4000 - 1000).astype(np.int16).reshape(256, 256)
    path = tmp_path / "full.ima"
    path.write_bytes(header + values.astype(">i2").tobytes())
    s = quarn.read_mri_slice(path, quarn.MriSiemens)
    assert s.shape == (256, 256) and np.array_equal(s.pixels, values)
    assert s.header.image_num == 100 and s.header.file_type is quarn.MriSiemens
    assert s.info.manufacturer == "SIEMENS" and s.info.model_name == "MAGNETOM VISION"
    assert s.info.institution_name == "Fairview-Univ. Med. Ctr. "


def test_cut_down_pixel_block_is_a_read_failure():
    with pytest.raises(quarn.QuarnError) as e:
        quarn.read_mri_slice(FILES[0], quarn.MriSiemens)
    assert e.value.status == -56
