// Reading GE Genesis image files into slices: the four storage methods at
// both depths (files written by tests/make_genesis_fixtures.py), real CT
// slices, the temporary files, the header blocks, the compressed decoder, bad
// files and the XImg scan.
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
#include "TestUtil.h"
#include "ecError.h"
#include "readGEM.h"

using testutil::TempDir;

namespace {

const int kWidth = 24, kHeight = 17;  // size of the generated files

bool Exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

void PutBE(std::vector<unsigned char>& b, size_t off, uint32_t v, int width)
{
    for (int i = 0; i < width; ++i) b[off + i] = static_cast<unsigned char>(v >> (8 * (width - 1 - i)));
}
uint32_t GetBE32(const std::vector<unsigned char>& b, size_t off) { return ReadU32BE(&b[off]); }

template <class T>
T HostAt(const unsigned char* block, size_t off)
{
    T v;
    std::memcpy(&v, block + off, sizeof v);
    return v;
}

// Gives the test access to the slice's raw header record.
template <class T>
struct Slice : ecMriSlice<T> {
    const ecRawHeaderInfo* Header() const { return this->pRawHeader; }
};

class GenesisFiles : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        fixtures = new TempDir;
        temps = new TempDir;
        const std::string cmd = "/usr/bin/python3 '" QUARN_SOURCE_DIR "/tests/make_genesis_fixtures.py' '" +
                                fixtures->path() + "'";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
    }
    static void TearDownTestSuite()
    {
        delete fixtures;
        delete temps;
    }
    void SetUp() override { SetGEMTempDirectory(temps->path().c_str()); }

    static std::string Fixture(int method, int depth, const char* ext = ".fre")
    {
        return fixtures->file("gem_" + std::to_string(method) + "_" + std::to_string(depth) + ext);
    }
    static std::vector<short> Expected(int method, int depth)
    {
        const std::vector<unsigned char> bytes = testutil::ReadFile(Fixture(method, depth, ".pixels"));
        std::vector<short> values(bytes.size() / 2);
        for (size_t i = 0; i < values.size(); ++i)
            values[i] = static_cast<short>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
        return values;
    }

    static TempDir* fixtures;
    static TempDir* temps;
};
TempDir* GenesisFiles::fixtures = nullptr;
TempDir* GenesisFiles::temps = nullptr;

template <class T>
std::vector<short> PixelsOf(const ecMriSlice<T>& s)
{
    std::vector<short> v;
    for (int r = 0; r < s.GetNumRows(); ++r)
        for (int c = 0; c < s.GetNumCols(); ++c) v.push_back(static_cast<short>(s.GetRowPointers()[r][c]));
    return v;
}

}  // namespace

TEST_F(GenesisFiles, EveryStorageMethodGivesTheWrittenImageAndGeometry)
{
    for (int method = 1; method <= 4; ++method) {
        for (int depth : {8, 16}) {
            SCOPED_TRACE("method " + std::to_string(method) + ", depth " + std::to_string(depth));
            const std::string name = Fixture(method, depth);
            const std::vector<short> expected = Expected(method, depth);

            Slice<short> s;
            ASSERT_EQ(s.ReadGEMFile(name.c_str(), nullptr), 1);
            ASSERT_EQ(s.GetNumCols(), kWidth);
            ASSERT_EQ(s.GetNumRows(), kHeight);
            EXPECT_EQ(PixelsOf(s), expected);  // through the row table
            EXPECT_EQ(s.GetRowPointers()[0], s.GetPixels());

            const ecRawHeaderInfo* h = s.Header();
            ASSERT_NE(h, nullptr);
            EXPECT_TRUE(h->IsValidForUse(2));
            EXPECT_EQ(std::vector<int>({h->iNumPix, h->iNumPixY, h->DataType, h->FileType, h->iImageNum, h->PlaneType,
                                        h->ImagePlane}),
                      std::vector<int>({kWidth, kHeight, depth == 8 ? 105 : 98, MriGenesis, 37, SliceCoronal,
                                        SliceCoronal}));
            EXPECT_EQ(std::vector<double>({h->fSliceThickness, h->fSliceSpacing, h->fSizePix, h->fSizePixY}),
                      std::vector<double>({2.5, 3.25, 0.75, 0.875}));
            EXPECT_EQ(h->lDataOffset, static_cast<long>(GetBE32(testutil::ReadFile(name), 4)));

            // An 8-bit image also fits an unsigned char slice; a 16-bit one does not,
            // and the refused read leaves the slice empty.
            Slice<unsigned char> b;
            if (depth == 8) {
                ASSERT_EQ(b.ReadGEMFile(name.c_str(), nullptr), 1);
                EXPECT_EQ(PixelsOf(b), expected);
            } else {
                EXPECT_EQ(b.ReadGEMFile(name.c_str(), nullptr), 0);
                EXPECT_EQ(b.GetPixels(), nullptr);
                EXPECT_EQ(b.Header(), nullptr);
            }
        }
    }
}

