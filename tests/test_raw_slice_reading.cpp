// Reading headerless raw slice files into typed slices, and the 2 x 2 halving.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "Quarn.h"
#include "RecordUtil.h"
#include "TestUtil.h"

namespace {
// Little-endian 16-bit pixel p(r, c) = r * 300 - c * 7 (negative values included).
short Pixel16(int r, int c) { return static_cast<short>(r * 300 - c * 7); }

std::vector<unsigned char> Le16Block(int cols, int rows, bool bigEndian)
{
    std::vector<unsigned char> out;
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c) {
            const uint16_t v = static_cast<uint16_t>(Pixel16(r, c));
            const unsigned char lo = v & 0xFF, hi = v >> 8;
            out.push_back(bigEndian ? hi : lo);
            out.push_back(bigEndian ? lo : hi);
        }
    return out;
}

std::string StatusMessage(const std::string& name, int status)
{
    return "? Unable to open raw mri file <" + name + "> status = " + std::to_string(status);
}

template <class T>
std::string ThrownMessage(const char* name, MriFileType type, ecRawHeaderInfo* hdr, unsigned long options = 0)
{
    try {
        ecMriSlice<T> s(name, type, hdr, options, nullptr);
    } catch (const ecError& e) {
        return e.what();
    }
    return "(no error)";
}
}  // namespace

TEST(RawSliceReading, SixteenBitAtStartEndAndOffset)
{
    testutil::TempDir dir;
    const int W = 256, H = 256;
    const auto block = Le16Block(W, H, false);
    // The same block with a 1000-byte header in front and 37 bytes after it.
    std::vector<unsigned char> withHeader(1000 + block.size(), 0xAB);
    std::copy(block.begin(), block.end(), withHeader.begin() + 1000);
    std::vector<unsigned char> withBoth(withHeader.size() + 37, 0xCD);
    std::copy(withHeader.begin(), withHeader.end(), withBoth.begin());
    testutil::WriteFile(dir.file("plain.raw"), block);
    testutil::WriteFile(dir.file("header.raw"), withHeader);
    testutil::WriteFile(dir.file("both.raw"), withBoth);

    struct Case { std::string file; long offset; } cases[] = {
        {"plain.raw", 0}, {"header.raw", -1}, {"both.raw", 1000}, {"header.raw", 1000}};
    for (const auto& k : cases) {
        ecRawHeaderInfo h = testutil::RawRecord(W, H, 98, k.offset);
        ecMriSlice<short> s(dir.file(k.file).c_str(), MriRaw16, &h, 0, nullptr);
        ASSERT_EQ(s.GetNumRows(), H);
        ASSERT_EQ(s.GetNumCols(), W);
        EXPECT_TRUE(s.OwnsData());
        EXPECT_EQ(s.GetRawHeaderInfo(), nullptr);  // the caller's record is not kept
        const short* p = s.GetPixels();
        int wrong = 0;
        for (int r = 0; r < H; ++r)
            for (int c = 0; c < W; ++c) wrong += p[r * W + c] != Pixel16(r, c);
        EXPECT_EQ(wrong, 0) << k.file << " at " << k.offset;
        EXPECT_EQ(s.GetRowPointers()[17], p + 17 * W);
        EXPECT_EQ(s.GetMinVal(), 0);
        EXPECT_EQ(s.GetMaxVal(), 255);  // not computed by the read
    }
    // With -1 the block is the last W*H*2 bytes: trailing bytes shift it.
    ecRawHeaderInfo h = testutil::RawRecord(W, H, 98, -1);
    ecMriSlice<short> shifted(dir.file("both.raw").c_str(), MriRaw16, &h, 0, nullptr);
    EXPECT_NE(shifted.GetPixels()[0], Pixel16(0, 0));
}

