// quarn convert and quarn montage: 8-bit renderings of slices as PNG or PGM,
// and a frame's stored values with a 12-byte header.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "Commands.h"
#include "Slices.h"

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

// The frame to show, counted from 1.
int ChosenFrame(const std::string& file, const quarn::Image& image, int frame)
{
    if (frame > image.frames)
        throw FileError{"has " + std::to_string(image.frames) + " frame" + (image.frames == 1 ? "" : "s") +
                        "; there is no frame " + std::to_string(frame)};
    if (frame == 0 && image.frames > 1)
        std::fprintf(stderr, "quarn: %s: note: the file holds %d frames; frame 1 is shown (--frame N chooses)\n",
                     file.c_str(), image.frames);
    return frame == 0 ? 1 : frame;
}

// One frame in rescaled units (slope and intercept as the file gives them).
struct Frame {
    int cols = 0;
    int rows = 0;
    std::vector<double> values;          // rescaled, row by row
    std::vector<double> stored;          // as stored
    const quarn::Image* image = nullptr;
};

Frame TakeFrame(const quarn::Image& image, int frame)
{
    if (image.samplesPerPixel != 1)
        throw FileError{"holds " + std::to_string(image.samplesPerPixel) + " samples per pixel (" +
                        image.photometricInterpretation.value_or("colour") +
                        "); the tool renders gray and palette colour images"};
    Frame f;
    f.cols = image.columns;
    f.rows = image.rows;
    f.image = &image;
    const size_t n = static_cast<size_t>(f.cols) * static_cast<size_t>(f.rows);
    const size_t first = n * static_cast<size_t>(frame - 1);
    const double slope = image.rescaleSlope.value_or(1.0), intercept = image.rescaleIntercept.value_or(0.0);
    f.values.resize(n);
    f.stored.resize(n);
    for (size_t i = 0; i < n; ++i) {
        f.stored[i] = image.Value(first + i);
        f.values[i] = f.stored[i] * slope + intercept;
    }
    return f;
}

// Each pixel the mean of a 2 x 2 block (an odd last row or column is dropped).
void Halve(Frame& f)
{
    const int rows = f.rows / 2, cols = f.cols / 2;
    if (rows < 1 || cols < 1) throw FileError{"is too small to halve"};
    auto halve = [&](const std::vector<double>& in) {
        std::vector<double> out(static_cast<size_t>(rows) * static_cast<size_t>(cols));
        for (int y = 0; y < rows; ++y)
            for (int x = 0; x < cols; ++x) {
                const size_t a = static_cast<size_t>(2 * y) * f.cols + 2 * x, b = a + f.cols;
                out[static_cast<size_t>(y) * cols + x] = (in[a] + in[a + 1] + in[b] + in[b + 1]) / 4;
            }
        return out;
    };
    f.values = halve(f.values);
    f.stored = halve(f.stored);
    f.rows = rows;
    f.cols = cols;
}

GrayWindow WindowFor(const std::string& file, const Frame& f, const RenderOptions& render)
{
    if (render.window) return *render.window;
    const quarn::Image& im = *f.image;
    if (render.fileWindow) {
        if (!im.windowCenter || !im.windowWidth || *im.windowWidth <= 0)
            throw FileError{"states no window (Window Center and Width); give --window CENTER,WIDTH"};
        return {*im.windowCenter - *im.windowWidth / 2, *im.windowCenter + *im.windowWidth / 2};
    }
    (void)file;
    const auto mm = std::minmax_element(f.values.begin(), f.values.end());
    return {*mm.first, *mm.second};
}

