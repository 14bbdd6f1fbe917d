import enum
import os
from typing import Any, Dict, Iterable, List, Literal, Mapping, NamedTuple, Optional, Tuple, Union

import numpy as np
import numpy.typing as npt

_Path = Union[str, bytes, os.PathLike]

__version__: str

_Reason = Literal["cannot-open", "empty", "unknown-format", "truncated", "malformed", "unsupported", "compressed",
                  "needs-geometry"]
_Format = Literal["dicom", "nema", "signa", "genesis", "siemens", "raw"]
_PixelType = Literal["uint8", "int8", "uint16", "int16", "uint32", "int32", "float32"]

class QuarnError(Exception):
    message: str
    status: Optional[int]
    reason: Optional[_Reason]
    file: Optional[str]
    def __init__(self, message: str, status: Optional[int] = ..., reason: Optional[str] = ...,
                 file: Optional[str] = ...) -> None: ...

class Image:
    """One slice file read by read()."""
    file: str
    format: _Format
    image: Dict[str, Any]
    pixels: npt.NDArray[Union[np.uint8, np.int8, np.uint16, np.int16, np.uint32, np.int32, np.float32]]
    def __init__(self, file: str, format: str, image: Dict[str, Any], pixels: npt.NDArray[Any]) -> None: ...
    def rescaled(self) -> npt.NDArray[np.float32]: ...

class RawLayout(NamedTuple):
    """The geometry of a headerless raw file."""
    rows: int
    columns: int
    pixel_type: Union[_PixelType, str, np.dtype, type] = "int16"
    byte_order: Literal["little", "big"] = "little"
    offset: int = -1
    pixel_spacing: Optional[Tuple[float, float]] = None
    slice_thickness: Optional[float] = None

_Raw = Union[RawLayout, Mapping[str, Any], Tuple[Any, ...]]

def read(path: _Path, *, format: Optional[_Format] = None, raw: Optional[_Raw] = None) -> Image: ...
def scan(paths: Iterable[_Path]) -> List[Dict[str, Any]]: ...
def detect_file_type(path: _Path) -> Literal["dicom", "nema", "genesis", "signa", "siemens", "unknown"]: ...

class MriFileType(enum.IntEnum):
    MriNone = 0
    MriGenesis = 1
    MriFileType2 = 2
    MriFileType3 = 3
    MriDicom = 4
    MriSigna = 5
    MriSiemens = 6
    MriFileType7 = 7
    MriRaw8 = 8
    MriRaw16 = 9
    MriFileType10 = 10
    MriRaw16Swapped = 11
    MriFileType12 = 12
    MriRawFloat = 13
    MriFileType14 = 14
    MriFileType15 = 15
    MriFileType16 = 16
    MriFileType17 = 17
    MriFileType18 = 18
    MriFileType19 = 19
    MriFileType20 = 20

MriNone: MriFileType
MriGenesis: MriFileType
MriFileType2: MriFileType
MriFileType3: MriFileType
MriDicom: MriFileType
MriSigna: MriFileType
MriSiemens: MriFileType
MriFileType7: MriFileType
MriRaw8: MriFileType
MriRaw16: MriFileType
MriFileType10: MriFileType
MriRaw16Swapped: MriFileType
MriFileType12: MriFileType
MriRawFloat: MriFileType
MriFileType14: MriFileType
MriFileType15: MriFileType
MriFileType16: MriFileType
MriFileType17: MriFileType
MriFileType18: MriFileType
MriFileType19: MriFileType
MriFileType20: MriFileType

class SliceType(enum.IntEnum):
    SliceUnknown = 0
    SliceAxial = 2
    SliceSagittal = 4
    SliceCoronal = 8

SliceUnknown: SliceType
SliceAxial: SliceType
SliceSagittal: SliceType
SliceCoronal: SliceType

class BaseDataType(enum.IntEnum):
    Unknown = 0
    Short = 98
    UnsignedChar = 105
    Float = 114

class GrayTranslationMethod(enum.IntEnum):
    GrayLinear = 0
    GrayMinMax = 1

class RawHeaderInfo:
    """Geometry and format of one stored slice (a plain value)."""
    n_lower_pix_limit: int  # class-wide
    is_valid: bool
    evaluated: bool
    defaults: bool
    flag7: bool
    flag8: bool
    flag9: bool
    flag10: bool
    flag_code: int
    num_pix: int
    image_num: int
    plane_type: Union[SliceType, int]
    image_plane: Union[SliceType, int]
    num_pix_y: int
    num_frames: int
    data_type: Union[BaseDataType, int]
    file_type: Union[MriFileType, int]
    size_pix: float
    slice_spacing: float
    slice_thickness: float
    size_pix_y: float
    atten_fact: float
    data_offset: int
    spare: Tuple[int, int, int, int, int]
    def __init__(self, other: Optional[RawHeaderInfo] = ...) -> None: ...
    def __copy__(self) -> RawHeaderInfo: ...
    def __deepcopy__(self, memo: dict) -> RawHeaderInfo: ...
    def __lt__(self, other: RawHeaderInfo) -> bool: ...
    def assign(self, other: RawHeaderInfo) -> bool: ...
    def set_from_slice_info(self, source: Optional[RawHeaderInfo] = None) -> None: ...
    def is_valid_for_use(self, options: int = 0) -> bool: ...
    def get_slice_type(self) -> SliceType: ...
    def encode_flags(self) -> int: ...
    def decode_flags(self, flags: int) -> None: ...
    def ascii(self, options: int = 0) -> str: ...
    def evaluate(self, text: str) -> bool: ...
    def evaluate_file(self, path: _Path) -> bool: ...

