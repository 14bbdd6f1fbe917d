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
#include "TestUtil.h"
#include "ecError.h"
#include "readSigna.h"

using testutil::DataPath;
using testutil::TempDir;

namespace {

std::string WriteSigna(const TempDir& dir, const std::string& name, const scanfiles::SignaFile& f)
{
    const std::string path = dir.file(name);
    testutil::WriteFile(path, f.Build());
    return path;
}

// GetSignaFile's result, or 1000 when it threw ecError (the message goes to `message`).
template <class T>
int ReadSlice(ecMriSlice<T>& slice, const std::string& path, std::string* message = nullptr, void* buffer = nullptr)
{
    try {
        return slice.GetSignaFile(path.c_str(), 0, buffer);
    } catch (const ecError& e) {
        if (message) *message = e.what();
        return 1000;
    }
}

struct GenesisFacts {
    const char* name;
    int imageNum;
    double pixelSize;
    long long sum;
    int minVal;
    int maxVal;
    uint64_t hash;
};

// Values recorded for these files by an independent reader (see tests/data/genesis/PROVENANCE.md).
const GenesisFacts kGenesis[] = {
    {"c_vf1122.fre", 122, 0.48828125, 137937814, 0, 3199, 0xb1e6792f4c251fe9ull},
    {"c_vf1123.fre", 123, 0.48828125, 138833191, 0, 3174, 0xa631a22bd9994f06ull},
    {"c_vf1210.fre", 214, 0.72265625, 67457920, 0, 2667, 0x3d100ee233d1f90aull},
    {"c_vf1211.fre", 215, 0.72265625, 68337050, 0, 2573, 0x2b9a4f0e634c3b6cull},
};

}  // namespace

TEST(SignaFiles, RealGenesisSlicesReadExactly)
{
    for (const GenesisFacts& g : kGenesis) {
        SCOPED_TRACE(g.name);
        const std::string path = DataPath(std::string("genesis/") + g.name);
        EXPECT_EQ(FindSigna_PixelDepth(path.c_str()), 16);

        ecMriSlice<short> slice;
        ASSERT_EQ(ReadSlice(slice, path), 1);
        const ecRawHeaderInfo* h = slice.GetRawHeaderInfo();
        ASSERT_NE(h, nullptr);
        EXPECT_EQ(h->iNumPix, 512);
        EXPECT_EQ(h->iNumPixY, 512);
        EXPECT_EQ(h->fSizePix, g.pixelSize);
        EXPECT_EQ(h->fSizePixY, g.pixelSize);
        EXPECT_EQ(h->fSliceThickness, 1.0);
        EXPECT_EQ(h->fSliceSpacing, 1.0);
        EXPECT_EQ(h->iImageNum, g.imageNum);
        EXPECT_EQ(h->lDataOffset, 3416);
        EXPECT_EQ(h->DataType, 98);
        EXPECT_EQ(h->FileType, MriSigna);
        EXPECT_EQ(h->PlaneType, SliceAxial);
        EXPECT_EQ(h->ImagePlane, SliceAxial);
        EXPECT_EQ(h->iNumFrames, 1);

        ASSERT_EQ(slice.GetNumRows(), 512);
        ASSERT_EQ(slice.GetNumCols(), 512);
        const short* p = slice.GetPixels();
        long long sum = 0;
        int lo = 1 << 20, hi = -(1 << 20);
        for (int i = 0; i < 512 * 512; ++i) {
            sum += p[i];
            lo = std::min(lo, int(p[i]));
            hi = std::max(hi, int(p[i]));
        }
        EXPECT_EQ(sum, g.sum);
        EXPECT_EQ(lo, g.minVal);
        EXPECT_EQ(hi, g.maxVal);
        EXPECT_EQ(testutil::Fnv1a64Le16(p, 512 * 512), g.hash);
        EXPECT_EQ(slice.GetRowPointers()[511], p + 511 * 512);
    }

    std::vector<std::string> names;
    for (const GenesisFacts& g : kGenesis) names.push_back(DataPath(std::string("genesis/") + g.name));
    std::swap(names[0], names[3]);  // the range does not depend on the order
    int first = 0, last = 0;
    std::vector<ecDicomHeaderInfo> headers;
    ecRawHeaderInfo firstHeader;
    EXPECT_EQ(FindSignaFileImageRange(names, first, last, headers, &firstHeader, 0), 4);
    EXPECT_EQ(first, 122);
    EXPECT_EQ(last, 215);
    ASSERT_EQ(headers.size(), 4u);
    EXPECT_EQ(headers[0].sFileName, names[0]);
    EXPECT_EQ(headers[0].iImageNum, 215);
    EXPECT_EQ(headers[2].iImageOffset, 3416);
    EXPECT_EQ(firstHeader.iImageNum, 215);
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
        EXPECT_EQ(FillRawHeaderFromSignaFile(path.c_str(), &h, nullptr, nullptr, 0), -11);
        EXPECT_EQ(h.iNumPix, 99);
        EXPECT_FALSE(h.bIsValid);
        ecMriSlice<short> slice;
        std::string message;
        EXPECT_EQ(ReadSlice(slice, path, &message), 1000);
        EXPECT_EQ(message, "? Unable to get header info from <" + path + ">");
        EXPECT_EQ(slice.GetPixels(), nullptr);
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
    EXPECT_EQ(first, 1025);
    EXPECT_EQ(last, -1025);
    EXPECT_TRUE(headers.empty());
    EXPECT_EQ(firstHeader.iImageNum, 55);
}

