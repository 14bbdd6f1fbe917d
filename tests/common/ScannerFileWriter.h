// Writes GE Signa and Siemens image files for the tests, every field the
// readers use settable. The big-endian encoders share no code with the
// library's byte-order services, so that a mistake there cannot pass both.
#ifndef QUARN_TESTS_SCANNERFILEWRITER_H
#define QUARN_TESTS_SCANNERFILEWRITER_H

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

#include "TestUtil.h"

namespace scanfiles {

using Bytes = std::vector<unsigned char>;

inline void Grow(Bytes& b, size_t end) { b.resize(std::max(b.size(), end), 0); }

inline void PutBE(Bytes& b, size_t at, uint64_t value, int nbytes)
{
    Grow(b, at + static_cast<size_t>(nbytes));
    for (int i = 0; i < nbytes; ++i)
        b[at + static_cast<size_t>(i)] = static_cast<unsigned char>(value >> (8 * (nbytes - 1 - i)));
}
// The bits of a float or double, for PutBE.
template <class F>
uint64_t BitsOf(F v)
{
    std::conditional_t<sizeof(F) == 4, uint32_t, uint64_t> bits;
    std::memcpy(&bits, &v, sizeof bits);
    return bits;
}
// Exactly `length` bytes: the text, cut or padded with zero bytes.
inline void PutText(Bytes& b, size_t at, const std::string& text, size_t length)
{
    Grow(b, at + length);
    for (size_t i = 0; i < length; ++i) b[at + i] = i < text.size() ? static_cast<unsigned char>(text[i]) : 0;
}

// A GE Signa file: control header at 0, image header at `imageHeaderPtr`,
// pixels at `headerLen`. The defaults describe a valid 16 x 16 16-bit slice.
struct SignaFile {
    std::string magic = "IMGF";
    int32_t headerLen = 156 + 222;  // offset of the pixel data
    int32_t depth = 16;
    int32_t imageHeaderPtr = 156;
    int16_t imageNum = 7;
    int16_t columns = 16;
    int16_t rows = 16;
    float sliceThickness = 5.0f;
    float pixelHeight = 0.9375f;  // image header offset 50
    float pixelWidth = 0.8125f;   // image header offset 54
    float sliceSpacing = 6.5f;
    // Pixel values, written with 8 bits each at depth 8, else 16; when empty,
    // rows x columns made-up values.
    std::vector<int> pixels;
    Bytes pixelBytes;  // when not empty, written instead of `pixels`

    Bytes Build() const
    {
        Bytes b(156, 0);
        PutText(b, 0, magic, 4);
        PutBE(b, 4, static_cast<uint32_t>(headerLen), 4);
        PutBE(b, 8, static_cast<uint32_t>(columns), 4);
        PutBE(b, 12, static_cast<uint32_t>(rows), 4);
        PutBE(b, 16, static_cast<uint32_t>(depth), 4);
        PutBE(b, 20, 1, 4);  // compression: none
        PutBE(b, 148, static_cast<uint32_t>(imageHeaderPtr), 4);
        PutBE(b, 152, 222, 4);
        if (imageHeaderPtr >= 0 && imageHeaderPtr < (1 << 24)) {
            const size_t h = static_cast<size_t>(imageHeaderPtr);
            Grow(b, h + 222);
            PutBE(b, h + 12, static_cast<uint16_t>(imageNum), 2);
            PutBE(b, h + 26, BitsOf(sliceThickness), 4);
            PutBE(b, h + 30, static_cast<uint16_t>(columns), 2);
            PutBE(b, h + 32, static_cast<uint16_t>(rows), 2);
            PutBE(b, h + 50, BitsOf(pixelHeight), 4);
            PutBE(b, h + 54, BitsOf(pixelWidth), 4);
            PutBE(b, h + 116, BitsOf(sliceSpacing), 4);
            PutBE(b, h + 218, BitsOf(1.0f), 4);  // NEX
        }
        if (headerLen >= 0 && headerLen < (1 << 24)) {
            size_t at = static_cast<size_t>(headerLen);
            for (unsigned char c : pixelBytes) PutBE(b, at++, c, 1);
            const int width = depth == 8 ? 1 : 2;
            const size_t count = !pixelBytes.empty() ? 0
                                 : !pixels.empty()   ? pixels.size()
                                                     : size_t(std::max(0, int(rows)) * std::max(0, int(columns)));
            for (size_t i = 0; i < count; ++i, at += width) {
                const int v = pixels.empty() ? static_cast<int>(i * 37 % 65536) - 32768 + 1000 : pixels[i];
                PutBE(b, at, static_cast<uint16_t>(v), width);
            }
        }
        return b;
    }
};

// A Siemens file: the 6144-byte header and 16-bit big-endian pixels. The
// defaults describe a valid 16 x 16 axial slice.
struct SiemensFile {
    std::string manufacturer = "SIEMENS";
    std::string institution = "Test Hospital";
    std::string annotation = "ANNO";
    std::string model = "MAGNETOM TEST";
    std::string patientName = "DOE^JANE";
    std::string patientID = "12345";
    std::string patientPosition = "H-SP";
    double sliceThickness = 4.0;
    double fovHeight = 16.0;  // mm, with pixelHeight gives the rows
    double fovWidth = 16.0;   // mm, with pixelWidth gives the columns
    double pixelHeight = 1.0;
    double pixelWidth = 1.0;
    std::string imageNumber = "  12 ";  // five bytes at 5546
    char plane = 'A';
    std::vector<int> pixels;  // 16-bit values; when empty, 16 x 16 made-up values

    Bytes Build() const
    {
        Bytes b(6144, ' ');
        PutText(b, 96, manufacturer, 7);
        PutText(b, 105, institution, 25);
        PutText(b, 186, annotation, 4);
        PutText(b, 281, model, 15);
        PutText(b, 768, patientName, 25);
        PutText(b, 795, patientID, 12);
        PutBE(b, 1544, BitsOf(sliceThickness), 8);
        PutBE(b, 3744, BitsOf(fovHeight), 8);
        PutBE(b, 3752, BitsOf(fovWidth), 8);
        PutBE(b, 5000, BitsOf(pixelHeight), 8);
        PutBE(b, 5008, BitsOf(pixelWidth), 8);
        PutText(b, 5529, patientPosition, 7);
        PutText(b, 5546, imageNumber, 5);
        b[5814] = static_cast<unsigned char>(plane);
        for (size_t i = 0; i < (pixels.empty() ? 256 : pixels.size()); ++i)
            PutBE(b, b.size(), static_cast<uint16_t>(pixels.empty() ? int(i) * 131 - 9000 : pixels[i]), 2);
        return b;
    }
};

// Writes `file.Build()` as `name` in `dir` and gives its path.
template <class File>
std::string Write(const testutil::TempDir& dir, const std::string& name, const File& file)
{
    testutil::WriteFile(dir.file(name), file.Build());
    return dir.file(name);
}

}  // namespace scanfiles

#endif