TEST_F(GenesisFiles, RealCtSlicesGiveTheIndependentReadersPixels)
{
    struct Real {
        const char* name;
        int imageNumber;
        double pixelSize;
        long long sum;
        short min, max;
        uint64_t hash;
    };
    const Real files[] = {
        {"c_vf1122.fre", 122, 0.48828125, 137937814, 0, 3199, 0xb1e6792f4c251fe9ull},
        {"c_vf1123.fre", 123, 0.48828125, 138833191, 0, 3174, 0xa631a22bd9994f06ull},
        {"c_vf1210.fre", 214, 0.72265625, 67457920, 0, 2667, 0x3d100ee233d1f90aull},
        {"c_vf1211.fre", 215, 0.72265625, 68337050, 0, 2573, 0x2b9a4f0e634c3b6cull},
    };
    for (const Real& f : files) {
        SCOPED_TRACE(f.name);
        Slice<short> s;
        ASSERT_EQ(s.ReadGEMFile(testutil::DataPath(std::string("genesis/") + f.name).c_str(), nullptr), 1);
        ASSERT_EQ(s.GetNumCols(), 512);
        ASSERT_EQ(s.GetNumRows(), 512);
        const short* p = s.GetPixels();
        long long sum = 0;
        short lo = p[0], hi = p[0];
        for (int i = 0; i < 512 * 512; ++i) {
            sum += p[i];
            lo = std::min(lo, p[i]);
            hi = std::max(hi, p[i]);
        }
        EXPECT_EQ(sum, f.sum);
        EXPECT_EQ(lo, f.min);
        EXPECT_EQ(hi, f.max);
        EXPECT_EQ(testutil::Fnv1a64Le16(p, 512 * 512), f.hash);

        const ecRawHeaderInfo* h = s.Header();
        ASSERT_NE(h, nullptr);
        EXPECT_TRUE(h->IsValidForUse(2));
        EXPECT_EQ(std::vector<long>({h->iNumPix, h->iNumPixY, h->DataType, h->iImageNum, h->ImagePlane, h->lDataOffset}),
                  std::vector<long>({512, 512, 98, f.imageNumber, SliceAxial, 3416}));
        EXPECT_EQ(std::vector<double>({h->fSizePix, h->fSizePixY, h->fSliceThickness, h->fSliceSpacing}),
                  std::vector<double>({f.pixelSize, f.pixelSize, 1.0, 1.0}));

        // The module keeps the blocks it read with their fields in host order;
        // bytes outside those fields stay as read.
        const ecGEMHeaderBlocks& blocks = GEMHeaderBlocks();
        EXPECT_EQ(HostAt<uint32_t>(blocks.ImageFile, 0), 0x494D4746u);
        for (auto [off, value] : {std::pair{4, 3416}, {8, 512}, {32, 32768}, {132, 350}, {148, 2394}, {152, 1022}})
            EXPECT_EQ(HostAt<int32_t>(blocks.ImageFile, off), value) << off;
        EXPECT_EQ(HostAt<int16_t>(blocks.ImageFile, 52), 3);
        EXPECT_EQ(HostAt<int16_t>(blocks.Exam, 8), 370);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(blocks.Exam) + 10, 28), "UNIVERSITY HOSP. DENVER, CO.");
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(blocks.Exam) + 305, 2), "CT");
        EXPECT_EQ(HostAt<int16_t>(blocks.Image, 12), f.imageNumber);
    }
}

