// Real GE CT slices read as headerless big-endian 16-bit blocks: the pixel
// block of each file is 512 x 512 at byte 3416 and fills the file to its end,
// so it reads the same at that offset and with -1 (the last bytes). The sums,
// extremes and hashes are those an independent reader (ITK) gives.
#include <gtest/gtest.h>

#include <cstdint>

#include "Quarn.h"
#include "TestUtil.h"

namespace {
struct Expected {
    const char* file;
    long long sum;
    short min, max;
    uint64_t fnv;
};
const Expected kFiles[] = {
    {"c_vf1122.fre", 137937814, 0, 3199, 0xb1e6792f4c251fe9ull},
    {"c_vf1123.fre", 138833191, 0, 3174, 0xa631a22bd9994f06ull},
    {"c_vf1210.fre", 67457920, 0, 2667, 0x3d100ee233d1f90aull},
    {"c_vf1211.fre", 68337050, 0, 2573, 0x2b9a4f0e634c3b6cull},
};
}  // namespace

TEST(RealCtRawBlocks, SwappedSixteenBitAtOffsetAndAtEnd)
{
    for (const Expected& e : kFiles) {
        const std::string path = testutil::DataPath(std::string("genesis/") + e.file);
        for (long offset : {3416L, -1L}) {
            ecRawHeaderInfo h;
            h.bIsValid = true;
            h.ImagePlane = SliceAxial;
            h.iNumPix = h.iNumPixY = 512;
            h.DataType = 98;
            h.lDataOffset = offset;
            ecMriSlice<short> s(path.c_str(), MriRaw16Swapped, &h, 0, nullptr);
            ASSERT_EQ(s.GetNumRows() * s.GetNumCols(), 512 * 512);
            long long sum = 0;
            for (int i = 0; i < 512 * 512; ++i) sum += s.GetPixels()[i];
            EXPECT_EQ(sum, e.sum) << e.file << " @" << offset;
            ASSERT_EQ(s.SetMaxMinValues(0), 512 * 512);
            EXPECT_EQ(s.GetMinVal(), e.min) << e.file;
            EXPECT_EQ(s.GetMaxVal(), e.max) << e.file;
            EXPECT_EQ(testutil::Fnv1a64Le16(s.GetPixels(), 512 * 512), e.fnv) << e.file << " @" << offset;
        }
    }
}

TEST(RealCtRawBlocks, HalvedSliceAveragesTheFullOne)
{
    const std::string path = testutil::DataPath("genesis/c_vf1122.fre");
    ecRawHeaderInfo h;
    h.bIsValid = true;
    h.ImagePlane = SliceAxial;
    h.iNumPix = h.iNumPixY = 512;
    h.DataType = 98;
    h.lDataOffset = -1;
    ecMriSlice<short> full(path.c_str(), MriRaw16Swapped, &h, 0, nullptr);
    ecMriSlice<short> half(path.c_str(), MriRaw16Swapped, &h, 0x10000, nullptr);
    ASSERT_EQ(half.GetNumRows(), 256);
    const short* f = full.GetPixels();
    int wrong = 0;
    for (int r = 0; r < 256; ++r)
        for (int c = 0; c < 256; ++c) {
            const double mean =
                (f[2 * r * 512 + 2 * c] + f[2 * r * 512 + 2 * c + 1] + f[(2 * r + 1) * 512 + 2 * c] +
                 f[(2 * r + 1) * 512 + 2 * c + 1]) / 4.0;
            wrong += half.GetPixels()[r * 256 + c] != ConvertPixVal(mean, short());
        }
    EXPECT_EQ(wrong, 0);
}
