"""Quarn for Python: MRI slices from DICOM, ACR-NEMA, GE Signa, GE Genesis,
Siemens and raw files as NumPy arrays, with what each file says about them.

    import quarn
    im = quarn.read("IM0001")         # format taken from the file's bytes
    im.pixels                         # numpy array, the file's own type and shape
    im.image["PixelSpacing"]          # [row, column] in mm, or None when the file does not say
    im.rescaled()                     # float32 values in rescaled units
    for record in quarn.scan(paths):  # one record per file: its image or its error
        ...

Files are read without the GIL, so several threads can read at once. The
slice interface is here too: slices, header records and series scans
(read_mri_slice, find_dicom_file_image_range, ...).
"""

import json
import os
import re
from typing import NamedTuple, Optional, Tuple

import numpy as np

__all__ = [
    "QuarnError", "Image", "RawLayout", "read", "scan", "detect_file_type",
    "Slice", "RawHeaderInfo", "DicomHeaderInfo", "DicomPositionInfo", "MriSliceInformation",
    "MriFileType", "SliceType", "BaseDataType", "GrayTranslationMethod",
    "read_mri_slice", "read_raw_slice",
    "find_dicom_file_image_range", "find_siemens_file_image_range", "find_signa_file_image_range",
    "find_ximg_file_image_range", "find_ximage_file_image_range", "dicom_values_are_consistant",
    "get_comparison_tolerance", "set_comparison_tolerance", "ascii_rep_of_mri_file_type",
]


class QuarnError(Exception):
    """A file could not be read, or a call of the slice interface failed.

    ``message`` names the file and the cause. ``reason`` is the reason word of
    a read or scan ("cannot-open", "empty", "unknown-format", "truncated",
    "malformed", "unsupported", "compressed", "needs-geometry"), None for the
    slice interface; ``file`` the file's name where there is one; ``status``
    the slice interface's status code, or None.
    """

    def __init__(self, message, status=None, reason=None, file=None):
        super().__init__(message, status, reason, file)
        self.message = message
        self.status = status
        self.reason = reason
        self.file = file

    def __str__(self):
        return self.message


# Messages of the readers end in their status: "... <name> -101" or
# "... <name> status = -19".
_STATUS_AT_END = re.compile(r">(?: status =)? (-?\d+)\s*$")


def _status_in_message(message):
    m = _STATUS_AT_END.search(message)
    return int(m.group(1)) if m else None


from ._quarn import *  # noqa: E402,F401,F403  (the enumeration members too)
from ._quarn import MriFileType, __version__, _describe, _probe, _read, _scan  # noqa: E402,F401

__all__ += [m.name for m in MriFileType] + ["SliceUnknown", "SliceAxial", "SliceSagittal", "SliceCoronal"]


class Image:
    """One slice file read by :func:`read`.

    ``pixels``: the stored values as a read-only NumPy array of the file's
    type (uint8, int8, uint16, int16, uint32, int32 or float32) and of the
    shape pydicom gives: (rows, columns), (frames, rows, columns) for several
    frames, with a last axis of 3 samples for colour. The array owns its
    memory and outlives the Image. ``image``: what the file says, under DICOM
    keywords (the "image" object of ``quarn info --json``); None for what the
    file does not say. ``file``: the name read. ``format``: the format word
    ("dicom", "nema", "signa", "genesis", "siemens", "raw").
    """

    __slots__ = ("file", "format", "pixels", "_image")

    def __init__(self, file, format, image, pixels):
        self.file = file
        self.format = format
        self.pixels = pixels
        self._image = image  # None: made from the pixel array's image on first use

    @property
    def image(self):
        if self._image is None:
            self._image = json.loads(_describe(self.pixels))
        return self._image

    def rescaled(self):
        """The pixels in rescaled units as float32: value × RescaleSlope +
        RescaleIntercept, with slope 1 and intercept 0 where the file states
        none. A new array each call."""
        slope, intercept = self.image.get("RescaleSlope"), self.image.get("RescaleIntercept")
        slope = 1.0 if slope is None else slope
        intercept = 0.0 if intercept is None else intercept
        return (self.pixels.astype(np.float64) * slope + intercept).astype(np.float32)

    def __repr__(self):
        shape = "x".join(str(n) for n in self.pixels.shape)
        return f"<quarn.Image {self.file!r} {self.format} {shape} {self.pixels.dtype}>"


class RawLayout(NamedTuple):
    """The geometry of a headerless raw file, for ``read(path, raw=...)``.

    rows, columns; pixel_type: "uint8", "int8", "uint16", "int16", "uint32",
    "int32", "float32" (or the NumPy type); byte_order: "little" or "big";
    offset: where the pixels start, -1 when they are the file's last bytes;
    pixel_spacing: (row, column) in mm, or None; slice_thickness in mm, or None.
    """

    rows: int
    columns: int
    pixel_type: str = "int16"
    byte_order: str = "little"
    offset: int = -1
    pixel_spacing: Optional[Tuple[float, float]] = None
    slice_thickness: Optional[float] = None


def _layout(raw):
    raw = RawLayout(**raw) if isinstance(raw, dict) else RawLayout(*raw)
    if not isinstance(raw.pixel_type, str):
        dtype = np.dtype(raw.pixel_type)
        if dtype.byteorder not in "=|":
            raise ValueError("give the byte order as byte_order=, not in pixel_type")
        raw = raw._replace(pixel_type=dtype.name)
    return raw


def read(path, *, format=None, raw=None):
    """Reads one slice file into an :class:`Image`.

    The format is taken from the file's bytes (see :func:`detect_file_type`),
    or from ``format`` ("dicom", "nema", "signa", "genesis", "siemens",
    "raw"). ``raw``: a :class:`RawLayout` (or a dict or tuple of its fields)
    for headerless raw files; it is refused for a file whose bytes show
    another format unless ``format="raw"``. Raises :class:`QuarnError` with
    ``.reason`` when the file cannot be read, ValueError for bad arguments.
    """
    if raw is not None:
        if format not in (None, "raw"):
            raise ValueError(f"raw geometry applies only to raw files, not to format={format!r}")
        raw = _layout(raw)
    file = os.fsdecode(path) if isinstance(path, (str, bytes, os.PathLike)) else path
    word, pixels = _read(path, format, raw)
    return Image(file, word, None, pixels)


def scan(paths):
    """Reads every file of ``paths`` and describes each, in order; one bad
    file never stops the others.

    Returns a list with one dict per file: ``{"file", "format", "image"}``
    (``image`` as :attr:`Image.image`) for a file that was read, and
    ``{"file", "error", "reason"}`` (the message and reason word of the
    :class:`QuarnError` that :func:`read` would raise) for one that was not.
    """
    if isinstance(paths, (str, bytes, os.PathLike)):
        raise TypeError("scan takes a list of file names, not a single file name")
    records = []
    for file, word, text, error in _scan(paths):
        if error is None:
            records.append({"file": file, "format": word, "image": json.loads(text)})
        else:
            records.append({"file": file, "error": error.message, "reason": error.reason})
    return records


def detect_file_type(path):
    """The format word a file's bytes show: "dicom", "nema", "genesis",
    "siemens", or "unknown" (headerless raw files cannot be told). The same
    probe as :func:`read`; raises :class:`QuarnError` for files that cannot
    be opened or are empty."""
    return _probe(path)[0]
from .series import Series, read_series, scan_series  # noqa: E402,F401
