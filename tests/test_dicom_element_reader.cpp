// The DICOM element reader on files written by other software and by pydicom
// (tests/make_dicom_fixtures.py), on hand-built element streams and on every
// truncation of real files.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

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
