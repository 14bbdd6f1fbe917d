// Reading GE Genesis files: generated ones in every storage method and depth,
// real CT slices, the temporary files, header blocks, bad files, the XImg scan.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "MriSlice.h"
#include "MriSliceImg.h"
#include "ReadMriSlice.h"
#include "ScannerFileWriter.h"
#include "TestUtil.h"
#include "readGEM.h"

using scanfiles::PutBE;
using testutil::TempDir;
using Bytes = std::vector<unsigned char>;

namespace {

const int kWidth = 24, kHeight = 17;  // size of the generated files

// The real CT slices with the values an independent reader gives for them
// (tests/data/genesis/PROVENANCE.md).
const struct GenesisCt {
    const char* name;
    int imageNum;
    double pixelSize;
    short maxVal;   // the minimum is 0 in all four
    uint64_t hash;  // testutil::Fnv1a64Le16 of the 512 x 512 pixels
} kGenesisCt[] = {
    {"c_vf1122.fre", 122, 0.48828125, 3199, 0xb1e6792f4c251fe9ull},
    {"c_vf1123.fre", 123, 0.48828125, 3174, 0xa631a22bd9994f06ull},
    {"c_vf1210.fre", 214, 0.72265625, 2667, 0x3d100ee233d1f90aull},
    {"c_vf1211.fre", 215, 0.72265625, 2573, 0x2b9a4f0e634c3b6cull},
};

template <class T>
T HostAt(const unsigned char* block, size_t off)
{
    T v;
    std::memcpy(&v, block + off, sizeof v);
    return v;
}

// The display slice the factory makes of `name`, or null.
ecMriSliceImg<short>* DisplaySlice(const std::string& name, std::unique_ptr<ecMriSliceBase>& keep)
{
    keep.reset(ReadMriSlice(name.c_str(), MriGenesis, nullptr, true, 0));
    return dynamic_cast<ecMriSliceImg<short>*>(keep.get());
}

class GenesisFiles : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        fixtures = new TempDir;
        temps = new TempDir;
        ASSERT_EQ(std::system(("/usr/bin/python3 '" QUARN_SOURCE_DIR "/tests/make_genesis_fixtures.py' '" +
                               fixtures->path() + "'").c_str()), 0);
    }
    static void TearDownTestSuite() { delete fixtures, delete temps; }
    void SetUp() override { SetGEMTempDirectory(temps->path().c_str()); }

    static std::string Fixture(int method, int depth, const char* ext = ".fre")
    {
        return fixtures->file("gem_" + std::to_string(method) + "_" + std::to_string(depth) + ext);
    }
    static std::vector<short> Expected(int method, int depth)
    {
        const Bytes bytes = testutil::ReadFile(Fixture(method, depth, ".pixels"));
        std::vector<short> values(bytes.size() / 2);
        for (size_t i = 0; i < values.size(); ++i) values[i] = static_cast<short>(bytes[2 * i] | bytes[2 * i + 1] << 8);
        return values;
    }

    inline static TempDir *fixtures = nullptr, *temps = nullptr;
};

}  // namespace

TEST_F(GenesisFiles, EveryStorageMethodGivesTheWrittenImageAndGeometry)
{
    for (int method = 1; method <= 4; ++method) {
        for (int depth : {8, 16}) {
            SCOPED_TRACE("method " + std::to_string(method) + ", depth " + std::to_string(depth));
            const std::string name = Fixture(method, depth);
            const std::vector<short> expected = Expected(method, depth);
            ecMriSlice<short> s;
            ASSERT_EQ(s.ReadGEMFile(name.c_str(), nullptr), 1);
            ASSERT_EQ(s.GetNumCols() * 1000 + s.GetNumRows(), kWidth * 1000 + kHeight);
            EXPECT_EQ(testutil::RowsOf(s), expected);
            EXPECT_EQ(s.GetRowPointers()[0], s.GetPixels());
            const ecRawHeaderInfo* h = s.GetRawHeaderInfo();
            ASSERT_TRUE(h && h->IsValidForUse(2));
            EXPECT_EQ(std::vector<int>({h->iNumPix, h->iNumPixY, h->DataType, h->FileType, h->iImageNum, h->PlaneType,
                                        h->ImagePlane}),
                      std::vector<int>({kWidth, kHeight, depth == 8 ? 105 : 98, MriGenesis, 37, SliceCoronal,
                                        SliceCoronal}));
            EXPECT_EQ(std::vector<double>({h->fSliceThickness, h->fSliceSpacing, h->fSizePix, h->fSizePixY}),
                      std::vector<double>({2.5, 3.25, 0.75, 0.875}));
            EXPECT_EQ(h->lDataOffset, static_cast<long>(ReadU32BE(testutil::ReadFile(name).data() + 4)));

            // An 8-bit image also fits an unsigned char slice; a 16-bit one leaves it empty.
            ecMriSlice<unsigned char> b;
            ASSERT_EQ(b.ReadGEMFile(name.c_str(), nullptr), depth == 8 ? 1 : 0);
            const std::vector<unsigned char> bytes = testutil::RowsOf(b);
            if (depth == 8) EXPECT_EQ(std::vector<short>(bytes.begin(), bytes.end()), expected);
            else EXPECT_TRUE(b.GetPixels() == nullptr && b.GetRawHeaderInfo() == nullptr);

            std::unique_ptr<ecMriSliceBase> keep;
            ecMriSliceImg<short>* d = DisplaySlice(name, keep);
            ASSERT_NE(d, nullptr);
            std::vector<short> pixels(kWidth * kHeight);
            ASSERT_EQ(d->GetImageData(pixels.data(), kWidth * kHeight, 0), kWidth * kHeight);
            EXPECT_EQ(pixels, expected);
        }
    }
}

