// The compiled part of the Python package `quarn`: images read by the one
// reader (quarn::ReadImage) with their pixels as NumPy arrays and their
// description as JSON text; the slice interface (slices, header records,
// slice information record, series scans); and the mapping of
// quarn::Error, ecError and negative status codes to QuarnError.
//
// Files are read without the interpreter lock, so other Python threads run
// meanwhile.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Quarn.h"
#include "QuarnImage.h"
#include "QuarnVersion.h"

namespace py = pybind11;

void BindSeries(py::module_& m);  // series_binding.cpp

namespace {

// Raises quarn.QuarnError(message, status).
[[noreturn]] void RaiseQuarnError(const std::string& message, py::object status)
{
    py::object cls = py::module_::import("quarn").attr("QuarnError");
    PyErr_SetObject(cls.ptr(), cls(message, status).ptr());
    throw py::error_already_set();
}

[[noreturn]] void RaiseStatus(const std::string& what, int status)
{
    RaiseQuarnError(what + " failed with status " + std::to_string(status), py::int_(status));
}

// A negative status becomes a QuarnError; anything else is returned.
int Checked(const std::string& what, int status)
{
    if (status < 0) RaiseStatus(what, status);
    return status;
}

// Clears the array's writeable flag (what setflags(write=False) does,
// without a call through Python).
void ReadOnly(py::array& a)
{
    py::detail::array_proxy(a.ptr())->flags &= ~py::detail::npy_api::NPY_ARRAY_WRITEABLE_;
}

// Texts that come from files are not guaranteed to be UTF-8: every byte is
// taken as one Latin-1 character, so no text ever fails to convert.
py::str Latin1(const std::string& s)
{
    PyObject* o = PyUnicode_DecodeLatin1(s.data(), static_cast<Py_ssize_t>(s.size()), nullptr);
    if (!o) throw py::error_already_set();
    return py::reinterpret_steal<py::str>(o);
}

// Texts going into the library: str taken as Latin-1 (the reverse of
// Latin1 above; other characters raise UnicodeEncodeError, a ValueError), or
// bytes as they are.
std::string TextArg(const py::object& text)
{
    if (py::isinstance<py::bytes>(text)) return text.cast<std::string>();
    if (!py::isinstance<py::str>(text))
        throw py::type_error("expected str or bytes, not " + std::string(py::str(text.get_type().attr("__name__"))));
    return text.attr("encode")("latin-1").cast<std::string>();
}

// File names: str, bytes or os.PathLike, in the file system's encoding.
std::string PathArg(const py::handle& path)
{
    // os.fsencode(path), without a call through Python.
    PyObject* p = PyOS_FSPath(path.ptr());
    if (!p) throw py::error_already_set();
    py::object name = py::reinterpret_steal<py::object>(p);
    if (PyUnicode_Check(p)) {
        PyObject* encoded = PyUnicode_EncodeFSDefault(p);
        if (!encoded) throw py::error_already_set();
        name = py::reinterpret_steal<py::object>(encoded);
    }
    std::string s = name.cast<py::bytes>();
    if (s.find('\0') != std::string::npos) throw py::value_error("file name contains a NUL character");
    return s;
}

py::str PathText(const std::string& s)
{
    PyObject* o = PyUnicode_DecodeFSDefaultAndSize(s.data(), static_cast<Py_ssize_t>(s.size()));
    if (!o) throw py::error_already_set();
    return py::reinterpret_steal<py::str>(o);
}

std::vector<std::string> PathList(const py::iterable& paths)
{
    if (py::isinstance<py::str>(paths) || py::isinstance<py::bytes>(paths))
        throw py::type_error("expected a list of file names, not a single file name");
    std::vector<std::string> out;
    for (py::handle p : paths) out.push_back(PathArg(p));
    return out;
}

// The IntEnum classes, made once at import and kept for the process's life.
struct Enums {
    py::object fileType, sliceType, baseDataType, grayMethod;
};
Enums* gEnums = nullptr;

// A value of an IntEnum, or the plain int when the enumeration has no member
// for it (records can carry any int in their enumeration fields).
py::object EnumValue(const py::object& cls, int value)
{
    try {
        return cls(value);
    } catch (py::error_already_set& e) {
        if (!e.matches(PyExc_ValueError)) throw;
        return py::int_(value);
    }
}

py::object MakeIntEnum(py::module_& m, const char* name, const char* doc,
                       const std::vector<std::pair<const char*, int>>& members, bool exportMembers)
{
    py::list items;
    for (const auto& [key, value] : members) items.append(py::make_tuple(key, value));
    py::object cls = py::module_::import("enum").attr("IntEnum")(name, items, py::arg("module") = "quarn");
    cls.attr("__doc__") = doc;
    m.attr(name) = cls;
    if (exportMembers)
        for (const auto& [key, value] : members) m.attr(key) = cls.attr(key);
    return cls;
}

template <class T>
const char* DTypeName();
template <>
const char* DTypeName<unsigned char>() { return "uint8"; }
template <>
const char* DTypeName<short>() { return "int16"; }
template <>
const char* DTypeName<float>() { return "float32"; }

// A slice read by the library, owned by its Python object.
class Slice {
public:
    explicit Slice(ecMriSliceBase* s) : slice(s)
    {
        if ((u8 = dynamic_cast<ecMriSlice<unsigned char>*>(s))) return;
        if ((s16 = dynamic_cast<ecMriSlice<short>*>(s))) return;
        f32 = dynamic_cast<ecMriSlice<float>*>(s);
    }

