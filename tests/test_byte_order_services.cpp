// The byte-order services on known byte patterns, stated as bytes in memory
// so that every expectation holds on a host of either byte order.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "corvane.h"

namespace {

using Bytes = std::vector<unsigned char>;

template <class T>
T FromBytes(const Bytes& b)
{
    T v;
    std::memcpy(&v, b.data(), sizeof(T));
    return v;
}

template <class T>
Bytes BytesOf(const T* v, size_t n = 1)
{
    Bytes b(sizeof(T) * n);
    std::memcpy(b.data(), v, b.size());
    return b;
}

}  // namespace

TEST(ByteOrderServices, SwalReversesThe32BitValue)
{
    // 0x80 lands in bit 31; only the low 32 bits of a wider long carry the value.
    const std::pair<long, long> cases[] = {{0x11223344L, 0x44332211L}, {0x80, -2147483647L - 1},
                                           {-2, -16777217L}, {long(0x7700000011223344LL), 0x44332211L}};
    for (auto [in, expected] : cases) {
        long v = in, out = 0;
        swal(&v, &out);
        EXPECT_EQ(out, expected) << std::hex << in;
        EXPECT_EQ(v, in);
        swal(&v, &v);
        EXPECT_EQ(v, expected) << "in place";
    }
}

TEST(ByteOrderServices, SwafAndSwadReverseTheBytesInMemory)
{
    float f = FromBytes<float>({0x3F, 0xC0, 0x00, 0x01}), fo = 0;
    swaf(&f, &fo);
    EXPECT_EQ(BytesOf(&fo), (Bytes{0x01, 0x00, 0xC0, 0x3F}));
    double d = FromBytes<double>({0xC0, 0x04, 0, 0, 0, 0, 0, 0x07});
    swad(&d, &d);
    EXPECT_EQ(BytesOf(&d), (Bytes{0x07, 0, 0, 0, 0, 0, 0x04, 0xC0}));
}

TEST(ByteOrderServices, ByteSwapPixelsExchangesTheBytesOfEachPixel)
{
    short src[3], dst[3] = {0, 0, 0x5555};
    std::memcpy(src, Bytes{0x01, 0x02, 0x03, 0x04, 0xFF, 0x80}.data(), 6);
    EXPECT_EQ(ByteSwapPixels(src, dst, 2), 2);
    EXPECT_EQ(BytesOf(dst, 3), (Bytes{0x02, 0x01, 0x04, 0x03, 0x55, 0x55}));  // nothing beyond the count
    EXPECT_EQ(BytesOf(src, 3), (Bytes{0x01, 0x02, 0x03, 0x04, 0xFF, 0x80}));
    EXPECT_EQ(ByteSwapPixels(src, src, 3), 3);  // in place
    EXPECT_EQ(BytesOf(src, 3), (Bytes{0x02, 0x01, 0x04, 0x03, 0x80, 0xFF}));

    float fs[2];
    std::memcpy(fs, Bytes{0x3F, 0x80, 0x00, 0x00, 0xC0, 0x20, 0x00, 0x01}.data(), 8);
    EXPECT_EQ(ByteSwapPixels(fs, fs, 2), 2);
    EXPECT_EQ(BytesOf(fs, 2), (Bytes{0x00, 0x00, 0x80, 0x3F, 0x01, 0x00, 0x20, 0xC0}));

    const unsigned char u[3] = {7, 8, 9};  // one byte per pixel: copied
    unsigned char uo[3] = {0, 0, 0};
    EXPECT_EQ(ByteSwapPixels(u, uo, 3), 3);
    EXPECT_EQ(BytesOf(uo, 3), (Bytes{7, 8, 9}));

    EXPECT_EQ(ByteSwapPixels(src, src, 0), 0);
    EXPECT_EQ(ByteSwapPixels(src, src, -1), -1);
    EXPECT_EQ(ByteSwapPixels(static_cast<const short*>(nullptr), dst, 1), -1);
}

TEST(ByteOrderServices, ConvertFromBigEndianDecodesIeeeDoubles)
{
    const std::pair<Bytes, double> cases[] = {
        {{0x3F, 0xF0, 0, 0, 0, 0, 0, 0}, 1.0},
        {{0xC0, 0x04, 0, 0, 0, 0, 0, 0}, -2.5},
        {{0x3F, 0xEF, 0x5C, 0x28, 0xF5, 0xC2, 0x8F, 0x5C}, 0.98},
        {{0, 0, 0, 0, 0, 0, 0, 1}, std::numeric_limits<double>::denorm_min()},
        {{0x7F, 0xF0, 0, 0, 0, 0, 0, 0}, std::numeric_limits<double>::infinity()},
        {{0x7F, 0xF8, 0, 0, 0, 0, 0, 0}, std::numeric_limits<double>::quiet_NaN()},
    };
    for (const auto& c : cases) {
        double v = 12345.0;
        EXPECT_EQ(ConvertFromBigEndian(reinterpret_cast<const char*>(c.first.data()), v), 1);
        EXPECT_TRUE(v == c.second || (std::isnan(v) && std::isnan(c.second))) << v;
    }
    double untouched = 3.0;
    EXPECT_EQ(ConvertFromBigEndian(nullptr, untouched), -1);
    EXPECT_EQ(untouched, 3.0);
}
