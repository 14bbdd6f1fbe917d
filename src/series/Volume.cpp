// A series stacked into one volume: every slice read again with its pixels,
// checked against what the scan read, and laid one after the other.
#include <cmath>
#include <cstring>
#include <exception>

#include "QuarnSeries.h"
#include "series/Parallel.h"
#include "series/SeriesMath.h"

namespace quarn {

namespace {

bool SamePosition(const Image& a, const Image& b)
{
    if (a.imagePosition.has_value() != b.imagePosition.has_value()) return false;
    if (!a.imagePosition) return true;
    for (size_t k = 0; k < 3; ++k)
        if (std::fabs((*a.imagePosition)[k] - (*b.imagePosition)[k]) > 1e-6) return false;
    return true;
}

}  // namespace

Volume LoadVolume(const Series& s, const ReadOptions& options, unsigned threads)
{
    if (s.headers.empty()) throw Error(Reason::Malformed, s.folder, "the series holds no slices");
    const std::string& name = s.files.empty() ? s.folder : s.files.front();
    if (!s.problems.empty()) {
        std::string why = "the series is not one regular volume:";
        for (const Problem& p : s.problems) why += std::string(" ") + ProblemWord(p.kind) + " (" + p.detail + ");";
        why.pop_back();
        throw Error(Reason::Unsupported, name, why);
    }
    const std::vector<Image>& headers = s.headers;
    const Image& ref = headers.front();
    bool uniform = true;
    for (const Image& h : headers)
        uniform = uniform && h.pixelType == ref.pixelType && h.rescaleSlope == ref.rescaleSlope &&
                  h.rescaleIntercept == ref.rescaleIntercept;
    ReadOptions withPixels = options;
    withPixels.pixels = true;
    // Reads slice k again with its pixels and checks it against its header.
    auto read = [&](size_t k) {
        const Image& h = headers[k];
        Image im = ReadImage(h.file, withPixels);
        if (im.frames != 1 || im.samplesPerPixel != 1)
            throw Error(Reason::Unsupported, h.file,
                        "holds " + std::to_string(im.frames) + " frames of " + std::to_string(im.samplesPerPixel) +
                            " samples; volumes are stacked from single-frame gray slices");
        if (im.format != h.format || im.rows != h.rows || im.columns != h.columns || im.pixelType != h.pixelType ||
            im.rescaleSlope != h.rescaleSlope || im.rescaleIntercept != h.rescaleIntercept || !SamePosition(im, h))
            throw Error(Reason::Malformed, h.file, "the file changed after the series was scanned");
        if (im.pixelBytes.size() != im.PixelCount() * PixelTypeSize(im.pixelType))
            throw Error(Reason::Truncated, h.file, "the file holds fewer pixels than its header promises");
        return im;
    };
    // The first slice is read before the volume is allocated: its pixels
    // show that the files hold what their headers promise.
    const Image first = read(0);
    Volume v;
    v.columns = first.columns;
    v.rows = first.rows;
    v.slices = static_cast<int>(headers.size());
    v.affine = SeriesAffine(s);
    v.sidecar = ImageJson(first);
    v.pixelType = uniform ? first.pixelType : PixelType::F32;
    if (uniform) {
        v.slope = first.rescaleSlope.value_or(1.0);
        v.intercept = first.rescaleIntercept.value_or(0.0);
    }
    const size_t perSlice = static_cast<size_t>(v.columns) * static_cast<size_t>(v.rows);
    const size_t sliceBytes = perSlice * PixelTypeSize(v.pixelType);
    v.voxels.resize(sliceBytes * headers.size());
    // Slice k into its place; slices that differ in pixel type or rescale
    // give their rescaled values.
    auto place = [&](size_t k, const Image& im) {
        unsigned char* to = &v.voxels[k * sliceBytes];
        if (uniform) {
            std::memcpy(to, im.pixelBytes.data(), sliceBytes);
            return;
        }
        const double slope = im.rescaleSlope.value_or(1.0), intercept = im.rescaleIntercept.value_or(0.0);
        for (size_t i = 0; i < perSlice; ++i) {
            const float f = static_cast<float>(im.Value(i) * slope + intercept);
            std::memcpy(to + i * sizeof(float), &f, sizeof f);
        }
    };
    place(0, first);
    // The other slices on the threads; the first failure in the series'
    // order is the one reported.
    std::vector<std::exception_ptr> failures(headers.size());
    series::ForEachIndex(headers.size() - 1, threads, [&](size_t i) {
        try {
            place(i + 1, read(i + 1));
        } catch (...) {
            failures[i + 1] = std::current_exception();
        }
    });
    for (const std::exception_ptr& f : failures)
        if (f) std::rethrow_exception(f);
    return v;
}

}  // namespace quarn
