// Reading headerless raw slice files into typed slices, and the 2 x 2 halving.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "Quarn.h"
#include "RecordUtil.h"
#include "TestUtil.h"

namespace {
using testutil::RawRecord;

// Little-endian 16-bit pixels p(r, c) = r * 300 - c * 7 (negative values included).
short Pixel16(int r, int c) { return static_cast<short>(r * 300 - c * 7); }

std::vector<unsigned char> Block16(int cols, int rows)
{
    std::vector<unsigned char> out;
    for (int i = 0; i < cols * rows; ++i) {
        const uint16_t v = static_cast<uint16_t>(Pixel16(i / cols, i % cols));
        out.push_back(static_cast<unsigned char>(v & 0xFF));
        out.push_back(static_cast<unsigned char>(v >> 8));
    }
    return out;
}

// The message a failed read throws, "(no error)" when it reads.
template <class T>
std::string ThrownMessage(const std::string& name, MriFileType type, ecRawHeaderInfo* hdr, unsigned long options = 0)
{
    try {
        ecMriSlice<T> s(name.empty() ? nullptr : name.c_str(), type, hdr, options, nullptr);
    } catch (const std::exception& e) {
        return e.what();
    }
    return "(no error)";
}

std::string StatusMessage(const std::string& name, int status)
{
    return "? Unable to open raw mri file <" + name + "> status = " + std::to_string(status);
}

}  // namespace

TEST(RawSliceReading, SixteenBitAtStartEndAndOffset)
{
    testutil::TempDir dir;
    const int W = 256, H = 256;
    // The block alone, after a 1000-byte header, and with 37 more bytes after it.
    std::vector<unsigned char> file(1000, 0xAB);
    const auto block = Block16(W, H);
    testutil::WriteFile(dir.file("plain.raw"), block);
    file.insert(file.end(), block.begin(), block.end());
    testutil::WriteFile(dir.file("header.raw"), file);
    file.insert(file.end(), 37, 0xCD);
    testutil::WriteFile(dir.file("both.raw"), file);

    struct Case { std::string file; long offset; } cases[] = {
        {"plain.raw", 0}, {"header.raw", -1}, {"both.raw", 1000}, {"header.raw", 1000}};
    for (const auto& k : cases) {
        ecRawHeaderInfo h = RawRecord(W, H, 98, k.offset);
        ecMriSlice<short> s(dir.file(k.file).c_str(), MriRaw16, &h, 0, nullptr);
        ASSERT_EQ(s.GetNumRows(), H);
        ASSERT_EQ(s.GetNumCols(), W);
        EXPECT_TRUE(s.OwnsData());
        EXPECT_EQ(s.GetRawHeaderInfo(), nullptr);  // the caller's record is not kept
        const short* p = s.GetPixels();
        int wrong = 0;
        for (int i = 0; i < W * H; ++i) wrong += p[i] != Pixel16(i / W, i % W);
        EXPECT_EQ(wrong, 0) << k.file << " at " << k.offset;
        EXPECT_EQ(s.GetRowPointers()[17], p + 17 * W);
        EXPECT_EQ(s.GetMaxVal(), 255);  // not computed by the read
    }
    // With -1 the block is the last W*H*2 bytes: trailing bytes shift it.
    ecRawHeaderInfo h = RawRecord(W, H, 98, -1);
    EXPECT_NE(ecMriSlice<short>(dir.file("both.raw").c_str(), MriRaw16, &h, 0, nullptr).GetPixels()[0], Pixel16(0, 0));
}

