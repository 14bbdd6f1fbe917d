// GE Signa files: the pixel-depth probe, the header reader, the series scan,
// whole-slice reading, the layout listing and the foreign float words.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "MriSlice.h"
#include "ReadMriSlice.h"
#include "ScannerFileWriter.h"
#include "ScannerSamples.h"
#include "TestUtil.h"
#include "readSigna.h"

using scanfiles::SignaFile;
using scansamples::Write;
using testutil::DataPath;
using testutil::TempDir;

namespace {

// GetSignaFile's result, or 1000 when it threw ecError (the message goes to `message`).
template <class T>
int ReadSlice(ecMriSlice<T>& slice, const std::string& path, std::string* message = nullptr, void* buffer = nullptr)
{
    return scansamples::ResultOrThrown([&] { return slice.GetSignaFile(path.c_str(), 0, buffer); }, message);
}

int FillHeader(const std::string& path, ecRawHeaderInfo& h, long* offset = nullptr)
{
    return FillRawHeaderFromSignaFile(path.c_str(), &h, nullptr, offset, 0);
}

}  // namespace

TEST(SignaFiles, RealGenesisSlicesReadExactly)
{
    std::vector<std::string> names;
    for (const scansamples::GenesisCt& g : scansamples::kGenesisCt) {
        SCOPED_TRACE(g.name);
        names.push_back(scansamples::PathOf(g));
        EXPECT_EQ(FindSigna_PixelDepth(names.back().c_str()), 16);
        ecMriSlice<short> slice;
        ASSERT_EQ(ReadSlice(slice, names.back()), 1);
        const ecRawHeaderInfo* h = slice.GetRawHeaderInfo();
        EXPECT_EQ(std::vector<double>({h->fSizePix, h->fSizePixY, h->fSliceThickness, h->fSliceSpacing}),
                  std::vector<double>({g.pixelSize, g.pixelSize, 1.0, 1.0}));
        EXPECT_EQ(std::vector<long>({h->iNumPix, h->iNumPixY, h->iImageNum, h->lDataOffset, h->DataType, h->FileType,
                                     h->PlaneType, h->ImagePlane, h->iNumFrames}),
                  std::vector<long>({512, 512, g.imageNum, 3416, 98, MriSigna, SliceAxial, SliceAxial, 1}));
        ASSERT_EQ(slice.GetNumRows() * 1000 + slice.GetNumCols(), 512512);
        EXPECT_EQ(testutil::Fnv1a64Le16(slice.GetPixels(), 512 * 512), g.hash);
        EXPECT_EQ(slice.GetRowPointers()[511], slice.GetPixels() + 511 * 512);

        std::unique_ptr<ecMriSliceBase> display(ReadMriSlice(names.back().c_str(), MriSigna, nullptr, true, 0));
        auto* s = dynamic_cast<ecMriSlice<short>*>(display.get());
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(testutil::Fnv1a64Le16(s->GetPixels(), 512 * 512), g.hash);
    }

    std::swap(names[0], names[3]);  // the range does not depend on the order
    int first = 0, last = 0;
    std::vector<ecDicomHeaderInfo> headers;
    ecRawHeaderInfo firstHeader;
    EXPECT_EQ(FindSignaFileImageRange(names, first, last, headers, &firstHeader, 0), 4);
    EXPECT_EQ(std::vector<int>({first, last, firstHeader.iImageNum}), std::vector<int>({122, 215, 215}));
    ASSERT_EQ(headers.size(), 4u);
    EXPECT_EQ(headers[0].sFileName, names[0]);
    EXPECT_EQ(headers[0].iImageNum * 10000 + headers[2].iImageOffset, 215 * 10000 + 3416);
}