    ecMriSliceBase& Base() const { return *slice; }

    template <class F>
    decltype(auto) Visit(F&& f) const
    {
        if (u8) return f(*u8);
        if (s16) return f(*s16);
        if (f32) return f(*f32);
        throw std::logic_error("slice of an unknown pixel type");
    }

private:
    std::unique_ptr<ecMriSliceBase> slice;
    ecMriSlice<unsigned char>* u8 = nullptr;
    ecMriSlice<short>* s16 = nullptr;
    ecMriSlice<float>* f32 = nullptr;
};

// The pixels as a read-only rows x columns array over the slice's own
// buffer; the array holds a reference to the Python slice object, which keeps
// the slice (and so the buffer) alive as long as the array lives.
py::array Pixels(const py::object& self)
{
    const Slice& s = self.cast<const Slice&>();
    return s.Visit([&](const auto& typed) {
        using T = std::remove_cv_t<std::remove_pointer_t<decltype(typed.GetPixels())>>;
        const py::dtype dt(DTypeName<T>());
        const T* data = typed.GetPixels();
        const py::ssize_t rows = typed.GetNumRows(), cols = typed.GetNumCols();
        py::array a;
        if (!data || rows < 1 || cols < 1) {
            a = py::array(dt, std::vector<py::ssize_t>{0, 0});
        } else {
            a = py::array(dt, {rows, cols}, {cols * static_cast<py::ssize_t>(sizeof(T)), static_cast<py::ssize_t>(sizeof(T))},
                          data, self);
        }
        ReadOnly(a);
        return a;
    });
}

py::object ScalarOf(unsigned char v) { return py::int_(v); }
py::object ScalarOf(short v) { return py::int_(v); }
py::object ScalarOf(float v) { return py::float_(v); }

using ScanFn = int (*)(std::vector<std::string>&, int&, int&, std::vector<ecDicomHeaderInfo>&, ecRawHeaderInfo*,
                       unsigned long);

py::tuple Scan(ScanFn fn, const char* name, const py::iterable& paths, unsigned int flags)
{
    std::vector<std::string> names = PathList(paths);
    int first = 0, last = 0;
    std::vector<ecDicomHeaderInfo> headers;
    int result;
    {
        // The files are read without the interpreter's lock, so that other
        // Python threads run meanwhile.
        py::gil_scoped_release unlocked;
        result = fn(names, first, last, headers, nullptr, flags);
    }
    Checked(name, result);
    return py::make_tuple(first, last, headers);
}

void BindEnums(py::module_& m)
{
    std::vector<std::pair<const char*, int>> fileTypes = {
        {"MriNone", MriNone},         {"MriGenesis", MriGenesis},       {"MriFileType2", MriFileType2},
        {"MriFileType3", MriFileType3}, {"MriDicom", MriDicom},           {"MriSigna", MriSigna},
        {"MriSiemens", MriSiemens},   {"MriFileType7", MriFileType7},   {"MriRaw8", MriRaw8},
        {"MriRaw16", MriRaw16},       {"MriFileType10", MriFileType10}, {"MriRaw16Swapped", MriRaw16Swapped},
        {"MriFileType12", MriFileType12}, {"MriRawFloat", MriRawFloat}, {"MriFileType14", MriFileType14},
        {"MriFileType15", MriFileType15}, {"MriFileType16", MriFileType16}, {"MriFileType17", MriFileType17},
        {"MriFileType18", MriFileType18}, {"MriFileType19", MriFileType19}, {"MriFileType20", MriFileType20},
    };
    // The objects are released on purpose never: a static py::object would be
    // destroyed after the interpreter has gone.
    gEnums = new Enums{
        MakeIntEnum(m, "MriFileType", "The file types of the slice factory (MriFileType).", fileTypes, true),
        MakeIntEnum(m, "SliceType", "Slice planes (SliceType).",
                    {{"SliceUnknown", SliceUnknown}, {"SliceAxial", SliceAxial}, {"SliceSagittal", SliceSagittal},
                     {"SliceCoronal", SliceCoronal}},
                    true),
        MakeIntEnum(m, "BaseDataType", "Pixel types of slices (ecBaseData::BaseDataType).",
                    {{"Unknown", ecBaseData::Unknown}, {"Short", ecBaseData::Short},
                     {"UnsignedChar", ecBaseData::UnsignedChar}, {"Float", ecBaseData::Float}},
                    false),
        MakeIntEnum(m, "GrayTranslationMethod", "Gray-value translations of display slices.",
                    {{"GrayLinear", ecImageBase::GrayLinear}, {"GrayMinMax", ecImageBase::GrayMinMax}}, false),
    };
}

void BindRecords(py::module_& m)
{
    py::class_<ecRawHeaderInfo>(m, "RawHeaderInfo",
                                "Geometry and format of one stored slice (a plain value: copies are independent).")
        .def(py::init<>())
        .def(py::init<const ecRawHeaderInfo&>(), py::arg("other"))
        .def("__copy__", [](const ecRawHeaderInfo& h) { return ecRawHeaderInfo(h); })
        .def("__deepcopy__", [](const ecRawHeaderInfo& h, py::dict) { return ecRawHeaderInfo(h); }, py::arg("memo"))
        .def_readwrite("is_valid", &ecRawHeaderInfo::bIsValid)
        .def_readwrite("evaluated", &ecRawHeaderInfo::bEvaluated)
        .def_readwrite("defaults", &ecRawHeaderInfo::bDefaults)
        .def_readwrite("flag7", &ecRawHeaderInfo::bFlag7)
        .def_readwrite("flag8", &ecRawHeaderInfo::bFlag8)
        .def_readwrite("flag9", &ecRawHeaderInfo::bFlag9)
        .def_readwrite("flag10", &ecRawHeaderInfo::bFlag10)
        .def_readwrite("flag_code", &ecRawHeaderInfo::iFlagCode)
        .def_readwrite("num_pix", &ecRawHeaderInfo::iNumPix)
        .def_readwrite("image_num", &ecRawHeaderInfo::iImageNum)
        .def_property(
            "plane_type", [](const ecRawHeaderInfo& h) { return EnumValue(gEnums->sliceType, h.PlaneType); },
            [](ecRawHeaderInfo& h, int v) { h.PlaneType = static_cast<SliceType>(v); })
        .def_property(
            "image_plane", [](const ecRawHeaderInfo& h) { return EnumValue(gEnums->sliceType, h.ImagePlane); },
            [](ecRawHeaderInfo& h, int v) { h.ImagePlane = static_cast<SliceType>(v); })
        .def_readwrite("num_pix_y", &ecRawHeaderInfo::iNumPixY)
        .def_readwrite("num_frames", &ecRawHeaderInfo::iNumFrames)
        .def_property(
            "data_type", [](const ecRawHeaderInfo& h) { return EnumValue(gEnums->baseDataType, h.DataType); },
            [](ecRawHeaderInfo& h, int v) { h.DataType = v; })
        .def_property(
            "file_type", [](const ecRawHeaderInfo& h) { return EnumValue(gEnums->fileType, h.FileType); },
            [](ecRawHeaderInfo& h, int v) { h.FileType = static_cast<MriFileType>(v); })
        .def_readwrite("size_pix", &ecRawHeaderInfo::fSizePix)
        .def_readwrite("slice_spacing", &ecRawHeaderInfo::fSliceSpacing)
        .def_readwrite("slice_thickness", &ecRawHeaderInfo::fSliceThickness)
        .def_readwrite("size_pix_y", &ecRawHeaderInfo::fSizePixY)
        .def_readwrite("atten_fact", &ecRawHeaderInfo::fAttenFact)
        .def_property(
            "data_offset", [](const ecRawHeaderInfo& h) { return h.lDataOffset; },
            [](ecRawHeaderInfo& h, long long v) {
                // A 32-bit value wherever the record goes (files, texts).
                if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max())
                    throw py::value_error("data_offset must lie in -2147483648..2147483647");
                h.lDataOffset = static_cast<long>(v);
            })
        .def_property(
            "spare",
            [](const ecRawHeaderInfo& h) {
                return py::make_tuple(h.iSpare[0], h.iSpare[1], h.iSpare[2], h.iSpare[3], h.iSpare[4]);
            },
            [](ecRawHeaderInfo& h, const std::vector<int32_t>& v) {
                if (v.size() != 5) throw py::value_error("spare takes exactly five integers");
                for (size_t i = 0; i < 5; ++i) h.iSpare[i] = v[i];
            })
        .def_property_static(
            "n_lower_pix_limit", [](py::object) { return ecRawHeaderInfo::nLowerPixLimit; },
            [](py::object, int v) { ecRawHeaderInfo::nLowerPixLimit = v; })
        .def("assign", &ecRawHeaderInfo::Assign, py::arg("other"))
        .def("__lt__", &ecRawHeaderInfo::operator<, py::arg("other"))
        .def("set_from_slice_info", &ecRawHeaderInfo::SetFromSliceInfo, py::arg("source") = nullptr)
        .def("is_valid_for_use", &ecRawHeaderInfo::IsValidForUse, py::arg("options") = 0)
        .def("get_slice_type", [](const ecRawHeaderInfo& h) { return EnumValue(gEnums->sliceType, h.GetSliceType()); })
        .def("encode_flags", &ecRawHeaderInfo::EncodeFlags)
        .def("decode_flags", [](ecRawHeaderInfo& h, unsigned int f) { h.DecodeFlags(f); }, py::arg("flags"))
        .def("ascii", [](const ecRawHeaderInfo& h, unsigned int o) { return Latin1(h.Ascii(o)); },
             py::arg("options") = 0)
        .def("evaluate", [](ecRawHeaderInfo& h, const py::object& t) { return h.Evaluate(TextArg(t)); }, py::arg("text"))
        .def("evaluate_file",
             [](ecRawHeaderInfo& h, const py::object& path) { return h.Evaluate(PathArg(path).c_str()); },
             py::arg("path"))
        .def("__repr__", [](const ecRawHeaderInfo& h) { return "RawHeaderInfo(" + std::string(Latin1(h.Ascii(1))) + ")"; });