TEST_F(GenesisFiles, TheFactorysDisplaySliceShowsTheImage)
{
    const char* real[] = {"c_vf1122.fre", "c_vf1123.fre", "c_vf1210.fre", "c_vf1211.fre"};
    const uint64_t hashes[] = {0xb1e6792f4c251fe9ull, 0xa631a22bd9994f06ull, 0x3d100ee233d1f90aull,
                               0x2b9a4f0e634c3b6cull};
    const short maxima[] = {3199, 3174, 2667, 2573};
    const int imageNumbers[] = {122, 123, 214, 215};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(real[i]);
        const std::string name = testutil::DataPath(std::string("genesis/") + real[i]);
        std::unique_ptr<ecMriSliceBase> base(ReadMriSlice(name.c_str(), MriGenesis, nullptr, true, 0));
        auto* s = dynamic_cast<ecMriSliceImg<short>*>(base.get());
        ASSERT_NE(s, nullptr);
        std::vector<short> pixels(512 * 512);
        ASSERT_EQ(s->GetImageData(pixels.data(), 512 * 512, 0), 512 * 512);
        EXPECT_EQ(testutil::Fnv1a64Le16(pixels.data(), pixels.size()), hashes[i]);
        EXPECT_EQ(s->GetImagePixels(), s->GetPixels());  // one buffer, shared with the image part
        EXPECT_EQ(s->GetMaxVal(), maxima[i]);
        EXPECT_EQ(s->GetMinVal(), 0);
        ecRawHeaderInfo h;
        ASSERT_EQ(s->GetRawHeaderInfo(h, 0), 1);
        EXPECT_EQ(std::vector<int>({h.iNumPix, h.iNumPixY, h.iImageNum, h.FileType}),
                  std::vector<int>({512, 512, imageNumbers[i], MriGenesis}));
    }
    // A generated compressed-and-packed image, through the same road.
    std::unique_ptr<ecMriSliceBase> base(ReadMriSlice(Fixture(4, 16).c_str(), MriGenesis, nullptr, true, 0));
    auto* s = dynamic_cast<ecMriSliceImg<short>*>(base.get());
    ASSERT_NE(s, nullptr);
    std::vector<short> pixels(kWidth * kHeight);
    ASSERT_EQ(s->GetImageData(pixels.data(), kWidth * kHeight, 0), kWidth * kHeight);
    EXPECT_EQ(pixels, Expected(4, 16));
    // A file the reader refuses gives no slice rather than an empty one.
    std::vector<unsigned char> notGem = testutil::ReadFile(Fixture(4, 16));
    notGem[0] = 'J';
    TempDir dir;
    testutil::WriteFile(dir.file("not.fre"), notGem);
    EXPECT_EQ(ReadMriSlice(dir.file("not.fre").c_str(), MriGenesis, nullptr, true, 0), nullptr);
}

TEST(GenesisHeaderBlocks, WideFieldsAreConvertedWholeAndOthersLeftAlone)
{
    std::vector<unsigned char> exam(GEM_EXAM_HEADER_SIZE, 0xEE), image(GEM_IMAGE_HEADER_SIZE, 0xEE);
    PutBE(exam, 320, 0x3FF80000u, 4);  // the double 1.5 + 1 ulp
    PutBE(exam, 324, 1u, 4);
    PutBE(exam, 52, 0x40490FDBu, 4);  // float pi
    PutBE(image, 248, 0xC0200000u, 4);  // float -2.5
    PutBE(image, 598, 0x8001u, 2);
    ConvertGEMExamHeader(exam.data());
    ConvertGEMImageHeader(image.data());
    EXPECT_EQ(HostAt<uint64_t>(exam.data(), 320), 0x3FF8000000000001ull);
    EXPECT_EQ(HostAt<float>(exam.data(), 52), 3.14159265f);
    EXPECT_EQ(HostAt<float>(image.data(), 248), -2.5f);
    EXPECT_EQ(HostAt<int16_t>(image.data(), 598), -32767);
    EXPECT_EQ(exam[319] + exam[328] + image[600] + image[0], 4 * 0xEE);  // neighbours untouched
}

