// Siemens files: the header and information records, the series scan and
// whole-slice reading.
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "MriSlice.h"
#include "ReadMriSlice.h"
#include "ScannerFileWriter.h"
#include "TestUtil.h"
#include "ecError.h"
#include "readSiemens.h"

using testutil::DataPath;
using testutil::TempDir;

namespace {

std::string WriteSiemens(const TempDir& dir, const std::string& name, const scanfiles::SiemensFile& f)
{
    const std::string path = dir.file(name);
    testutil::WriteFile(path, f.Build());
    return path;
}

// GetSiemensFile's result, or 1000 when it threw ecError (the message goes to `message`).
template <class T>
int ReadSlice(ecMriSlice<T>& slice, const std::string& path, std::string* message = nullptr)
{
    try {
        return slice.GetSiemensFile(path.c_str(), 0, nullptr);
    } catch (const ecError& e) {
        if (message) *message = e.what();
        return 1000;
    }
}

ecRawHeaderInfo Header(const std::string& path, int* result = nullptr)
{
    ecRawHeaderInfo h;
    const int r = FillRawHeaderFromSiemensFile(path.c_str(), &h, nullptr, nullptr, 0);
    if (result) *result = r;
    return h;
}

}  // namespace

TEST(SiemensFiles, RealVisionHeaders)
{
    // Values recorded by an independent reader (tests/data/siemens/PROVENANCE.md).
    for (int n = 100; n <= 105; ++n) {
        const std::string path = DataPath("siemens/3868-2-" + std::to_string(n) + ".ima");
        SCOPED_TRACE(path);
        ecRawHeaderInfo h;
        ecMriSliceInformation info;
        info.sAnnotation = "old";
        long offset = 0;
        ASSERT_EQ(FillRawHeaderFromSiemensFile(path.c_str(), &h, &info, &offset, 0), 1);
        EXPECT_EQ(info.sManufacturer, "SIEMENS");
        EXPECT_EQ(info.sInstitutionName, "Fairview-Univ. Med. Ctr. ");
        EXPECT_EQ(info.sModelName, "MAGNETOM VISION");
        EXPECT_EQ(info.sAnnotation.size(), 4u);
        EXPECT_EQ(info.sPatientName.size(), 25u);  // zero bytes of the field included
        EXPECT_EQ(info.sPatientID.size(), 12u);
        EXPECT_EQ(info.sTextPatientPosition.size(), 7u);
        EXPECT_EQ(h.fSliceThickness, 1.2);
        EXPECT_EQ(h.fSizePix, 0.78125);
        EXPECT_EQ(h.fSizePixY, 0.78125);
        EXPECT_EQ(h.fSliceSpacing, 0.0);
        EXPECT_EQ(h.iNumPix, 256);  // 200 / 0.78125
        EXPECT_EQ(h.iNumPixY, 256);
        EXPECT_EQ(h.iImageNum, n);
        EXPECT_EQ(h.PlaneType, SliceSagittal);  // "Sag"
        EXPECT_EQ(h.ImagePlane, SliceSagittal);
        EXPECT_EQ(h.DataType, 98);
        EXPECT_EQ(h.FileType, MriSiemens);
        EXPECT_EQ(h.iNumFrames, 1);
        EXPECT_EQ(h.lDataOffset, 6144);
        EXPECT_EQ(offset, 6144);
        EXPECT_TRUE(h.bIsValid);

        // The pixel block was cut to 4 x 4 behind a header that claims 256 x 256.
        ecMriSlice<short> slice;
        EXPECT_EQ(ReadSlice(slice, path), -56);
        EXPECT_EQ(slice.GetPixels(), nullptr);
    }

    std::vector<std::string> names;
    for (int n : {103, 100, 105, 101}) names.push_back(DataPath("siemens/3868-2-" + std::to_string(n) + ".ima"));
    int first = 0, last = 0;
    std::vector<ecDicomHeaderInfo> headers;
    ecRawHeaderInfo firstHeader;
    EXPECT_EQ(FindSiemensFileImageRange(names, first, last, headers, &firstHeader, 0), 4);
    EXPECT_EQ(first, 100);
    EXPECT_EQ(last, 105);
    ASSERT_EQ(headers.size(), 4u);
    EXPECT_EQ(headers[1].sFileName, names[1]);
    EXPECT_EQ(headers[1].iImageNum, 100);
    EXPECT_EQ(headers[3].iImageOffset, 6144);
    EXPECT_EQ(firstHeader.iImageNum, 103);
}

