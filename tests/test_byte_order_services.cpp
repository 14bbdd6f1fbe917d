// The byte-order services on known byte patterns. Every expectation holds on
// a host of either byte order: patterns are stated as bytes in memory, and the
// one check that needs a little-endian host says so and checks the
// big-endian counterpart otherwise.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "corvane.h"

namespace {

bool HostIsLittleEndian()
{
    const uint16_t probe = 1;
    unsigned char first;
    std::memcpy(&first, &probe, 1);
    return first == 1;
}

template <class T, size_t N>
T FromBytes(const unsigned char (&bytes)[N])
{
    static_assert(sizeof(T) == N, "size");
    T v;
    std::memcpy(&v, bytes, N);
    return v;
}

template <class T>
std::vector<unsigned char> BytesOf(const T& v)
{
    std::vector<unsigned char> b(sizeof(T));
    std::memcpy(b.data(), &v, sizeof(T));
    return b;
}

}  // namespace

TEST(ByteOrderServices, SwalReversesThe32BitValue)
{
    long v = 0x11223344L;
    long out = 0;
    swal(&v, &out);
    EXPECT_EQ(out, 0x44332211L);
    EXPECT_EQ(v, 0x11223344L);  // source untouched

    // In place; a top bit that lands in bit 31 gives a negative 32-bit value.
    long w = 0x80;
    swal(&w, &w);
    EXPECT_EQ(w, -2147483647L - 1);
    swal(&w, &w);
    EXPECT_EQ(w, 0x80L);

    // Bytes FF FF FF FE reversed are FE FF FF FF: -2 becomes -16777217.
    long m = -2;
    swal(&m, &m);
    EXPECT_EQ(m, -16777217L);

    if (sizeof(long) > 4) {
        // Only the low 32 bits carry the value, as on a host with 32-bit long.
        long wide = static_cast<long>(0x7700000011223344LL & 0x7FFFFFFFFFFFFFFFLL);
        swal(&wide, &wide);
        EXPECT_EQ(wide, 0x44332211L);
    }
}

TEST(ByteOrderServices, SwafAndSwadReverseTheBytesInMemory)
{
    const unsigned char f4[4] = {0x3F, 0xC0, 0x00, 0x01};
    float f = FromBytes<float>(f4);
    float fo = 0;
    swaf(&f, &fo);
    EXPECT_EQ(BytesOf(fo), (std::vector<unsigned char>{0x01, 0x00, 0xC0, 0x3F}));
    swaf(&fo, &fo);
    EXPECT_EQ(BytesOf(fo), std::vector<unsigned char>(f4, f4 + 4));

    const unsigned char d8[8] = {0xC0, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x07};
    double d = FromBytes<double>(d8);
    swad(&d, &d);
    EXPECT_EQ(BytesOf(d), (std::vector<unsigned char>{0x07, 0, 0, 0, 0, 0, 0x04, 0xC0}));

    // The big-endian encodings of 1.5f and -2.5 turned into host values.
    const unsigned char oneAndHalf[4] = {0x3F, 0xC0, 0x00, 0x00};
    const unsigned char minusTwoAndHalf[8] = {0xC0, 0x04, 0, 0, 0, 0, 0, 0};
    float bf = FromBytes<float>(oneAndHalf);
    double bd = FromBytes<double>(minusTwoAndHalf);
    if (HostIsLittleEndian()) {
        // On a little-endian host the reversal is the conversion from big-endian.
        swaf(&bf, &bf);
        swad(&bd, &bd);
    }
    EXPECT_EQ(bf, 1.5f);
    EXPECT_EQ(bd, -2.5);
}