TEST(SignaFiles, HeaderFieldsAndCodes)
{
    TempDir dir;
    EXPECT_EQ(FindSigna_PixelDepth(nullptr), -1);
    EXPECT_EQ(FindSigna_PixelDepth(dir.file("missing").c_str()), -2);
    ecRawHeaderInfo h;
    EXPECT_EQ(FillRawHeaderFromSignaFile(nullptr, &h, nullptr, nullptr, 0), -1);
    EXPECT_EQ(FillRawHeaderFromSignaFile(dir.file("missing").c_str(), nullptr, nullptr, nullptr, 0), -1);
    EXPECT_EQ(FillRawHeaderFromSignaFile(dir.file("missing").c_str(), &h, nullptr, nullptr, 0), -2);

    // Signed 16-bit fields, every float, the depth codes; the record is not reset.
    scanfiles::SignaFile f;
    f.columns = static_cast<int16_t>(0x8000);
    f.rows = -2;
    f.imageNum = -7;
    f.depth = 12;
    f.headerLen = 5000;
    f.imageHeaderPtr = 700;
    const std::string odd = WriteSigna(dir, "odd", f);
    EXPECT_EQ(FindSigna_PixelDepth(odd.c_str()), 12);
    ecRawHeaderInfo r;
    r.fAttenFact = 2.5;
    r.iNumFrames = 9;
    r.PlaneType = SliceCoronal;
    r.iSpare[2] = 77;
    long offset = 0;
    EXPECT_EQ(FillRawHeaderFromSignaFile(odd.c_str(), &r, nullptr, &offset, 0), 1);
    EXPECT_EQ(offset, 5000);
    EXPECT_EQ(r.iNumPix, -32768);
    EXPECT_EQ(r.iNumPixY, -2);
    EXPECT_EQ(r.iImageNum, -7);
    EXPECT_EQ(r.DataType, 0);
    EXPECT_EQ(r.fSliceThickness, 5.0);
    EXPECT_EQ(r.fSizePixY, 0.9375);
    EXPECT_EQ(r.fSizePix, 0.8125);
    EXPECT_EQ(r.fSliceSpacing, 6.5);
    EXPECT_EQ(r.PlaneType, SliceAxial);
    EXPECT_EQ(r.iNumFrames, 1);
    EXPECT_EQ(r.fAttenFact, 2.5);  // kept
    EXPECT_EQ(r.iSpare[2], 77);    // kept
    ecMriSlice<short> slice;
    EXPECT_EQ(ReadSlice(slice, odd), -3);  // -32768 columns cannot be stored

    f = scanfiles::SignaFile();
    f.depth = 8;
    EXPECT_EQ(FillRawHeaderFromSignaFile(WriteSigna(dir, "d8", f).c_str(), &r, nullptr, nullptr, 0), 1);
    EXPECT_EQ(r.DataType, 105);
}