TEST(SiemensFiles, OtherGeFilesGiveWhatTheirBytesSayAndFailCleanly)
{
    // The header reader has no format check: it decodes whatever lies at its offsets.
    int r = 0;
    const std::string ge4 = DataPath("ge_other/19771.002.001");
    ecRawHeaderInfo h = Header(ge4, &r);
    EXPECT_EQ(r, 1);
    EXPECT_EQ(h.iNumPix, INT_MIN);  // 0 / 0
    EXPECT_EQ(h.iNumPixY, INT_MIN);
    EXPECT_EQ(h.iImageNum, 1);  // no number in the field
    EXPECT_EQ(h.PlaneType, SliceUnknown);
    EXPECT_EQ(h.ImagePlane, SliceUnknown);

    const std::string adw = DataPath("ge_other/I.001");
    h = Header(adw, &r);
    EXPECT_EQ(r, 1);
    EXPECT_EQ(h.iNumPix, 16778720);
    EXPECT_EQ(h.iNumPixY, 240);
    EXPECT_EQ(h.iImageNum, 1);
    EXPECT_EQ(h.PlaneType, SliceUnknown);  // the byte there is "7"

    for (const std::string& path : {ge4, adw, DataPath("ge_other/113766.003.001")}) {
        ecMriSlice<short> slice;
        const int got = ReadSlice(slice, path);
        EXPECT_LT(got, 0) << path;
        EXPECT_NE(got, 1000) << path;
        EXPECT_EQ(slice.GetPixels(), nullptr) << path;
    }
    ecMriSlice<short> slice;
    EXPECT_EQ(ReadSlice(slice, ge4), -3);
    EXPECT_EQ(ReadSlice(slice, adw), -3);
}

TEST(SiemensFiles, MatrixSizeFromFieldOfView)
{
    TempDir dir;
    struct Case {
        double fov;
        double pixel;
        int expected;
    };
    const double inf = std::numeric_limits<double>::infinity();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Case cases[] = {
        {250.0, 0.9765625, 256},
        {250.0, 0.98, 255},  // 255.1..., truncated
        {-250.0, 0.98, -255},  // toward zero
        {255.9, 1.0, 255},
        {-255.9, 1.0, -255},
        {0.5, 1.0, 0},
        {2147483647.0, 1.0, 2147483647},
        {2147483648.0, 1.0, INT_MIN},
        {-2147483648.0, 1.0, INT_MIN},
        {1e300, 1e-300, INT_MIN},
        {250.0, 0.0, INT_MIN},
        {250.0, -0.0, INT_MIN},
        {0.0, 0.0, INT_MIN},
        {250.0, nan, INT_MIN},
        {inf, 1.0, INT_MIN},
        {250.0, inf, 0},
    };
    for (const Case& c : cases) {
        scanfiles::SiemensFile f;
        f.fovWidth = c.fov;
        f.pixelWidth = c.pixel;
        f.fovHeight = c.fov * 2;
        f.pixelHeight = c.pixel;
        const ecRawHeaderInfo h = Header(WriteSiemens(dir, "fov", f));
        EXPECT_EQ(h.iNumPix, c.expected) << c.fov << " / " << c.pixel;
        EXPECT_TRUE(h.bIsValid);
    }
    scanfiles::SiemensFile f;
    f.fovHeight = 250.0;
    f.pixelHeight = 0.98;
    EXPECT_EQ(Header(WriteSiemens(dir, "fovy", f)).iNumPixY, 255);

    // Sizes that cannot be stored are refused before anything is read.
    for (double pixel : {0.0, nan, 0.001}) {
        f = scanfiles::SiemensFile();
        f.pixelWidth = pixel;
        ecMriSlice<short> s;
        EXPECT_EQ(ReadSlice(s, WriteSiemens(dir, "bad", f)), -3) << pixel;
    }
}