TEST(ByteOrderServices, ByteSwapPixelsExchangesTheBytesOfEachPixel)
{
    const unsigned char s6[6] = {0x01, 0x02, 0x03, 0x04, 0xFF, 0x80};
    short src[3];
    std::memcpy(src, s6, 6);
    short dst[3] = {0, 0, 0x5555};
    EXPECT_EQ(ByteSwapPixels(src, dst, 2), 2);
    unsigned char out[6];
    std::memcpy(out, dst, 6);
    EXPECT_EQ(std::vector<unsigned char>(out, out + 4), (std::vector<unsigned char>{0x02, 0x01, 0x04, 0x03}));
    EXPECT_EQ(dst[2], 0x5555);  // beyond the count: untouched
    std::memcpy(out, src, 6);
    EXPECT_EQ(std::vector<unsigned char>(out, out + 6), std::vector<unsigned char>(s6, s6 + 6));
    EXPECT_EQ(ByteSwapPixels(src, src, 3), 3);  // in place
    std::memcpy(out, src, 6);
    EXPECT_EQ(std::vector<unsigned char>(out, out + 6),
              (std::vector<unsigned char>{0x02, 0x01, 0x04, 0x03, 0x80, 0xFF}));

    const unsigned char f8[8] = {0x3F, 0x80, 0x00, 0x00, 0xC0, 0x20, 0x00, 0x01};
    float fs[2];
    std::memcpy(fs, f8, 8);
    EXPECT_EQ(ByteSwapPixels(fs, fs, 2), 2);
    unsigned char fo[8];
    std::memcpy(fo, fs, 8);
    EXPECT_EQ(std::vector<unsigned char>(fo, fo + 8),
              (std::vector<unsigned char>{0x00, 0x00, 0x80, 0x3F, 0x01, 0x00, 0x20, 0xC0}));

    // 8-bit pixels have one byte each: copied as they are.
    const unsigned char u[3] = {7, 8, 9};
    unsigned char uo[3] = {0, 0, 0};
    EXPECT_EQ(ByteSwapPixels(u, uo, 3), 3);
    EXPECT_EQ(std::vector<unsigned char>(uo, uo + 3), (std::vector<unsigned char>{7, 8, 9}));

    EXPECT_EQ(ByteSwapPixels(src, src, 0), 0);
    EXPECT_EQ(ByteSwapPixels(src, src, -1), -1);
    EXPECT_EQ(ByteSwapPixels(static_cast<const short*>(nullptr), dst, 1), -1);
}

TEST(ByteOrderServices, ConvertFromBigEndianDecodesIeeeDoubles)
{
    struct Case {
        unsigned char bytes[8];
        double value;
    };
    const Case cases[] = {
        {{0x3F, 0xF0, 0, 0, 0, 0, 0, 0}, 1.0},
        {{0xC0, 0x04, 0, 0, 0, 0, 0, 0}, -2.5},
        {{0x40, 0x6F, 0x40, 0, 0, 0, 0, 0}, 250.0},
        {{0x3F, 0xE9, 0, 0, 0, 0, 0, 0}, 0.78125},
        {{0x3F, 0xEF, 0x5C, 0x28, 0xF5, 0xC2, 0x8F, 0x5C}, 0.98},
        {{0, 0, 0, 0, 0, 0, 0, 1}, std::numeric_limits<double>::denorm_min()},
        {{0x7F, 0xF0, 0, 0, 0, 0, 0, 0}, std::numeric_limits<double>::infinity()},
    };
    for (const Case& c : cases) {
        double v = 12345.0;
        EXPECT_EQ(ConvertFromBigEndian(reinterpret_cast<const char*>(c.bytes), v), 1);
        EXPECT_EQ(v, c.value);
    }
    const unsigned char negZero[8] = {0x80, 0, 0, 0, 0, 0, 0, 0};
    double z = 1.0;
    ConvertFromBigEndian(reinterpret_cast<const char*>(negZero), z);
    EXPECT_TRUE(z == 0.0 && std::signbit(z));
    const unsigned char nan[8] = {0x7F, 0xF8, 0, 0, 0, 0, 0, 0};
    double n = 0.0;
    ConvertFromBigEndian(reinterpret_cast<const char*>(nan), n);
    EXPECT_TRUE(std::isnan(n));

    double untouched = 3.0;
    EXPECT_EQ(ConvertFromBigEndian(nullptr, untouched), -1);
    EXPECT_EQ(untouched, 3.0);
}