TEST(GenesisCompressed, ByteCodesGiveDeltasAndAbsoluteValues)
{
    TempDir dir;
    const auto decode = [&](const std::vector<unsigned char>& bytes, long count, std::vector<unsigned short>& out) {
        testutil::WriteFile(dir.file("stream"), bytes);
        FILE* fp = std::fopen(dir.file("stream").c_str(), "rb");
        out.assign(static_cast<size_t>(count), 0);
        const long r = DecodeGEMCompressed(out.data(), count, fp);
        std::fclose(fp);
        return r;
    };
    std::vector<unsigned short> v;
    ASSERT_EQ(decode({0xC0, 0x12, 0x34, 0x05, 0x7F, 0x9F, 0xFF, 0xA0, 0x00}, 5, v), 5);
    EXPECT_EQ(v, (std::vector<unsigned short>{0x1234, 0x1239, 0x1238, 0x1238 + 8191, 0x1238 + 8191 - 8192}));

    // The value starts at 0 and wraps; 0xBF 0xFF is -1, 0x40 is -64, 0x3F is 63;
    // any byte from 0xC0 up announces an absolute value.
    ASSERT_EQ(decode({0x7F, 0xBF, 0xFF, 0x40, 0x3F, 0xFF, 0x00, 0x07, 0x80, 0x00}, 6, v), 6);
    EXPECT_EQ(v, (std::vector<unsigned short>{0xFFFF, 0xFFFE, 0xFFBE, 0xFFFD, 0x0007, 0x0007}));

    // A stream that ends early, at a value or inside one, is reported.
    EXPECT_EQ(decode({0x01, 0x02}, 3, v), -1);
    EXPECT_EQ(decode({0x01, 0x9F}, 2, v), -1);
    EXPECT_EQ(decode({0xC0, 0x12}, 1, v), -1);
    EXPECT_EQ(DecodeGEMCompressed(v.data(), 1, nullptr), -1);
}

