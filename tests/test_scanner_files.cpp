// GE Signa and Siemens files: the pixel-depth probe, the header readers, the
// series scans, whole-slice reading, the Signa foreign float words, the Siemens
// matrix size from the field of view and its codes, and the geometry text of the
// Siemens private element (0051,1010): matrix in field 13, slice thickness in
// field 21, plane in field 23, each applied only to a value still unset and only
// when another field follows it.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "MriSlice.h"
#include "Quarn.h"
#include "ReadMriSlice.h"
#include "ScannerFileWriter.h"
#include "TestUtil.h"
#include "readSiemens.h"
#include "readSigna.h"

using scanfiles::SiemensFile;
using scanfiles::SignaFile;
using scanfiles::Write;
using testutil::DataPath;
using testutil::TempDir;

namespace {

// The outcome (testutil::Outcome) of GetSignaFile, or GetSiemensFile for a
// ".ima" file, on a fresh slice, which keeps no pixels when the read fails.
std::string ReadSlice(const std::string& path)
{
    ecMriSlice<short> s;
    const bool siemens = path.size() > 4 && path.compare(path.size() - 4, 4, ".ima") == 0;
    const std::string r = testutil::Outcome([&] {
        return siemens ? s.GetSiemensFile(path.c_str(), 0, nullptr) : s.GetSignaFile(path.c_str(), 0, nullptr);
    });
    return r == "1" || !s.GetPixels() ? r : r + " with pixels";
}

int FillHeader(const std::string& path, ecRawHeaderInfo& h, long* offset = nullptr)
{
    return FillRawHeaderFromSignaFile(path.c_str(), &h, nullptr, offset, 0);
}

// The Siemens header reader's record of a file.
ecRawHeaderInfo Header(const std::string& path)
{
    ecRawHeaderInfo h;
    FillRawHeaderFromSiemensFile(path.c_str(), &h, nullptr, nullptr, 0);
    return h;
}

std::string Vision(int n) { return DataPath("siemens/3868-2-" + std::to_string(n) + ".ima"); }

}  // namespace

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
        EXPECT_EQ(ReadSlice(path), "? Unable to get header info from <" + path + ">");
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
    const auto slice = [&](const SignaFile& file) { return ReadSlice(Write(dir, "y", file)); };
    EXPECT_EQ(slice(f), "-3");  // -32768 columns cannot be stored

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
    EXPECT_EQ(slice(f), "-5");
    f.headerLen = 0x7FFFFFFF;  // far beyond the end: refused without allocating
    EXPECT_EQ(slice(f), "Short count on image read");
    f = SignaFile();
    for (int16_t columns : {1025, 15}) {
        f.columns = columns;
        EXPECT_EQ(slice(f), "-3") << columns;
    }
    f.columns = f.rows = 1024;  // 2 MiB of pixels claimed, 512 bytes present
    f.pixelBytes.assign(512, 0);
    EXPECT_EQ(slice(f), "Short count on image read");

    // Pixel sizes that are not numbers travel as they are; the pixels still read.
    f = SignaFile();
    f.pixelWidth = std::numeric_limits<float>::quiet_NaN();
    f.pixelHeight = std::numeric_limits<float>::infinity();
    f.sliceThickness = 0.0f;
    ecMriSlice<short> s;
    ASSERT_EQ(s.GetSignaFile(Write(dir, "nan", f).c_str(), 0, nullptr), 1);
    EXPECT_TRUE(std::isnan(s.GetRawHeaderInfo()->fSizePix) && std::isinf(s.GetRawHeaderInfo()->fSizePixY));
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

TEST(SiemensFiles, RealVisionHeaders)
{
    // Values recorded by an independent reader (tests/data/siemens/PROVENANCE.md).
    for (int n = 100; n <= 105; ++n) {
        SCOPED_TRACE(n);
        ecRawHeaderInfo h;
        ecMriSliceInformation info;
        info.sAnnotation = "old";
        long offset = 0;
        ASSERT_EQ(FillRawHeaderFromSiemensFile(Vision(n).c_str(), &h, &info, &offset, 0), 1);
        EXPECT_EQ(info.sManufacturer + "|" + info.sInstitutionName + "|" + info.sModelName,
                  "SIEMENS|Fairview-Univ. Med. Ctr. |MAGNETOM VISION");
        // Texts keep the zero bytes of their fields.
        EXPECT_EQ(std::vector<size_t>({info.sAnnotation.size(), info.sPatientName.size(), info.sPatientID.size(),
                                       info.sTextPatientPosition.size()}),
                  std::vector<size_t>({4, 25, 12, 7}));
        EXPECT_EQ(std::vector<double>({h.fSliceThickness, h.fSizePix, h.fSizePixY, h.fSliceSpacing}),
                  std::vector<double>({1.2, 0.78125, 0.78125, 0.0}));
        EXPECT_EQ(std::vector<long>({h.iNumPix, h.iNumPixY, h.iImageNum, h.PlaneType, h.ImagePlane, h.DataType,
                                     h.FileType, h.iNumFrames, h.lDataOffset, offset, h.bIsValid}),
                  std::vector<long>({256, 256, n, SliceSagittal, SliceSagittal, 98, MriSiemens, 1, 6144, 6144, 1}));

            // The pixel block was cut to 4 x 4 behind the header's 256 x 256.
        EXPECT_EQ(ReadSlice(Vision(n)), "-56");
    }

    std::vector<std::string> names = {Vision(103), Vision(100), Vision(105), Vision(101)};
    int first = 0, last = 0;
    std::vector<ecDicomHeaderInfo> headers;
    ecRawHeaderInfo firstHeader;
    EXPECT_EQ(FindSiemensFileImageRange(names, first, last, headers, &firstHeader, 0), 4);
    EXPECT_EQ(std::vector<int>({first, last, firstHeader.iImageNum}), std::vector<int>({100, 105, 103}));
    ASSERT_EQ(headers.size(), 4u);
    EXPECT_EQ(headers[1].sFileName, names[1]);
    EXPECT_EQ(headers[1].iImageNum * 10000 + headers[3].iImageOffset, 100 * 10000 + 6144);
}

