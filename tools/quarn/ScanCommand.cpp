// quarn scan: the series scan of the library over files and folders, one line
// per file, the image range and whether the slices agree.
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "Commands.h"
#include "Slices.h"

namespace fs = std::filesystem;

namespace tool {

std::vector<FileEntry> ExpandPaths(const std::vector<std::string>& paths)
{
    std::vector<FileEntry> out;
    for (const std::string& p : paths) {
        std::error_code ec;
        if (!fs::is_directory(p, ec)) {
            out.push_back({p, false});
            continue;
        }
        std::vector<std::string> found;
        for (fs::recursive_directory_iterator it(p, fs::directory_options::skip_permission_denied, ec), end;
             !ec && it != end; it.increment(ec)) {
            if (it->is_regular_file(ec)) found.push_back(it->path().string());
        }
        std::sort(found.begin(), found.end());
        for (const std::string& f : found) out.push_back({f, true});
    }
    return out;
}

namespace {

std::string PlaneOf(const ecRawHeaderInfo& h)
{
    const SliceType t = (h.ImagePlane == SliceAxial || h.ImagePlane == SliceSagittal || h.ImagePlane == SliceCoronal)
                            ? h.ImagePlane
                            : h.PlaneType;
    switch (t) {
    case SliceAxial: return "Axial";
    case SliceSagittal: return "Sagittal";
    case SliceCoronal: return "Coronal";
    default: return "Unknown";
    }
}

// The header of one file as the format's series scan records it.
ecDicomHeaderInfo ScanOne(const std::string& path, Format format, const ReadRequest& request)
{
    if (format == Format::Raw) {
        ecDicomHeaderInfo h;
        h.ecRawHeaderInfo::operator=(*request.raw);
        h.FileType = request.rawType;
        h.sFileName = path;
        return h;
    }
    // Files read as Genesis: the record the Genesis reader gives, as `info`
    // shows it (the XImg scan reads no file content).
    if (format == Format::Genesis) return ReadHeader(path, format, request).header;
    using RangeScan = int (*)(std::vector<std::string>&, int&, int&, std::vector<ecDicomHeaderInfo>&,
                              ecRawHeaderInfo*, unsigned long);
    RangeScan scan = nullptr;
    switch (format) {
    case Format::Dicom:
    case Format::Nema: scan = FindDicomFileImageRange; break;
    case Format::Signa: scan = FindSignaFileImageRange; break;
    case Format::Siemens: scan = FindSiemensFileImageRange; break;
    default: throw FileError{"is not a file of a known format"};
    }
    std::vector<std::string> names{path};
    std::vector<ecDicomHeaderInfo> headers;
    int first = 0, last = 0;
    int r;
    try {
        r = scan(names, first, last, headers, nullptr, 0);
    } catch (const ecError& e) {
        throw FileError{std::string("the series scan failed: ") + e.what()};
    }
    if (headers.empty()) throw FileError{"the series scan failed with status " + std::to_string(r)};
    return headers.front();
}

struct FieldValue {
    const char* name;
    const char* words;
    double a, b;
};

bool ValuesEqual(double a, double b, std::optional<double> tolerance)
{
    if (!tolerance) return a == b;
    if (a == 0) return b == 0;
    return std::fabs(a - b) <= *tolerance * std::max(std::fabs(a), std::fabs(b));
}

// Why a header is not usable for a series, or empty when it is.
std::string UnusableReason(const ecRawHeaderInfo& h)
{
    char buf[160];
    if (!h.bIsValid) return "its header lacks required values (rows, columns, pixel spacing or slice thickness)";
    if (h.iNumPix < 16 || h.iNumPix > 1024 || h.iNumPixY < 16 || h.iNumPixY > 1024) {
        std::snprintf(buf, sizeof buf, "its size %d x %d is outside 16..1024", h.iNumPix, h.iNumPixY);
        return buf;
    }
    if (!(h.fSizePix >= 0.1 && h.fSizePix <= 64 && h.fSizePixY >= 0.1 && h.fSizePixY <= 64)) {
        std::snprintf(buf, sizeof buf, "its pixel size %g x %g mm is outside 0.1..64 mm", h.fSizePix, h.fSizePixY);
        return buf;
    }
    if (h.fSliceSpacing < 0 || h.fSliceThickness < 0) return "its slice spacing or thickness is negative";
    if (h.iNumFrames < 1) return "it has no frames";
    if (h.ImagePlane != SliceAxial && h.ImagePlane != SliceSagittal && h.ImagePlane != SliceCoronal)
        return "its image plane is not axial, sagittal or coronal";
    return "it is not usable for a series";
}

// The first of the nine compared fields in which `b` differs from `a`.
std::string FirstDifference(const ecRawHeaderInfo& a, const ecRawHeaderInfo& b, std::optional<double> tolerance)
{
    const FieldValue fields[] = {
        {"iNumPix", "columns", double(a.iNumPix), double(b.iNumPix)},
        {"PlaneType", "plane type", double(a.PlaneType), double(b.PlaneType)},
        {"ImagePlane", "image plane", double(a.ImagePlane), double(b.ImagePlane)},
        {"iNumPixY", "rows", double(a.iNumPixY), double(b.iNumPixY)},
        {"DataType", "pixel type", double(a.DataType), double(b.DataType)},
        {"fSizePix", "pixel width", a.fSizePix, b.fSizePix},
        {"fSliceSpacing", "slice spacing", a.fSliceSpacing, b.fSliceSpacing},
        {"fSliceThickness", "slice thickness", a.fSliceThickness, b.fSliceThickness},
        {"fSizePixY", "pixel height", a.fSizePixY, b.fSizePixY},
    };
    for (const FieldValue& f : fields) {
        if (ValuesEqual(f.a, f.b, tolerance)) continue;
        char buf[200];
        std::snprintf(buf, sizeof buf, "%s (%s): %.10g instead of %.10g", f.words, f.name, f.b, f.a);
        return buf;
    }
    return "";
}

void Progress(size_t done, size_t total, bool show)
{
    if (!show) return;
    const int width = 30;
    const int filled = static_cast<int>(width * done / total);
    std::fprintf(stderr, "\rscanning %zu/%zu [%.*s%*s]", done, total, filled, "==============================",
                 width - filled, "");
    if (done == total) std::fprintf(stderr, "\r%*s\r", width + 40, "");
    std::fflush(stderr);
}

}  // namespace

int RunScan(const std::vector<std::string>& paths, const ReadRequest& request, std::optional<double> tolerance)
{
    if (tolerance) {
        bUseComparisonTolerance = true;
        dComparisonTolerance = *tolerance;
    }
    const std::vector<FileEntry> files = ExpandPaths(paths);
    const bool showProgress = files.size() > 50 && isatty(fileno(stderr));
    int status = 0;
    size_t skipped = 0, failed = 0;
    std::vector<ecDicomHeaderInfo> headers;
    for (size_t i = 0; i < files.size(); ++i) {
        const FileEntry& f = files[i];
        Progress(i + 1, files.size(), showProgress);
        try {
            Format format;
            try {
                format = ResolveFormat(f.path, request);
            } catch (const FileError&) {
                if (f.inFolder && DetectFormat(f.path) == Format::Unknown) {
                    ++skipped;
                    continue;
                }
                throw;
            }
            ecDicomHeaderInfo h = ScanOne(f.path, format, request);
            h.sFileName = f.path;
            std::printf("%s  image %d  %d x %d  pixel %g x %g mm  thickness %g mm  spacing %g mm  %s\n",
                        f.path.c_str(), h.iImageNum, h.iNumPix, h.iNumPixY, h.fSizePix, h.fSizePixY,
                        h.fSliceThickness, h.fSliceSpacing, PlaneOf(h).c_str());
            headers.push_back(h);
        } catch (const FileError& e) {
            if (showProgress) std::fprintf(stderr, "\n");
            ReportFileError(f.path, e.message);
            ++failed;
            status = 1;
        }
    }
    std::printf("files: %zu read, %zu failed, %zu skipped (no known format)\n", headers.size(), failed, skipped);
    if (headers.empty()) {
        std::printf("images: none\n");
        if (files.empty()) {
            std::fprintf(stderr, "quarn: no files to scan\n");
            status = 1;
        }
        return status;
    }
    int first = headers[0].iImageNum, last = headers[0].iImageNum;
    for (const auto& h : headers) {
        first = std::min(first, h.iImageNum);
        last = std::max(last, h.iImageNum);
    }
    std::printf("images: first %d, last %d\n", first, last);

    const int verdict = DICOM_ValuesAreConsistant(headers, 3);
    if (verdict > 0) {
        std::printf("consistent: yes, %d slices agree in size, plane, pixel type, pixel size, thickness and spacing\n",
                    verdict);
    } else if (verdict == -1025) {
        std::printf("consistent: no, %s cannot be used: %s\n", headers[0].sFileName.c_str(),
                    UnusableReason(headers[0]).c_str());
    } else {
        const size_t k = static_cast<size_t>(-verdict);
        const ecDicomHeaderInfo& h = headers[k];
        if (!h.IsValidForUse(3)) {
            std::printf("consistent: no, %s cannot be used: %s\n", h.sFileName.c_str(), UnusableReason(h).c_str());
        } else {
            std::string diff = FirstDifference(headers[0], h, tolerance);
            if (diff.empty()) diff = "a compared value";
            std::printf("consistent: no, %s differs from %s in %s\n", h.sFileName.c_str(),
                        headers[0].sFileName.c_str(), diff.c_str());
        }
    }
    return status;
}

}  // namespace tool
