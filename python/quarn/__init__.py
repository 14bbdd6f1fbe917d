"""Quarn for Python: MRI slices from DICOM, ACR-NEMA, GE Signa, Siemens, GE
Genesis and raw files as NumPy arrays, with their geometry records.

    import quarn
    s = quarn.read("IM0001")          # format taken from the file's bytes
    s.pixels                          # numpy array (rows, columns)
    s.header.size_pix                 # the header record's fields
    first, last, headers = quarn.scan(paths)

The library keeps process-wide state while it reads, so read one file at a
time (the module holds the GIL during every call).
"""

import os
import re

__all__ = [
    "QuarnError", "read", "scan", "detect_file_type",
    "Slice", "RawHeaderInfo", "DicomHeaderInfo", "DicomPositionInfo", "MriSliceInformation",
    "MriFileType", "SliceType", "BaseDataType", "GrayTranslationMethod",
    "read_mri_slice", "read_raw_slice",
    "find_dicom_file_image_range", "find_siemens_file_image_range", "find_signa_file_image_range",
    "find_ximg_file_image_range", "find_ximage_file_image_range", "dicom_values_are_consistant",
    "get_comparison_tolerance", "set_comparison_tolerance", "ascii_rep_of_mri_file_type",
]


class QuarnError(Exception):
    """A read failed: the library's ecError or a negative status code.

    ``message`` is the library's text; ``status`` the status code, or None
    when the failure carries none.
    """

    def __init__(self, message, status=None):
        super().__init__(message, status)
        self.message = message
        self.status = status

    def __str__(self):
        return self.message


# Messages of the readers end in their status: "... <name> -101" or
# "... <name> status = -19".
_STATUS_AT_END = re.compile(r">(?: status =)? (-?\d+)\s*$")


def _status_in_message(message):
    m = _STATUS_AT_END.search(message)
    return int(m.group(1)) if m else None


from ._quarn import *  # noqa: E402,F401,F403  (the enumeration members too)
from ._quarn import (  # noqa: E402
    MriFileType, Slice, RawHeaderInfo, read_mri_slice, find_dicom_file_image_range,
    find_siemens_file_image_range, find_signa_file_image_range, find_ximg_file_image_range,
)

__all__ += [m.name for m in MriFileType] + ["SliceUnknown", "SliceAxial", "SliceSagittal", "SliceCoronal"]

_RAW_TYPES = (MriFileType.MriRaw8, MriFileType.MriRaw16, MriFileType.MriRaw16Swapped, MriFileType.MriRawFloat)


def detect_file_type(path):
    """The file type of a slice file, from its own bytes.

    "DICM" at byte 128: MriDicom (DICOM part 10). "IMGF" at byte 0: MriSigna
    (GE Signa and Genesis files share it; read() takes such files with the
    Genesis reader, scan() with the Signa scan). "SIEMENS" at byte 96 of a file of at least 6144 bytes:
    MriSiemens. A first element group of 1 to 8 (little-endian): MriDicom
    (ACR-NEMA, no preamble). Anything else raises QuarnError: headerless raw
    files cannot be recognised and need type= and header=.
    """
    path = os.fspath(path)
    with open(path, "rb") as f:
        head = f.read(132)
        size = os.fstat(f.fileno()).st_size
    if head[128:132] == b"DICM":
        return MriFileType.MriDicom
    if head[:4] == b"IMGF":
        return MriFileType.MriSigna
    if size >= 6144 and head[96:103] == b"SIEMENS":
        return MriFileType.MriSiemens
    if len(head) >= 8 and 1 <= int.from_bytes(head[:2], "little") <= 8:
        return MriFileType.MriDicom
    raise QuarnError(f"<{path}> is not a file of a known format (DICOM, ACR-NEMA, GE Signa/Genesis, Siemens); "
                     "raw files need type= and header=")


def read(path, type=None, header=None, display=True, options=0):
    """Reads one slice file into a Slice.

    type: a MriFileType, or None to detect it from the file's bytes ("IMGF"
    files are then read with the Genesis reader).
    header: a RawHeaderInfo describing a raw file (required for raw types).
    display: a display slice (every format); False reads raw files into a
    plain slice. options: the library's option bits (0x10000 halves raw
    slices while reading).
    """
    if type is None:
        type = detect_file_type(path)
        if type == MriFileType.MriSigna:
            # "IMGF" files: the Genesis reader decodes all four storage
            # methods of these files into the slice.
            type = MriFileType.MriGenesis
    if type in _RAW_TYPES and header is None:
        raise ValueError("raw files have no header of their own: pass header=RawHeaderInfo describing them")
    if header is not None and not isinstance(header, RawHeaderInfo):
        raise TypeError(f"header must be a RawHeaderInfo, not {header.__class__.__name__}")
    return read_mri_slice(path, type, header, display, options)


_SCANS = {
    MriFileType.MriDicom: find_dicom_file_image_range,
    MriFileType.MriSiemens: find_siemens_file_image_range,
    MriFileType.MriSigna: find_signa_file_image_range,
    MriFileType.MriGenesis: find_ximg_file_image_range,
}


def scan(paths, type=None):
    """Scans the files of one series: (first image number, last image number,
    list of DicomHeaderInfo in the order of paths).

    type: MriDicom, MriSiemens, MriSigna or MriGenesis (the XImg scan), or
    None to detect it from the first file ("IMGF" files: the Signa scan,
    which reads their image numbers and geometry). DICOM series are also checked for
    consistency; a negative verdict raises QuarnError with its status. Sort
    the headers by image number with sorted(headers).
    """
    if isinstance(paths, (str, bytes, os.PathLike)):
        raise TypeError("scan takes a list of file names, not a single file name")
    paths = list(paths)
    if type is None:
        if not paths:
            raise ValueError("scan of an empty list needs type=")
        type = detect_file_type(paths[0])
    try:
        fn = _SCANS[MriFileType(type)]
    except (ValueError, KeyError):
        raise ValueError(f"no series scan for file type {type!r}") from None
    return fn(paths)
from .series import Series, read_series, scan_series  # noqa: E402,F401
