import os
import pathlib

import quarn

SOURCE_DIR = pathlib.Path(os.environ.get("QUARN_SOURCE_DIR", pathlib.Path(__file__).resolve().parents[2]))
DATA = SOURCE_DIR / "tests" / "data"


def raw_header(cols, rows, data_type="short", offset=0, image_num=0, plane="Axial"):
    h = quarn.RawHeaderInfo()
    assert h.evaluate(f"<{plane}: {data_type}>({cols},{rows},0.5,0.75,2,3,{image_num})")
    h.data_offset = offset
    return h
