// The DICOM element reader on files written by other software and by pydicom
// (tests/make_dicom_fixtures.py), on hand-built element streams and on every
// truncation of real files; its scan state (found marks), the plane of an
// image orientation, and the position record's setters.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "../src/read_dicom/DicomState.h"
#include "../src/readnema/DicomSeriesCompare.h"
#include "DicomTestFiles.h"
#include "Quarn.h"
#include "TestUtil.h"

using dicomtest::Elements;
using dicomtest::ReadOutcome;

namespace {

std::string Dicom(const std::string& rel) { return testutil::DataPath("dicom/" + rel); }

std::vector<std::string> Split(const std::string& s, char sep)
{
    std::vector<std::string> out;
    std::stringstream in(s);
    for (std::string part; std::getline(in, part, sep);) out.push_back(part);
    if (!s.empty() && s.back() == sep) out.push_back("");
    return out;
}

std::vector<double> Numbers(const std::string& s)
{
    std::vector<double> v;
    if (s != "-")
        for (const std::string& p : Split(s, ' ')) v.push_back(std::strtod(p.c_str(), nullptr));
    return v;
}

}  // namespace

TEST(DicomElementReader, HeaderValuesAndPixelOffsetMatchPydicom)
{
    // expected.tsv: the values pydicom reads, under the reader's rules.
    std::ifstream in(Dicom("expected.tsv"));
    int files = 0;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        const std::vector<std::string> f = Split(line, '\t');
        ASSERT_EQ(f.size(), 17u) << f[0];
        SCOPED_TRACE(f[0]);
        ++files;
        ecDicomHeaderInfo h;
        long offset = -7;
        ASSERT_EQ(ReadOutcome(Dicom(f[0]), &h, &offset), "1");
        EXPECT_EQ(h.lDataOffset, offset);
        // Columns 1..13: offset, rows, columns, spacing x/y, thickness, gap,
        // image number, plane type, image plane, frames, data type, valid.
        const double got[] = {double(offset),  double(h.iNumPixY), double(h.iNumPix), h.fSizePix,
                              h.fSizePixY,     h.fSliceThickness,  h.fSliceSpacing,   double(h.iImageNum),
                              double(h.PlaneType), double(h.ImagePlane), double(h.iNumFrames), double(h.DataType),
                              double(h.bIsValid)};
        for (size_t i = 0; i < 13; ++i) EXPECT_DOUBLE_EQ(got[i], std::strtod(f[i + 1].c_str(), nullptr)) << "column " << i + 1;
        const auto pos = Numbers(f[14]);
        ASSERT_EQ(h.Position.vPosition.size(), static_cast<int>(pos.size()));
        for (size_t i = 0; i < pos.size(); ++i) EXPECT_DOUBLE_EQ(h.Position.vPosition[static_cast<int>(i)], pos[i]);
        const auto dirs = Numbers(f[15]);
        ASSERT_EQ(h.Position.mRowColDirs.rows() * h.Position.mRowColDirs.cols(), static_cast<int>(dirs.size()));
        for (size_t i = 0; i < dirs.size(); ++i)
            EXPECT_DOUBLE_EQ(h.Position.mRowColDirs(static_cast<int>(i / 3), static_cast<int>(i % 3)), dirs[i]);
        EXPECT_EQ("[" + h.Position.sOrientation + "]", f[16]);
        EXPECT_EQ(IsDicomDataLittleEndian(), f[0] != "generated/nema_implicit_be.dcm");

        // The stream form leaves the stream at the first pixel byte.
        FILE* fp = std::fopen(Dicom(f[0]).c_str(), "rb");
        ASSERT_NE(fp, nullptr);
        ecRawHeaderInfo raw;
        EXPECT_EQ(read_dicom_data_raw_header(fp, &raw, nullptr, 0), 1);
        EXPECT_EQ(std::ftell(fp), offset);
        EXPECT_EQ(raw.lDataOffset, offset);
        std::fclose(fp);
    }
    EXPECT_GE(files, 45);
}

