# The records in Python: names, enumerations, value semantics, bad values.
import copy

import pytest

import quarn


def test_header_record_fields_under_their_python_names():
    h = quarn.RawHeaderInfo()
    assert (h.num_pix, h.num_pix_y, h.size_pix, h.size_pix_y) == (256, 256, 0.8594, 0.8594)
    assert (h.slice_thickness, h.slice_spacing, h.atten_fact, h.num_frames) == (3.0, 0.0, 1.0, 1)
    assert h.plane_type is quarn.SliceAxial and h.image_plane is quarn.SliceType.SliceUnknown
    assert h.file_type is quarn.MriNone and h.data_type is quarn.BaseDataType.Unknown
    assert h.defaults and not h.is_valid and h.encode_flags() == 0x50 and h.spare == (0, 0, 0, 0, 0)
    assert h.evaluate("  <Sagittal: short>(256, 256, 0.9, 0.9, 3, 3.5, 12)")
    assert h.image_plane is quarn.SliceSagittal and h.data_type is quarn.BaseDataType.Short
    assert h.image_num == 12 and h.is_valid and h.ascii(2).startswith("RawHeaderInfo\r\nPlaneType=Sagittal\r\n")
    h.decode_flags(0x7FF)
    assert h.flag_code == 31 and all((h.evaluated, h.defaults, h.flag7, h.flag8, h.flag9, h.flag10))


def test_enumeration_fields_take_any_int_and_give_members_where_there_are_some():
    h = quarn.RawHeaderInfo()
    h.plane_type = 6
    assert h.plane_type == 6 and type(h.plane_type) is int and h.get_slice_type() is quarn.SliceUnknown
    h.file_type = 13
    assert h.file_type is quarn.MriRawFloat and quarn.MriFileType(4) is quarn.MriDicom
    assert quarn.ascii_rep_of_mri_file_type(quarn.MriRawFloat) in h.ascii(0)


def test_evaluate_file_takes_path_objects(tmp_path):
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
    assert a.image_num == 9 and [h.image_num for h in sorted([a, b, c])] == [1, 3, 9]
    d = quarn.DicomHeaderInfo()
    p = quarn.DicomPositionInfo()
    assert p.set_direction("1\\0\\0\\0\\1\\0") == 1 and p.row_col_dirs == ((1, 0, 0), (0, 1, 0))
    d.position = p
    d.position.set_orientation("HFS")  # works on a copy: the record keeps its own
    assert d.position == p and d.position.orientation == "" and isinstance(d, quarn.RawHeaderInfo)


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
    with pytest.raises(quarn.QuarnError) as e:
        quarn.DicomPositionInfo().set_position("1\\2")
    assert e.value.status == -2


def test_texts_go_in_and_come_out_as_latin_1():
    i = quarn.MriSliceInformation()
    i.patient_name = "Müller"
    i.patient_id = b"\xff\x00x"
    assert i.ascii(1) == "sPatientName=Müller\nsPatientID=\xff\x00x\n" and i.patient_name == "Müller"
    with pytest.raises(ValueError):
        i.model_name = "\u540d"
