// quarn convert and quarn montage: 8-bit renderings of slices as PNG or PGM,
// and a slice's pixels with their 12-byte header.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <stdexcept>

#include "Commands.h"
#include "Slices.h"
#include "mri_slice/ReadOptions.h"

namespace tool {

namespace {

std::string Extension(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
    std::string e = path.substr(dot);
    std::transform(e.begin(), e.end(), e.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return e;
}

// Reads a slice, halving it here when asked and the reader did not.
SliceImage ReadForRendering(const std::string& file, Format format, const ReadRequest& request, bool half,
                            int* imageNumber)
{
    SliceImage image = ReadSlice(file, format, request, half ? quarn::kReadHalve : 0u);
    int fullCols = 0, fullRows = 0;
    try {
        const HeaderRecord rec = ReadHeader(file, format, request);
        fullCols = rec.header.iNumPix;
        fullRows = rec.header.iNumPixY;
        if (imageNumber) *imageNumber = rec.header.iImageNum;
    } catch (const FileError&) {
        // Without a header record the slice is taken as the reader made it.
    }
    if (half && image.cols == fullCols && image.rows == fullRows) HalveSlice(image);
    return image;
}

Gray8 Render(const SliceImage& image, const RenderOptions& render, const GrayWindow& window)
{
    Gray8 g = RenderGray(image.pixels, image.cols, image.rows, window);
    return Flip(Rotate(g, render.rotate), render.flip);
}

void Write(const Gray8& g, const std::string& out)
{
    const std::string ext = Extension(out);
    try {
        if (ext == ".pgm") WritePgm(g, out);
        else WritePng(g, out);
    } catch (const std::runtime_error& e) {
        throw FileError{std::string("cannot write the picture: ") + e.what()};
    }
}

}  // namespace

int RunConvert(const std::string& file, const std::string& out, const ReadRequest& request,
               const RenderOptions& render)
{
    try {
        const Format format = ResolveFormat(file, request);
        const SliceImage image = ReadForRendering(file, format, request, render.half, nullptr);
        if (Extension(out) == ".raw") {
            try {
                SaveRawPixels(image, out);
            } catch (const FileError& e) {
                ReportFileError(out, e.message);
                return 1;
            }
            return 0;
        }
        const GrayWindow window = render.window ? *render.window : GrayWindow{image.minimum, image.maximum};
        const Gray8 g = Render(image, render, window);
        try {
            Write(g, out);
        } catch (const FileError& e) {
            ReportFileError(out, e.message);
            return 1;
        }
    } catch (const FileError& e) {
        ReportFileError(file, e.message);
        return 1;
    }
    return 0;
}

int RunMontage(const std::vector<std::string>& paths, const std::string& out, const ReadRequest& request,
               const RenderOptions& render, int columns)
{
    struct Entry {
        std::string path;
        int imageNumber = 0;
        SliceImage image;
    };
    std::vector<Entry> slices;
    int status = 0;
    for (const FileEntry& f : ExpandPaths(paths)) {
        try {
            Format format;
            try {
                format = ResolveFormat(f.path, request);
            } catch (const FileError&) {
                if (f.inFolder && DetectFormat(f.path) == Format::Unknown) continue;
                throw;
            }
            Entry e;
            e.path = f.path;
            e.image = ReadForRendering(f.path, format, request, render.half, &e.imageNumber);
            e.image.slice.reset();  // the pixels are kept; the slice itself is not needed
            slices.push_back(std::move(e));
        } catch (const FileError& e) {
            ReportFileError(f.path, e.message);
            status = 1;
        }
    }
    if (slices.empty()) {
        std::fprintf(stderr, "quarn: no slice could be read for the montage\n");
        return 1;
    }
    std::stable_sort(slices.begin(), slices.end(),
                     [](const Entry& a, const Entry& b) { return a.imageNumber < b.imageNumber; });
    GrayWindow window;
    if (render.window) {
        window = *render.window;
    } else {
        window.low = slices[0].image.minimum;
        window.high = slices[0].image.maximum;
        for (const Entry& e : slices) {
            window.low = std::min(window.low, e.image.minimum);
            window.high = std::max(window.high, e.image.maximum);
        }
    }
    std::vector<Gray8> tiles;
    for (const Entry& e : slices) tiles.push_back(Render(e.image, render, window));
    if (columns < 1) columns = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(tiles.size()))));
    try {
        Write(Montage(tiles, columns), out);
    } catch (const FileError& e) {
        ReportFileError(out, e.message);
        return 1;
    }
    std::printf("%s: %zu slices", out.c_str(), slices.size());
    for (size_t i = 0; i < slices.size(); ++i)
        std::printf("%s %s (image %d)", i ? "," : ":", slices[i].path.c_str(), slices[i].imageNumber);
    std::printf("\n");
    return status;
}

}  // namespace tool