    py::class_<ecDicomPositionInfo>(m, "DicomPositionInfo", "Where a DICOM image lies in the patient.")
        .def(py::init<>())
        .def("__copy__", [](const ecDicomPositionInfo& p) { return ecDicomPositionInfo(p); })
        .def("__deepcopy__", [](const ecDicomPositionInfo& p, py::dict) { return ecDicomPositionInfo(p); },
             py::arg("memo"))
        .def_property_readonly("position",
                               [](const ecDicomPositionInfo& p) {
                                   py::list l;
                                   for (int i = 0; i < p.vPosition.size(); ++i) l.append(p.vPosition[i]);
                                   return py::tuple(l);
                               })
        .def_property_readonly("row_col_dirs",
                               [](const ecDicomPositionInfo& p) {
                                   py::list rows;
                                   for (int r = 0; r < p.mRowColDirs.rows(); ++r) {
                                       py::list row;
                                       for (int c = 0; c < p.mRowColDirs.cols(); ++c) row.append(p.mRowColDirs(r, c));
                                       rows.append(py::tuple(row));
                                   }
                                   return py::tuple(rows);
                               })
        .def_property_readonly("orientation", [](const ecDicomPositionInfo& p) { return Latin1(p.sOrientation); })
        .def("set_position",
             [](ecDicomPositionInfo& p, const py::object& text) {
                 const std::string t = TextArg(text);
                 return Checked("SetPosition", p.SetPosition(t.c_str(), static_cast<int>(t.size())));
             },
             py::arg("text"))
        .def("set_direction",
             [](ecDicomPositionInfo& p, const py::object& text) {
                 const std::string t = TextArg(text);
                 return Checked("SetDirection", p.SetDirection(t.c_str(), static_cast<int>(t.size())));
             },
             py::arg("text"))
        .def("set_orientation",
             [](ecDicomPositionInfo& p, const py::object& text) {
                 const std::string t = TextArg(text);
                 return Checked("SetOrientation", p.SetOrientation(t.c_str(), static_cast<int>(t.size())));
             },
             py::arg("text"))
        .def("ascii", [](const ecDicomPositionInfo& p, unsigned int o) { return Latin1(p.Ascii(o)); },
             py::arg("options") = 0)
        .def("__eq__", [](const ecDicomPositionInfo& a, const ecDicomPositionInfo& b) { return a == b; })
        .def("__ne__", [](const ecDicomPositionInfo& a, const ecDicomPositionInfo& b) { return !(a == b); });