TEST(SignaFiles, OtherGeFilesAreRefused)
{
    // GE 4.x, Advantage Windows and headerless 5.x files do not start with "IMGF".
    for (const char* name : {"ge_other/19771.002.001", "ge_other/I.001", "ge_other/113766.003.001"}) {
        SCOPED_TRACE(name);
        const std::string path = DataPath(name);
        EXPECT_EQ(FindSigna_PixelDepth(path.c_str()), -4);
        ecRawHeaderInfo h;
        h.iNumPix = 99;
        EXPECT_EQ(FillHeader(path, h), -11);
        EXPECT_TRUE(h.iNumPix == 99 && !h.bIsValid);
        ecMriSlice<short> slice;
        std::string message;
        EXPECT_EQ(ReadSlice(slice, path, &message), 1000);
        EXPECT_EQ(message, "? Unable to get header info from <" + path + ">");
        EXPECT_EQ(slice.GetPixels(), nullptr);
        EXPECT_EQ(ReadMriSlice(path.c_str(), MriSigna, nullptr, true, 0), nullptr);
    }
    // A scan stops at the first file that fails, keeping what it had read.
    std::vector<std::string> names = {DataPath("genesis/c_vf1210.fre"), DataPath("ge_other/I.001"),
                                      DataPath("genesis/c_vf1122.fre")};
    int first = 0, last = 0;
    std::vector<ecDicomHeaderInfo> headers(3);
    EXPECT_EQ(FindSignaFileImageRange(names, first, last, headers, nullptr, 0), -111);
    ASSERT_EQ(headers.size(), 1u);
    EXPECT_EQ(headers[0].iImageNum, 214);

    // An empty list: no files, and the range keeps its start values.
    names.clear();
    ecRawHeaderInfo firstHeader;
    firstHeader.iImageNum = 55;
    EXPECT_EQ(FindSignaFileImageRange(names, first, last, headers, &firstHeader, 0), 0);
    EXPECT_EQ(std::vector<int>({first, last, int(headers.size()), firstHeader.iImageNum}),
              std::vector<int>({1025, -1025, 0, 55}));
}

TEST(SignaFiles, HeaderFieldsAndCodes)
{
    TempDir dir;
    ecRawHeaderInfo r;
    EXPECT_EQ(FindSigna_PixelDepth(nullptr), -1);
    EXPECT_EQ(FindSigna_PixelDepth(dir.file("missing").c_str()), -2);
    EXPECT_EQ(FillRawHeaderFromSignaFile(nullptr, &r, nullptr, nullptr, 0), -1);
    EXPECT_EQ(FillRawHeaderFromSignaFile(dir.file("missing").c_str(), nullptr, nullptr, nullptr, 0), -1);
    EXPECT_EQ(FillHeader(dir.file("missing"), r), -2);

    // Signed 16-bit fields, every float, the depth codes; the record is not reset.
    SignaFile f;
    f.columns = static_cast<int16_t>(0x8000);
    f.rows = -2;
    f.imageNum = -7;
    f.depth = 12;
    f.headerLen = 5000;
    f.imageHeaderPtr = 700;
    const std::string odd = Write(dir, "odd", f);
    EXPECT_EQ(FindSigna_PixelDepth(odd.c_str()), 12);
    r.fAttenFact = 2.5;
    r.iNumFrames = 9;
    r.PlaneType = SliceCoronal;
    r.iSpare[2] = 77;
    long offset = 0;
    EXPECT_EQ(FillHeader(odd, r, &offset), 1);
    EXPECT_EQ(std::vector<long>({offset, r.iNumPix, r.iNumPixY, r.iImageNum, r.DataType, r.PlaneType, r.iNumFrames,
                                 r.iSpare[2]}),
              std::vector<long>({5000, -32768, -2, -7, 0, SliceAxial, 1, 77}));
    EXPECT_EQ(std::vector<double>({r.fSliceThickness, r.fSizePixY, r.fSizePix, r.fSliceSpacing, r.fAttenFact}),
              std::vector<double>({5.0, 0.9375, 0.8125, 6.5, 2.5}));
    const auto slice = [&](const SignaFile& file) {
        ecMriSlice<short> s;
        return ReadSlice(s, Write(dir, "y", file));
    };
    EXPECT_EQ(slice(f), -3);  // -32768 columns cannot be stored

    f = SignaFile();
    f.depth = 8;
    EXPECT_EQ(FillHeader(Write(dir, "d8", f), r), 1);
    EXPECT_EQ(r.DataType, 105);
    f.imageHeaderPtr = -156;
    EXPECT_EQ(FillHeader(Write(dir, "x", f), r), -4);
    f.imageHeaderPtr = 0x7FFFFFFF;
    EXPECT_EQ(FillHeader(Write(dir, "x", f), r), -5);

    f = SignaFile();
    f.headerLen = -1;
    EXPECT_EQ(slice(f), -5);
    f.headerLen = 0x7FFFFFFF;  // far beyond the end: refused without allocating
    EXPECT_EQ(slice(f), 1000);
    f = SignaFile();
    for (int16_t columns : {1025, 15}) {
        f.columns = columns;
        EXPECT_EQ(slice(f), -3) << columns;
    }
    f.columns = f.rows = 1024;  // 2 MiB of pixels claimed, 512 bytes present
    f.pixelBytes.assign(512, 0);
    EXPECT_EQ(slice(f), 1000);

    // Pixel sizes that are not numbers travel as they are; the pixels still read.
    f = SignaFile();
    f.pixelWidth = std::numeric_limits<float>::quiet_NaN();
    f.pixelHeight = std::numeric_limits<float>::infinity();
    f.sliceThickness = 0.0f;
    ecMriSlice<short> s;
    ASSERT_EQ(ReadSlice(s, Write(dir, "nan", f)), 1);
    EXPECT_TRUE(std::isnan(s.GetRawHeaderInfo()->fSizePix) && std::isinf(s.GetRawHeaderInfo()->fSizePixY));
}

