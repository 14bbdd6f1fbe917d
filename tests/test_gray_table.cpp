// Gray levels of display images (the window formula and the table that caches
// it, against levels worked out by hand), the colour lookup table, and the 8-bit
// rendering of a known image through its min/max window.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "ecLookupTable.h"
#include "pictor.h"

TEST(GrayTable, LevelsOfKnownWindows)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    // round(255 * (v - low) / (high - low)), 0 at or below low, 255 at or above high
    const struct { double low, high, value; int level; } cases[] = {
        {0, 4095, 0, 0}, {0, 4095, 8, 0}, {0, 4095, 9, 1}, {0, 4095, 2048, 128}, {0, 4095, 4094, 255},
        {0, 4095, 4095, 255}, {-1000, 3000, -2000, 0}, {-1000, 3000, 0, 64}, {100.5, 133.25, 117, 128},
        {300, 200, 300, 0}, {300, 200, 301, 255}, {0, 1, 1, 255}, {nan, 100, 50, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.low << " " << c.high << " " << c.value);
        EXPECT_EQ(ecGrayTable::WindowLevel(c.value, c.low, c.high), c.level);
        const long v = static_cast<long>(c.value);
        EXPECT_EQ(ecGrayTable(c.low, c.high, v - 3, v + 3).Level(c.value), c.level);
    }
    EXPECT_EQ(ecGrayTable(0.0, 1.0, 0, 65536).GetSize(), 0u);  // more than 65536 values: no table
}

// The table is built run by run; every entry must still be the formula's level.
TEST(GrayTable, TableEntriesEqualTheFormulaForRandomWindows)
{
    std::mt19937 rng(4095);
    std::uniform_real_distribution<double> place(-5000.0, 70000.0), width(0.01, 70000.0);
    for (int round = 0; round < 60; ++round) {
        double low = place(rng), high = low + width(rng);
        if (round % 3 == 0) low = std::floor(low), high = std::floor(high) + 1.0;
        const long first = static_cast<long>(std::floor(low)) - static_cast<long>(rng() % 3000);
        const long last = first + static_cast<long>(rng() % 65536);
        const ecGrayTable table(low, high, first, last);
        ASSERT_EQ(table.GetSize(), static_cast<size_t>(last - first + 1));
        long wrong = 0;
        for (long v = first; v <= last; ++v)
            wrong += table.Level(double(v)) != ecGrayTable::WindowLevel(double(v), low, high);
        ASSERT_EQ(wrong, 0) << low << " " << high << " " << first << " " << last;
    }
}

TEST(LookupTable, ColoursGrayRampAndLuminance)
{
    // Hue 0 is red (first byte), 1/3 green (second byte), 2/3 blue (third byte).
    const struct { float hue; unsigned long colour; float luminance; } hues[] = {
        {0.0f, 0x000000FFu, 0.3f}, {1.0f / 3.0f, 0x0000FF00u, 0.59f}, {2.0f / 3.0f, 0x00FF0000u, 0.11f}};
    for (const auto& h : hues) {
        ecLookupTable t(4);
        t.SetHueRange(h.hue, h.hue);
        t.Build();
        unsigned long colour = 0;
        t.MapValue(0.5f, colour);
        EXPECT_EQ(colour, h.colour);
        EXPECT_FLOAT_EQ(t.GetLuminance(0.5f), h.luminance);
    }
    ecLookupTable gray(256);
    gray.SetSaturationRange(0.0f, 0.0f);
    gray.SetValueRange(0.0f, 1.0f);
    gray.SetTableRange(0.0f, 255.0f);
    gray.Build();
    unsigned long c = 0;
    for (auto [v, g] : {std::pair{0.0f, 0x000000u}, {77.0f, 0x4D4D4Du}, {255.0f, 0xFFFFFFu}, {-40.0f, 0u}, {1e9f, 0xFFFFFFu}}) {
        gray.MapValue(v, c);
        EXPECT_EQ(c, g) << v;
    }
    EXPECT_NEAR(gray.GetLuminance(51.0f), 0.2f, 1e-6);
    gray.SetReversed(true);
    gray.Build();
    gray.MapValue(0.0f, c);
    EXPECT_EQ(c, 0x00FFFFFFu);
}

namespace {
// An image of `w` x `h` pixels filled row by row from `values`, rendered with
// the characteristics `dc`.
template <class T>
std::vector<int> Render(ecImage<T>& img, ecDisplayCharacteristics<T>& dc, int w, int h, const std::vector<T>& values,
                        unsigned long rotation)
{
    EXPECT_TRUE(img.Resize(w, h, T(0), 0));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) img.GetImageRows()[y][x] = values[static_cast<size_t>(y * w + x)];
    img.SetDisplayCharacteristics(&dc);
    EXPECT_EQ(dc.SetRotationFlags(rotation), 1);
    if (dc.GetTranslationTable()) img.SetConvertData(dc.GetTranslationTable());
    const int n = img.ConvertImageInformation(0);
    EXPECT_EQ(n, w * h);
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