    py::class_<ecDicomHeaderInfo, ecRawHeaderInfo>(
        m, "DicomHeaderInfo", "The header record of one file of a series scan: raw record, file name, offset, position.")
        .def(py::init<>())
        .def("__copy__", [](const ecDicomHeaderInfo& h) { return ecDicomHeaderInfo(h); })
        .def("__deepcopy__", [](const ecDicomHeaderInfo& h, py::dict) { return ecDicomHeaderInfo(h); }, py::arg("memo"))
        .def_readwrite("image_offset", &ecDicomHeaderInfo::iImageOffset)
        .def_property(
            "file_name", [](const ecDicomHeaderInfo& h) { return PathText(h.sFileName); },
            [](ecDicomHeaderInfo& h, const py::object& v) { h.sFileName = PathArg(v); })
        .def_readwrite("position", &ecDicomHeaderInfo::Position, py::return_value_policy::copy)
        .def("ascii", [](const ecDicomHeaderInfo& h, unsigned int o) { return Latin1(h.Ascii(o)); },
             py::arg("options") = 0)
        .def("__repr__", [](const ecDicomHeaderInfo& h) {
            return "DicomHeaderInfo(" + std::string(py::str(PathText(h.sFileName).attr("__repr__")())) + ", " +
                   std::string(Latin1(h.ecRawHeaderInfo::Ascii(1))) + ")";
        });

    using Info = ecMriSliceInformation;
    py::class_<Info>(m, "MriSliceInformation", "Descriptive texts of a slice: scanner, institution, patient.")
        .def(py::init<>())
        .def("__copy__", [](const Info& i) { return Info(i); })
        .def("__deepcopy__", [](const Info& i, py::dict) { return Info(i); }, py::arg("memo"))
#define QUARN_INFO_TEXT(py_name, field)                                                       \
    .def_property(                                                                          \
        py_name, [](const Info& i) { return Latin1(i.field); },                             \
        [](Info& i, const py::object& v) { i.field = TextArg(v); })
        QUARN_INFO_TEXT("manufacturer", sManufacturer)
        QUARN_INFO_TEXT("institution_name", sInstitutionName)
        QUARN_INFO_TEXT("annotation", sAnnotation)
        QUARN_INFO_TEXT("model_name", sModelName)
        QUARN_INFO_TEXT("patient_name", sPatientName)
        QUARN_INFO_TEXT("patient_id", sPatientID)
        QUARN_INFO_TEXT("text_patient_position", sTextPatientPosition)
#undef QUARN_INFO_TEXT
        .def("reset", [](Info& i, unsigned int o) { i.Reset(o); }, py::arg("options") = 0)
        .def("ascii", [](const Info& i, unsigned int o) { return Latin1(i.Ascii(o)); }, py::arg("options") = 0);
}