TEST_F(GenesisFiles, TemporaryFilesAreNamedPerReaderAndPixelTypeAndNeverInTheWorkingFolder)
{
    TempDir work;
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(chdir(work.path().c_str()), 0);

    TempDir own;
    SetGEMTempDirectory(own.path().c_str());
    EXPECT_EQ(GetGEMTempDirectory(), own.path());
    const int shortBefore = ecGEMFileCounters<short>::file_val_ReadGEMFile;
    const int byteBefore = ecGEMFileCounters<unsigned char>::file_val_ReadGEMFile;
    const int imageBefore = ecGEMFileCounters<short>::file_val_GetGEMImage;

    // A file that is not a Genesis image: 0, but its temporary file exists, empty.
    std::vector<unsigned char> notGem = testutil::ReadFile(Fixture(1, 16));
    notGem[3] = 'X';
    testutil::WriteFile(work.file("not.fre"), notGem);
    Slice<short> s;
    EXPECT_EQ(s.ReadGEMFile(work.file("not.fre").c_str(), nullptr), 0);
    EXPECT_TRUE(testutil::ReadFile(own.file("tmp_img." + std::to_string(shortBefore))).empty());
    EXPECT_EQ(s.GetPixels(), nullptr);

    // A missing input still takes a number, but makes no file.
    EXPECT_EQ(s.ReadGEMFile(work.file("missing.fre").c_str(), nullptr), 0);
    EXPECT_FALSE(Exists(own.file("tmp_img." + std::to_string(shortBefore + 1))));

    // An uncompressed 16-bit image leaves width x height bytes: its first half
    // in host byte order.
    ASSERT_EQ(s.ReadGEMFile(Fixture(1, 16).c_str(), nullptr), 1);
    const std::vector<unsigned char> temp = testutil::ReadFile(own.file("tmp_img." + std::to_string(shortBefore + 2)));
    ASSERT_EQ(temp.size(), static_cast<size_t>(kWidth * kHeight));
    EXPECT_EQ(std::memcmp(temp.data(), s.GetPixels(), temp.size()), 0);
    EXPECT_EQ(ecGEMFileCounters<short>::file_val_ReadGEMFile, shortBefore + 3);

    // Each pixel type and each reader counts on its own.
    Slice<unsigned char> b;
    ASSERT_EQ(b.ReadGEMFile(Fixture(2, 8).c_str(), nullptr), 1);
    EXPECT_EQ(std::vector<int>({ecGEMFileCounters<unsigned char>::file_val_ReadGEMFile,
                                ecGEMFileCounters<short>::file_val_ReadGEMFile,
                                ecGEMFileCounters<short>::file_val_GetGEMImage}),
              std::vector<int>({byteBefore + 1, shortBefore + 3, imageBefore}));
    // The packed 8-bit image leaves depth x width x height / 8 bytes of 16-bit values.
    EXPECT_EQ(testutil::ReadFile(own.file("tmp_img." + std::to_string(byteBefore))).size(),
              static_cast<size_t>(kWidth * kHeight));

    // Without a folder from the host, the readers use a private folder of the
    // platform's temporary directory.
    TempDir platformTmp;
    const char* oldTmp = std::getenv("TMPDIR");
    const std::string savedTmp = oldTmp ? oldTmp : "";
    setenv("TMPDIR", platformTmp.path().c_str(), 1);  // what the platform's temporary directory follows
    SetGEMTempDirectory(nullptr);
    const std::string def = GetGEMTempDirectory();
    EXPECT_EQ(def, platformTmp.file("quarn-genesis-" + std::to_string(getuid())));
    ASSERT_EQ(s.ReadGEMFile(Fixture(3, 16).c_str(), nullptr), 1);
    EXPECT_TRUE(Exists(def + "/tmp_img." + std::to_string(shortBefore + 3)));
    if (oldTmp) setenv("TMPDIR", savedTmp.c_str(), 1);
    else unsetenv("TMPDIR");

    // A folder that cannot be written to: the read fails, and GetGEMImage says why.
    SetGEMTempDirectory(work.file("no-such-folder").c_str());
    EXPECT_EQ(s.ReadGEMFile(Fixture(1, 16).c_str(), nullptr), 0);
    FILE* fp = std::fopen(Fixture(1, 16).c_str(), "rb");
    try {
        s.GetGEMImage(fp, 0, nullptr);
        ADD_FAILURE() << "no error";
    } catch (const ecError& e) {
        EXPECT_EQ(std::string(e.what()), "ecHdrInfo::ParseGEMHeader-Unable to open output file : " +
                                             work.file("no-such-folder") + "/tmp_img." + std::to_string(imageBefore));
    }

    EXPECT_EQ(std::system(("test \"$(ls -A '" + work.path() + "')\" = not.fre").c_str()), 0);  // nothing else here
    ASSERT_EQ(chdir(cwd), 0);
}