TEST(SiemensFiles, MatrixSizeFromFieldOfView)
{
    TempDir dir;
    const double inf = std::numeric_limits<double>::infinity(), nan = std::numeric_limits<double>::quiet_NaN();
    struct Case { double fov, pixel; int expected; };
    const Case cases[] = {
        {250.0, 0.9765625, 256}, {250.0, 0.98, 255}, {255.9, 1.0, 255}, {-255.9, 1.0, -255},  // toward zero
        {0.5, 1.0, 0},
        {2147483647.0, 1.0, 2147483647}, {2147483648.0, 1.0, INT_MIN}, {-2147483648.0, 1.0, INT_MIN},
        {1e300, 1e-300, INT_MIN}, {250.0, 0.0, INT_MIN}, {250.0, -0.0, INT_MIN}, {0.0, 0.0, INT_MIN},
        {250.0, nan, INT_MIN}, {inf, 1.0, INT_MIN}, {250.0, inf, 0},
    };
    for (const Case& c : cases) {
        SiemensFile f;
        f.fovWidth = c.fov;
        f.pixelWidth = f.pixelHeight = c.pixel;
        f.fovHeight = c.fov * 2;
        const ecRawHeaderInfo h = Header(Write(dir, "fov", f));
        EXPECT_EQ(h.iNumPix, c.expected) << c.fov << " / " << c.pixel;
        EXPECT_TRUE(h.bIsValid);
    }
    SiemensFile f;
    f.fovHeight = 250.0;
    f.pixelHeight = 0.98;
    EXPECT_EQ(Header(Write(dir, "fovy", f)).iNumPixY, 255);

    // Sizes that cannot be stored are refused before anything is read.
    for (double pixel : {0.0, nan, 0.001}) {
        f = SiemensFile();
        f.pixelWidth = pixel;
        EXPECT_EQ(ReadSlice(Write(dir, "bad.ima", f)), "-3") << pixel;
    }
}

TEST(SiemensFiles, HeaderFieldsAndCodes)
{
    TempDir dir;
    const std::pair<const char*, int> numbers[] = {
        {"  12 ", 12}, {"12abc", 12}, {"00042", 42}, {"0    ", 0}, {"-3   ", 1}, {"  -12", 1},
        {"abc  ", 1},  {"     ", 1},  {"", 1},        {"+7   ", 7}, {"99999", 99999},
    };
    for (const auto& n : numbers) {
        SiemensFile f;
        f.imageNumber = n.first;
        EXPECT_EQ(Header(Write(dir, "n", f)).iImageNum, n.second) << "'" << n.first << "'";
    }
    const std::pair<char, int> planes[] = {
        {'A', SliceAxial},    {'a', SliceAxial},    {'C', SliceCoronal}, {'c', SliceCoronal}, {'S', SliceSagittal},
        {'s', SliceSagittal}, {'O', SliceUnknown}, {'x', SliceUnknown}, {'\0', SliceUnknown}, {' ', SliceUnknown},
    };
    for (const auto& p : planes) {
        SiemensFile f;
        f.plane = p.first;
        const ecRawHeaderInfo h = Header(Write(dir, "p", f));
        EXPECT_EQ(std::vector<int>({h.PlaneType, h.ImagePlane}), std::vector<int>(2, p.second)) << int(p.first);
    }

    // The record is reset; texts are taken as stored.
    SiemensFile f;
    f.institution = "Clinic";  // padded with zero bytes to 25
    f.patientID = "ID\nTWO";
    const std::string path = Write(dir, "texts", f);
    ecRawHeaderInfo h;
    h.fAttenFact = 7.0;
    h.iSpare[0] = 3;
    h.bFlag8 = true;
    h.fSliceSpacing = 9.0;
    ecMriSliceInformation info;
    ASSERT_EQ(FillRawHeaderFromSiemensFile(path.c_str(), &h, &info, nullptr, 0), 1);
    EXPECT_EQ(std::vector<double>({h.fAttenFact, double(h.iSpare[0]), double(h.bFlag8), h.fSliceSpacing,
                                   h.fSliceThickness}),
              std::vector<double>({1.0, 0, 0, 0.0, 4.0}));
    EXPECT_EQ(info.sInstitutionName, std::string("Clinic") + std::string(19, '\0'));
    EXPECT_EQ(info.sPatientID, std::string("ID\nTWO") + std::string(6, '\0'));
    EXPECT_EQ(info.sManufacturer + info.sAnnotation, "SIEMENSANNO");

    EXPECT_EQ(FillRawHeaderFromSiemensFile(nullptr, &h, nullptr, nullptr, 0), -1);
    EXPECT_EQ(FillRawHeaderFromSiemensFile(path.c_str(), nullptr, nullptr, nullptr, 0), -1);
    EXPECT_EQ(FillRawHeaderFromSiemensFile(dir.file("missing").c_str(), &h, nullptr, nullptr, 0), -2);
    ecMriSlice<short> s;
    EXPECT_EQ(s.GetSiemensFile(nullptr, 0, nullptr), -1);
}