void BindSlice(py::module_& m)
{
    py::class_<Slice>(m, "Slice", "A slice read by the library: its pixels, header record and information record.")
        .def_property_readonly("pixels", &Pixels,
                               "The pixels, shape (rows, columns), read-only, sharing the slice's own buffer.")
        .def_property_readonly("num_rows", [](const Slice& s) { return s.Visit([](const auto& t) { return t.GetNumRows(); }); })
        .def_property_readonly("num_cols", [](const Slice& s) { return s.Visit([](const auto& t) { return t.GetNumCols(); }); })
        .def_property_readonly("shape", [](const Slice& s) {
            return s.Visit([](const auto& t) { return py::make_tuple(t.GetNumRows(), t.GetNumCols()); });
        })
        .def_property_readonly("dtype", [](const Slice& s) {
            return s.Visit([](const auto& t) {
                using T = std::remove_cv_t<std::remove_pointer_t<decltype(t.GetPixels())>>;
                return py::dtype(DTypeName<T>());
            });
        })
        .def_property_readonly("data_type", [](const Slice& s) {
            return s.Visit([](const auto& t) {
                using T = std::remove_cv_t<std::remove_pointer_t<decltype(t.GetPixels())>>;
                return EnumValue(gEnums->baseDataType, GetBaseDataType(T{}));
            });
        })
        .def_property_readonly("is_display", [](const Slice& s) { return s.Base().GetCurrentImage() != nullptr; })
        .def_property_readonly("label", [](const Slice& s) { return Latin1(s.Base().GetLabel()); })
        .def("set_label",
             [](Slice& s, const py::object& label, bool force) {
                 return Checked("SetLabel", s.Base().SetLabel(TextArg(label), force));
             },
             py::arg("label"), py::arg("force") = false)
        .def_property_readonly("header",
                               [](const Slice& s) -> py::object {
                                   const ecRawHeaderInfo* h = s.Base().GetRawHeaderInfo();
                                   if (!h) return py::none();
                                   return py::cast(ecRawHeaderInfo(*h));
                               })
        .def("header_info", [](const Slice& s, unsigned int o) { return Latin1(s.Base().GetHeaderInfo(o)); },
             py::arg("options") = 0)
        .def_property_readonly("info",
                               [](const Slice& s) -> py::object {
                                   const ecMriSliceInformation* i = s.Base().GetSliceInformation();
                                   if (!i) return py::none();
                                   return py::cast(ecMriSliceInformation(*i));
                               })
        .def_property_readonly("min_val", [](const Slice& s) { return s.Visit([](const auto& t) { return ScalarOf(t.GetMinVal()); }); })
        .def_property_readonly("max_val", [](const Slice& s) { return s.Visit([](const auto& t) { return ScalarOf(t.GetMaxVal()); }); })
        .def("max_min_values_are_set", [](const Slice& s) { return s.Base().MaxMinValuesAreSet(); })
        .def("set_max_min_values",
             [](Slice& s, unsigned int o) { return Checked("SetMaxMinValues", s.Base().SetMaxMinValues(o)); },
             py::arg("options") = 0)
        .def("set_gray_val_translation",
             [](Slice& s, int method, double low, double high, unsigned int o) {
                 return Checked("SetGrayValTranslation",
                                s.Base().SetGrayValTranslation(static_cast<ecImageBase::GrayTranslationMethod>(method),
                                                               low, high, o));
             },
             py::arg("method"), py::arg("low"), py::arg("high"), py::arg("options") = 0)
        .def("get_gray_val_translation",
             [](const Slice& s) {
                 ecImageBase::GrayTranslationMethod method = ecImageBase::GrayLinear;
                 double low = 0, high = 0;
                 Checked("GetGrayValTranslation", s.Base().GetGrayValTranslation(method, low, high));
                 return py::make_tuple(EnumValue(gEnums->grayMethod, method), low, high);
             })
        .def("set_rotation_flags",
             [](Slice& s, unsigned int f) { return Checked("SetRotationFlags", s.Base().SetRotationFlags(f)); },
             py::arg("flags"))
        .def("get_rotation_flags", [](const Slice& s) { return s.Base().GetRotationFlags(); })
        .def("__repr__", [](const Slice& s) {
            return s.Visit([&](const auto& t) {
                using T = std::remove_cv_t<std::remove_pointer_t<decltype(t.GetPixels())>>;
                return "<quarn.Slice " + std::string(Latin1(t.GetLabel())) + " " + std::to_string(t.GetNumRows()) +
                       "x" + std::to_string(t.GetNumCols()) + " " + DTypeName<T>() +
                       (s.Base().GetCurrentImage() ? " display>" : ">");
            });
        });
}

