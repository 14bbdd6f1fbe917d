// Siemens files: the header and information records, the series scan and
// whole-slice reading.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "MriSlice.h"
#include "ReadMriSlice.h"
#include "ScannerFileWriter.h"
#include "TestUtil.h"
#include "readSiemens.h"

using scanfiles::SiemensFile;
using scanfiles::Write;
using testutil::DataPath;
using testutil::TempDir;

namespace {

// GetSiemensFile's outcome (testutil::Outcome) on a fresh slice, which keeps no pixels
// when the read fails.
std::string ReadSlice(const std::string& path)
{
    ecMriSlice<short> slice;
    const std::string r = testutil::Outcome([&] { return slice.GetSiemensFile(path.c_str(), 0, nullptr); });
    return r == "1" || !slice.GetPixels() ? r : r + " with pixels";
}

ecRawHeaderInfo Header(const std::string& path, int* result = nullptr)
{
    ecRawHeaderInfo h;
    const int r = FillRawHeaderFromSiemensFile(path.c_str(), &h, nullptr, nullptr, 0);
    if (result) *result = r;
    return h;
}

std::string Vision(int n) { return DataPath("siemens/3868-2-" + std::to_string(n) + ".ima"); }

}  // namespace

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
        EXPECT_EQ(ReadSlice(Write(dir, "bad", f)), "-3") << pixel;
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
