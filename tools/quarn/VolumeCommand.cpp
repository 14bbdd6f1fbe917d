// quarn convert to NIfTI: the series of a folder (or of one file) as
// volumes, each with a JSON sidecar of its first slice's header.
#include <cstdio>
#include <filesystem>

#include "Commands.h"
#include "QuarnSeries.h"
#include "Slices.h"

namespace fs = std::filesystem;

namespace tool {

namespace {

// OUT.nii.gz and OUT.nii have the sidecar OUT.json.
std::string SidecarOf(const std::string& volume)
{
    const size_t n = volume.size();
    const size_t cut = n >= 7 && volume.compare(n - 7, 7, ".nii.gz") == 0 ? 7 : n >= 4 ? 4 : 0;
    return volume.substr(0, n - cut) + ".json";
}

bool WriteSeries(const quarn::Series& s, const std::string& out, const ReadRequest& request, unsigned jobs)
{
    try {
        const quarn::Volume v = quarn::WriteSeriesNifti(s, out, LibraryOptions(request), jobs);
        quarn::WriteWholeText(SidecarOf(out), v.sidecar + "\n");
        std::printf("%s: %d x %d x %d from %zu file%s in %s\n", out.c_str(), v.columns, v.rows, v.slices,
                    s.files.size(), s.files.size() == 1 ? "" : "s", s.folder.c_str());
        return true;
    } catch (const quarn::Error& e) {
        ReportFileError(e.file(), e.cause());
    }
    return false;
}

}  // namespace

bool NamesFolder(const std::string& out)
{
    std::error_code ec;
    return (!out.empty() && out.back() == '/') || fs::is_directory(out, ec);
}

int RunConvertVolume(const std::string& input, const std::string& out, const ReadRequest& request, unsigned jobs)
{
    const quarn::ScanResult scan = quarn::ScanSeries({input}, LibraryOptions(request), true, jobs);
    int status = 0;
    for (const quarn::FailedFile& f : scan.failed) {
        ReportFileError(f.file, f.error);
        status = 1;
    }
    if (scan.series.empty()) {
        ReportFileError(input, "holds no slice file of a known format");
        return 1;
    }
    if (!NamesFolder(out)) {
        if (scan.series.size() != 1) {
            ReportFileError(input, "holds " + std::to_string(scan.series.size()) +
                                       " series; -o OUTDIR/ writes one volume per series");
            return 1;
        }
        return WriteSeries(scan.series.front(), out, request, jobs) ? status : 1;
    }
    std::error_code ec;
    fs::create_directories(out, ec);
    if (ec) {
        ReportFileError(out, "cannot create the folder: " + ec.message());
        return 1;
    }
    const std::vector<std::string> names = quarn::OutputNames(scan.series);
    for (size_t i = 0; i < scan.series.size(); ++i)
        if (!WriteSeries(scan.series[i], (fs::path(out) / names[i]).string(), request, jobs)) status = 1;
    return status;
}

}  // namespace tool