void BindFunctions(py::module_& m)
{
    m.def(
        "read_mri_slice",
        [](const py::object& name, int type, const ecRawHeaderInfo* header, bool display, unsigned int options) {
            const std::string path = PathArg(name);
            // The caller's record is a value: the reader works on a copy.
            std::unique_ptr<ecRawHeaderInfo> copy(header ? new ecRawHeaderInfo(*header) : nullptr);
            ecMriSliceBase* s;
            {
                py::gil_scoped_release unlocked;  // other Python threads run while the file is read
                s = ReadMriSlice(path.c_str(), static_cast<MriFileType>(type), copy.get(), display, options);
            }
            if (!s)
                RaiseQuarnError("no slice read from <" + path + "> as file type " +
                                    AsciiRepOfMriFileType(static_cast<MriFileType>(type)),
                                py::none());
            return Slice(s);
        },
        py::arg("name"), py::arg("type"), py::arg("header") = nullptr, py::arg("display") = true,
        py::arg("options") = 0,
        "The slice factory (ReadMriSlice): reads a file of the given MriFileType into a Slice (a display slice "
        "unless display=False); header describes raw files. Raises QuarnError when no slice is read.");

    m.def(
        "read_raw_slice",
        [](const py::object& name, int type, const ecRawHeaderInfo& header, unsigned int options) {
            // The plain slice's reading constructor: raw files only.
            const std::string path = PathArg(name);
            ecRawHeaderInfo copy(header);
            const auto t = static_cast<MriFileType>(type);
            auto read = [&]() -> ecMriSliceBase* {
                py::gil_scoped_release unlocked;  // other Python threads run while the file is read
                switch (t) {
                case MriRaw8: return new ecMriSlice<unsigned char>(path.c_str(), t, &copy, options, nullptr);
                case MriRawFloat: return new ecMriSlice<float>(path.c_str(), t, &copy, options, nullptr);
                case MriRaw16:
                case MriRaw16Swapped: return new ecMriSlice<short>(path.c_str(), t, &copy, options, nullptr);
                default: return nullptr;
                }
            };
            if (ecMriSliceBase* s = read()) return Slice(s);
            throw py::value_error("read_raw_slice reads the raw file types MriRaw8, MriRaw16, MriRaw16Swapped and "
                                  "MriRawFloat only");
        },
        py::arg("name"), py::arg("type"), py::arg("header"), py::arg("options") = 0,
        "Reads a raw file (MriRaw8, MriRaw16, MriRaw16Swapped, MriRawFloat) described by header into a plain Slice.");

    m.def("find_dicom_file_image_range",
          [](const py::iterable& p, unsigned int f) { return Scan(FindDicomFileImageRange, "FindDicomFileImageRange", p, f); },
          py::arg("file_names"), py::arg("flags") = 0,
          "The DICOM series scan (FindDicomFileImageRange): (first image number, last image number, list of DicomHeaderInfo in the "
          "order of file_names). Raises QuarnError for a negative status.");
    m.def("find_siemens_file_image_range",
          [](const py::iterable& p, unsigned int f) {
              return Scan(FindSiemensFileImageRange, "FindSiemensFileImageRange", p, f);
          },
          py::arg("file_names"), py::arg("flags") = 0,
          "The Siemens series scan (FindSiemensFileImageRange): (first image number, last image number, list of DicomHeaderInfo in the "
          "order of file_names). Raises QuarnError for a negative status.");
    m.def("find_signa_file_image_range",
          [](const py::iterable& p, unsigned int f) { return Scan(FindSignaFileImageRange, "FindSignaFileImageRange", p, f); },
          py::arg("file_names"), py::arg("flags") = 0,
          "The GE Signa series scan (FindSignaFileImageRange): (first image number, last image number, list of DicomHeaderInfo in the "
          "order of file_names). Raises QuarnError for a negative status.");
    m.def("find_ximg_file_image_range",
          [](const py::iterable& p, unsigned int f) { return Scan(FindXImgFileImageRange, "FindXImgFileImageRange", p, f); },
          py::arg("file_names"), py::arg("flags") = 0,
          "The GE XImg series scan (FindXImgFileImageRange): (first image number, last image number, list of DicomHeaderInfo in the "
          "order of file_names). Raises QuarnError for a negative status.");
    m.def("find_ximage_file_image_range",
          [](const py::iterable& p, unsigned int f) {
              return Scan(FindXImageFileImageRange, "FindXImageFileImageRange", p, f);
          },
          py::arg("file_names"), py::arg("flags") = 0,
          "The GE XImage series scan (FindXImageFileImageRange): (first image number, last image number, list of DicomHeaderInfo in the "
          "order of file_names). Raises QuarnError for a negative status.");
    m.def("dicom_values_are_consistant",
          [](const std::vector<ecDicomHeaderInfo>& headers, unsigned int flags) {
              return DICOM_ValuesAreConsistant(headers, flags);
          },
          py::arg("headers"), py::arg("validity_flags") = 3,
          "DICOM_ValuesAreConsistant: whether the header records of a series agree; the verdict as a number.");
    m.def("get_comparison_tolerance", []() { return py::make_tuple(bUseComparisonTolerance, dComparisonTolerance); },
          "The series comparison's switches: (bUseComparisonTolerance, dComparisonTolerance).");
    m.def(
        "set_comparison_tolerance",
        [](bool use, double tolerance) {
            bUseComparisonTolerance = use;
            dComparisonTolerance = tolerance;
        },
        py::arg("use"), py::arg("tolerance") = 1e-6,
        "Sets the series comparison's switches bUseComparisonTolerance and dComparisonTolerance.");
    m.def("ascii_rep_of_mri_file_type", [](int t) { return Latin1(AsciiRepOfMriFileType(static_cast<MriFileType>(t))); },
          py::arg("type"), "AsciiRepOfMriFileType: the word for a file type (\"MriDicom\", ...).");
}

