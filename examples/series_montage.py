#!/usr/bin/python3
"""Reads the slices of one series, sorts them by instance number, stacks them
into a 3-D array and saves a montage of all slices as a PNG picture.

    series_montage.py OUT.png FILE...

The gray window is the series' own minimum and maximum. Needs the Python
module quarn (built and installed with the library) and Pillow
(Debian: python3-pil).
"""
import math
import sys

import numpy as np
from PIL import Image

import quarn


def read_series(paths):
    """The slices sorted by instance number (0 for files that state none),
    and their pixels in rescaled units as one volume."""
    slices = sorted((quarn.read(p) for p in paths), key=lambda s: s.image["InstanceNumber"] or 0)
    shapes = {s.pixels.shape for s in slices}
    if len(shapes) != 1 or len(next(iter(shapes))) != 2:
        raise SystemExit(f"the slices are not single frames of one size: {sorted(shapes)}")
    return slices, np.stack([s.rescaled() for s in slices])  # (slices, rows, columns)


def montage(volume, columns=None):
    """One 8-bit picture with the slices in a grid, row by row."""
    n, rows, cols = volume.shape
    columns = columns or math.ceil(math.sqrt(n))
    grid_rows = math.ceil(n / columns)
    low, high = float(volume.min()), float(volume.max())
    scaled = (volume.astype(np.float64) - low) * (255.0 / (high - low if high > low else 1.0))
    picture = np.zeros((grid_rows * rows, columns * cols), dtype=np.uint8)
    for i, image in enumerate(np.clip(np.rint(scaled), 0, 255).astype(np.uint8)):
        r, c = divmod(i, columns)
        picture[r * rows:(r + 1) * rows, c * cols:(c + 1) * cols] = image
    return picture


def main(argv):
    if len(argv) < 3:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    out, paths = argv[1], argv[2:]
    try:
        slices, volume = read_series(paths)
    except quarn.QuarnError as e:
        print(f"series_montage: {e} ({e.reason})", file=sys.stderr)
        return 1
    Image.fromarray(montage(volume)).save(out)
    numbers = [s.image["InstanceNumber"] for s in slices]
    print(f"{out}: {len(slices)} slices, images {numbers[0]}..{numbers[-1]}, volume {volume.shape} {volume.dtype}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