Gray8 RenderFrame(const std::string& file, const Frame& f, const RenderOptions& render, const GrayWindow* shared)
{
    const quarn::Image& im = *f.image;
    const std::string photometric = im.photometricInterpretation.value_or("MONOCHROME2");
    Gray8 g;
    if (photometric == "PALETTE COLOR") {
        if (!im.palette)
            throw FileError{"is palette colour but its palette tables are missing or incomplete; it cannot be shown"};
        g.width = f.cols;
        g.height = f.rows;
        g.channels = 3;
        g.pixels.resize(static_cast<size_t>(f.cols) * static_cast<size_t>(f.rows) * 3);
        for (size_t i = 0; i < f.stored.size(); ++i)
            for (size_t c = 0; c < 3; ++c) {
                const quarn::PaletteChannel& p = (*im.palette)[c];
                long k = std::lround(f.stored[i]) - p.firstMapped;
                k = std::clamp<long>(k, 0, static_cast<long>(p.entries.size()) - 1);
                const uint16_t e = p.entries[static_cast<size_t>(k)];
                g.pixels[i * 3 + c] = static_cast<uint8_t>(p.bits > 8 ? e >> 8 : e);
            }
    } else if (photometric == "MONOCHROME1" || photometric == "MONOCHROME2") {
        std::vector<float> v(f.values.begin(), f.values.end());
        g = RenderGray(v, f.cols, f.rows, shared ? *shared : WindowFor(file, f, render));
        if (photometric == "MONOCHROME1")  // the lowest value is white
            for (uint8_t& p : g.pixels) p = static_cast<uint8_t>(255 - p);
    } else {
        throw FileError{"has photometric interpretation " + photometric + ", which the tool does not render"};
    }
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

// The 12-byte header (four zero bytes, columns and rows as 16-bit numbers,
// the pixel type code of short), then the frame's stored values as 16-bit
// little-endian numbers.
void WriteStoredValues(const std::string& file, const Frame& f, const std::string& out)
{
    std::vector<unsigned char> bytes(12 + 2 * f.stored.size(), 0);
    auto put16 = [&](size_t at, uint32_t v) {
        bytes[at] = static_cast<unsigned char>(v & 0xFF);
        bytes[at + 1] = static_cast<unsigned char>((v >> 8) & 0xFF);
    };
    put16(4, static_cast<uint32_t>(f.cols));
    put16(6, static_cast<uint32_t>(f.rows));
    put16(8, 98);
    for (size_t i = 0; i < f.stored.size(); ++i) {
        const double v = f.stored[i];
        if (v < -32768 || v > 65535 || v != std::floor(v))
            throw FileError{"holds stored values beyond 16 bits, which .raw output cannot keep"};
        put16(12 + 2 * i, static_cast<uint32_t>(static_cast<int64_t>(v)) & 0xFFFFu);
    }
    (void)file;
    try {
        WriteWhole(out, [&](FILE* fp) { return std::fwrite(bytes.data(), 1, bytes.size(), fp) == bytes.size(); });
    } catch (const std::runtime_error& e) {
        throw FileError{std::string("cannot write the pixels: ") + e.what()};
    }
}

}  // namespace

int RunConvert(const std::string& file, const std::string& out, const ReadRequest& request,
               const RenderOptions& render)
{
    try {
        const Format format = ResolveFormat(file, request);
        const quarn::Image image = ReadImageOf(file, format, request);
        Frame f = TakeFrame(image, ChosenFrame(file, image, render.frame));
        if (render.half) Halve(f);
        try {
            if (Extension(out) == ".raw")
                WriteStoredValues(file, f, out);
            else
                Write(RenderFrame(file, f, render, nullptr), out);
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
        int instance = 0;
        std::unique_ptr<quarn::Image> image;
        Frame frame;
    };
    std::vector<Entry> slices;
    int status = 0;
    for (const FileEntry& fe : ExpandPaths(paths)) {
        try {
            Format format;
            try {
                format = ResolveFormat(fe.path, request);
            } catch (const FileError&) {
                if (fe.inFolder && DetectFormat(fe.path) == Format::Unknown) continue;
                throw;
            }
            Entry e;
            e.path = fe.path;
            e.image = std::make_unique<quarn::Image>(ReadImageOf(fe.path, format, request));
            e.instance = e.image->instanceNumber.value_or(0);
            e.frame = TakeFrame(*e.image, ChosenFrame(fe.path, *e.image, render.frame));
            if (render.half) Halve(e.frame);
            slices.push_back(std::move(e));
        } catch (const FileError& e) {
            ReportFileError(fe.path, e.message);
            status = 1;
        }
    }
    if (slices.empty()) {
        std::fprintf(stderr, "quarn: no slice could be read for the montage\n");
        return 1;
    }
    std::stable_sort(slices.begin(), slices.end(), [](const Entry& a, const Entry& b) { return a.instance < b.instance; });
    // One window for every tile: the one given, or all tiles' range.
    GrayWindow window;
    const GrayWindow* shared = nullptr;
    if (!render.fileWindow) {
        window = WindowFor(slices[0].path, slices[0].frame, render);
        for (const Entry& e : slices) {
            const GrayWindow w = WindowFor(e.path, e.frame, render);
            window.low = std::min(window.low, w.low);
            window.high = std::max(window.high, w.high);
        }
        shared = &window;
    }
    std::vector<Gray8> tiles;
    for (Entry& e : slices) {
        try {
            tiles.push_back(RenderFrame(e.path, e.frame, render, shared));
        } catch (const FileError& err) {
            ReportFileError(e.path, err.message);
            return 1;
        }
    }
    if (columns < 1) columns = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(tiles.size()))));
    try {
        Write(Montage(tiles, columns), out);
    } catch (const FileError& e) {
        ReportFileError(out, e.message);
        return 1;
    }
    std::printf("%s: %zu slices", out.c_str(), slices.size());
    for (size_t i = 0; i < slices.size(); ++i)
        std::printf("%s %s (image %d)", i ? "," : ":", slices[i].path.c_str(), slices[i].instance);
    std::printf("\n");
    return status;
}

}  // namespace tool