TEST(SignaFiles, PixelsBecomeHostValuesInEachPixelTypeAndTheCallersBuffer)
{
    TempDir dir;
    SignaFile f;
    const std::pair<int, int> written[] = {{0, 0x0102}, {1, -2}, {17, 32767}, {255, -32768}};
    f.pixels.assign(256, 0);
    for (auto [i, v] : written) f.pixels[i] = v;
    const std::string path = Write(dir, "s16", f);
    ecMriSlice<short> s;
    ASSERT_EQ(ReadSlice(s, path), 1);
    for (auto [i, v] : written) EXPECT_EQ(s.GetRowPointers()[i / 16][i % 16], v) << i;

    // Reading again replaces the pixels without a leak; new pixels have not been scanned.
    ASSERT_EQ(s.SetMaxMinValues(0), 256);
    ASSERT_EQ(ReadSlice(s, path), 1);
    EXPECT_FALSE(s.MaxMinValuesAreSet());
    f.pixels[0] = 77;
    f.rows = 32;
    f.pixels.resize(512, 5);
    ASSERT_EQ(ReadSlice(s, Write(dir, "s16b", f)), 1);
    EXPECT_EQ(s.GetPixels()[0] * 100 + s.GetRowPointers()[31][15], 7705);

    f = SignaFile();  // 8-bit files into unsigned char slices
    f.depth = 8;
    f.pixels.assign(256, 200);
    f.pixels[3] = 7;
    ecMriSlice<unsigned char> u;
    ASSERT_EQ(ReadSlice(u, Write(dir, "u8", f)), 1);
    EXPECT_EQ(u.GetPixels()[3] * 1000 + u.GetPixels()[4], 7200);

    f = SignaFile();  // a float slice takes four big-endian bytes per pixel
    f.depth = 32;
    for (int i = 0; i < 256; ++i) scanfiles::PutF32BE(f.pixelBytes, 4 * i, i == 1 ? -0.75f : 2.5f);
    ecMriSlice<float> fl;
    ASSERT_EQ(ReadSlice(fl, Write(dir, "f32", f)), 1);
    EXPECT_EQ(std::vector<float>(fl.GetPixels(), fl.GetPixels() + 2), std::vector<float>({2.5f, -0.75f}));
    EXPECT_EQ(fl.GetRawHeaderInfo()->DataType, 0);  // depth 32 is neither 8 nor 16

    // A caller's buffer is used and never released.
    f = SignaFile();
    f.pixels.assign(256, 9);
    const std::string good = Write(dir, "good", f);
    std::vector<short> mine(256, -1);
    ASSERT_EQ(ReadSlice(s, good, nullptr, mine.data()), 1);
    EXPECT_TRUE(s.GetPixels() == mine.data() && !s.OwnsData());
    EXPECT_EQ(mine[200], 9);

    // A short pixel block: the exception, and the caller's buffer is still theirs.
    f.pixelBytes.assign(511, 0);
    std::vector<short> other(256, 4);
    ecMriSlice<short> t;
    std::string message;
    EXPECT_EQ(ReadSlice(t, Write(dir, "short", f), &message, other.data()), 1000);
    EXPECT_EQ(message, "Short count on image read");
    EXPECT_EQ(other[0], 4);

    // Reading a slice that holds a caller's buffer into new storage leaves that buffer alone.
    ASSERT_EQ(ReadSlice(s, good), 1);
    EXPECT_TRUE(s.OwnsData() && s.GetPixels() != mine.data());

    // GetSignaImage on its own: a stream is required, and the count must match the slice.
    EXPECT_EQ(s.GetSignaImage(nullptr, 256, 0, nullptr), -1);
    EXPECT_EQ(s.GetSignaImage(std::fopen(good.c_str(), "rb"), 1u << 30, 0, nullptr), -2);  // closes the stream
    FILE* fq = std::fopen(good.c_str(), "rb");
    ASSERT_NE(fq, nullptr);
    std::fseek(fq, 378, SEEK_SET);
    EXPECT_EQ(s.GetSignaImage(fq, 256, 0, nullptr), 1);
    EXPECT_EQ(s.GetPixels()[17], 9);
}