TEST(RawSliceReading, ByteAndFloatPixelsAndTheSwappedType)
{
    testutil::TempDir dir;
    const int W = 32, H = 16;
    const std::string u8 = dir.file("u8.raw"), f32 = dir.file("f.raw");
    ecRawHeaderInfo h8 = RawRecord(W, H, 105), hf = RawRecord(W, H, 114);

    std::vector<unsigned char> bytes(W * H);
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<unsigned char>(i * 7);
    testutil::WriteFile(u8, bytes);
    ecMriSlice<unsigned char> s8(u8.c_str(), MriRaw8, &h8, 0, nullptr);
    EXPECT_EQ(std::memcmp(s8.GetPixels(), bytes.data(), bytes.size()), 0);

    std::vector<float> floats(W * H);
    for (size_t i = 0; i < floats.size(); ++i) floats[i] = static_cast<float>(i) * 0.25f - 3.0f;
    std::vector<unsigned char> fbytes(floats.size() * 4);
    std::memcpy(fbytes.data(), floats.data(), fbytes.size());
    testutil::WriteFile(f32, fbytes);
    ecMriSlice<float> sf(f32.c_str(), MriRawFloat, &hf, 0, nullptr);
    EXPECT_EQ(std::memcmp(sf.GetPixels(), floats.data(), fbytes.size()), 0);
    // The byte exchange of the swapped type runs on float pixels too, within each half.
    ecMriSlice<float> sw(f32.c_str(), MriRaw16Swapped, &hf, 0, nullptr);
    SwapBytePairs(fbytes.data(), fbytes.size());
    EXPECT_EQ(std::memcmp(sw.GetPixels(), fbytes.data(), fbytes.size()), 0);

    // Without the strict check an 8-bit slice reads any raw type; with it the types must agree.
    EXPECT_EQ(ecMriSlice<unsigned char>(u8.c_str(), MriRaw16, &h8, 0, nullptr).GetPixels()[5], bytes[5]);
    EXPECT_EQ(ThrownMessage<unsigned char>(u8, MriRaw16, &h8, 0x10), StatusMessage(u8, -13));
    EXPECT_EQ(ThrownMessage<float>(f32, MriRaw8, &hf, 0x10), StatusMessage(f32, -13));
    EXPECT_EQ(ThrownMessage<float>(f32, MriRawFloat, &hf, 0x10), "(no error)");
}

TEST(RawSliceReading, HalvingAveragesTwoByTwoBlocks)
{
    // An odd-sized 8-bit source (17 x 19, at the end of the file) drops its last
    // row and column, and 8-bit sums do not wrap.
    testutil::TempDir dir;
    std::vector<unsigned char> odd(17 * 19);
    for (size_t i = 0; i < odd.size(); ++i) odd[i] = static_cast<unsigned char>(i + 128);
    testutil::WriteFile(dir.file("odd.raw"), odd);
    ecRawHeaderInfo ho = RawRecord(17, 19, 105, -1);
    ecMriSlice<unsigned char> so(dir.file("odd.raw").c_str(), MriRaw8, &ho, 0x10000, nullptr);
    ASSERT_EQ(so.GetNumRows(), 9);
    ASSERT_EQ(so.GetNumCols(), 8);
    for (int i = 0; i < 9 * 8; ++i) {
        const int at = (i / 8) * 2 * 17 + (i % 8) * 2;  // the block's top left pixel
        const int sum = odd[at] + odd[at + 1] + odd[at + 17] + odd[at + 18];
        EXPECT_EQ(so.GetPixels()[i], (sum + 2) / 4) << i;  // the mean, halves rounded up
    }
}

TEST(RawSliceReading, DecimateChecksAndRounding)
{
    ecMriSlice<short> s;
    std::vector<short> src(512 * 256, 1), dst(256 * 128);
    src[1] = 10, src[256] = 11, src[257] = 12;  // block (0,0): (1 + 10 + 11 + 12) / 4 = 8.5
    EXPECT_EQ(s.Decimate(src.data(), 512, 256, dst.data(), 256, 128, 2, 0), 1);
    EXPECT_EQ(dst[0], 9);  // halves round away from zero
    EXPECT_EQ(dst[1], 1);
    short* p = src.data();
    EXPECT_EQ(s.Decimate(p, 512, 256, dst.data(), 256, 128, 3, 0), -2);
    EXPECT_EQ(s.Decimate(p, 512, 256, dst.data(), 255, 128, 2, 0), -3);
    EXPECT_EQ(s.Decimate(p, 512, 256, dst.data(), 256, 127, 2, 0), -3);
    EXPECT_EQ(s.Decimate(p, 1030, 256, dst.data(), 515, 128, 2, 0), -1);
    EXPECT_EQ(s.Decimate(p, 7, 256, dst.data(), 3, 128, 2, 0), -1);
    EXPECT_EQ(s.Decimate(nullptr, 512, 256, dst.data(), 256, 128, 2, 0), -1);
    EXPECT_EQ(s.Decimate(p, 512, 256, nullptr, 256, 128, 2, 0), -1);

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