TEST(DicomElementReader, ElementChecksAndShortValues)
{
    testutil::TempDir dir;
    ecRawHeaderInfo h;
    auto outcome = [&](const Elements& e) {
        testutil::WriteFile(dir.file("f.dcm"), e.bytes);
        return ReadOutcome(dir.file("f.dcm"), &h);
    };
    auto nema = [] { return Elements().group(0x0008).text(0x0008, 0x0060, "MR"); };
    Elements halfElement = nema(), halfLength = nema().us(0x0028, 0x0010, 16);
    halfElement.bytes.insert(halfElement.bytes.end(), {0x28, 0x00, 0x10});
    halfLength.bytes.insert(halfLength.bytes.end(), {0x28, 0x00, 0x11, 0x00, 0x02, 0x00});
    const std::pair<Elements, const char*> cases[] = {
        {nema().raw(0x0028, 0x0010, 4, "\x10\0\0\0").pixels(4), "DICOM:Bad length"},
        {nema().raw(0x0028, 0x0010, 0).pixels(2), "DICOM:Bad length"},
        {nema().us(0x0028, 0x0100, 12).pixels(4), "DICOM:Bad bytes_per_pixel : 12"},
        {nema().us(0x0028, 0x0101, 17).pixels(4), "DICOM:Bad data store length : 17"},
        {nema().us(0x0028, 0x0101, 16).us(0x0028, 0x0100, 8).pixels(4), "1"},
        {nema().raw(0x0028, 0x0011, 2, "\x10"), "read16 : short read"},
        {halfElement, "read16 : short read"},
        {halfLength, "read32 : short read"},
        // Values cut short, each with the message of its element.
        {nema().raw(0x0018, 0x0050, 8, "2.5"), "DICOM:Unable to read data"},
        {nema().raw(0x0010, 0x0010, 8, "Pat"), "DICOM:Unable to read data"},
        {nema().raw(0x0028, 0x0004, 12, "MONO"), "DICOM:Short read"},
        {nema().raw(0x0028, 0x1050, 4, "40"), "DICOM:Short read"},
        {nema().raw(0x0028, 0x1051, 4, "40"), "DICOM:Short read"},
        {nema().raw(0x0028, 0x1053, 4, "1"), "DICOM:Short read"},
        {nema().raw(0x0028, 0x1201, 512, "ab"), "DICOM:Unable to read red table"},
        {nema().raw(0x0028, 0x1202, 512, "ab"), "DICOM:Unable to read green table"},
        {nema().raw(0x0028, 0x1203, 512, "ab"), "DICOM:Unable to read blue table"},
        // A huge length on a value that would be kept and on one that would be dropped.
        {nema().raw(0x0018, 0x0050, 0x7FFFFFF0u, "2.5"), "DICOM:Unable to read data"},
        {nema().raw(0x0009, 0x1010, 0x7FFFFFF0u, "x"), "DICOM:Unable to read data"},
        // Under 132 bytes, with a first element that is no group length element.
        {Elements().text(0x0008, 0x0018, "1.2.3").pixels(2), "DICOM:Short read on header"},
    };
    for (const auto& c : cases) EXPECT_EQ(outcome(c.first), c.second) << &c - cases;

    // An undefined length is not read: the next element follows at once.
    EXPECT_EQ(outcome(nema().raw(0x0008, 0x1140, 0xFFFFFFFFu).us(0x0028, 0x0010, 77).pixels(2)), "1");
    EXPECT_EQ(h.iNumPixY, 77);
    // "DICM" at offset 0 (no preamble) with implicit elements after it.
    Elements dicm;
    dicm.bytes = {'D', 'I', 'C', 'M'};
    EXPECT_EQ(outcome(dicm.us(0x0028, 0x0010, 33).pixels(200)), "1");
    EXPECT_EQ(h.iNumPixY, 33);
    EXPECT_EQ(h.lDataOffset, 4 + 10 + 8);
}

TEST(DicomElementReader, EveryTruncationEndsInACodeOrAReaderMessage)
{
    for (const char* rel : {"pydicom/MR_small.dcm", "pydicom/MR_small_implicit.dcm", "generated/nema_implicit_be.dcm",
                            "generated/seq_undefined.dcm", "generated/palette_8bit.dcm"}) {
        auto bytes = testutil::ReadFile(Dicom(rel));
        ecRawHeaderInfo full;
        long offset = 0;
        ASSERT_EQ(ReadOutcome(Dicom(rel), &full, &offset), "1") << rel;
        // Each cut, read from memory as a file of that length, succeeds only
        // once it reaches the pixel data.
        for (size_t n = 1; n <= bytes.size(); ++n) {
            FILE* fp = fmemopen(bytes.data(), n, "rb");
            ASSERT_NE(fp, nullptr);
            ecDicomHeaderInfo h;
            const std::string r = testutil::Outcome([&] { return read_dicom_data_raw_header(fp, &h, nullptr, 0); });
            std::fclose(fp);
            if (static_cast<long>(n) >= offset)
                ASSERT_EQ(r, "1") << rel << " cut at " << n;
            else
                ASSERT_TRUE(dicomtest::IsReaderMessage(r)) << rel << " cut at " << n << ": " << r;
        }
    }
}