TEST(SiemensFiles, ImageNumberAndPlaneLetter)
{
    TempDir dir;
    const std::pair<const char*, int> numbers[] = {
        {"  12 ", 12}, {"12abc", 12}, {"00042", 42}, {"0    ", 0}, {"-3   ", 1}, {"  -12", 1},
        {"abc  ", 1},  {"     ", 1},  {"", 1},        {"+7   ", 7}, {"99999", 99999},
    };
    for (const auto& n : numbers) {
        scanfiles::SiemensFile f;
        f.imageNumber = n.first;
        EXPECT_EQ(Header(WriteSiemens(dir, "n", f)).iImageNum, n.second) << "'" << n.first << "'";
    }
    const std::pair<char, SliceType> planes[] = {
        {'A', SliceAxial},      {'a', SliceAxial},   {'C', SliceCoronal}, {'c', SliceCoronal},
        {'S', SliceSagittal},   {'s', SliceSagittal}, {'O', SliceUnknown}, {'x', SliceUnknown},
        {'\0', SliceUnknown},   {' ', SliceUnknown},
    };
    for (const auto& p : planes) {
        scanfiles::SiemensFile f;
        f.plane = p.first;
        const ecRawHeaderInfo h = Header(WriteSiemens(dir, "p", f));
        EXPECT_EQ(h.PlaneType, p.second) << int(p.first);
        EXPECT_EQ(h.ImagePlane, p.second) << int(p.first);
    }
}

TEST(SiemensFiles, RecordsAreResetAndTextsTakenAsStored)
{
    TempDir dir;
    scanfiles::SiemensFile f;
    f.institution = "Clinic";  // padded with zero bytes to 25
    f.patientID = "ID\nTWO";
    const std::string path = WriteSiemens(dir, "texts", f);
    ecRawHeaderInfo h;
    h.fAttenFact = 7.0;
    h.iSpare[0] = 3;
    h.bFlag8 = true;
    h.fSliceSpacing = 9.0;
    ecMriSliceInformation info;
    ASSERT_EQ(FillRawHeaderFromSiemensFile(path.c_str(), &h, &info, nullptr, 0), 1);
    EXPECT_EQ(h.fAttenFact, 1.0);
    EXPECT_EQ(h.iSpare[0], 0);
    EXPECT_FALSE(h.bFlag8);
    EXPECT_EQ(h.fSliceSpacing, 0.0);
    EXPECT_EQ(h.fSliceThickness, 4.0);
    EXPECT_EQ(info.sInstitutionName, std::string("Clinic") + std::string(19, '\0'));
    EXPECT_EQ(info.sPatientID, std::string("ID\nTWO") + std::string(6, '\0'));
    EXPECT_EQ(info.sManufacturer, "SIEMENS");
    EXPECT_EQ(info.sAnnotation, "ANNO");

    EXPECT_EQ(FillRawHeaderFromSiemensFile(nullptr, &h, nullptr, nullptr, 0), -1);
    EXPECT_EQ(FillRawHeaderFromSiemensFile(path.c_str(), nullptr, nullptr, nullptr, 0), -1);
    EXPECT_EQ(FillRawHeaderFromSiemensFile(dir.file("missing").c_str(), &h, nullptr, nullptr, 0), -2);
    ecMriSlice<short> s;
    EXPECT_EQ(s.GetSiemensFile(nullptr, 0, nullptr), -1);
}

