# The binding: types and dtypes, buffer ownership, errors and their types,
# dispatch by file type. What the readers read is tested in tests/ (C++).
import copy
import gc

import numpy as np
import pytest

import quarn
from conftest import DATA, raw_header


@pytest.mark.parametrize("ftype,word,dtype", [
    (quarn.MriRaw8, "uchar", np.uint8),
    (quarn.MriRaw16, "short", np.int16),
    (quarn.MriRawFloat, "float", np.float32),
])
@pytest.mark.parametrize("display", [False, True])
def test_pixels_arrive_in_their_type_and_shape(tmp_path, ftype, word, dtype, display):
    expected = (np.arange(24 * 20) % 251).astype(dtype).reshape(20, 24)
    path = tmp_path / "slice.raw"
    expected.tofile(path)
    s = quarn.read_mri_slice(path, ftype, raw_header(24, 20, word), display)
    assert s.shape == (20, 24) and s.dtype == dtype and s.is_display == display
    assert s.pixels.dtype == dtype and np.array_equal(s.pixels, expected)
    assert quarn.read_raw_slice(path, ftype, raw_header(24, 20, word)).pixels.dtype == dtype


@pytest.mark.parametrize("display", [False, True])
def test_pixels_share_the_slice_buffer_and_keep_the_slice_alive(tmp_path, display):
    values = np.arange(64 * 64, dtype=np.int16).reshape(64, 64)
    path = tmp_path / "slice.raw"
    values.tofile(path)
    s = quarn.read_mri_slice(path, quarn.MriRaw16, raw_header(64, 64), display)
    a, b = s.pixels, s.pixels
    assert np.shares_memory(a, b) and a.base is s and not a.flags.writeable
    with pytest.raises(ValueError):
        a[0, 0] = 1
    del s, b
    gc.collect()
    junk = [np.full((64, 64), 7, dtype=np.int16) for _ in range(50)]  # reuse any freed memory
    assert np.array_equal(a, values) and len(junk) == 50


def test_records_are_values_with_enumerations_and_latin_1_texts(tmp_path):
    a, b = quarn.RawHeaderInfo(), quarn.RawHeaderInfo()
    a.image_num, b.image_num = 9, 3
    c = copy.copy(a)
    c.image_num = 1
    assert a.image_num == 9 and [h.image_num for h in sorted([a, b, c])] == [1, 3, 9]
    a.plane_type = 6
    assert a.plane_type == 6 and type(a.plane_type) is int  # no member: a plain int
    a.file_type = 13
    assert a.file_type is quarn.MriRawFloat and a.data_type is quarn.BaseDataType.Unknown
    d = quarn.DicomHeaderInfo()
    p = quarn.DicomPositionInfo()
    assert p.set_direction("1\\0\\0\\0\\1\\0") == 1 and p.row_col_dirs == ((1, 0, 0), (0, 1, 0))
    d.position = p
    d.position.set_orientation("HFS")  # works on a copy: the record keeps its own
    assert d.position == p and d.position.orientation == "" and isinstance(d, quarn.RawHeaderInfo)
    (tmp_path / "g.txt").write_text("<Coronal: uchar>(64,32,1,1,1,0,5)")
    assert c.evaluate_file(tmp_path / "g.txt") and c.image_plane is quarn.SliceCoronal
    i = quarn.MriSliceInformation()
    i.patient_name = "Müller"
    i.patient_id = b"\xff\x00x"
    assert i.ascii(1) == "sPatientName=Müller\nsPatientID=\xff\x00x\n" and i.patient_name == "Müller"


def test_errors_have_their_python_types_and_statuses(tmp_path):
    h = raw_header(16, 16)
    short = tmp_path / "short.raw"
    short.write_bytes(b"\0" * 100)
    full = tmp_path / "full.raw"
    full.write_bytes(b"\0" * 512)
    for call, error, match in [
        (lambda: setattr(h, "data_offset", 2**31), ValueError, "data_offset"),
        (lambda: setattr(h, "spare", (1, 2, 3)), ValueError, "five"),
        (lambda: setattr(h, "num_pix", "256"), TypeError, None),
        (lambda: quarn.MriSliceInformation().__setattr__("model_name", "\u540d"), ValueError, None),
        (lambda: quarn.read_raw_slice(42, quarn.MriRaw16, h), TypeError, None),
        (lambda: quarn.read_raw_slice("a\0b", quarn.MriRaw16, h), ValueError, "NUL"),
        (lambda: quarn.read_raw_slice(short, quarn.MriDicom, h), ValueError, "raw file types"),
        (lambda: quarn.read_raw_slice(short, quarn.MriRaw16, "header"), TypeError, None),
        (lambda: quarn.find_dicom_file_image_range("IM0001"), TypeError, "list of file names"),
    ]:
        with pytest.raises(error, match=match):
            call()
    for call, status in [
        (lambda: quarn.read_raw_slice(tmp_path / "missing.raw", quarn.MriRaw16, h), -19),
        (lambda: quarn.read_mri_slice(tmp_path / "missing.raw", quarn.MriRaw16, h), -19),
        (lambda: quarn.read_raw_slice(short, quarn.MriRaw8, quarn.RawHeaderInfo()), -1),
        (lambda: quarn.DicomPositionInfo().set_position("1\\2"), -2),
        (lambda: quarn.read_raw_slice(short, quarn.MriRaw16, h), -20),
        (lambda: quarn.read_mri_slice(full, quarn.MriRaw16, h, False).set_rotation_flags(2), -100),
        (lambda: quarn.read_mri_slice(short, 2), None),
        (lambda: quarn.read_mri_slice(DATA / "siemens" / "3868-2-100.ima", quarn.MriSiemens), -56),
        (lambda: quarn.find_signa_file_image_range([DATA / "genesis" / "c_vf1122.fre", DATA / "genesis" / "x.fre"]),
         -102),
        (lambda: quarn.find_dicom_file_image_range([DATA / "dicom/itk/DicomSeries/Image0075.dcm",
                                                    tmp_path / "missing.dcm"]), -101),
    ]:
        with pytest.raises(quarn.QuarnError) as e:
            call()
        assert e.value.status == status and str(e.value) == e.value.message


@pytest.mark.parametrize("files,ftype,numbers", [
    (["genesis/c_vf1210.fre", "genesis/c_vf1122.fre"], quarn.MriSigna, (122, 214)),
    (["siemens/3868-2-101.ima", "siemens/3868-2-100.ima"], quarn.MriSiemens, (100, 101)),
    (["dicom/itk/DicomSeries/Image0077.dcm", "dicom/itk/DicomSeries/Image0075.dcm"], quarn.MriDicom, (75, 77)),
])
def test_legacy_scan_and_read_dispatch_by_file_type(files, ftype, numbers):
    paths = [DATA / f for f in files]
    scan = {quarn.MriSigna: quarn.find_signa_file_image_range, quarn.MriSiemens: quarn.find_siemens_file_image_range,
            quarn.MriDicom: quarn.find_dicom_file_image_range}[ftype]
    first, last, headers = scan(paths)
    assert (first, last) == numbers and [h.file_name for h in headers] == [str(p) for p in paths]
    if ftype is not quarn.MriSiemens:  # the Siemens samples hold no whole pixel block
        s = quarn.read_mri_slice(paths[0], quarn.MriGenesis if ftype is quarn.MriSigna else ftype)
        assert s.is_display and s.header.image_num == numbers[1] and s.pixels.shape == s.shape
