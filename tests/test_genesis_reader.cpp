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
#include "ScannerSamples.h"
#include "TestUtil.h"
#include "readGEM.h"

using scanfiles::PutBE;
using testutil::TempDir;
using Bytes = std::vector<unsigned char>;

namespace {

const int kWidth = 24, kHeight = 17;  // size of the generated files

bool Exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

template <class T>
T HostAt(const unsigned char* block, size_t off)
{
    T v;
    std::memcpy(&v, block + off, sizeof v);
    return v;
}

template <class T>
std::vector<short> PixelsOf(const ecMriSlice<T>& s)
{
    std::vector<short> v;
    for (int r = 0; r < s.GetNumRows(); ++r)
        for (int c = 0; c < s.GetNumCols(); ++c) v.push_back(static_cast<short>(s.GetRowPointers()[r][c]));
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
            EXPECT_EQ(PixelsOf(s), expected);  // through the row table
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
            if (depth == 8) EXPECT_EQ(PixelsOf(b), expected);
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
    for (const scansamples::GenesisCt& f : scansamples::kGenesisCt) {
        SCOPED_TRACE(f.name);
        ecMriSlice<short> s;
        ASSERT_EQ(s.ReadGEMFile(scansamples::PathOf(f).c_str(), nullptr), 1);
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
        ecMriSliceImg<short>* d = DisplaySlice(scansamples::PathOf(f), keep);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(testutil::Fnv1a64Le16(d->GetImagePixels(), 512 * 512), f.hash);
        EXPECT_EQ(d->GetImagePixels(), d->GetPixels());
        EXPECT_EQ(d->GetMaxVal() * 10 + d->GetMinVal(), f.maxVal * 10);
        ecRawHeaderInfo dh;
        EXPECT_TRUE(d->GetRawHeaderInfo(dh, 0) == 1 && dh.iImageNum == f.imageNum && dh.FileType == MriGenesis);
    }
}

TEST(GenesisHeaderBlocks, WideFieldsAreConvertedWholeAndOthersLeftAlone)
{
    Bytes exam(GEM_EXAM_HEADER_SIZE, 0xEE), image(GEM_IMAGE_HEADER_SIZE, 0xEE);
    PutBE(exam, 320, 0x3FF8000000000001ull, 8);  // the double 1.5 + 1 ulp
    PutBE(exam, 52, 0x40490FDBu, 4);              // float pi
    PutBE(image, 248, 0xC0200000u, 4);            // float -2.5
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

TEST_F(GenesisFiles, TemporaryFilesAreNamedPerReaderAndPixelTypeAndNeverInTheWorkingFolder)
{
    TempDir work, own;
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(chdir(work.path().c_str()), 0);
    SetGEMTempDirectory(own.path().c_str());
    EXPECT_EQ(GetGEMTempDirectory(), own.path());
    const int shortBefore = ecGEMFileCounters<short>::file_val_ReadGEMFile;
    const int byteBefore = ecGEMFileCounters<unsigned char>::file_val_ReadGEMFile;
    const int imageBefore = ecGEMFileCounters<short>::file_val_GetGEMImage;
    const auto temp = [&](int n) { return own.file("tmp_img." + std::to_string(n)); };

    // Not a Genesis image: 0, but its temporary file exists, empty. A missing input takes a number, but no file.
    Bytes notGem = testutil::ReadFile(Fixture(1, 16));
    notGem[3] = 'X';
    testutil::WriteFile(work.file("not.fre"), notGem);
    ecMriSlice<short> s;
    EXPECT_EQ(s.ReadGEMFile(work.file("not.fre").c_str(), nullptr), 0);
    EXPECT_TRUE(testutil::ReadFile(temp(shortBefore)).empty());
    EXPECT_EQ(s.ReadGEMFile(work.file("missing.fre").c_str(), nullptr), 0);
    EXPECT_FALSE(Exists(temp(shortBefore + 1)));

    // An uncompressed 16-bit image leaves width x height bytes: its first half in host order.
    ASSERT_EQ(s.ReadGEMFile(Fixture(1, 16).c_str(), nullptr), 1);
    const Bytes written = testutil::ReadFile(temp(shortBefore + 2));
    ASSERT_EQ(written.size(), static_cast<size_t>(kWidth * kHeight));
    EXPECT_EQ(std::memcmp(written.data(), s.GetPixels(), written.size()), 0);

    // Each pixel type and reader counts on its own; packed 8-bit leaves depth x width x height / 8 bytes.
    ecMriSlice<unsigned char> b;
    ASSERT_EQ(b.ReadGEMFile(Fixture(2, 8).c_str(), nullptr), 1);
    EXPECT_EQ(std::vector<int>({ecGEMFileCounters<unsigned char>::file_val_ReadGEMFile,
                                ecGEMFileCounters<short>::file_val_ReadGEMFile,
                                ecGEMFileCounters<short>::file_val_GetGEMImage}),
              std::vector<int>({byteBefore + 1, shortBefore + 3, imageBefore}));
    EXPECT_EQ(testutil::ReadFile(temp(byteBefore)).size(), static_cast<size_t>(kWidth * kHeight));

    // Without a folder from the host: a private folder of the platform's temporary directory.
    TempDir platformTmp;
    const char* oldTmp = std::getenv("TMPDIR");
    const std::string savedTmp = oldTmp ? oldTmp : "";
    setenv("TMPDIR", platformTmp.path().c_str(), 1);
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
    std::string message;
    FILE* fp = std::fopen(Fixture(1, 16).c_str(), "rb");
    EXPECT_EQ(scansamples::ResultOrThrown([&] { return s.GetGEMImage(fp, 0, nullptr); }, &message), 1000);
    EXPECT_EQ(message, "ecHdrInfo::ParseGEMHeader-Unable to open output file : " + work.file("no-such-folder") +
                           "/tmp_img." + std::to_string(imageBefore));

    EXPECT_EQ(std::system(("test \"$(ls -A '" + work.path() + "')\" = not.fre").c_str()), 0);  // nothing else here
    ASSERT_EQ(chdir(cwd), 0);
}

TEST_F(GenesisFiles, GetGEMImageDecodesAStreamWithTheLastHeaderRead)
{
    ecMriSlice<short> first, s;
    ASSERT_EQ(first.ReadGEMFile(Fixture(4, 16).c_str(), nullptr), 1);
    const int before = ecGEMFileCounters<short>::file_val_GetGEMImage;
    EXPECT_EQ(s.GetGEMImage(nullptr, 0, nullptr), 0);
    EXPECT_EQ(ecGEMFileCounters<short>::file_val_GetGEMImage, before);
    ASSERT_EQ(s.GetGEMImage(std::fopen(Fixture(4, 16).c_str(), "rb"), 0, nullptr), 1);
    EXPECT_EQ(PixelsOf(s), Expected(4, 16));
    EXPECT_EQ(ecGEMFileCounters<short>::file_val_GetGEMImage, before + 1);
    EXPECT_TRUE(Exists(temps->file("tmp_img." + std::to_string(before))));

    // A header that cannot be decoded (here, the zeroed state) gives 0.
    const ecGEMHeaderBlocks saved = GEMHeaderBlocks();
    std::memset(GEMHeaderBlocks().ImageFile, 0, GEM_IMAGE_FILE_HEADER_SIZE);
    EXPECT_EQ(s.GetGEMImage(std::fopen(Fixture(4, 16).c_str(), "rb"), 0, nullptr), 0);
    GEMHeaderBlocks() = saved;
    EXPECT_EQ(PixelsOf(s), Expected(4, 16));
}

TEST_F(GenesisFiles, ACallersBufferOfTheImagesSizeIsFilledInPlace)
{
    // A raw file of the same size puts a caller's buffer into the slice.
    TempDir dir;
    testutil::WriteFile(dir.file("raw"), Bytes(2 * kWidth * kHeight, 0));
    ecRawHeaderInfo hdr;
    hdr.bIsValid = true;
    hdr.iNumPix = kWidth;
    hdr.iNumPixY = kHeight;
    hdr.ImagePlane = SliceAxial;
    hdr.DataType = 98;
    std::vector<short> buffer(kWidth * kHeight, 7);
    ecMriSlice<short> s;
    ASSERT_EQ(s.ReadRawSlice(dir.file("raw").c_str(), MriRaw16, &hdr, 0, buffer.data()), 1);
    ASSERT_EQ(s.ReadGEMFile(Fixture(3, 16).c_str(), nullptr), 1);
    EXPECT_TRUE(s.GetPixels() == buffer.data() && !s.OwnsData());
    EXPECT_EQ(buffer, Expected(3, 16));
    // A different size gets the slice its own buffer and leaves the caller's alone.
    ASSERT_EQ(s.ReadGEMFile(scansamples::PathOf(scansamples::kGenesisCt[0]).c_str(), nullptr), 1);
    EXPECT_TRUE(s.GetPixels() != buffer.data() && s.OwnsData());
    EXPECT_EQ(buffer, Expected(3, 16));
}

TEST_F(GenesisFiles, DamagedFilesAreRefusedAndLeaveTheSliceAsItWas)
{
    ecMriSlice<short> s;
    ASSERT_EQ(s.ReadGEMFile(Fixture(1, 8).c_str(), nullptr), 1);
    const short* pixels = s.GetPixels();
    const std::vector<short> held = PixelsOf(s);
    TempDir dir;
    const std::string bad = dir.file("bad.fre");
    const auto refused = [&](const Bytes& bytes) {
        testutil::WriteFile(bad, bytes);
        return s.ReadGEMFile(bad.c_str(), nullptr) == 0 && s.GetPixels() == pixels && PixelsOf(s) == held &&
               s.GetRawHeaderInfo()->iImageNum == 37;
    };

    // Cut short at every byte after the headers, and at every seventh byte of them.
    const size_t headers = GEM_IMAGE_FILE_HEADER_SIZE + GEM_EXAM_HEADER_SIZE + GEM_IMAGE_HEADER_SIZE;
    for (int method = 1; method <= 4; ++method) {
        for (int depth : {8, 16}) {
            testutil::WriteFile(bad, testutil::ReadFile(Fixture(method, depth)));
            for (size_t n = testutil::ReadFile(bad).size(); n-- > 0;) {
                if (n < headers && n % 7 != 0) continue;
                ASSERT_EQ(truncate(bad.c_str(), static_cast<off_t>(n)), 0);
                ASSERT_EQ(s.ReadGEMFile(bad.c_str(), nullptr), 0) << method << "/" << depth << ", " << n << " bytes";
            }
            EXPECT_TRUE(s.GetPixels() == pixels && PixelsOf(s) == held);
        }
    }

    const Bytes packed = testutil::ReadFile(Fixture(4, 16));
    const size_t table = ReadU32BE(packed.data() + 64), lastRow = table + 4 * (kHeight - 1);
    struct Patch { const char* what; size_t offset; uint64_t value; int width; };
    const Patch patches[] = {
        {"width 15", 8, 15, 4}, {"height 1025", 12, 1025, 4}, {"negative width", 8, 0xFFFFFFE8u, 4},
        {"depth 12", 16, 12, 4}, {"compression 0", 20, 0, 4}, {"negative pixel data offset", 4, 0xFFFFFFF0u, 4},
        {"pixel data beyond the end", 4, 0x7FFFFFF0u, 4}, {"no line table", 68, 0, 4},
        {"line table shorter than the rows", 68, 4 * kHeight - 1, 4},
        {"line table beyond the end", 64, packed.size() - 8, 4}, {"negative line table offset", 64, 0x80000000u, 4},
        {"negative start", table + 4 * 5, 0xFFFF, 2}, {"negative run", table + 4 * 5 + 2, 0xFFFF, 2},
        {"run one past the last row", lastRow + 2, kWidth + 1u - ReadU16BE(&packed[lastRow]), 2},
        {"exam header beyond the end", 132, 0x7FFFFFFFu, 4},
        {"image header beyond the end", 148, packed.size() - 1000, 4},
        {"width x height beyond 32 bits", 8, 0x0001000000010000ull, 8}, {"not IMGF", 0, 'J', 1},  // stays last
    };
    for (const Patch& p : patches) {
        Bytes bytes = packed;
        if (p.width == 2) bytes.resize(bytes.size() + 8, 0);  // data for more values than the runs hold
        PutBE(bytes, p.offset, p.value, p.width);
        EXPECT_TRUE(refused(bytes)) << p.what;
    }
    EXPECT_EQ(s.ReadGEMFile(nullptr, nullptr), 0);
    EXPECT_EQ(ReadMriSlice(bad.c_str(), MriGenesis, nullptr, true, 0), nullptr);  // not IMGF: no slice at all
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
    EXPECT_EQ(std::vector<int>({first, last, int(headers.size()), raw.iImageNum}),
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
    EXPECT_TRUE(raw.iImageNum == 0 && !raw.bIsValid);

    headers.assign(1, ecDicomHeaderInfo());
    first = last = 7;
    EXPECT_EQ(FindXImageFileImageRange(names, first, last, headers, &raw, 0), -100);
    EXPECT_EQ(std::vector<int>({int(headers.size()), first}), std::vector<int>({1, 7}));
}