TEST(RawSliceReading, SwappedSixteenBitAndOtherPixelTypes)
{
    testutil::TempDir dir;
    const int W = 32, H = 16;
    testutil::WriteFile(dir.file("be.raw"), Le16Block(W, H, true));
    ecRawHeaderInfo h = testutil::RawRecord(W, H, 98);
    ecMriSlice<short> s(dir.file("be.raw").c_str(), MriRaw16Swapped, &h, 0, nullptr);
    for (int i = 0; i < W * H; ++i) ASSERT_EQ(s.GetPixels()[i], Pixel16(i / W, i % W)) << i;

    std::vector<unsigned char> bytes(W * H);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<unsigned char>(i * 7);
    testutil::WriteFile(dir.file("u8.raw"), bytes);
    ecRawHeaderInfo h8 = testutil::RawRecord(W, H, 105);
    ecMriSlice<unsigned char> s8(dir.file("u8.raw").c_str(), MriRaw8, &h8, 0, nullptr);
    EXPECT_EQ(std::memcmp(s8.GetPixels(), bytes.data(), bytes.size()), 0);

    std::vector<float> floats(W * H);
    for (size_t i = 0; i < floats.size(); ++i) floats[i] = static_cast<float>(i) * 0.25f - 3.0f;
    std::vector<unsigned char> fbytes(floats.size() * 4);
    std::memcpy(fbytes.data(), floats.data(), fbytes.size());
    testutil::WriteFile(dir.file("f.raw"), fbytes);
    ecRawHeaderInfo hf = testutil::RawRecord(W, H, 114);
    ecMriSlice<float> sf(dir.file("f.raw").c_str(), MriRawFloat, &hf, 0, nullptr);
    EXPECT_EQ(std::memcmp(sf.GetPixels(), floats.data(), fbytes.size()), 0);
    // The byte exchange of the swapped type runs on float pixels too, within each half.
    ecMriSlice<float> sw(dir.file("f.raw").c_str(), MriRaw16Swapped, &hf, 0, nullptr);
    std::vector<unsigned char> expect = fbytes;
    for (size_t i = 0; i + 1 < expect.size(); i += 2) std::swap(expect[i], expect[i + 1]);
    EXPECT_EQ(std::memcmp(sw.GetPixels(), expect.data(), expect.size()), 0);

    // Without the strict check an 8-bit slice reads any raw type; with it the types must agree.
    ecMriSlice<unsigned char> loose(dir.file("u8.raw").c_str(), MriRaw16, &h8, 0, nullptr);
    EXPECT_EQ(loose.GetPixels()[5], bytes[5]);
    EXPECT_EQ(ThrownMessage<unsigned char>(dir.file("u8.raw").c_str(), MriRaw16, &h8, 0x10),
              StatusMessage(dir.file("u8.raw"), -13));
    EXPECT_EQ(ThrownMessage<float>(dir.file("f.raw").c_str(), MriRaw8, &hf, 0x10),
              StatusMessage(dir.file("f.raw"), -13));
    ecMriSlice<float> strictOk(dir.file("f.raw").c_str(), MriRawFloat, &hf, 0x10, nullptr);
    EXPECT_EQ(strictOk.GetNumRows(), H);
}

