import os
import pathlib

import pytest

import quarn

SOURCE_DIR = pathlib.Path(os.environ.get("QUARN_SOURCE_DIR", pathlib.Path(__file__).resolve().parents[2]))
DATA = SOURCE_DIR / "tests" / "data"


def needs(*functions):
    """Skips a test module when the library was built without a reader it needs."""
    missing = [f for f in functions if not quarn._quarn._has(f)]
    return pytest.mark.skipif(bool(missing), reason="library built without " + ", ".join(missing))


def raw_header(cols, rows, data_type="short", offset=0, image_num=0, plane="Axial"):
    h = quarn.RawHeaderInfo()
    assert h.evaluate(f"<{plane}: {data_type}>({cols},{rows},0.5,0.75,2,3,{image_num})")
    h.data_offset = offset
    return h