class DicomPositionInfo:
    """Image position, row and column directions and patient position text."""
    @property
    def position(self) -> Tuple[float, ...]: ...
    @property
    def row_col_dirs(self) -> Tuple[Tuple[float, ...], ...]: ...
    @property
    def orientation(self) -> str: ...
    def __init__(self) -> None: ...
    def __copy__(self) -> DicomPositionInfo: ...
    def __deepcopy__(self, memo: dict) -> DicomPositionInfo: ...
    def set_position(self, text: str) -> int: ...
    def set_direction(self, text: str) -> int: ...
    def set_orientation(self, text: str) -> int: ...
    def ascii(self, options: int = 0) -> str: ...

class DicomHeaderInfo(RawHeaderInfo):
    """The header record of one file of a series scan."""
    image_offset: int
    file_name: str
    position: DicomPositionInfo
    def __init__(self) -> None: ...
    def __copy__(self) -> DicomHeaderInfo: ...
    def __deepcopy__(self, memo: dict) -> DicomHeaderInfo: ...
    def ascii(self, options: int = 0) -> str: ...

class MriSliceInformation:
    """Descriptive texts of a slice."""
    manufacturer: str
    institution_name: str
    annotation: str
    model_name: str
    patient_name: str
    patient_id: str
    text_patient_position: str
    def __init__(self) -> None: ...
    def __copy__(self) -> MriSliceInformation: ...
    def __deepcopy__(self, memo: dict) -> MriSliceInformation: ...
    def reset(self, options: int = 0) -> None: ...
    def ascii(self, options: int = 0) -> str: ...

class Slice:
    """A slice read by the library."""
    @property
    def pixels(self) -> npt.NDArray[Union[np.uint8, np.int16, np.float32]]: ...
    @property
    def num_rows(self) -> int: ...
    @property
    def num_cols(self) -> int: ...
    @property
    def shape(self) -> Tuple[int, int]: ...
    @property
    def dtype(self) -> np.dtype: ...
    @property
    def data_type(self) -> BaseDataType: ...
    @property
    def is_display(self) -> bool: ...
    @property
    def label(self) -> str: ...
    @property
    def header(self) -> Optional[RawHeaderInfo]: ...
    @property
    def info(self) -> Optional[MriSliceInformation]: ...
    @property
    def min_val(self) -> Union[int, float]: ...
    @property
    def max_val(self) -> Union[int, float]: ...
    def set_label(self, label: str, force: bool = False) -> int: ...
    def header_info(self, options: int = 0) -> str: ...
    def max_min_values_are_set(self) -> bool: ...
    def set_max_min_values(self, options: int = 0) -> int: ...
    def set_gray_val_translation(self, method: Union[GrayTranslationMethod, int], low: float, high: float,
                                 options: int = 0) -> int: ...
    def get_gray_val_translation(self) -> Tuple[GrayTranslationMethod, float, float]: ...
    def set_rotation_flags(self, flags: int) -> int: ...
    def get_rotation_flags(self) -> int: ...

_Headers = Tuple[int, int, list[DicomHeaderInfo]]

def read_mri_slice(name: _Path, type: Union[MriFileType, int], header: Optional[RawHeaderInfo] = None,
                   display: bool = True, options: int = 0) -> Slice: ...
def read_raw_slice(name: _Path, type: Union[MriFileType, int], header: RawHeaderInfo, options: int = 0) -> Slice: ...
def find_dicom_file_image_range(file_names: Iterable[_Path], flags: int = 0) -> _Headers: ...
def find_siemens_file_image_range(file_names: Iterable[_Path], flags: int = 0) -> _Headers: ...
def find_signa_file_image_range(file_names: Iterable[_Path], flags: int = 0) -> _Headers: ...
def find_ximg_file_image_range(file_names: Iterable[_Path], flags: int = 0) -> _Headers: ...
def find_ximage_file_image_range(file_names: Iterable[_Path], flags: int = 0) -> _Headers: ...
def dicom_values_are_consistant(headers: list[DicomHeaderInfo], validity_flags: int = 3) -> int: ...
def get_comparison_tolerance() -> Tuple[bool, float]: ...
def set_comparison_tolerance(use: bool, tolerance: float = 1e-6) -> None: ...
def ascii_rep_of_mri_file_type(type: Union[MriFileType, int]) -> str: ...