TEST(RawSliceReading, EveryStatusAndItsMessage)
{
    testutil::TempDir dir;
    const std::string f = dir.file("img.raw");
    testutil::WriteFile(f, Le16Block(16, 16, false));
    ecRawHeaderInfo ok = testutil::RawRecord(16, 16, 98);
    ecRawHeaderInfo invalid = ok;
    invalid.bIsValid = false;
    ecRawHeaderInfo noPlane = ok;
    noPlane.ImagePlane = SliceUnknown;
    ecRawHeaderInfo bytes = testutil::RawRecord(16, 16, 105);
    ecRawHeaderInfo tall = testutil::RawRecord(16, 17, 98);  // one row more than the file holds

    EXPECT_EQ(ThrownMessage<short>(f.c_str(), MriRaw16, nullptr), StatusMessage(f, -1));
    EXPECT_EQ(ThrownMessage<short>(f.c_str(), MriRaw16, &invalid), StatusMessage(f, -1));
    EXPECT_EQ(ThrownMessage<short>(f.c_str(), MriRaw16, &noPlane), StatusMessage(f, -1));
    EXPECT_EQ(ThrownMessage<short>(f.c_str(), MriRaw16, &bytes), StatusMessage(f, -2));
    EXPECT_EQ(ThrownMessage<short>(nullptr, MriRaw16, &ok), StatusMessage("", -3));
    for (int t : {0, 1, 4, 5, 6, 7, 10, 12, 19, 20, -1, 1000})
        EXPECT_EQ(ThrownMessage<short>(f.c_str(), static_cast<MriFileType>(t), &ok), StatusMessage(f, -15)) << t;
    for (int t = 14; t <= 18; ++t)
        EXPECT_EQ(ThrownMessage<short>(f.c_str(), static_cast<MriFileType>(t), &ok), StatusMessage(f, -14)) << t;
    EXPECT_EQ(ThrownMessage<short>(dir.file("none.raw").c_str(), MriRaw16, &ok),
              StatusMessage(dir.file("none.raw"), -19));
    EXPECT_EQ(ThrownMessage<short>(f.c_str(), MriRaw16, &tall), StatusMessage(f, -20));
    ecRawHeaderInfo far = ok;
    far.lDataOffset = 100000;
    EXPECT_EQ(ThrownMessage<short>(f.c_str(), MriRaw16, &far), StatusMessage(f, -20));
    ecRawHeaderInfo fromEnd = tall;
    fromEnd.lDataOffset = -1;  // the file is shorter than the block
    EXPECT_EQ(ThrownMessage<short>(f.c_str(), MriRaw16, &fromEnd), StatusMessage(f, -20));
    EXPECT_EQ(ThrownMessage<short>(f.c_str(), MriRaw16, &tall, 0x10000), StatusMessage(f, -20));

    // Caught as the standard exception, the text is the same.
    try {
        ecMriSlice<short> s(f.c_str(), MriRaw16, &bytes, 0, nullptr);
        FAIL();
    } catch (const std::exception& e) {
        EXPECT_EQ(std::string(e.what()), StatusMessage(f, -2));
    }

    // A slice that owns its buffer cannot be read again.
    ecMriSlice<short> s(f.c_str(), MriRaw16, &ok, 0, nullptr);
    EXPECT_EQ(s.ReadRawSlice(f.c_str(), MriRaw16, &ok, 0, nullptr), -5);
}

TEST(RawSliceReading, CallerBufferIsFilledAndNeverReleased)
{
    testutil::TempDir dir;
    const std::string f = dir.file("img.raw");
    testutil::WriteFile(f, Le16Block(16, 16, false));
    ecRawHeaderInfo ok = testutil::RawRecord(16, 16, 98);
    ecRawHeaderInfo tall = testutil::RawRecord(16, 17, 98);
    std::vector<short> buffer(16 * 17, 12345);
    {
        ecMriSlice<short> s(f.c_str(), MriRaw16, &ok, 0, buffer.data());
        EXPECT_FALSE(s.OwnsData());
        EXPECT_EQ(s.GetPixels(), buffer.data());
        EXPECT_EQ(buffer[16 * 3 + 2], Pixel16(3, 2));
        // A slice holding a caller's buffer may be read again into another caller buffer.
        std::vector<short> other(256);
        EXPECT_EQ(s.ReadRawSlice(f.c_str(), MriRaw16, &ok, 0, other.data()), 1);
        EXPECT_EQ(s.GetPixels(), other.data());
        EXPECT_EQ(other[40], Pixel16(2, 8));
        EXPECT_EQ(s.ReadRawSlice(f.c_str(), MriRaw16, &ok, 0, nullptr), -5);
    }  // the sanitizer run shows that no caller buffer was released
    EXPECT_THROW(ecMriSlice<short>(f.c_str(), MriRaw16, &tall, 0, buffer.data()), ecError);
    EXPECT_EQ(buffer.size(), 16u * 17u);
}