TEST(SignaFiles, PixelsBecomeHostValuesForEachPixelType)
{
    TempDir dir;
    scanfiles::SignaFile f;
    f.pixels.assign(256, 0);
    f.pixels[0] = 0x0102;
    f.pixels[1] = -2;
    f.pixels[17] = 32767;
    f.pixels[255] = -32768;
    const std::string path = WriteSigna(dir, "s16", f);
    ecMriSlice<short> s;
    ASSERT_EQ(ReadSlice(s, path), 1);
    EXPECT_EQ(s.GetPixels()[0], 0x0102);
    EXPECT_EQ(s.GetPixels()[1], -2);
    EXPECT_EQ(s.GetRowPointers()[1][1], 32767);
    EXPECT_EQ(s.GetPixels()[255], -32768);

    // Reading again into the same slice replaces the pixels (the sanitizer
    // build checks that nothing leaks); new pixels have not been scanned.
    ASSERT_EQ(s.SetMaxMinValues(0), 256);
    ASSERT_EQ(ReadSlice(s, path), 1);
    EXPECT_FALSE(s.MaxMinValuesAreSet());
    f.pixels[0] = 77;
    f.rows = 32;
    f.pixels.resize(512, 5);
    ASSERT_EQ(ReadSlice(s, WriteSigna(dir, "s16b", f)), 1);
    EXPECT_EQ(s.GetPixels()[0], 77);
    EXPECT_EQ(s.GetRowPointers()[31][15], 5);

    // 8-bit files into unsigned char slices.
    f = scanfiles::SignaFile();
    f.depth = 8;
    f.pixels.assign(256, 200);
    f.pixels[3] = 7;
    ecMriSlice<unsigned char> u;
    ASSERT_EQ(ReadSlice(u, WriteSigna(dir, "u8", f)), 1);
    EXPECT_EQ(u.GetPixels()[3], 7);
    EXPECT_EQ(u.GetPixels()[4], 200);

    // A float slice takes four big-endian bytes per pixel.
    f = scanfiles::SignaFile();
    f.depth = 32;
    scanfiles::Bytes floats;
    for (int i = 0; i < 256; ++i) scanfiles::PutF32BE(floats, floats.size(), i == 1 ? -0.75f : 2.5f);
    f.pixelBytes = floats;
    ecMriSlice<float> fl;
    ASSERT_EQ(ReadSlice(fl, WriteSigna(dir, "f32", f)), 1);
    EXPECT_EQ(fl.GetPixels()[0], 2.5f);
    EXPECT_EQ(fl.GetPixels()[1], -0.75f);
    EXPECT_EQ(fl.GetRawHeaderInfo()->DataType, 0);  // depth 32 is neither 8 nor 16
}

TEST(SignaFiles, CallerBufferIsUsedAndNeverReleased)
{
    TempDir dir;
    scanfiles::SignaFile f;
    f.pixels.assign(256, 9);
    const std::string good = WriteSigna(dir, "good", f);
    std::vector<short> mine(256, -1);
    ecMriSlice<short> s;
    ASSERT_EQ(ReadSlice(s, good, nullptr, mine.data()), 1);
    EXPECT_EQ(s.GetPixels(), mine.data());
    EXPECT_FALSE(s.OwnsData());
    EXPECT_EQ(mine[200], 9);

    // A short pixel block: the exception, and the caller's buffer is still theirs.
    f.pixelBytes.assign(511, 0);
    std::vector<short> other(256, 4);
    ecMriSlice<short> t;
    std::string message;
    EXPECT_EQ(ReadSlice(t, WriteSigna(dir, "short", f), &message, other.data()), 1000);
    EXPECT_EQ(message, "Short count on image read");
    EXPECT_EQ(other[0], 4);

    // Reading a slice that holds a caller's buffer into new storage leaves that buffer alone.
    ASSERT_EQ(ReadSlice(s, good), 1);
    EXPECT_TRUE(s.OwnsData());
    EXPECT_NE(s.GetPixels(), mine.data());

    // GetSignaImage on its own: a stream is required, and the count must match the slice.
    EXPECT_EQ(s.GetSignaImage(nullptr, 256, 0, nullptr), -1);
    FILE* fp = std::fopen(good.c_str(), "rb");
    ASSERT_NE(fp, nullptr);
    EXPECT_EQ(s.GetSignaImage(fp, 1u << 30, 0, nullptr), -2);  // closes fp
    FILE* fq = std::fopen(good.c_str(), "rb");
    ASSERT_NE(fq, nullptr);
    std::fseek(fq, 378, SEEK_SET);
    EXPECT_EQ(s.GetSignaImage(fq, 256, 0, nullptr), 1);
    EXPECT_EQ(s.GetPixels()[17], 9);
}

