// A series stacked into one volume: every slice read again with its pixels,
// checked against what the scan read, and laid one after the other.
#include <cmath>
#include <cstring>

#include "QuarnSeries.h"
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

Volume LoadVolume(const Series& s, const ReadOptions& options)
{
    if (s.headers.empty()) throw Error(Reason::Malformed, s.folder, "the series holds no slices");
    const std::string& name = s.files.empty() ? s.folder : s.files.front();
    if (!s.problems.empty()) {
        std::string why = "the series is not one regular volume:";
        for (const Problem& p : s.problems) why += std::string(" ") + ProblemWord(p.kind) + " (" + p.detail + ");";
        why.pop_back();
        throw Error(Reason::Unsupported, name, why);
    }
    ReadOptions withPixels = options;
    withPixels.pixels = true;
    std::vector<Image> images;
    images.reserve(s.headers.size());
    for (const Image& h : s.headers) {
        Image im = ReadImage(h.file, withPixels);
        if (im.frames != 1 || im.samplesPerPixel != 1)
            throw Error(Reason::Unsupported, h.file,
                        "holds " + std::to_string(im.frames) + " frames of " + std::to_string(im.samplesPerPixel) +
                            " samples; volumes are stacked from single-frame gray slices");
        if (im.format != h.format || im.rows != h.rows || im.columns != h.columns || !SamePosition(im, h))
            throw Error(Reason::Malformed, h.file, "the file changed after the series was scanned");
        if (im.pixelBytes.size() != im.PixelCount() * PixelTypeSize(im.pixelType))
            throw Error(Reason::Truncated, h.file, "the file holds fewer pixels than its header promises");
        images.push_back(std::move(im));
    }
    const Image& first = images.front();
    Volume v;
    v.columns = first.columns;
    v.rows = first.rows;
    v.slices = static_cast<int>(images.size());
    v.affine = SeriesAffine(s);
    v.sidecar = ImageJson(first);
    bool uniform = true;
    for (const Image& im : images)
        uniform = uniform && im.pixelType == first.pixelType && im.rescaleSlope == first.rescaleSlope &&
                  im.rescaleIntercept == first.rescaleIntercept;
    const size_t perSlice = static_cast<size_t>(v.columns) * static_cast<size_t>(v.rows);
    if (uniform) {
        v.pixelType = first.pixelType;
        v.slope = first.rescaleSlope.value_or(1.0);
        v.intercept = first.rescaleIntercept.value_or(0.0);
        const size_t bytes = perSlice * PixelTypeSize(v.pixelType);
        v.voxels.resize(bytes * images.size());
        for (size_t k = 0; k < images.size(); ++k) std::memcpy(&v.voxels[k * bytes], images[k].pixelBytes.data(), bytes);
        return v;
    }
    // Slices that differ in pixel type or rescale: the rescaled values.
    v.pixelType = PixelType::F32;
    v.voxels.resize(perSlice * images.size() * sizeof(float));
    for (size_t k = 0; k < images.size(); ++k) {
        const Image& im = images[k];
        const double slope = im.rescaleSlope.value_or(1.0), intercept = im.rescaleIntercept.value_or(0.0);
        for (size_t i = 0; i < perSlice; ++i) {
            const float f = static_cast<float>(im.Value(i) * slope + intercept);
            std::memcpy(&v.voxels[(k * perSlice + i) * sizeof(float)], &f, sizeof f);
        }
    }
    return v;
}

}  // namespace quarn
