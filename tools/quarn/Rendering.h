// The 8-bit rendering of a slice: window, rotation, mirroring, montage, and
// writing PNG and PGM files.
#ifndef QUARN_TOOL_RENDERING_H
#define QUARN_TOOL_RENDERING_H

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "QuarnSeries.h"

namespace tool {

// An 8-bit picture: gray (one channel) or RGB (three, interleaved).
struct Gray8 {
    int width = 0;
    int height = 0;
    int channels = 1;
    std::vector<uint8_t> pixels;  // row by row
};

// Gray levels from [low, high]: 0 at or below low, 255 at or above high,
// round(255 * (v - low) / (high - low)) between. A window of centre C and
// width W is [C - W/2, C + W/2].
struct GrayWindow {
    double low = 0;
    double high = 0;
};

// Parses "CENTER,WIDTH" (width above 0); false for anything else.
bool ParseWindow(const std::string& text, GrayWindow& window);

Gray8 RenderGray(const std::vector<float>& pixels, int cols, int rows, const GrayWindow& window);

// Quarter turns clockwise (90, 180 or 270 degrees), then mirror: 'h' left to
// right, 'v' top to bottom, 0 none.
Gray8 Rotate(const Gray8& in, int degrees);
Gray8 Flip(const Gray8& in, char axis);

// The images in a grid of `columns` cells, left to right and top to bottom;
// each cell as large as the largest image, the image in its top left corner
// and the rest black.
Gray8 Montage(const std::vector<Gray8>& images, int columns);

// Both throw std::runtime_error with the reason when the file cannot be
// written. The picture goes to a temporary file beside `path`, renamed over
// it only when complete: a failed write leaves nothing behind, and a file
// that was there keeps its bytes. PGM takes gray pictures only.
void WritePng(const Gray8& image, const std::string& path);
void WritePgm(const Gray8& image, const std::string& path);

// The library's quarn::WriteWhole writes every output of the tool.
using quarn::WriteWhole;

}  // namespace tool

#endif