// ------------------------------------------------------------ the one reader

quarn::Format FormatArg(const std::string& word)
{
    static const quarn::Format kFormats[] = {quarn::Format::Dicom, quarn::Format::Nema,    quarn::Format::Signa,
                                             quarn::Format::Genesis, quarn::Format::Siemens, quarn::Format::Raw};
    for (quarn::Format f : kFormats)
        if (word == quarn::FormatWord(f)) return f;
    throw py::value_error("format must be one of dicom, nema, signa, genesis, siemens, raw, not '" + word + "'");
}

quarn::PixelType PixelTypeArg(const std::string& word)
{
    static const quarn::PixelType kTypes[] = {quarn::PixelType::U8,  quarn::PixelType::S8,  quarn::PixelType::U16,
                                              quarn::PixelType::S16, quarn::PixelType::U32, quarn::PixelType::S32,
                                              quarn::PixelType::F32};
    for (quarn::PixelType t : kTypes)
        if (word == quarn::PixelTypeWord(t)) return t;
    throw py::value_error("pixel_type must be one of uint8, int8, uint16, int16, uint32, int32, float32, not '" + word +
                          "'");
}

// A raw layout from the fields of quarn.RawLayout, in its order: rows,
// columns, pixel type word, byte order word, offset, pixel spacing (row,
// column) or None, slice thickness or None.
quarn::RawLayout RawArg(const py::sequence& t)
{
    if (py::len(t) != 7) throw py::value_error("raw takes the seven fields of quarn.RawLayout");
    quarn::RawLayout raw;
    raw.rows = t[0].cast<int>();
    raw.columns = t[1].cast<int>();
    if (raw.rows < 1 || raw.columns < 1) throw py::value_error("raw rows and columns must be at least 1");
    raw.pixelType = PixelTypeArg(t[2].cast<std::string>());
    const std::string order = t[3].cast<std::string>();
    if (order != "little" && order != "big")
        throw py::value_error("byte_order must be 'little' or 'big', not '" + order + "'");
    raw.bigEndian = order == "big";
    raw.offset = t[4].cast<long long>();
    if (raw.offset < -1) throw py::value_error("offset must be -1 (the pixels end the file) or a byte position");
    if (!t[5].is_none()) {
        const auto spacing = t[5].cast<std::vector<double>>();
        if (spacing.size() != 2) throw py::value_error("pixel_spacing takes two numbers: (row, column) in mm");
        raw.pixelSpacing = std::array<double, 2>{spacing[0], spacing[1]};
    }
    if (!t[6].is_none()) raw.sliceThickness = t[6].cast<double>();
    return raw;
}

// Reads a file as the command-line tool does: raw geometry is for files
// whose bytes show no format, or for any file when the format is forced to
// raw; given for a file of a known format, it is an error for that file.
quarn::Image ReadAsTheToolDoes(const std::string& path, quarn::ReadOptions options)
{
    if (options.raw && !options.format) {
        const quarn::Probe probe = quarn::ProbeFile(path);
        if (probe.format != quarn::Format::Unknown)
            throw quarn::Error(quarn::Reason::Unsupported, path,
                               std::string("is a ") + quarn::FormatWord(probe.format) + " file (" + probe.why +
                                   "); raw geometry applies only to raw files (format=\"raw\" reads it as raw)");
        options.format = quarn::Format::Raw;
    }
    return quarn::ReadImage(path, options);
}

const char* const kImageCapsule = "quarn.Image";

// The stored values as a read-only array viewing the image's pixel bytes; the
// array's base holds the image, so the array lives on its own. Shapes as
// pydicom gives them: (rows, columns), (frames, rows, columns), with a last
// axis of samples for colour; colour by plane is a strided view.
py::array PixelArray(const std::shared_ptr<const quarn::Image>& image)
{
    // One dtype per pixel type, made once from the library's type words and
    // never destroyed (they would outlive the interpreter).
    static const auto* kTypes = [] {
        auto* types = new std::array<py::dtype, 7>();
        for (size_t t = 0; t < types->size(); ++t)
            (*types)[t] = py::dtype(quarn::PixelTypeWord(static_cast<quarn::PixelType>(t)));
        return types;
    }();
    const py::dtype& dt = (*kTypes)[static_cast<size_t>(image->pixelType)];
    const py::ssize_t size = dt.itemsize(), rows = image->rows, cols = image->columns, frames = image->frames,
                      samples = image->samplesPerPixel;
    if (rows < 1 || cols < 1 || frames < 1 || samples < 1 ||
        image->pixelBytes.size() != static_cast<size_t>(rows * cols * frames * samples * size))
        throw std::logic_error("the reader's pixel bytes do not match the image's size");
    auto* holder = new std::shared_ptr<const quarn::Image>(image);
    py::capsule owner(holder, kImageCapsule,
                      [](PyObject* c) {
                          delete static_cast<std::shared_ptr<const quarn::Image>*>(PyCapsule_GetPointer(c, kImageCapsule));
                      });
    std::vector<py::ssize_t> shape, strides;
    if (frames > 1) {
        shape.push_back(frames);
        strides.push_back(rows * cols * samples * size);
    }
    shape.insert(shape.end(), {rows, cols});
    if (samples == 1) {
        strides.insert(strides.end(), {cols * size, size});
    } else if (image->planarConfiguration == 0) {  // R G B R G B ...
        shape.push_back(samples);
        strides.insert(strides.end(), {cols * samples * size, samples * size, size});
    } else {  // a plane per sample
        shape.push_back(samples);
        strides.insert(strides.end(), {cols * size, size, rows * cols * size});
    }
    py::array a(dt, shape, strides, image->pixelBytes.data(), owner);
    ReadOnly(a);
    return a;
}