TEST(SignaFiles, AbsurdHeadersAreRefused)
{
    TempDir dir;
    auto header = [&](const scanfiles::SignaFile& f, long* off) {
        ecRawHeaderInfo h;
        return FillRawHeaderFromSignaFile(WriteSigna(dir, "x", f).c_str(), &h, nullptr, off, 0);
    };
    auto slice = [&](const scanfiles::SignaFile& f) {
        ecMriSlice<short> s;
        return ReadSlice(s, WriteSigna(dir, "y", f));
    };
    scanfiles::SignaFile f;
    f.imageHeaderPtr = -156;
    EXPECT_EQ(header(f, nullptr), -4);
    f.imageHeaderPtr = 0x7FFFFFFF;
    EXPECT_EQ(header(f, nullptr), -5);

    f = scanfiles::SignaFile();
    f.headerLen = -1;
    EXPECT_EQ(slice(f), -5);
    f.headerLen = 0x7FFFFFFF;  // far beyond the end: refused without allocating
    EXPECT_EQ(slice(f), 1000);
    f = scanfiles::SignaFile();
    f.columns = 1025;
    EXPECT_EQ(slice(f), -3);
    f.columns = 15;
    EXPECT_EQ(slice(f), -3);
    f.columns = 1024;
    f.rows = 1024;  // 2 MiB of pixels claimed, 512 bytes present
    f.pixelBytes.assign(512, 0);
    EXPECT_EQ(slice(f), 1000);

    // Pixel sizes that are not numbers travel as they are; the pixels still read.
    f = scanfiles::SignaFile();
    f.pixelWidth = std::numeric_limits<float>::quiet_NaN();
    f.pixelHeight = std::numeric_limits<float>::infinity();
    f.sliceThickness = 0.0f;
    ecMriSlice<short> s;
    ASSERT_EQ(ReadSlice(s, WriteSigna(dir, "nan", f)), 1);
    EXPECT_TRUE(std::isnan(s.GetRawHeaderInfo()->fSizePix));
    EXPECT_TRUE(std::isinf(s.GetRawHeaderInfo()->fSizePixY));
}

TEST(SignaFiles, TruncationAtEveryOffset)
{
    TempDir dir;
    scanfiles::SignaFile f;
    const scanfiles::Bytes full = f.Build();
    ASSERT_EQ(full.size(), 156u + 222u + 512u);
    const std::string path = dir.file("cut");
    testutil::WriteFile(path, full);
    for (size_t len = full.size() + 1; len-- > 0;) {
        ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(len)), 0);
        const int depth = FindSigna_PixelDepth(path.c_str());
        ecRawHeaderInfo h;
        const int header = FillRawHeaderFromSignaFile(path.c_str(), &h, nullptr, nullptr, 0);
        ecMriSlice<short> s;
        std::string message;
        const int read = ReadSlice(s, path, &message);
        if (len < 4) {
            ASSERT_EQ(depth, -4) << len;
        } else if (len < 156) {
            ASSERT_EQ(depth, -3) << len;
        } else {
            ASSERT_EQ(depth, 16) << len;
        }
        if (len < 156) {
            ASSERT_EQ(header, -3) << len;
        } else if (len < 378) {
            ASSERT_EQ(header, -5) << len;
        } else {
            ASSERT_EQ(header, 1) << len;
        }
        if (len < 378) {
            ASSERT_EQ(message.rfind("? Unable to get header info from <", 0), 0u) << len;
        } else if (len < full.size()) {
            ASSERT_EQ(message, "Short count on image read") << len;
        } else {
            ASSERT_EQ(read, 1);
        }
    }
}