TEST(SignaFiles, TruncationAtEveryOffset)
{
    TempDir dir;
    const scanfiles::Bytes full = SignaFile().Build();
    ASSERT_EQ(full.size(), 156u + 222u + 512u);
    const std::string path = dir.file("cut");
    testutil::WriteFile(path, full);
    for (size_t len = full.size() + 1; len-- > 0;) {
        ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(len)), 0);
        ecRawHeaderInfo h;
        ASSERT_EQ(FindSigna_PixelDepth(path.c_str()), len < 4 ? -4 : len < 156 ? -3 : 16) << len;
        ASSERT_EQ(FillHeader(path, h), len < 156 ? -3 : len < 378 ? -5 : 1) << len;
        ecMriSlice<short> s;
        std::string message;
        ASSERT_EQ(ReadSlice(s, path, &message), len < full.size() ? 1000 : 1) << len;
        ASSERT_EQ(message, len < 378 ? "? Unable to get header info from <" + path + ">"
                           : len < full.size() ? "Short count on image read" : "") << len;
    }
}

TEST(SignaFiles, LayoutListing)
{
    const char* const listing =
        "Size of GE_Signa_Control_Header is 156\n<iCompression> : 20 (20)\n<iUIPtn> : 56 (56)\n"
        "<iHistogramHeaderPtr> : 80 (80)\n<iImageHeaderLen> : 152 (152)\nSize of GE_Signa_Exam_Header is 308\n"
        "<sExamType> : 305 (305)\nSize of GE_Signa_Image_Header is 222\n<fNEX> : 218 (218)\n";
    TempDir dir;
    const std::string path = dir.file("layout.txt");
    testutil::WriteText(path, std::string(2000, 'x'));  // replaced, not appended to
    EXPECT_EQ(FindSignaOffsets(path.c_str(), 0), 1);
    const scanfiles::Bytes got = testutil::ReadFile(path);
    EXPECT_EQ(std::string(got.begin(), got.end()), listing);
    testing::internal::CaptureStdout();
    const int r = FindSignaOffsets(nullptr, 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), listing);
    EXPECT_EQ(r, 1);
    EXPECT_EQ(FindSignaOffsets(dir.file("no/such/folder/x").c_str(), 0), -1);
}

TEST(SignaFiles, ForeignFloatWords)
{
    // Given as the word w, stored as its bytes in little-endian order (four
    // more bytes that are never read): bit 0 sign, then exponent, then fraction.
    const auto convert = [](uint32_t w, auto& v) {
        char b[8] = {0, 0, 0, 0, 9, 9, 9, 9};
        for (int i = 0; i < 4; ++i) b[i] = static_cast<char>((w >> (8 * i)) & 0xFF);
        v = -99;
        return ConvertToIntel(b, v);
    };
    const float inf = std::numeric_limits<float>::infinity();
    const std::pair<uint32_t, float> floats[] = {
        {0xFE, 1.0f}, {0xFF, -1.0f}, {0x100, 2.0f}, {0xFEu | (1u << 31), 1.5f}, {0, 0.0f},
        {1u << 9, std::ldexp(1.0f, -149)},                                // e = 0, f = 1
        {0x1FCu | (0x7FFFFFu << 9), std::numeric_limits<float>::max()},  // e = 254
        {0x1FE, inf}, {0x1FF, -inf},                                     // e = 255: 2^128
    };
    float f = 0;
    for (const auto& c : floats) {
        EXPECT_EQ(convert(c.first, f), 1);
        EXPECT_EQ(f, c.second) << std::hex << c.first;
    }
    // The double form: exponent in bits 1..11, fraction in bits 12..31, same constants.
    const std::pair<uint32_t, double> doubles[] = {
        {0xFE, 1.0}, {0xFF, -1.0}, {0xFEu | (1u << 31), 1.0625}, {0x800, std::ldexp(1.0, 1024 - 127)},
        {1u << 12, std::ldexp(1.0, -149)}, {0, 0.0},
    };
    double d = 0;
    for (const auto& c : doubles) {
        EXPECT_EQ(convert(c.first, d), 1);
        EXPECT_EQ(d, c.second) << std::hex << c.first;
    }
    f = 3.0f;
    EXPECT_EQ(ConvertToIntel(nullptr, f), -1);
    EXPECT_EQ(ConvertToIntel(nullptr, d), -1);
    EXPECT_EQ(f, 3.0f);
}