TEST(SiemensFiles, PixelsInEachPixelType)
{
    TempDir dir;
    scanfiles::SiemensFile f;
    f.pixels.assign(256, 0);
    f.pixels[0] = 0x0102;
    f.pixels[1] = -2;
    f.pixels[16] = 32767;
    f.pixels[255] = -32768;
    const std::string path = WriteSiemens(dir, "px", f);
    ecMriSlice<short> s;
    ASSERT_EQ(ReadSlice(s, path), 1);
    EXPECT_EQ(s.GetPixels()[0], 0x0102);
    EXPECT_EQ(s.GetPixels()[1], -2);
    EXPECT_EQ(s.GetRowPointers()[1][0], 32767);
    EXPECT_EQ(s.GetPixels()[255], -32768);
    EXPECT_EQ(s.GetRawHeaderInfo()->DataType, 98);
    ASSERT_NE(s.GetSliceInformation(), nullptr);
    EXPECT_EQ(s.GetSliceInformation()->sModelName, std::string("MAGNETOM TEST") + std::string(2, '\0'));

    // An 8-bit slice receives the file's bytes with each pair exchanged.
    ecMriSlice<unsigned char> u;
    ASSERT_EQ(ReadSlice(u, path), 1);
    EXPECT_EQ(u.GetPixels()[0], 0x02);
    EXPECT_EQ(u.GetPixels()[1], 0x01);
    EXPECT_EQ(u.GetPixels()[2], 0xFE);
    EXPECT_EQ(u.GetPixels()[3], 0xFF);

    // A float slice needs four bytes per pixel: this file has half of that.
    ecMriSlice<float> fl;
    EXPECT_EQ(ReadSlice(fl, path), -56);

    // New pixels in the same storage have not been scanned for their extremes.
    ASSERT_EQ(s.SetMaxMinValues(0), 256);
    ASSERT_TRUE(s.MaxMinValuesAreSet());
    ASSERT_EQ(ReadSlice(s, path), 1);
    EXPECT_FALSE(s.MaxMinValuesAreSet());

    // Reading a larger slice into the same object replaces its storage.
    f.fovHeight = 32.0;
    f.pixels.assign(512, 3);
    ASSERT_EQ(ReadSlice(s, WriteSiemens(dir, "px32", f)), 1);
    EXPECT_EQ(s.GetNumRows(), 32);
    EXPECT_EQ(s.GetRowPointers()[31][15], 3);
}

TEST(SiemensFiles, ShortFilesAndTruncationAtEveryOffset)
{
    TempDir dir;
    scanfiles::SiemensFile f;
    const scanfiles::Bytes full = f.Build();
    ASSERT_EQ(full.size(), 6144u + 512u);

    // One row short of the header's row count.
    const std::string oneShort = dir.file("one-short");
    testutil::WriteFile(oneShort, scanfiles::Bytes(full.begin(), full.end() - 32));
    ecMriSlice<short> s;
    EXPECT_EQ(ReadSlice(s, oneShort), -56);

    const std::string path = dir.file("cut");
    testutil::WriteFile(path, full);
    for (size_t len = full.size() + 1; len-- > 0;) {
        ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(len)), 0);
        int header = 0;
        Header(path, &header);
        ecMriSlice<short> slice;
        std::string message;
        const int read = ReadSlice(slice, path, &message);
        if (len < 6144) {
            ASSERT_EQ(header, -3) << len;
            ASSERT_EQ(read, 1000) << len;
            ASSERT_EQ(message, "? Unable to get header info from <" + path + ">");
        } else if (len < full.size()) {
            ASSERT_EQ(header, 1) << len;
            ASSERT_EQ(read, -56) << len;
        } else {
            ASSERT_EQ(read, 1);
        }
    }
}