TEST_F(GenesisFiles, GetGEMImageDecodesAStreamWithTheLastHeaderRead)
{
    Slice<short> first;
    ASSERT_EQ(first.ReadGEMFile(Fixture(4, 16).c_str(), nullptr), 1);
    const int before = ecGEMFileCounters<short>::file_val_GetGEMImage;
    Slice<short> s;
    EXPECT_EQ(s.GetGEMImage(nullptr, 0, nullptr), 0);
    EXPECT_EQ(ecGEMFileCounters<short>::file_val_GetGEMImage, before);
    ASSERT_EQ(s.GetGEMImage(std::fopen(Fixture(4, 16).c_str(), "rb"), 0, nullptr), 1);
    EXPECT_EQ(PixelsOf(s), Expected(4, 16));
    EXPECT_EQ(ecGEMFileCounters<short>::file_val_GetGEMImage, before + 1);
    EXPECT_TRUE(Exists(temps->file("tmp_img." + std::to_string(before))));

    // A header that cannot be decoded (here, the zeroed state) gives 0.
    ecGEMHeaderBlocks saved = GEMHeaderBlocks();
    std::memset(GEMHeaderBlocks().ImageFile, 0, GEM_IMAGE_FILE_HEADER_SIZE);
    EXPECT_EQ(s.GetGEMImage(std::fopen(Fixture(4, 16).c_str(), "rb"), 0, nullptr), 0);
    GEMHeaderBlocks() = saved;
    EXPECT_EQ(PixelsOf(s), Expected(4, 16));
}

TEST_F(GenesisFiles, ACallersBufferOfTheImagesSizeIsFilledInPlace)
{
    // A raw file of the same size puts a caller's buffer into the slice.
    TempDir dir;
    testutil::WriteFile(dir.file("raw"), std::vector<unsigned char>(2 * kWidth * kHeight, 0));
    ecRawHeaderInfo hdr;
    hdr.bIsValid = true;
    hdr.iNumPix = kWidth;
    hdr.iNumPixY = kHeight;
    hdr.ImagePlane = SliceAxial;
    hdr.DataType = 98;
    std::vector<short> buffer(kWidth * kHeight, 7);
    Slice<short> s;
    ASSERT_EQ(s.ReadRawSlice(dir.file("raw").c_str(), MriRaw16, &hdr, 0, buffer.data()), 1);
    ASSERT_EQ(s.ReadGEMFile(Fixture(3, 16).c_str(), nullptr), 1);
    EXPECT_EQ(s.GetPixels(), buffer.data());
    EXPECT_FALSE(s.OwnsData());
    EXPECT_EQ(buffer, Expected(3, 16));
    // A different size gets the slice its own buffer and leaves the caller's alone.
    ASSERT_EQ(s.ReadGEMFile(testutil::DataPath("genesis/c_vf1122.fre").c_str(), nullptr), 1);
    EXPECT_NE(s.GetPixels(), buffer.data());
    EXPECT_TRUE(s.OwnsData());
    EXPECT_EQ(buffer, Expected(3, 16));
}