TEST(DicomSliceType, DominantAxesOfRowAndColumn)
{
    unsigned long reserved = 77;
    const std::pair<const char*, SliceType> cases[] = {
        {"1\\0\\0\\0\\1\\0", SliceAxial},
        {"1\\0\\0\\0\\0\\-1", SliceCoronal},
        {"0\\1\\0\\0\\0\\-1", SliceSagittal},
        {"0\\0\\1\\1\\0\\0", SliceAxial},           // row along z: no named plane
        {"0.7\\0.7\\0\\0\\0\\1", SliceCoronal},     // x wins the tie
        {"-0.2\\-0.98\\0\\0.1 0.2 -0.97", SliceSagittal},  // blanks separate as well
        {"1\\0\\0\\0\\0", SliceAxial},              // five numbers
        {"0\\0\\0\\0\\0\\1", SliceAxial},           // a zero row has no axis
        {"", SliceAxial},
        {nullptr, SliceAxial},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GetDicomSliceType(c.first, reserved), c.second) << (c.first ? c.first : "(null)");
    EXPECT_EQ(reserved, 77u);
}

TEST(DicomScanState, AReadMarksWhatItFoundInThatFileOnly)
{
    testutil::TempDir dir;
    testutil::WriteFile(dir.file("full.dcm"), dicomtest::Elements().group(0x0008).text(0x0018, 0x0050, "2")
                                                  .text(0x0018, 0x0088, "3").text(0x0020, 0x0013, "5")
                                                  .text(0x0020, 0x0037, "1\\0\\0\\0\\1\\0").size(16, 16)
                                                  .text(0x0028, 0x0030, "1\\1").pixels(2).bytes);
    testutil::WriteFile(dir.file("bare.dcm"),
                        dicomtest::Elements().group(0x0008).text(0x0020, 0x0013, "9000").pixels(2).bytes);
    ecRawHeaderInfo h;
    ASSERT_EQ(dicomtest::ReadOutcome(dir.file("full.dcm"), &h), "1");
    for (int slot : {kDicomSliceThickness, kDicomSliceSpacing, kDicomImageNumber, kDicomOrientation, kDicomRows,
                     kDicomColumns, kDicomPixelSpacing})
        EXPECT_TRUE(DicomState().found[slot]) << slot;
    EXPECT_TRUE(h.bIsValid);
    ASSERT_EQ(dicomtest::ReadOutcome(dir.file("bare.dcm"), &h), "1");
    for (int slot = 0; slot < kDicomFieldSlotCount; ++slot) EXPECT_FALSE(DicomState().found[slot]) << slot;
    EXPECT_EQ(h.iImageNum, 0);
    EXPECT_FALSE(h.bIsValid);
}

TEST(DicomPositionRecord, SettersParseBackslashSeparatedValues)
{
    ecDicomPositionInfo p;
    EXPECT_EQ(p.SetPosition("-125.5\\-100\\42", 14), 1);
    ASSERT_EQ(p.vPosition.size(), 3);
    EXPECT_DOUBLE_EQ(p.vPosition[0], -125.5);
    EXPECT_DOUBLE_EQ(p.vPosition[2], 42);
    EXPECT_EQ(p.Ascii(0).substr(0, 32), "vPosition = -125.5 -100 42\nmRowC");

    // Too few numbers or no text keep the old vector.
    EXPECT_EQ(p.SetPosition("1\\2", 3), -2);
    EXPECT_EQ(p.SetPosition(nullptr, 0), -1);
    EXPECT_DOUBLE_EQ(p.vPosition[0], -125.5);
    // Extra numbers are ignored; four significant digits are printed.
    EXPECT_EQ(p.SetPosition("123.456\\0\\1\\99", 0), 1);
    EXPECT_EQ(p.Ascii(0).substr(0, 25), "vPosition = 123.5 0 1\nmRo");

    EXPECT_EQ(p.SetDirection("1\\0\\0\\0\\1\\0", 11), 1);
    EXPECT_NE(p.Ascii(0).find("mRowColDirs = 1 0 0 :0 1 0 \n"), std::string::npos);
    EXPECT_EQ(p.SetDirection("1\\0\\0\\0\\1", 9), -2);
    EXPECT_EQ(p.SetDirection(nullptr, 0), -1);
    EXPECT_EQ(p.mRowColDirs.rows(), 2);
    EXPECT_DOUBLE_EQ(p.mRowColDirs(1, 1), 1.0);

    EXPECT_EQ(p.SetOrientation(nullptr, 0), -1);
    EXPECT_EQ(p.SetOrientation("HFS", 3), 1);
    const std::string text = p.Ascii(0);
    EXPECT_EQ(text.substr(text.size() - 18), "sOrientation = HFS");
}
