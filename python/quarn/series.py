"""Series of slices as volumes.

    import quarn, nibabel
    for s in quarn.read_series("exam/"):
        print(s.files, s.problems)
        img = nibabel.Nifti1Image(s.volume.transpose(2, 1, 0), s.affine)
        s.to_nifti("out.nii.gz")

A series' slices are sorted along the slice normal; ``volume`` has the shape
(slices, rows, columns) and ``affine`` maps (column, row, slice) indices to
RAS millimetres, as NIfTI files and nibabel do.
"""

import os
import warnings
from collections import namedtuple

import numpy as np

from . import _quarn

__all__ = ["Series", "ScanResult", "read_series", "scan_series", "output_names"]

ScanResult = namedtuple("ScanResult", "series failed skipped")


class Series:
    """One series: its identity, its files in order along the slice normal,
    its problems (dicts of kind, files and detail) and, read when first
    asked for, its volume."""

    def __init__(self, handle):
        self._h = handle
        self._volume = None

    series_instance_uid = property(lambda self: self._h.series_instance_uid)
    series_number = property(lambda self: self._h.series_number)
    series_description = property(lambda self: self._h.series_description)
    exam_number = property(lambda self: self._h.exam_number)
    format = property(lambda self: self._h.format)
    folder = property(lambda self: self._h.folder)
    files = property(lambda self: list(self._h.files))
    problems = property(lambda self: self._h.problems)

    @property
    def affine(self):
        """4 x 4 RAS affine of (column, row, slice) indices."""
        return self._h.affine

    @property
    def volume(self):
        """The voxels, shape (slices, rows, columns): the stored values, or
        float32 values with the rescale applied when the files give a slope
        other than 1 or an intercept other than 0. Raises QuarnError when
        the series has a problem or a file cannot be read."""
        if self._volume is None:
            stored, slope, intercept, _ = self._h.load()
            if slope != 1 or intercept != 0:
                stored = (stored.astype(np.float64) * slope + intercept).astype(np.float32)
            self._volume = stored
        return self._volume

    def to_nifti(self, path, sidecar=False):
        """Writes the volume as NIfTI-1 (.nii or .nii.gz), rescale in
        scl_slope and scl_inter; with sidecar=True also the first slice's
        header as JSON beside it. Each file is written whole or not at all."""
        path = os.fspath(path)
        side = ""
        if sidecar:
            side = path[: -len(".nii.gz")] if path.endswith(".nii.gz") else os.path.splitext(path)[0]
            side += ".json"
        self._h.write_nifti(path, side)
        return path

    def __repr__(self):
        return (f"<quarn.Series {self.series_number} {self.series_description!r}: {len(self._h.files)} "
                f"{self.format} files, {len(self._h.problems)} problems>")


def _paths(folder_or_paths):
    if isinstance(folder_or_paths, (str, bytes, os.PathLike)):
        return [os.fsdecode(folder_or_paths)]
    return [os.fsdecode(p) for p in folder_or_paths]


def scan_series(folder_or_paths, recurse=True):
    """The series under a folder or among files, the files that could not be
    read ((file, error) pairs) and the count of files of no known format."""
    handles, failed, skipped = _quarn._scan_series(_paths(folder_or_paths), recurse)
    return ScanResult([Series(h) for h in handles], list(failed), skipped)


def read_series(folder_or_paths):
    """The series under a folder (walked) or among the files named; a
    warning names each file that could not be read (scan_series lists them)."""
    scan = scan_series(folder_or_paths)
    for file, error in scan.failed:
        warnings.warn(f"{file}: {error}", stacklevel=2)
    return scan.series


def output_names(series):
    """The names `quarn convert -o OUTDIR/` gives the series' volumes."""
    return _quarn._output_names([s._h for s in series])
