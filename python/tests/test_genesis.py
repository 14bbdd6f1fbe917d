# GE Genesis ("IMGF") files: the four real CT slices of tests/data/genesis,
# compared with ITK's values (tests/data/genesis/PROVENANCE.md).
import numpy as np
import pytest

import quarn
from conftest import DATA

FILES = {  # name: image number, pixel size, sum, max
    "c_vf1122.fre": (122, 0.48828125, 137937814, 3199),
    "c_vf1123.fre": (123, 0.48828125, 138833191, 3174),
    "c_vf1210.fre": (214, 0.72265625, 67457920, 2667),
    "c_vf1211.fre": (215, 0.72265625, 68337050, 2573),
}


def test_genesis_slices_match_itk():
    for name, (number, size, total, top) in FILES.items():
        s = quarn.read_mri_slice(DATA / "genesis" / name, quarn.MriGenesis)
        assert s.shape == (512, 512) and s.dtype == np.int16 and s.is_display
        assert int(s.pixels.sum(dtype=np.int64)) == total and (s.pixels.min(), s.pixels.max()) == (0, top)
        assert np.array_equal(s.pixels, np.fromfile(DATA / "genesis" / name, ">i2", offset=3416).reshape(512, 512))
        assert s.header.image_num == number and s.header.size_pix == size


def test_signa_scan_of_imgf_files_reads_numbers_and_geometry():
    paths = [DATA / "genesis" / n for n in reversed(list(FILES))]
    first, last, headers = quarn.find_signa_file_image_range(paths)
    assert (first, last) == (122, 215)
    assert [h.file_name for h in headers] == [str(p) for p in paths]  # input order
    assert [h.image_num for h in sorted(headers)] == [122, 123, 214, 215]
    assert [h.size_pix for h in sorted(headers)] == [v[1] for v in FILES.values()]
    with pytest.raises(quarn.QuarnError) as e:
        quarn.find_signa_file_image_range([paths[0], DATA / "genesis" / "missing.fre"])
    assert e.value.status == -102