TEST_F(GenesisFiles, DamagedFilesAreRefusedAndLeaveTheSliceAsItWas)
{
    Slice<short> s;
    ASSERT_EQ(s.ReadGEMFile(Fixture(1, 8).c_str(), nullptr), 1);
    const short* pixels = s.GetPixels();
    const std::vector<short> held = PixelsOf(s);
    TempDir dir;
    const std::string bad = dir.file("bad.fre");
    const auto refused = [&](const std::vector<unsigned char>& bytes) {
        testutil::WriteFile(bad, bytes);
        const int r = s.ReadGEMFile(bad.c_str(), nullptr);
        return r == 0 && s.GetPixels() == pixels && PixelsOf(s) == held && s.Header()->iImageNum == 37;
    };

    // Cut short at every byte of the line table and pixel data, and at every
    // seventh byte of the headers before them.
    for (int method = 1; method <= 4; ++method) {
        for (int depth : {8, 16}) {
            const std::vector<unsigned char> whole = testutil::ReadFile(Fixture(method, depth));
            testutil::WriteFile(bad, whole);
            const size_t headers = GEM_IMAGE_FILE_HEADER_SIZE + GEM_EXAM_HEADER_SIZE + GEM_IMAGE_HEADER_SIZE;
            for (size_t n = whole.size(); n-- > 0;) {
                if (n < headers && n % 7 != 0) continue;
                ASSERT_EQ(truncate(bad.c_str(), static_cast<off_t>(n)), 0);
                ASSERT_EQ(s.ReadGEMFile(bad.c_str(), nullptr), 0)
                    << "method " << method << ", depth " << depth << ", " << n << " bytes";
            }
            EXPECT_EQ(s.GetPixels(), pixels);
            EXPECT_EQ(PixelsOf(s), held);
        }
    }

    const std::vector<unsigned char> packed = testutil::ReadFile(Fixture(4, 16));
    const size_t table = GetBE32(packed, 64);
    struct Patch {
        const char* what;
        size_t offset;
        uint32_t value;
        bool wide;
    };
    const Patch patches[] = {
        {"width 15", 8, 15, true},
        {"height 1025", 12, 1025, true},
        {"negative width", 8, 0xFFFFFFE8u, true},
        {"depth 12", 16, 12, true},
        {"compression 0", 20, 0, true},
        {"negative pixel data offset", 4, 0xFFFFFFF0u, true},
        {"pixel data beyond the end", 4, 0x7FFFFFF0u, true},
        {"no line table", 68, 0, true},
        {"line table shorter than the rows", 68, 4 * kHeight - 1, true},
        {"line table beyond the end", 64, static_cast<uint32_t>(packed.size() - 8), true},
        {"negative line table offset", 64, 0x80000000u, true},
        {"negative start", table + 4 * 5, 0xFFFF, false},
        {"negative run", table + 4 * 5 + 2, 0xFFFF, false},
        {"run beyond the row", table + 4 * 0 + 2, kWidth + 1, false},
        {"image header beyond the end", 148, static_cast<uint32_t>(packed.size() - 1000), true},
        {"exam header beyond the end", 132, 0x7FFFFFFFu, true},
    };
    for (const Patch& p : patches) {
        std::vector<unsigned char> bytes = packed;
        PutBE(bytes, p.offset, p.value, p.wide ? 4 : 2);
        EXPECT_TRUE(refused(bytes)) << p.what;
    }
    std::vector<unsigned char> huge = packed;  // width x height beyond 32 bits
    PutBE(huge, 8, 0x10000, 4);
    PutBE(huge, 12, 0x10000, 4);
    EXPECT_TRUE(refused(huge));
    EXPECT_EQ(s.ReadGEMFile(nullptr, nullptr), 0);
}

TEST(GenesisXImgScan, CollectsOneDefaultRecordPerOpenableFile)
{
    TempDir dir;
    testutil::WriteText(dir.file("a"), "x");
    testutil::WriteText(dir.file("c"), "x");
    std::vector<std::string> names;
    std::vector<ecDicomHeaderInfo> headers(2);
    int first = 5, last = 5;
    ecRawHeaderInfo raw;
    raw.iImageNum = 99;
    EXPECT_EQ(FindXImgFileImageRange(names, first, last, headers, &raw, 0), 0);
    EXPECT_EQ(std::vector<int>({first, last, static_cast<int>(headers.size()), raw.iImageNum}),
              std::vector<int>({1025, -1025, 0, 99}));

    names = {dir.file("a"), dir.file("b"), dir.file("c")};
    EXPECT_EQ(FindXImgFileImageRange(names, first, last, headers, &raw, 0), -102);
    ASSERT_EQ(headers.size(), 1u);
    EXPECT_EQ(headers[0].sFileName, dir.file("a"));
    EXPECT_EQ(std::vector<int>({first, last, raw.iImageNum}), std::vector<int>({0, 0, 99}));

    names = {dir.file("a"), dir.file("c")};
    raw.bIsValid = true;
    EXPECT_EQ(FindXImgFileImageRange(names, first, last, headers, &raw, 0), 2);
    EXPECT_EQ(headers[1].sFileName, dir.file("c"));
    EXPECT_EQ(raw.iImageNum, 0);
    EXPECT_FALSE(raw.bIsValid);

    headers.assign(1, ecDicomHeaderInfo());
    first = last = 7;
    EXPECT_EQ(FindXImageFileImageRange(names, first, last, headers, &raw, 0), -100);
    EXPECT_EQ(headers.size(), 1u);
    EXPECT_EQ(first, 7);
}
