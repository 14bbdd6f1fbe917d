// The byte-order services on known byte patterns. Patterns are stated as bytes
// in memory, so every expectation holds on a host of either byte order; the
// one value check that depends on the host's order says so.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "corvane.h"

namespace {

using Bytes = std::vector<unsigned char>;

bool HostIsLittleEndian()
{
    const uint16_t probe = 1;
    unsigned char first;
    std::memcpy(&first, &probe, 1);
    return first == 1;
}

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
    long v = 0x11223344L, out = 0;
    swal(&v, &out);
    EXPECT_EQ(out, 0x44332211L);
    EXPECT_EQ(v, 0x11223344L);
    long w = 0x80;  // lands in bit 31: a negative 32-bit value
    swal(&w, &w);
    EXPECT_EQ(w, -2147483647L - 1);
    long m = -2;  // FF FF FF FE reversed
    swal(&m, &m);
    EXPECT_EQ(m, -16777217L);
    if (sizeof(long) > 4) {  // only the low 32 bits carry the value
        long wide = static_cast<long>(0x7700000011223344LL);
        swal(&wide, &wide);
        EXPECT_EQ(wide, 0x44332211L);
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

    // The big-endian encodings of 1.5f and -2.5 as host values: on a
    // little-endian host the reversal is that conversion, on a big-endian
    // host the bytes already are host values.
    float bf = FromBytes<float>({0x3F, 0xC0, 0x00, 0x00});
    double bd = FromBytes<double>({0xC0, 0x04, 0, 0, 0, 0, 0, 0});
    if (HostIsLittleEndian()) {
        swaf(&bf, &bf);
        swad(&bd, &bd);
    }
    EXPECT_EQ(bf, 1.5f);
    EXPECT_EQ(bd, -2.5);
}

TEST(ByteOrderServices, ByteSwapPixelsExchangesTheBytesOfEachPixel)
{
    short src[3], dst[3] = {0, 0, 0x5555};
    std::memcpy(src, Bytes{0x01, 0x02, 0x03, 0x04, 0xFF, 0x80}.data(), 6);
    EXPECT_EQ(ByteSwapPixels(src, dst, 2), 2);
    EXPECT_EQ(BytesOf(dst, 2), (Bytes{0x02, 0x01, 0x04, 0x03}));
    EXPECT_EQ(dst[2], 0x5555);  // beyond the count
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
        {{0x40, 0x6F, 0x40, 0, 0, 0, 0, 0}, 250.0},
        {{0x3F, 0xEF, 0x5C, 0x28, 0xF5, 0xC2, 0x8F, 0x5C}, 0.98},
        {{0, 0, 0, 0, 0, 0, 0, 1}, std::numeric_limits<double>::denorm_min()},
        {{0x7F, 0xF0, 0, 0, 0, 0, 0, 0}, std::numeric_limits<double>::infinity()},
    };
    for (const auto& c : cases) {
        double v = 12345.0;
        EXPECT_EQ(ConvertFromBigEndian(reinterpret_cast<const char*>(c.first.data()), v), 1);
        EXPECT_EQ(v, c.second);
    }
    const Bytes nan = {0x7F, 0xF8, 0, 0, 0, 0, 0, 0};
    double n = 0.0;
    ConvertFromBigEndian(reinterpret_cast<const char*>(nan.data()), n);
    EXPECT_TRUE(std::isnan(n));
    double untouched = 3.0;
    EXPECT_EQ(ConvertFromBigEndian(nullptr, untouched), -1);
    EXPECT_EQ(untouched, 3.0);
}
