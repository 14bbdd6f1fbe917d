// The display images: gray-value windows and the 8-bit rendering with its
// turns and mirrors, on known images.
#include <gtest/gtest.h>

#include <vector>

#include "pictor.h"

namespace {
// An image of `w` x `h` pixels filled row by row from `values`, rendered with
// the characteristics `dc`.
template <class T>
std::vector<int> Render(ecImage<T>& img, ecDisplayCharacteristics<T>& dc, int w, int h, const std::vector<T>& values,
                        unsigned long rotation, int* dw = nullptr, int* dh = nullptr)
{
    EXPECT_TRUE(img.Resize(w, h, T(0), 0));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) img.GetImageRows()[y][x] = values[static_cast<size_t>(y * w + x)];
    img.SetDisplayCharacteristics(&dc);
    EXPECT_EQ(dc.SetRotationFlags(rotation), 1);
    if (dc.GetTranslationTable()) img.SetConvertData(dc.GetTranslationTable());
    const int n = img.ConvertImageInformation(0);
    EXPECT_EQ(n, w * h);
    if (dw) *dw = img.GetDisplayWidth();
    if (dh) *dh = img.GetDisplayHeight();
    return std::vector<int>(img.GetDisplayData(), img.GetDisplayData() + n);
}
}  // namespace

TEST(DisplayRendering, MinMaxWindowStretchesTheDisplayRange)
{
    // A checkerboard of 100 and 300 over a range 100..300 renders as 0 and 255.
    std::vector<short> board;
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) board.push_back((x + y) % 2 ? 300 : 100);
    ecImage<short> img;
    ecDisplayCharacteristics<short> dc;
    dc.SetDisplayRange(100, 300);
    ASSERT_EQ(dc.SetupGrayValTranslation(), 1);  // no window yet: min/max
    ecImageBase::GrayTranslationMethod m = ecImageBase::GrayLinear;
    double lo = 0, hi = 0;
    ASSERT_EQ(dc.GetGrayValTranslation(m, lo, hi), 1);
    EXPECT_TRUE(m == ecImageBase::GrayMinMax && lo == 100.0 && hi == 300.0);
    std::vector<int> expected;
    for (short v : board) expected.push_back(v == 300 ? 255 : 0);
    EXPECT_EQ(Render(img, dc, 4, 4, board, 0), expected);
    EXPECT_EQ(dc.GetTranslationTable()->Level(200.0), 128);  // 127.5 rounds up
}