namespace {
const char* const kLayoutListing =
    "Size of GE_Signa_Control_Header is 156\n"
    "<iCompression> : 20 (20)\n"
    "<iUIPtn> : 56 (56)\n"
    "<iHistogramHeaderPtr> : 80 (80)\n"
    "<iImageHeaderLen> : 152 (152)\n"
    "Size of GE_Signa_Exam_Header is 308\n"
    "<sExamType> : 305 (305)\n"
    "Size of GE_Signa_Image_Header is 222\n"
    "<fNEX> : 218 (218)\n";
}

TEST(SignaFiles, LayoutListing)
{
    TempDir dir;
    const std::string path = dir.file("layout.txt");
    testutil::WriteText(path, std::string(2000, 'x'));  // replaced, not appended to
    EXPECT_EQ(FindSignaOffsets(path.c_str(), 0), 1);
    const scanfiles::Bytes got = testutil::ReadFile(path);
    EXPECT_EQ(std::string(got.begin(), got.end()), kLayoutListing);

    testing::internal::CaptureStdout();
    const int r = FindSignaOffsets(nullptr, 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), kLayoutListing);
    EXPECT_EQ(r, 1);

    EXPECT_EQ(FindSignaOffsets(dir.file("no/such/folder/x").c_str(), 0), -1);
}

TEST(SignaFiles, ForeignFloatWords)
{
    // Given as the word w, stored as its bytes in little-endian order:
    // bit 0 sign, then the exponent, then the fraction.
    auto bytesOf = [](uint32_t w, char* b) {
        for (int i = 0; i < 4; ++i) b[i] = static_cast<char>((w >> (8 * i)) & 0xFF);
        for (int i = 4; i < 8; ++i) b[i] = 9;  // never read
    };
    const float inf = std::numeric_limits<float>::infinity();
    const std::pair<uint32_t, float> floats[] = {
        {0xFE, 1.0f}, {0xFF, -1.0f}, {0x100, 2.0f}, {0xFEu | (1u << 31), 1.5f}, {0, 0.0f},
        {1u << 9, std::ldexp(1.0f, -149)},                                      // e = 0, f = 1
        {0x1FCu | (0x7FFFFFu << 9), std::numeric_limits<float>::max()},        // e = 254
        {0x1FE, inf}, {0x1FF, -inf},                                           // e = 255: 2^128
    };
    for (const auto& c : floats) {
        char b[8];
        bytesOf(c.first, b);
        float v = -99.0f;
        EXPECT_EQ(ConvertToIntel(b, v), 1);
        EXPECT_EQ(v, c.second) << std::hex << c.first;
    }
    // The double form: exponent in bits 1..11, fraction in bits 12..31, same constants.
    const std::pair<uint32_t, double> doubles[] = {
        {0xFE, 1.0}, {0xFF, -1.0}, {0xFEu | (1u << 31), 1.0625}, {0x800, std::ldexp(1.0, 1024 - 127)},
        {1u << 12, std::ldexp(1.0, -149)}, {0, 0.0},
    };
    for (const auto& c : doubles) {
        char b[8];
        bytesOf(c.first, b);
        double v = -99.0;
        EXPECT_EQ(ConvertToIntel(b, v), 1);
        EXPECT_EQ(v, c.second) << std::hex << c.first;
    }
    float f = 3.0f;
    double d = 3.0;
    EXPECT_EQ(ConvertToIntel(nullptr, f), -1);
    EXPECT_EQ(ConvertToIntel(nullptr, d), -1);
    EXPECT_EQ(f, 3.0f);
}

TEST(SignaFiles, FactoryReadsADisplaySlice)
{
    const std::string path = DataPath("genesis/c_vf1211.fre");
    std::unique_ptr<ecMriSliceBase> slice(ReadMriSlice(path.c_str(), MriSigna, nullptr, true, 0));
    auto* s = dynamic_cast<ecMriSlice<short>*>(slice.get());
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(s->GetNumRows(), 512);
    EXPECT_EQ(testutil::Fnv1a64Le16(s->GetPixels(), 512 * 512), 0x2b9a4f0e634c3b6cull);
    // A file with no "IMGF" gives no slice.
    EXPECT_EQ(ReadMriSlice(DataPath("ge_other/I.001").c_str(), MriSigna, nullptr, true, 0), nullptr);
}
