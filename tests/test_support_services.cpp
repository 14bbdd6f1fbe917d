// Pixel conversion, byte order and the string helpers, on values worked out by
// hand and stated as bytes in memory so that they hold on either host order.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "Quarn.h"

using Bytes = std::vector<unsigned char>;
template <class T>
static Bytes BytesOf(const T* v, size_t n = 1)
{
    Bytes b(sizeof(T) * n);
    std::memcpy(b.data(), v, b.size());
    return b;
}

TEST(SupportServices, ConvertPixValRoundsHalfAwayAndClamps)
{
    const double inf = std::numeric_limits<double>::infinity();
    const struct { double in; int u8, s16; } cases[] = {
        {11.5, 12, 12}, {11.49, 11, 11}, {-2.5, 0, -3}, {-2.25, 0, -2}, {255.6, 255, 256},
        {40000.0, 255, 32767}, {-1e300, 0, -32768}, {inf, 255, 32767}, {std::nan(""), 0, 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(ConvertPixVal(c.in, static_cast<unsigned char>(0)), c.u8) << c.in;
        EXPECT_EQ(ConvertPixVal(c.in, short()), c.s16) << c.in;
    }
    EXPECT_FLOAT_EQ(ConvertPixVal(0.125, float()), 0.125f);
}

TEST(SupportServices, SwapsReverseTheBytesOfEachValue)
{
    long v = 0x11223344L, out = 0;
    swal(&v, &out);
    EXPECT_EQ(out, 0x44332211L);
    v = 0x80;
    swal(&v, &v);  // in place; the value lands in bit 31
    EXPECT_EQ(v, -2147483647L - 1);
    float f;
    std::memcpy(&f, Bytes{0x3F, 0xC0, 0x00, 0x01}.data(), 4);
    swaf(&f, &f);
    EXPECT_EQ(BytesOf(&f), (Bytes{0x01, 0x00, 0xC0, 0x3F}));
    short s[3], d[3] = {0, 0, 0x5555};
    std::memcpy(s, Bytes{0x01, 0x02, 0x03, 0x04, 0xFF, 0x80}.data(), 6);
    EXPECT_EQ(ByteSwapPixels(s, d, 2), 2);
    EXPECT_EQ(BytesOf(d, 3), (Bytes{0x02, 0x01, 0x04, 0x03, 0x55, 0x55}));  // nothing beyond the count
    float fs[2];
    std::memcpy(fs, Bytes{0x3F, 0x80, 0x00, 0x00, 0xC0, 0x20, 0x00, 0x01}.data(), 8);
    EXPECT_EQ(ByteSwapPixels(fs, fs, 2), 2);
    EXPECT_EQ(BytesOf(fs, 2), (Bytes{0x00, 0x00, 0x80, 0x3F, 0x01, 0x00, 0x20, 0xC0}));
    EXPECT_EQ(ByteSwapPixels(s, s, -1), -1);
    EXPECT_EQ(ByteSwapPixels(static_cast<const short*>(nullptr), d, 1), -1);
    unsigned char odd[5] = {1, 2, 3, 4, 5};
    SwapBytePairs(odd, 5);
    EXPECT_EQ(BytesOf(odd, 5), (Bytes{2, 1, 4, 3, 5}));
    const std::pair<Bytes, double> doubles[] = {
        {{0xC0, 0x04, 0, 0, 0, 0, 0, 0}, -2.5},
        {{0x3F, 0xEF, 0x5C, 0x28, 0xF5, 0xC2, 0x8F, 0x5C}, 0.98},
        {{0, 0, 0, 0, 0, 0, 0, 1}, std::numeric_limits<double>::denorm_min()}};
    for (const auto& c : doubles) {
        double x = 0;
        EXPECT_EQ(ConvertFromBigEndian(reinterpret_cast<const char*>(c.first.data()), x), 1);
        EXPECT_EQ(x, c.second);
    }
}

TEST(SupportServices, TypeWordsAndStringHelpers)
{
    EXPECT_EQ(ecBaseData::Parse("SHORT"), ecBaseData::Short);
    EXPECT_EQ(ecBaseData::Parse("double"), ecBaseData::Unknown);
    EXPECT_EQ(AsciiRepOfMriFileType(MriRaw16Swapped), "MriRaw16Swapped");
    EXPECT_EQ(AsciiRepOfMriFileType(static_cast<MriFileType>(-1)), "MriUnknown(-1)");
    std::string rest = "a\\bb\\\\c";
    for (const char* part : {"a", "bb", "", "c", ""}) EXPECT_EQ(SplitFirst(rest, "\\", true), part);
    std::string t = "  a b  ";
    StripBlanks(t, true, false);
    EXPECT_EQ(t, "a b  ");
    EXPECT_EQ(StringPrintf("%s-%05.1f", "x", 2.25), "x-002.2");
    EXPECT_EQ(StringPrintf("%s", std::string(1000, 'q').c_str()).size(), 1000u);
}