TEST(RawSliceReading, HalvingAveragesTwoByTwoBlocks)
{
    testutil::TempDir dir;
    const int W = 256, H = 256;
    testutil::WriteFile(dir.file("be.raw"), Le16Block(W, H, true));
    ecRawHeaderInfo h = testutil::RawRecord(W, H, 98);
    ecMriSlice<short> s(dir.file("be.raw").c_str(), MriRaw16Swapped, &h, 0x10000, nullptr);
    ASSERT_EQ(s.GetNumRows(), 128);
    ASSERT_EQ(s.GetNumCols(), 128);
    for (int r = 0; r < 128; r += 9)
        for (int c = 0; c < 128; c += 5) {
            const double mean = (Pixel16(2 * r, 2 * c) + Pixel16(2 * r, 2 * c + 1) + Pixel16(2 * r + 1, 2 * c) +
                                 Pixel16(2 * r + 1, 2 * c + 1)) / 4.0;
            EXPECT_EQ(s.GetPixels()[r * 128 + c], ConvertPixVal(mean, short())) << r << "," << c;
        }
    // An odd-sized source drops its last row and column.
    std::vector<unsigned char> odd(17 * 19);
    for (size_t i = 0; i < odd.size(); ++i) odd[i] = static_cast<unsigned char>(i);
    testutil::WriteFile(dir.file("odd.raw"), odd);
    ecRawHeaderInfo ho = testutil::RawRecord(17, 19, 105, -1);
    ecMriSlice<unsigned char> so(dir.file("odd.raw").c_str(), MriRaw8, &ho, 0x10000, nullptr);
    ASSERT_EQ(so.GetNumRows(), 9);
    ASSERT_EQ(so.GetNumCols(), 8);
    for (int r = 0; r < 9; ++r)
        for (int c = 0; c < 8; ++c) {
            const double mean = (odd[(2 * r) * 17 + 2 * c] + odd[(2 * r) * 17 + 2 * c + 1] +
                                 odd[(2 * r + 1) * 17 + 2 * c] + odd[(2 * r + 1) * 17 + 2 * c + 1]) / 4.0;
            EXPECT_EQ(so.GetPixels()[r * 8 + c], ConvertPixVal(mean, static_cast<unsigned char>(0)));
        }
}

TEST(RawSliceReading, DecimateChecksAndRounding)
{
    ecMriSlice<short> s;
    std::vector<short> src(512 * 256), dst(256 * 128);
    for (size_t i = 0; i < src.size(); ++i) src[i] = static_cast<short>(i % 1000);
    src[0] = 10;
    src[1] = 11;
    src[256] = 12;
    src[257] = 13;
    EXPECT_EQ(s.Decimate(src.data(), 512, 256, dst.data(), 256, 128, 2, 0), 1);
    EXPECT_EQ(dst[0], ConvertPixVal(11.5, short()));
    EXPECT_EQ(dst[0], 12);  // halves round away from zero
    EXPECT_EQ(s.Decimate(src.data(), 512, 256, dst.data(), 256, 128, 3, 0), -2);
    EXPECT_EQ(s.Decimate(src.data(), 512, 256, dst.data(), 255, 128, 2, 0), -3);
    EXPECT_EQ(s.Decimate(src.data(), 512, 256, dst.data(), 256, 127, 2, 0), -3);
    EXPECT_EQ(s.Decimate(src.data(), 1030, 256, dst.data(), 515, 128, 2, 0), -1);
    EXPECT_EQ(s.Decimate(src.data(), 7, 256, dst.data(), 3, 128, 2, 0), -1);
    EXPECT_EQ(s.Decimate(nullptr, 512, 256, dst.data(), 256, 128, 2, 0), -1);
    EXPECT_EQ(s.Decimate(src.data(), 512, 256, nullptr, 256, 128, 2, 0), -1);

    // 8-bit pixels add as unsigned values, 16-bit as signed.
    ecMriSlice<unsigned char> b;
    std::vector<unsigned char> sb(16 * 16, 250), db(8 * 8);
    EXPECT_EQ(b.Decimate(sb.data(), 16, 16, db.data(), 8, 8, 2, 0), 1);
    EXPECT_EQ(db[0], 250);
    std::vector<short> ss(16 * 16, -3), ds(8 * 8);
    ss[1] = -4;
    EXPECT_EQ(s.Decimate(ss.data(), 16, 16, ds.data(), 8, 8, 2, 0), 1);
    EXPECT_EQ(ds[0], -3);  // -3.25 rounds to -3
    ecMriSlice<float> f;
    std::vector<float> sf(16 * 16, 1.0f), df(8 * 8);
    sf[0] = 2.0f;
    EXPECT_EQ(f.Decimate(sf.data(), 16, 16, df.data(), 8, 8, 2, 0), 1);
    EXPECT_FLOAT_EQ(df[0], 1.25f);
}
