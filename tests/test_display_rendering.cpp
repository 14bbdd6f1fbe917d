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

TEST(DisplayRendering, TurnsAndMirrors)
{
    // 1 2 3
    // 4 5 6
    const std::vector<unsigned char> px{1, 2, 3, 4, 5, 6};
    using D = ecDisplayCharacteristicsBase;
    const struct { unsigned long flags; int w, h; std::vector<int> expected; } cases[] = {
        {D::Rotate0, 3, 2, {1, 2, 3, 4, 5, 6}},         {D::Rotate90, 2, 3, {4, 1, 5, 2, 6, 3}},
        {D::Rotate180, 3, 2, {6, 5, 4, 3, 2, 1}},       {D::Rotate270, 2, 3, {3, 6, 2, 5, 1, 4}},
        {D::FlipHorizontal, 3, 2, {3, 2, 1, 6, 5, 4}},  {D::FlipVertical, 3, 2, {4, 5, 6, 1, 2, 3}},
        {D::Rotate90 | D::FlipHorizontal, 2, 3, {1, 4, 2, 5, 3, 6}},
        {D::FlipHorizontal | D::FlipVertical, 3, 2, {6, 5, 4, 3, 2, 1}},
    };
    for (const auto& c : cases) {
        ecImage<unsigned char> img;
        ecDisplayCharacteristics<unsigned char> dc;
        int dw = 0, dh = 0;
        EXPECT_EQ(Render(img, dc, 3, 2, px, c.flags, &dw, &dh), c.expected) << "flags " << c.flags;
        EXPECT_EQ(dw * 10 + dh, c.w * 10 + c.h) << "flags " << c.flags;
    }
    ecDisplayCharacteristics<unsigned char> dc;
    EXPECT_TRUE(dc.SetRotationFlags(0x10) == -1 && dc.GetRotationFlags() == 0u);
}

TEST(DisplayRendering, LinearWindowOnARamp)
{
    // Window [10, 20]: 0 at or below 10, 255 at or above 20, in between
    // (v - 10) * 25.5 rounded half up.
    const std::vector<short> ramp{5, 10, 11, 15, 19, 20, 25, -300};
    ecImage<short> img;
    ecDisplayCharacteristics<short> dc;
    dc.SetDisplayRange(-300, 25);
    ASSERT_EQ(SetGrayValTranslation(dc, ecImageBase::GrayLinear, 10.0, 20.0, 0), 1);
    EXPECT_EQ(Render(img, dc, 8, 1, ramp, 0), (std::vector<int>{0, 0, 26, 128, 230, 255, 255, 0}));

    ecImageBase::GrayTranslationMethod m = ecImageBase::GrayMinMax;
    double lo = 0, hi = 0;
    // Rejected windows and methods leave the translation as it was.
    EXPECT_EQ(SetGrayValTranslation(dc, ecImageBase::GrayLinear, 30.0, 20.0, 0), -2);
    EXPECT_EQ(SetGrayValTranslation(dc, static_cast<ecImageBase::GrayTranslationMethod>(7), 0.0, 1.0, 0), -1);
    ASSERT_EQ(dc.GetGrayValTranslation(m, lo, hi), 1);
    EXPECT_TRUE(m == ecImageBase::GrayLinear && lo == 10.0 && hi == 20.0);
    ecDisplayCharacteristics<short> fresh;
    EXPECT_EQ(fresh.GetGrayValTranslation(m, lo, hi), -1);
}

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

TEST(DisplayRendering, FloatPixelsWithoutTableUseTheWindowFormula)
{
    ecImage<float> img;
    ecDisplayCharacteristics<float> dc;
    ASSERT_EQ(dc.SetGrayValTranslation(ecImageBase::GrayLinear, 0.0, 1.0, 0), 1);
    EXPECT_EQ(dc.GetTranslationTable()->GetSize(), 0u);
    EXPECT_EQ(Render(img, dc, 4, 1, std::vector<float>{-1.0f, 0.25f, 0.5f, 2.0f}, 0),
              (std::vector<int>{0, 64, 128, 255}));

    // Without conversion data, values render through 0..255 clamped.
    ecImage<float> plain;
    ecDisplayCharacteristics<float> none;
    EXPECT_EQ(Render(plain, none, 3, 1, std::vector<float>{-5.0f, 99.6f, 300.0f}, 0),
              (std::vector<int>{0, 100, 255}));
}