TEST_F(GenesisFiles, RealCtSlicesGiveTheIndependentReadersPixels)
{
    for (const GenesisCt& f : kGenesisCt) {
        const std::string path = testutil::DataPath(std::string("genesis/") + f.name);
        SCOPED_TRACE(f.name);
        ecMriSlice<short> s;
        ASSERT_EQ(s.ReadGEMFile(path.c_str(), nullptr), 1);
        ASSERT_EQ(s.GetNumCols() * 1000 + s.GetNumRows(), 512512);
        EXPECT_EQ(testutil::Fnv1a64Le16(s.GetPixels(), 512 * 512), f.hash);
        const ecRawHeaderInfo* h = s.GetRawHeaderInfo();
        EXPECT_TRUE(h->IsValidForUse(2));
        EXPECT_EQ(std::vector<long>({h->iNumPix, h->iNumPixY, h->DataType, h->iImageNum, h->ImagePlane,
                                     h->lDataOffset}),
                  std::vector<long>({512, 512, 98, f.imageNum, SliceAxial, 3416}));
        EXPECT_EQ(std::vector<double>({h->fSizePix, h->fSizePixY, h->fSliceThickness, h->fSliceSpacing}),
                  std::vector<double>({f.pixelSize, f.pixelSize, 1.0, 1.0}));

        // The blocks read are kept with their fields in host order, other bytes as read.
        const ecGEMHeaderBlocks& blocks = GEMHeaderBlocks();
        EXPECT_EQ(HostAt<uint32_t>(blocks.ImageFile, 0), 0x494D4746u);
        for (auto [off, value] : {std::pair{4, 3416}, {8, 512}, {32, 32768}, {132, 350}, {148, 2394}, {152, 1022}})
            EXPECT_EQ(HostAt<int32_t>(blocks.ImageFile, off), value) << off;
        EXPECT_EQ(HostAt<int16_t>(blocks.ImageFile, 52), 3);
        EXPECT_EQ(HostAt<int16_t>(blocks.Exam, 8), 370);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(blocks.Exam) + 10, 28), "UNIVERSITY HOSP. DENVER, CO.");
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(blocks.Exam) + 305, 2), "CT");
        EXPECT_EQ(HostAt<int16_t>(blocks.Image, 12), f.imageNum);

        // The factory's display slice: one buffer shared with its image part, scanned.
        std::unique_ptr<ecMriSliceBase> keep;
        ecMriSliceImg<short>* d = DisplaySlice(path, keep);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(testutil::Fnv1a64Le16(d->GetImagePixels(), 512 * 512), f.hash);
        EXPECT_EQ(d->GetImagePixels(), d->GetPixels());
        EXPECT_EQ(d->GetMaxVal() * 10 + d->GetMinVal(), f.maxVal * 10);
        ecRawHeaderInfo dh;
        EXPECT_TRUE(d->GetRawHeaderInfo(dh, 0) == 1 && dh.iImageNum == f.imageNum && dh.FileType == MriGenesis);
    }
}

TEST(GenesisCompressed, ByteCodesGiveDeltasAndAbsoluteValues)
{
    TempDir dir;
    std::vector<unsigned short> v;
    const auto decode = [&](const Bytes& bytes, long count) {
        testutil::WriteFile(dir.file("stream"), bytes);
        FILE* fp = std::fopen(dir.file("stream").c_str(), "rb");
        v.assign(static_cast<size_t>(count), 0);
        const long r = DecodeGEMCompressed(v.data(), count, fp);
        std::fclose(fp);
        return r;
    };
    ASSERT_EQ(decode({0xC0, 0x12, 0x34, 0x05, 0x7F, 0x9F, 0xFF, 0xA0, 0x00}, 5), 5);
    EXPECT_EQ(v, (std::vector<unsigned short>{0x1234, 0x1239, 0x1238, 0x1238 + 8191, 0x1238 + 8191 - 8192}));
    // The value starts at 0 and wraps; 0xBF 0xFF is -1, 0x40 is -64, 0x3F is 63;
    // any byte from 0xC0 up announces an absolute value.
    ASSERT_EQ(decode({0x7F, 0xBF, 0xFF, 0x40, 0x3F, 0xFF, 0x00, 0x07, 0x80, 0x00}, 6), 6);
    EXPECT_EQ(v, (std::vector<unsigned short>{0xFFFF, 0xFFFE, 0xFFBE, 0xFFFD, 0x0007, 0x0007}));
    // A stream that ends early, at a value or inside one, is reported.
    EXPECT_EQ(decode({0x01, 0x02}, 3), -1);
    EXPECT_EQ(decode({0x01, 0x9F}, 2), -1);
    EXPECT_EQ(decode({0xC0, 0x12}, 1), -1);
    EXPECT_EQ(DecodeGEMCompressed(v.data(), 1, nullptr), -1);
}
