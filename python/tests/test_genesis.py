# GE Genesis ("IMGF") files: the four real CT slices of tests/data/genesis,
# compared with ITK's values (tests/data/genesis/PROVENANCE.md).
import subprocess
import sys

import numpy as np
import pytest
from PIL import Image

import quarn
from conftest import DATA, SOURCE_DIR

FILES = {  # name: image number, pixel size, sum, max
    "c_vf1122.fre": (122, 0.48828125, 137937814, 3199),
    "c_vf1123.fre": (123, 0.48828125, 138833191, 3174),
    "c_vf1210.fre": (214, 0.72265625, 67457920, 2667),
    "c_vf1211.fre": (215, 0.72265625, 68337050, 2573),
}


def test_genesis_slices_match_itk():
    for name, (number, size, total, top) in FILES.items():
        s = quarn.read(DATA / "genesis" / name)
        assert s.shape == (512, 512) and s.dtype == np.int16 and s.is_display
        assert int(s.pixels.sum(dtype=np.int64)) == total and (s.pixels.min(), s.pixels.max()) == (0, top)
        assert np.array_equal(s.pixels, np.fromfile(DATA / "genesis" / name, ">i2", offset=3416).reshape(512, 512))
        assert s.header.image_num == number and s.header.size_pix == size


def test_signa_scan_of_imgf_files_reads_numbers_and_geometry():
    paths = [DATA / "genesis" / n for n in reversed(list(FILES))]
    first, last, headers = quarn.scan(paths)
    assert (first, last) == (122, 215)
    assert [h.file_name for h in headers] == [str(p) for p in paths]  # input order
    assert [h.image_num for h in sorted(headers)] == [122, 123, 214, 215]
    assert [h.size_pix for h in sorted(headers)] == [v[1] for v in FILES.values()]
    with pytest.raises(quarn.QuarnError) as e:
        quarn.scan([paths[0], DATA / "genesis" / "missing.fre"])
    assert e.value.status == -102


def test_series_montage_example(tmp_path):
    out = tmp_path / "montage.png"
    names = ["c_vf1211.fre", "c_vf1122.fre", "c_vf1123.fre"]
    run = subprocess.run([sys.executable, SOURCE_DIR / "examples" / "series_montage.py", out]
                         + [DATA / "genesis" / n for n in names], capture_output=True, text=True)
    assert run.returncode == 0, run.stderr
    assert "3 slices, images 122..215, volume (3, 512, 512) int16" in run.stdout
    picture = np.asarray(Image.open(out))
    assert picture.shape == (1024, 1024) and picture.dtype == np.uint8
    volume = np.stack([np.fromfile(DATA / "genesis" / n, ">i2", offset=3416).reshape(512, 512)
                       for n in ("c_vf1122.fre", "c_vf1123.fre", "c_vf1211.fre")])
    expected = np.rint(volume * (255.0 / volume.max())).astype(np.uint8)
    assert np.array_equal(picture[:512, :512], expected[0]) and np.array_equal(picture[:512, 512:], expected[1])
    assert np.array_equal(picture[512:, :512], expected[2]) and not picture[512:, 512:].any()
