#!/usr/bin/python3
"""Reads the slices of one series, sorts them by image number, stacks them
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
    """The slices sorted by image number, and their pixels as one volume."""
    slices = sorted((quarn.read(p) for p in paths), key=lambda s: s.header.image_num)
    shapes = {s.shape for s in slices}
    if len(shapes) != 1:
        raise SystemExit(f"the slices differ in size: {sorted(shapes)}")
    return slices, np.stack([s.pixels for s in slices])  # (slices, rows, columns)


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
        print(f"series_montage: {e} (status {e.status})", file=sys.stderr)
        return 1
    Image.fromarray(montage(volume)).save(out)
    numbers = [s.header.image_num for s in slices]
    print(f"{out}: {len(slices)} slices, images {numbers[0]}..{numbers[-1]}, volume {volume.shape} {volume.dtype}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