TEST(SiemensFiles, ImageReaderChecksItsSlice)
{
    TempDir dir;
    const std::string path = WriteSiemens(dir, "img", scanfiles::SiemensFile());
    FILE* fp = std::fopen(path.c_str(), "rb");
    ASSERT_NE(fp, nullptr);
    std::fseek(fp, 6144, SEEK_SET);

    ecMriSlice<short> s;
    EXPECT_EQ(s.GetSiemensImage(nullptr, 0, 0, nullptr), -1);
    EXPECT_EQ(s.GetSiemensImage(fp, 0, 0, nullptr), -2);  // no header record
    ecRawHeaderInfo rec;
    rec.bIsValid = true;
    rec.iNumPix = rec.iNumPixY = 16;
    ASSERT_EQ(s.SetRawHeaderInfo(rec, 1), 2);
    EXPECT_EQ(s.GetSiemensImage(fp, 0, 0, nullptr), -3);  // no pixel buffer
    ASSERT_TRUE(s.Resize(16, 16, 0));

    // A header that claims more than the storage holds is not read into it.
    rec.iNumPix = 32;
    s.SetRawHeaderInfo(rec, 0);
    EXPECT_EQ(s.GetSiemensImage(fp, 0, 0, nullptr), -3);

    rec.iNumPix = 2000;
    s.SetRawHeaderInfo(rec, 0);
    EXPECT_EQ(s.GetSiemensImage(fp, 0, 0, nullptr), -5);
    EXPECT_FALSE(s.GetRawHeaderInfo()->bIsValid);

    rec.iNumPix = 16;
    s.SetRawHeaderInfo(rec, 0);
    EXPECT_EQ(s.GetSiemensImage(fp, 12345, 0, nullptr), 1);  // the count argument is not used
    std::fclose(fp);
}

TEST(SiemensFiles, ScanStopsAtTheFirstFailure)
{
    TempDir dir;
    std::vector<std::string> none;
    int first = 0, last = 0;
    std::vector<ecDicomHeaderInfo> headers(3);
    EXPECT_EQ(FindSiemensFileImageRange(none, first, last, headers, nullptr, 0), 0);
    EXPECT_EQ(first, 32767);
    EXPECT_EQ(last, -32767);
    EXPECT_TRUE(headers.empty());

    scanfiles::SiemensFile f;
    f.imageNumber = "   40";
    const std::string a = WriteSiemens(dir, "a", f);
    const std::string shortFile = dir.file("short");
    testutil::WriteFile(shortFile, scanfiles::Bytes(6143, ' '));
    std::vector<std::string> names = {a, shortFile, a};
    ecRawHeaderInfo firstHeader;
    EXPECT_EQ(FindSiemensFileImageRange(names, first, last, headers, &firstHeader, 0), -103);
    ASSERT_EQ(headers.size(), 1u);
    EXPECT_EQ(headers[0].iImageNum, 40);
    EXPECT_EQ(headers[0].sFileName, a);
    EXPECT_EQ(first, 40);
    EXPECT_EQ(last, 40);
    EXPECT_EQ(firstHeader.iImageNum, 0);  // not given on failure
    names = {dir.file("missing")};
    EXPECT_EQ(FindSiemensFileImageRange(names, first, last, headers, nullptr, 0), -102);
}

TEST(SiemensFiles, FactoryReadsADisplaySlice)
{
    TempDir dir;
    scanfiles::SiemensFile f;
    f.pixels.assign(256, 40);
    f.pixels[5] = 0x0102;
    const std::string path = WriteSiemens(dir, "disp.ima", f);
    std::unique_ptr<ecMriSliceBase> slice(ReadMriSlice(path.c_str(), MriSiemens, nullptr, true, 0));
    auto* s = dynamic_cast<ecMriSlice<short>*>(slice.get());
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->GetPixels()[5], 0x0102);
    EXPECT_EQ(s->GetRowPointers()[15][15], 40);
    EXPECT_EQ(s->GetSliceInformation()->sManufacturer, "SIEMENS");
}
