# `cmake --install` puts the package where Debian's python3 finds it under the
# prefix, and the installed module finds the installed library on its own.
import os
import pathlib
import subprocess
import sys

import numpy as np
import pytest

BUILD_DIR = os.environ.get("QUARN_BUILD_DIR")


@pytest.mark.skipif(not BUILD_DIR, reason="needs QUARN_BUILD_DIR (set by the CTest registration)")
def test_installed_package_imports_and_reads(tmp_path):
    prefix = tmp_path / "prefix"
    subprocess.run(["cmake", "--install", BUILD_DIR, "--prefix", prefix], check=True, capture_output=True)
    minor = f"python{sys.version_info.major}.{sys.version_info.minor}"
    site = prefix / "lib" / minor / "dist-packages"
    assert {p.name for p in (site / "quarn").iterdir()} >= {"__init__.py", "__init__.pyi", "py.typed"}
    values = np.arange(16 * 16, dtype=np.uint8).reshape(16, 16)
    values.tofile(tmp_path / "s.raw")
    script = ("import quarn; h = quarn.RawHeaderInfo(); h.evaluate('<Axial: uchar>(16,16,1,1,1,1,0)');"
              "s = quarn.read_raw_slice('s.raw', quarn.MriRaw8, h);"
              "print(quarn.__file__, int(s.pixels.sum()), quarn.__version__)")
    env = {k: v for k, v in os.environ.items() if k not in ("PYTHONPATH", "LD_LIBRARY_PATH")}
    env["PYTHONPATH"] = str(site)  # stands for the prefixes Debian's python3 searches by itself
    run = subprocess.run(["/usr/bin/python3", "-c", script], cwd=tmp_path, env=env, capture_output=True, text=True)
    assert run.returncode == 0, run.stderr
    path, total, version = run.stdout.split()
    assert pathlib.Path(path).is_relative_to(site) and int(total) == int(values.sum())
    assert f"CMAKE_PROJECT_VERSION:STATIC={version}\n" in (pathlib.Path(BUILD_DIR) / "CMakeCache.txt").read_text()
