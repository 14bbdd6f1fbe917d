import copy

import pytest

import quarn


def test_new_header_record_and_its_python_names():
    h = quarn.RawHeaderInfo()
    assert (h.num_pix, h.num_pix_y, h.size_pix, h.size_pix_y) == (256, 256, 0.8594, 0.8594)
    assert (h.slice_thickness, h.slice_spacing, h.atten_fact, h.num_frames) == (3.0, 0.0, 1.0, 1)
    assert h.plane_type is quarn.SliceAxial and h.image_plane is quarn.SliceType.SliceUnknown
    assert h.file_type is quarn.MriNone and h.data_type is quarn.BaseDataType.Unknown
    assert h.defaults and not h.is_valid and not h.is_valid_for_use(0)
    assert h.encode_flags() == 0x50 and h.spare == (0, 0, 0, 0, 0)
    assert h.ascii(1).endswith("(256,256,0.85940,0.85940, 3.0000, 0.0000,  0,1.0000,    0)")
    assert h.ascii(2).startswith("RawHeaderInfo\r\nPlaneType=Axial\r\n")


def test_enumeration_fields_take_any_int_and_give_members_where_there_are_some():
    h = quarn.RawHeaderInfo()
    h.plane_type = 6
    assert h.plane_type == 6 and type(h.plane_type) is int
    assert h.get_slice_type() is quarn.SliceUnknown
    h.plane_type = quarn.SliceCoronal
    assert h.get_slice_type() is quarn.SliceCoronal
    h.file_type = 13
    assert h.file_type is quarn.MriRawFloat
    assert isinstance(quarn.MriDicom, int) and quarn.MriFileType(4) is quarn.MriDicom


def test_compact_text_evaluation_and_flags():
    h = quarn.RawHeaderInfo()
    assert h.evaluate("  <Sagittal: short>(256, 256, 0.9, 0.9, 3, 3.5, 12)")
    assert h.is_valid and h.evaluated and not h.defaults
    assert h.plane_type is quarn.SliceSagittal and h.image_plane is quarn.SliceSagittal
    assert h.image_num == 12 and h.atten_fact == 0.0 and h.encode_flags() == 0x30
    assert h.data_type is quarn.BaseDataType.Short
    assert not h.evaluate("<Sagittal short>(256,256,0.9,0.9,3,3.5,12)") and not h.is_valid
    h.is_valid = True
    assert not h.evaluate(h.ascii(0)) and h.is_valid  # the readable form is refused, record untouched
    h.decode_flags(0x7FF)
    assert h.flag_code == 31 and all((h.evaluated, h.defaults, h.flag7, h.flag8, h.flag9, h.flag10))


def test_evaluate_file_reads_a_text_file(tmp_path):
    p = tmp_path / "geometry.txt"
    p.write_text("<Coronal: uchar>(64,32,1,1,1,0,5)")
    h = quarn.RawHeaderInfo()
    assert h.evaluate_file(p) and (h.num_pix, h.num_pix_y, h.image_num) == (64, 32, 5)
    assert not quarn.RawHeaderInfo().evaluate_file(tmp_path / "missing.txt")


def test_records_are_values_and_sort_by_image_number():
    a, b = quarn.RawHeaderInfo(), quarn.RawHeaderInfo()
    a.image_num, b.image_num = 9, 3
    c = copy.copy(a)
    c.image_num = 1
    assert a.image_num == 9
    assert [h.image_num for h in sorted([a, b, c])] == [1, 3, 9]
    assert not (a < copy.deepcopy(a))
    d = quarn.RawHeaderInfo(a)
    assert d.image_num == 9 and d.assign(b) and d.image_num == 3


def test_bad_values_are_refused_with_clear_errors():
    h = quarn.RawHeaderInfo()
    with pytest.raises(ValueError, match="data_offset"):
        h.data_offset = 2**31
    h.data_offset = -1
    assert h.data_offset == -1
    with pytest.raises(ValueError, match="five"):
        h.spare = (1, 2, 3)
    with pytest.raises(TypeError):
        h.num_pix = "256"
    with pytest.raises(TypeError):
        h.ascii(-1)


def test_dicom_header_and_position_records():
    h = quarn.DicomHeaderInfo()
    assert isinstance(h, quarn.RawHeaderInfo)
    assert h.ascii(0).startswith("Filename : \nImage Offset : 0\nRawHeaderInfo\n")
    assert h.ascii(0).endswith("vPosition = *Unset*\nmRowColDirs = *Unset*\nsOrientation = *Unset*\n")
    p = quarn.DicomPositionInfo()
    assert p.set_position("-125.5\\-100\\42") == 1 and p.position == (-125.5, -100.0, 42.0)
    assert p.set_direction("1\\0\\0\\0\\1\\0") == 1 and p.row_col_dirs == ((1, 0, 0), (0, 1, 0))
    with pytest.raises(quarn.QuarnError) as e:
        p.set_position("1\\2")
    assert e.value.status == -2 and p.position == (-125.5, -100.0, 42.0)
    h.position = p
    h.file_name = "IM0001"
    h.position.set_orientation("HFS")  # a copy: the record keeps its own
    assert h.position == p and h.position.orientation == ""
    assert "mRowColDirs = 1 0 0 :0 1 0 \n" in h.ascii(0) and h.file_name == "IM0001"


def test_slice_information_record():
    i = quarn.MriSliceInformation()
    assert i.ascii(0) == "".join(k + "=\n" for k in (
        "sManufacturer", "sInstitutionName", "sAnnotation", "sModelName", "sPatientName", "sPatientID",
        "sTextPatientPosition"))
    i.patient_id = "A\nB"
    assert i.ascii(1) == "sPatientID=A\nB\n"
    i.reset()
    assert i.ascii(1) == ""


def test_file_type_names_come_from_the_library():
    assert quarn.ascii_rep_of_mri_file_type(quarn.MriNone) in quarn.RawHeaderInfo().ascii(0)