py::object QuarnErrorOf(const quarn::Error& e)
{
    py::object cls = py::module_::import("quarn").attr("QuarnError");
    const py::str file = PathText(e.file());
    const py::str message = py::str("{}: {}").format(file, Latin1(e.cause()));
    return cls(message, py::none(), quarn::ReasonWord(e.reason()), file);
}

void BindImages(py::module_& m)
{
    m.def(
        "_read",
        [](const py::object& path, const py::object& format, const py::object& raw) {
            const std::string name = PathArg(path);
            quarn::ReadOptions options;
            if (!format.is_none()) options.format = FormatArg(format.cast<std::string>());
            if (!raw.is_none()) options.raw = RawArg(raw.cast<py::sequence>());
            std::shared_ptr<const quarn::Image> image;
            {
                py::gil_scoped_release unlocked;  // other Python threads run while the file is read
                image = std::make_shared<const quarn::Image>(ReadAsTheToolDoes(name, options));
            }
            return py::make_tuple(quarn::FormatWord(image->format), PixelArray(image));
        },
        py::arg("path"), py::arg("format"), py::arg("raw"),
        "Reads one file: (format word, pixel array). Use quarn.read.");

    m.def(
        "_describe",
        [](const py::array& pixels) {
            const py::object base = pixels.base();
            if (!base || !PyCapsule_IsValid(base.ptr(), kImageCapsule))
                throw py::type_error("not the pixel array of a read image");
            const auto* image = static_cast<std::shared_ptr<const quarn::Image>*>(PyCapsule_GetPointer(base.ptr(), kImageCapsule));
            return Latin1(quarn::ImageJson(**image));
        },
        py::arg("pixels"), "The JSON text of the image whose pixel array this is. Use quarn.Image.image.");

    m.def(
        "_scan",
        [](const py::iterable& paths) {
            struct Record {
                std::string file, format, json;
                std::optional<quarn::Error> error;
            };
            std::vector<Record> records;
            for (const std::string& p : PathList(paths)) records.push_back({p, {}, {}, {}});
            {
                py::gil_scoped_release unlocked;
                for (Record& r : records) {
                    try {
                        const quarn::Image image = quarn::ReadImage(r.file);
                        r.format = quarn::FormatWord(image.format);
                        r.json = quarn::ImageJson(image);
                    } catch (const quarn::Error& e) {
                        r.error = e;
                    }
                }
            }
            py::list out;
            for (const Record& r : records) {
                if (r.error)
                    out.append(py::make_tuple(PathText(r.file), py::none(), py::none(), QuarnErrorOf(*r.error)));
                else
                    out.append(py::make_tuple(PathText(r.file), r.format, Latin1(r.json), py::none()));
            }
            return out;
        },
        py::arg("paths"),
        "Reads each file: a list of (file, format word, JSON text, None) or (file, None, None, QuarnError). "
        "Use quarn.scan.");

    m.def(
        "_probe",
        [](const py::object& path) {
            const std::string name = PathArg(path);
            quarn::Probe probe;
            {
                py::gil_scoped_release unlocked;
                probe = quarn::ProbeFile(name);
            }
            return py::make_tuple(quarn::FormatWord(probe.format), Latin1(probe.why));
        },
        py::arg("path"), "The format a file's bytes show: (format word, why). Use quarn.detect_file_type.");
}

}  // namespace

PYBIND11_MODULE(_quarn, m)
{
    m.doc() = "The compiled part of quarn; use the package `quarn`.";
    m.attr("__version__") = QUARN_VERSION;
    py::module_::import("numpy");

    py::register_exception_translator([](std::exception_ptr p) {
        try {
            if (p) std::rethrow_exception(p);
        } catch (const quarn::Error& e) {
            py::object error = QuarnErrorOf(e);
            PyErr_SetObject(error.get_type().ptr(), error.ptr());
        } catch (const ecError& e) {
            // The message carries the status where the library put one.
            py::object cls = py::module_::import("quarn").attr("QuarnError");
            py::object status = py::module_::import("quarn").attr("_status_in_message")(Latin1(e.what()));
            PyErr_SetObject(cls.ptr(), cls(Latin1(e.what()), status).ptr());
        }
    });

    BindImages(m);
    BindEnums(m);
    BindRecords(m);
    BindSlice(m);
    BindFunctions(m);
    BindSeries(m);
}