namespace {

// A slice with a header record whose thickness and plane are unset.
class TextSlice : public ecMriSlice<short> {
public:
    explicit TextSlice(bool withHeader = true)
    {
        if (!withHeader) return;
        pRawHeader = new ecRawHeaderInfo;
        pRawHeader->fSliceThickness = 0.0;
        pRawHeader->PlaneType = pRawHeader->ImagePlane = SliceUnknown;
    }
    int Rows() const { return iNumRows; }
    int Cols() const { return iNumCols; }
    void SetCols(int c) { iNumCols = c; }
    ecRawHeaderInfo* Header() { return pRawHeader; }
    void Apply(std::string text) { SetUsingExtraSiemansInfo(&text[0]); }
};

// A text of `count` fields "f0\f1\..." with some fields replaced.
std::string Fields(int count, const std::vector<std::pair<int, std::string>>& set)
{
    std::vector<std::string> f;
    for (int i = 0; i < count; ++i) f.push_back("f" + std::to_string(i));
    for (const auto& s : set) f[s.first] = s.second;
    std::string text;
    for (int i = 0; i < count; ++i) text += (i ? "\\" : "") + f[i];
    return text;
}

}  // namespace

TEST(SiemensGeometryText, MatrixField)
{
    const struct {
        int fields;
        const char* value;
        int presetCols, cols, rows;
    } cases[] = {
        {15, "256*192", 0, 256, 192},  // columns * rows
        {14, "256*192", 0, 0, 0},      // field 13 is the last field: never applied
        {15, "320", 0, 320, 320},      // no "*": square
        {20, "256*192", 64, 64, 0},    // columns already read
    };
    for (const auto& c : cases) {
        TextSlice s;
        s.SetCols(c.presetCols);
        s.Apply(Fields(c.fields, {{13, c.value}}));
        EXPECT_EQ(s.Cols(), c.cols) << c.fields << " " << c.value;
        EXPECT_EQ(s.Rows(), c.rows) << c.fields << " " << c.value;
        EXPECT_EQ(s.Header()->iNumPix, ecRawHeaderInfo().iNumPix);  // the header's counts stay
    }
}

TEST(SiemensGeometryText, ThicknessAndPlaneFields)
{
    const struct {
        int fields, index;
        const char* value;
        double presetThickness;
        double thickness;
        SliceType plane;
    } cases[] = {
        {23, 21, "SL5.5", 0.0, 5.5, SliceUnknown},    {23, 21, "sl5.5", 0.0, 0.0, SliceUnknown},
        {23, 21, " SL5.5", 0.0, 0.0, SliceUnknown},   {23, 21, "SL5.5", 3.0, 3.0, SliceUnknown},
        {22, 21, "SL5.5", 0.0, 0.0, SliceUnknown},    {25, 23, "  Sagittal", 0, 0, SliceSagittal},
        {25, 23, "AXIAL ", 0, 0, SliceAxial},         {25, 23, "coronal", 0, 0, SliceCoronal},
        {25, 23, "Transverse", 0, 0, SliceUnknown},   {24, 23, "Sagittal", 0, 0, SliceUnknown},
        {60, 23, "coronal", 0, 0, SliceCoronal},
    };
    for (const auto& c : cases) {
        TextSlice s;
        s.Header()->fSliceThickness = c.presetThickness;
        s.Apply(Fields(c.fields, {{c.index, c.value}}));
        EXPECT_EQ(s.Header()->fSliceThickness, c.thickness) << c.fields << " '" << c.value << "'";
        EXPECT_EQ(s.Header()->PlaneType, c.plane) << c.fields << " '" << c.value << "'";
        EXPECT_EQ(s.Header()->ImagePlane, c.plane) << c.fields << " '" << c.value << "'";
    }
    TextSlice set;  // a plane already set stays
    set.Header()->PlaneType = SliceAxial;
    set.Apply(Fields(25, {{23, "Sagittal"}}));
    EXPECT_EQ(set.Header()->PlaneType, SliceAxial);
    EXPECT_EQ(set.Header()->ImagePlane, SliceUnknown);
}
