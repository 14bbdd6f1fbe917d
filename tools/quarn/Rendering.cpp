#include "Rendering.h"

#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace tool {

bool ParseWindow(const std::string& text, GrayWindow& window)
{
    const size_t comma = text.find(',');
    if (comma == std::string::npos) return false;
    const std::string a = text.substr(0, comma), b = text.substr(comma + 1);
    if (a.empty() || b.empty()) return false;
    size_t usedA = 0, usedB = 0;
    double center = 0, width = 0;
    try {
        center = std::stod(a, &usedA);
        width = std::stod(b, &usedB);
    } catch (const std::exception&) {
        return false;
    }
    if (usedA != a.size() || usedB != b.size() || !std::isfinite(center) || !std::isfinite(width) || width <= 0)
        return false;
    window.low = center - width / 2;
    window.high = center + width / 2;
    return true;
}

Gray8 RenderGray(const std::vector<float>& pixels, int cols, int rows, const GrayWindow& window)
{
    Gray8 out;
    out.width = cols;
    out.height = rows;
    out.pixels.resize(static_cast<size_t>(cols) * static_cast<size_t>(rows));
    const double span = window.high - window.low;
    for (size_t i = 0; i < out.pixels.size(); ++i) {
        const double v = pixels[i];
        uint8_t g;
        if (!(v > window.low)) g = 0;
        else if (v >= window.high) g = 255;
        else g = static_cast<uint8_t>(std::lround(255.0 * (v - window.low) / span));
        out.pixels[i] = g;
    }
    return out;
}

Gray8 Rotate(const Gray8& in, int degrees)
{
    if (degrees == 0) return in;
    Gray8 out;
    const bool swap = degrees == 90 || degrees == 270;
    out.width = swap ? in.height : in.width;
    out.height = swap ? in.width : in.height;
    out.channels = in.channels;
    out.pixels.resize(in.pixels.size());
    const size_t c = static_cast<size_t>(in.channels);
    for (int y = 0; y < in.height; ++y) {
        for (int x = 0; x < in.width; ++x) {
            int nx = x, ny = y;
            if (degrees == 90) { nx = in.height - 1 - y; ny = x; }
            else if (degrees == 180) { nx = in.width - 1 - x; ny = in.height - 1 - y; }
            else if (degrees == 270) { nx = y; ny = in.width - 1 - x; }
            std::memcpy(&out.pixels[(static_cast<size_t>(ny) * out.width + nx) * c],
                        &in.pixels[(static_cast<size_t>(y) * in.width + x) * c], c);
        }
    }
    return out;
}

Gray8 Flip(const Gray8& in, char axis)
{
    if (axis != 'h' && axis != 'v') return in;
    Gray8 out = in;
    for (int y = 0; y < in.height; ++y) {
        for (int x = 0; x < in.width; ++x) {
            const int sx = axis == 'h' ? in.width - 1 - x : x;
            const int sy = axis == 'v' ? in.height - 1 - y : y;
            const size_t c = static_cast<size_t>(in.channels);
            std::memcpy(&out.pixels[(static_cast<size_t>(y) * in.width + x) * c],
                        &in.pixels[(static_cast<size_t>(sy) * in.width + sx) * c], c);
        }
    }
    return out;
}

Gray8 Montage(const std::vector<Gray8>& images, int columns)
{
    Gray8 out;
    if (images.empty() || columns < 1) return out;
    int cellW = 0, cellH = 0, channels = 1;
    for (const Gray8& g : images) {
        cellW = std::max(cellW, g.width);
        cellH = std::max(cellH, g.height);
        channels = std::max(channels, g.channels);
    }
    const int n = static_cast<int>(images.size());
    const int cols = std::min(columns, n);
    const int rows = (n + cols - 1) / cols;
    out.width = cols * cellW;
    out.height = rows * cellH;
    out.channels = channels;
    const size_t c = static_cast<size_t>(channels);
    out.pixels.assign(static_cast<size_t>(out.width) * static_cast<size_t>(out.height) * c, 0);
    for (int i = 0; i < n; ++i) {
        const Gray8& g = images[static_cast<size_t>(i)];
        const int x0 = (i % cols) * cellW, y0 = (i / cols) * cellH;
        for (int y = 0; y < g.height; ++y)
            for (int x = 0; x < g.width; ++x)
                for (size_t k = 0; k < c; ++k)  // a gray tile fills every channel
                    out.pixels[(static_cast<size_t>(y0 + y) * out.width + x0 + x) * c + k] =
                        g.pixels[(static_cast<size_t>(y) * g.width + x) * static_cast<size_t>(g.channels) +
                                 (g.channels == 1 ? 0 : k)];
    }
    return out;
}

namespace {

struct PngWriteState {
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~PngWriteState()
    {
        if (png) png_destroy_write_struct(&png, info ? &info : nullptr);
    }
};

[[noreturn]] void PngError(png_structp png, png_const_charp message)
{
    auto* text = static_cast<std::string*>(png_get_error_ptr(png));
    if (text) *text = message;
    png_longjmp(png, 1);
}

void PngWarning(png_structp, png_const_charp) {}

// Kept apart from objects with destructors, since libpng reports errors
// with longjmp.
bool WritePngRows(png_structp png, png_infop info, const Gray8& image, png_bytepp rows)
{
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height), 8,
                 image.channels == 3 ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    return true;
}

}  // namespace

void WritePng(const Gray8& image, const std::string& path)
{
    if (image.width < 1 || image.height < 1) throw std::runtime_error("nothing to write");
    std::string error = "libpng failed";
    WriteWhole(path, [&](FILE* fp) {
        PngWriteState st;
        st.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &error, PngError, PngWarning);
        if (!st.png) return false;
        st.info = png_create_info_struct(st.png);
        if (!st.info) return false;
        png_init_io(st.png, fp);
        std::vector<png_bytep> rows(static_cast<size_t>(image.height));
        const size_t stride = static_cast<size_t>(image.width) * static_cast<size_t>(image.channels);
        for (int y = 0; y < image.height; ++y)
            rows[static_cast<size_t>(y)] = const_cast<png_bytep>(&image.pixels[static_cast<size_t>(y) * stride]);
        return WritePngRows(st.png, st.info, image, rows.data());
    });
}

void WritePgm(const Gray8& image, const std::string& path)
{
    if (image.width < 1 || image.height < 1) throw std::runtime_error("nothing to write");
    if (image.channels != 1) throw std::runtime_error("a colour picture needs .png");
    WriteWhole(path, [&](FILE* fp) {
        return std::fprintf(fp, "P5\n%d %d\n255\n", image.width, image.height) > 0 &&
               std::fwrite(image.pixels.data(), 1, image.pixels.size(), fp) == image.pixels.size();
    });
}

}  // namespace tool
