// A series stacked into one volume: every slice read again with its pixels,
// checked against what the scan read, and laid one after the other.
#include <cmath>
#include <cstring>
#include <exception>

#include "QuarnSeries.h"
#include "series/Parallel.h"
#include "series/Stacker.h"
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

namespace series {

Stacker::Stacker(const Series& s, const ReadOptions& options) : series_(s), withPixels_(options)
{
    if (s.headers.empty()) throw Error(Reason::Malformed, s.folder, "the series holds no slices");
    const std::string& name = s.files.empty() ? s.folder : s.files.front();
    if (!s.problems.empty()) {
        std::string why = "the series is not one regular volume:";
        for (const Problem& p : s.problems) why += std::string(" ") + ProblemWord(p.kind) + " (" + p.detail + ");";
        why.pop_back();
        throw Error(Reason::Unsupported, name, why);
    }
    withPixels_.pixels = true;
    const Image& ref = s.headers.front();
    for (const Image& h : s.headers)
        uniform_ = uniform_ && h.pixelType == ref.pixelType && h.rescaleSlope == ref.rescaleSlope &&
                   h.rescaleIntercept == ref.rescaleIntercept;
    first_ = Read(0);
    shape_.columns = first_.columns;
    shape_.rows = first_.rows;
    shape_.slices = static_cast<int>(s.headers.size());
    shape_.affine = SeriesAffine(s);
    shape_.sidecar = ImageJson(first_);
    shape_.pixelType = uniform_ ? first_.pixelType : PixelType::F32;
    if (uniform_) {
        shape_.slope = first_.rescaleSlope.value_or(1.0);
        shape_.intercept = first_.rescaleIntercept.value_or(0.0);
    }
    perSlice_ = static_cast<size_t>(shape_.columns) * static_cast<size_t>(shape_.rows);
    sliceBytes_ = perSlice_ * PixelTypeSize(shape_.pixelType);
}

// Slice k read again with its pixels and checked against its header.
Image Stacker::Read(size_t k) const
{
    const Image& h = series_.headers[k];
    Image im = ReadImage(h.file, withPixels_);
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
}

// A slice into its place; slices that differ in pixel type or rescale give
// their rescaled values.
void Stacker::Place(const Image& im, unsigned char* out) const
{
    if (uniform_) {
        std::memcpy(out, im.pixelBytes.data(), sliceBytes_);
        return;
    }
    const double slope = im.rescaleSlope.value_or(1.0), intercept = im.rescaleIntercept.value_or(0.0);
    for (size_t i = 0; i < perSlice_; ++i) {
        const float f = static_cast<float>(im.Value(i) * slope + intercept);
        std::memcpy(out + i * sizeof(float), &f, sizeof f);
    }
}

void Stacker::Fill(size_t from, size_t to, unsigned char* out, unsigned threads) const
{
    std::vector<std::exception_ptr> failures(to - from);
    ForEachIndex(to - from, threads, [&](size_t i) {
        try {
            const size_t k = from + i;
            if (k == 0)  // read already, by the constructor
                Place(first_, out + i * sliceBytes_);
            else
                Place(Read(k), out + i * sliceBytes_);
        } catch (...) {
            failures[i] = std::current_exception();
        }
    });
    for (const std::exception_ptr& f : failures)
        if (f) std::rethrow_exception(f);
}

}  // namespace series

Volume LoadVolume(const Series& s, const ReadOptions& options, unsigned threads)
{
    const series::Stacker stack(s, options);
    Volume v = stack.Shape();
    v.voxels.resize(stack.SliceBytes() * s.headers.size());
    stack.Fill(0, s.headers.size(), v.voxels.data(), threads);
    return v;
}

}  // namespace quarn
