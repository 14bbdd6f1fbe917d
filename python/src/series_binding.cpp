// The series part of the compiled module: scanning folders into series,
// their affines, their volumes as NumPy arrays and NIfTI writing. The
// Python classes around them are in quarn/series.py.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cstring>
#include <string>
#include <vector>

#include "QuarnSeries.h"

namespace py = pybind11;

namespace {

// Raises quarn.QuarnError with the library's message (file: cause), its
// reason word and the file.
[[noreturn]] void Raise(const quarn::Error& e)
{
    py::object cls = py::module_::import("quarn").attr("QuarnError");
    py::object error = cls(std::string(e.what()), py::none(), quarn::ReasonWord(e.reason()), e.file());
    PyErr_SetObject(cls.ptr(), error.ptr());
    throw py::error_already_set();
}

template <class F>
auto Guard(F f) -> decltype(f())
{
    try {
        return f();
    } catch (const quarn::Error& e) {
        Raise(e);
    }
}

py::array AffineArray(const quarn::Affine& a)
{
    py::array_t<double> out({4, 4});
    std::memcpy(out.mutable_data(), a.data(), sizeof(double) * 16);
    return std::move(out);
}

template <class T>
py::array Voxels(const quarn::Volume& v)
{
    py::array_t<T> out({v.slices, v.rows, v.columns});
    std::memcpy(out.mutable_data(), v.voxels.data(), v.voxels.size());
    return std::move(out);
}

// The stored values, shape (slices, rows, columns), in the volume's type.
py::array VolumeArray(const quarn::Volume& v)
{
    switch (v.pixelType) {
    case quarn::PixelType::U8: return Voxels<uint8_t>(v);
    case quarn::PixelType::S8: return Voxels<int8_t>(v);
    case quarn::PixelType::U16: return Voxels<uint16_t>(v);
    case quarn::PixelType::S16: return Voxels<int16_t>(v);
    case quarn::PixelType::U32: return Voxels<uint32_t>(v);
    case quarn::PixelType::S32: return Voxels<int32_t>(v);
    case quarn::PixelType::F32: return Voxels<float>(v);
    }
    throw std::logic_error("unknown pixel type");
}

py::list Problems(const quarn::Series& s)
{
    py::list out;
    for (const quarn::Problem& p : s.problems) {
        py::dict d;
        d["kind"] = quarn::ProblemWord(p.kind);
        d["files"] = p.files;
        d["detail"] = p.detail;
        out.append(d);
    }
    return out;
}

}  // namespace

void BindSeries(py::module_& m)
{
    py::class_<quarn::Series>(m, "_Series")
        .def_readonly("series_instance_uid", &quarn::Series::seriesInstanceUID)
        .def_readonly("series_number", &quarn::Series::seriesNumber)
        .def_readonly("series_description", &quarn::Series::seriesDescription)
        .def_readonly("exam_number", &quarn::Series::examNumber)
        .def_readonly("folder", &quarn::Series::folder)
        .def_readonly("files", &quarn::Series::files)
        .def_readonly("positioned", &quarn::Series::positioned)
        .def_property_readonly("format", [](const quarn::Series& s) { return quarn::FormatWord(s.format); })
        .def_property_readonly("problems", &Problems)
        .def_property_readonly("affine", [](const quarn::Series& s) { return AffineArray(Guard([&] { return quarn::SeriesAffine(s); })); })
        .def("load", [](const quarn::Series& s) {
            const quarn::Volume v = Guard([&] { return quarn::LoadVolume(s); });
            return py::make_tuple(VolumeArray(v), v.slope, v.intercept, v.sidecar);
        }, "The stored values (slices, rows, columns), slope, intercept and the first slice's JSON")
        .def("write_nifti", [](const quarn::Series& s, const std::string& path, const std::string& sidecar) {
            Guard([&] {
                const quarn::Volume v = quarn::WriteSeriesNifti(s, path);
                if (!sidecar.empty()) quarn::WriteWholeText(sidecar, v.sidecar + "\n");
            });
        }, py::arg("path"), py::arg("sidecar") = "", "Writes the volume (and the sidecar when named), each whole or not at all");

    m.def("_scan_series", [](const std::vector<std::string>& paths, bool recurse) {
        quarn::ScanResult r = quarn::ScanSeries(paths, {}, recurse);
        py::list failed;
        for (const quarn::FailedFile& f : r.failed) failed.append(py::make_tuple(f.file, f.error));
        return py::make_tuple(std::move(r.series), failed, r.skipped);
    }, py::arg("paths"), py::arg("recurse") = true);
    m.def("_output_names", &quarn::OutputNames);
    m.def("_write_whole", [](const std::string& path, py::bytes data) {
        const std::string bytes = data;
        Guard([&] { quarn::WriteWholeText(path, bytes); });
    }, "Writes the bytes to path whole or not at all");
}
