// The DICOM element reader on files written by other software and by pydicom
// (tests/make_dicom_fixtures.py), on hand-built element streams and on every
// truncation of real files.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

#include "../src/readnema/DicomScanState.h"
#include "DicomTestFiles.h"
#include "Quarn.h"
#include "TestUtil.h"

using dicomtest::Elements;
using dicomtest::ReadOutcome;
using testutil::DataPath;

namespace {

std::string Dicom(const std::string& rel) { return DataPath("dicom/" + rel); }

std::vector<std::string> Split(const std::string& s, char sep)
{
    std::vector<std::string> out;
    std::stringstream in(s);
    std::string part;
    while (std::getline(in, part, sep)) out.push_back(part);
    if (!s.empty() && s.back() == sep) out.push_back("");
    return out;
}

std::vector<double> Numbers(const std::string& s)
{
    std::vector<double> v;
    if (s == "-") return v;
    for (const std::string& p : Split(s, ' ')) v.push_back(std::strtod(p.c_str(), nullptr));
    return v;
}

// Rows of expected.tsv: the values pydicom reads, under the reader's rules.
std::vector<std::vector<std::string>> ExpectedRows()
{
    std::ifstream in(Dicom("expected.tsv"));
    std::vector<std::vector<std::string>> rows;
    std::string line;
    while (std::getline(in, line))
        if (!line.empty() && line[0] != '#') rows.push_back(Split(line, '\t'));
    return rows;
}

}  // namespace

TEST(DicomElementReader, HeaderValuesAndPixelOffsetMatchPydicom)
{
    const auto rows = ExpectedRows();
    ASSERT_GE(rows.size(), 45u);
    for (const auto& f : rows) {
        ASSERT_EQ(f.size(), 17u) << f[0];
        SCOPED_TRACE(f[0]);
        ecDicomHeaderInfo h;
        long offset = -7;
        ASSERT_EQ(ReadOutcome(Dicom(f[0]), &h, &offset), "1");
        EXPECT_EQ(offset, std::atol(f[1].c_str()));
        EXPECT_EQ(h.lDataOffset, offset);
        EXPECT_EQ(h.iNumPixY, std::atoi(f[2].c_str()));
        EXPECT_EQ(h.iNumPix, std::atoi(f[3].c_str()));
        EXPECT_DOUBLE_EQ(h.fSizePix, std::strtod(f[4].c_str(), nullptr));
        EXPECT_DOUBLE_EQ(h.fSizePixY, std::strtod(f[5].c_str(), nullptr));
        EXPECT_DOUBLE_EQ(h.fSliceThickness, std::strtod(f[6].c_str(), nullptr));
        EXPECT_DOUBLE_EQ(h.fSliceSpacing, std::strtod(f[7].c_str(), nullptr));
        EXPECT_EQ(h.iImageNum, std::atoi(f[8].c_str()));
        EXPECT_EQ(h.PlaneType, std::atoi(f[9].c_str()));
        EXPECT_EQ(h.ImagePlane, std::atoi(f[10].c_str()));
        EXPECT_EQ(h.iNumFrames, std::atoi(f[11].c_str()));
        EXPECT_EQ(h.DataType, std::atoi(f[12].c_str()));
        EXPECT_EQ(h.bIsValid, f[13] == "1");
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
}

TEST(DicomElementReader, FilesItCannotReadGiveTheirMessage)
{
    const std::pair<const char*, const char*> cases[] = {
        // Explicit big endian: the file meta is little endian, so the order
        // never flips. The first data element (0008,0008) CS, length bytes
        // 00 18, reads as length 0x1800 and throws the read 6144 bytes on into
        // the pixel data at 6502, where the "length" 00 FE 01 22 (no VR) is far
        // beyond the end of the file.
        {"pydicom/MR_small_bigendian.dcm", "DICOM:Unable to read data"},
        {"pydicom/MR_small_expb.dcm", "DICOM:Unable to read data"},
        // No "DICM"; opens with (0008,0005) CS, taken as implicit, whose
        // "length" 'C' 'S' 0A 00 = 0x000A5343 is more than the 434 bytes.
        {"pydicom/ExplVR_LitEndNoMeta.dcm", "DICOM:Unable to read data"},
        // The same in big endian opens with group 0x0800: not a NEMA opening.
        {"pydicom/ExplVR_BigEndNoMeta.dcm", "read_dicom_data_raw_header : Not a proper DICOM part 10 file."},
        {"generated/nema_opens_0008_0018.dcm", "read_dicom_data_raw_header : Not a proper DICOM part 10 file."},
        // No pixel data: the read runs off the end.
        {"pydicom/rtstruct.dcm", "read16 : short read"},
        {"nibabel/csa_slice_norm.dcm", "read16 : short read"},
        // Bits allocated other than 8 or 16.
        {"pydicom/rtdose_1frame.dcm", "DICOM:Bad bytes_per_pixel : 32"},
        {"pydicom/liver_1frame.dcm", "DICOM:Bad bytes_per_pixel : 1"},
        // UT is not a VR the reader knows: 'U' 'T' 00 00 becomes a length of 21589.
        {"generated/vr_ut.dcm", "DICOM:Unable to read data"},
    };
    for (const auto& c : cases) {
        ecDicomHeaderInfo h;
        h.bIsValid = true;
        EXPECT_EQ(ReadOutcome(Dicom(c.first), &h), c.second) << c.first;
        EXPECT_TRUE(h.bIsValid) << "a failed read leaves bIsValid alone: " << c.first;
    }
}

TEST(DicomElementReader, ArgumentsAndFilesThatAreNotThere)
{
    ecRawHeaderInfo h;
    EXPECT_EQ(read_dicom_data_raw_header(static_cast<const char*>(nullptr), &h, nullptr, 0), -3);
    EXPECT_EQ(read_dicom_data_raw_header(Dicom("pydicom/MR_small.dcm").c_str(), nullptr, nullptr, 0), -2);
    EXPECT_EQ(read_dicom_data_raw_header(static_cast<FILE*>(nullptr), &h, nullptr, 0), -1);
    FILE* fp = std::fopen(Dicom("pydicom/MR_small.dcm").c_str(), "rb");
    EXPECT_EQ(read_dicom_data_raw_header(fp, nullptr, nullptr, 0), -2);
    std::fclose(fp);

    testutil::TempDir dir;
    EXPECT_EQ(ReadOutcome(dir.file("missing.dcm"), &h), "-1");
    EXPECT_EQ(ReadOutcome(dir.path(), &h), "-1");
    testutil::WriteFile(dir.file("empty.dcm"), {});
    EXPECT_EQ(ReadOutcome(dir.file("empty.dcm"), &h), "read16 : short read");

    std::mt19937 rng(20240601);
    for (int i = 0; i < 20; ++i) {
        std::vector<unsigned char> noise(1 + rng() % 4096);
        for (auto& b : noise) b = static_cast<unsigned char>(rng());
        testutil::WriteFile(dir.file("noise.dcm"), noise);
        const std::string r = ReadOutcome(dir.file("noise.dcm"), &h);
        EXPECT_TRUE(r == "1" || dicomtest::IsReaderMessage(r)) << r;
    }
}

TEST(DicomElementReader, ElementChecksAndShortValues)
{
    testutil::TempDir dir;
    auto outcome = [&](const Elements& e, ecRawHeaderInfo* h = nullptr) {
        testutil::WriteFile(dir.file("f.dcm"), e.bytes);
        ecRawHeaderInfo local;
        return ReadOutcome(dir.file("f.dcm"), h ? h : &local);
    };
    auto nema = [] { return Elements().group(0x0008).text(0x0008, 0x0060, "MR"); };

    EXPECT_EQ(outcome(nema().raw(0x0028, 0x0010, 4, "\x10\0\0\0").pixels(4)), "DICOM:Bad length");
    EXPECT_EQ(outcome(nema().us(0x0028, 0x0100, 12).pixels(4)), "DICOM:Bad bytes_per_pixel : 12");
    EXPECT_EQ(outcome(nema().us(0x0028, 0x0101, 17).pixels(4)), "DICOM:Bad data store length : 17");
    EXPECT_EQ(outcome(nema().us(0x0028, 0x0101, 16).us(0x0028, 0x0100, 8).pixels(4)), "1");
    EXPECT_EQ(outcome(nema().raw(0x0028, 0x0011, 2, "\x10")), "read16 : short read");
    Elements lone = nema();
    lone.bytes.insert(lone.bytes.end(), {0x28, 0x00, 0x10});  // a group and half an element number
    EXPECT_EQ(outcome(lone), "read16 : short read");
    lone = nema().us(0x0028, 0x0010, 16);
    lone.bytes.insert(lone.bytes.end(), {0x28, 0x00, 0x11, 0x00, 0x02, 0x00});  // half a length
    EXPECT_EQ(outcome(lone), "read32 : short read");
    EXPECT_EQ(outcome(nema().raw(0x0028, 0x0010, 0).pixels(2)), "DICOM:Bad length");

    // Values cut short, each with the message of its element.
    EXPECT_EQ(outcome(nema().raw(0x0018, 0x0050, 8, "2.5")), "DICOM:Unable to read data");
    EXPECT_EQ(outcome(nema().raw(0x0010, 0x0010, 8, "Pat")), "DICOM:Unable to read data");
    EXPECT_EQ(outcome(nema().raw(0x0028, 0x0004, 12, "MONO")), "DICOM:Short read");
    EXPECT_EQ(outcome(nema().raw(0x0028, 0x1050, 4, "40")), "DICOM:Short read");
    EXPECT_EQ(outcome(nema().raw(0x0028, 0x1051, 4, "40")), "DICOM:Short read");
    EXPECT_EQ(outcome(nema().raw(0x0028, 0x1053, 4, "1")), "DICOM:Short read");
    EXPECT_EQ(outcome(nema().raw(0x0028, 0x1201, 512, "ab")), "DICOM:Unable to read red table");
    EXPECT_EQ(outcome(nema().raw(0x0028, 0x1202, 512, "ab")), "DICOM:Unable to read green table");
    EXPECT_EQ(outcome(nema().raw(0x0028, 0x1203, 512, "ab")), "DICOM:Unable to read blue table");
    // A huge length on a value that would be kept and on one that would be dropped.
    EXPECT_EQ(outcome(nema().raw(0x0018, 0x0050, 0x7FFFFFF0u, "2.5")), "DICOM:Unable to read data");
    EXPECT_EQ(outcome(nema().raw(0x0009, 0x1010, 0x7FFFFFF0u, "x")), "DICOM:Unable to read data");

    // An undefined length is not read: the next element follows at once.
    ecRawHeaderInfo h;
    EXPECT_EQ(outcome(nema().raw(0x0008, 0x1140, 0xFFFFFFFFu).us(0x0028, 0x0010, 77).pixels(2), &h), "1");
    EXPECT_EQ(h.iNumPixY, 77);

    // Under 132 bytes, with a first element that is no group length element.
    EXPECT_EQ(outcome(Elements().text(0x0008, 0x0018, "1.2.3").pixels(2)), "DICOM:Short read on header");
    // "DICM" at offset 0 (no preamble) with implicit elements after it.
    Elements dicm;
    dicm.bytes = {'D', 'I', 'C', 'M'};
    dicm.us(0x0028, 0x0010, 33).pixels(200);
    EXPECT_EQ(outcome(dicm, &h), "1");
    EXPECT_EQ(h.iNumPixY, 33);
    EXPECT_EQ(h.lDataOffset, 4 + 10 + 8);
}

TEST(DicomElementReader, KeepsCallerValuesAndRestartsEachRead)
{
    // Fields the file does not set keep the caller's values; the planes are
    // reset to axial at the start.
    ecRawHeaderInfo h;
    h.fSliceThickness = 9.0;
    h.iImageNum = 99;
    h.PlaneType = SliceCoronal;
    h.ImagePlane = SliceUnknown;
    h.FileType = MriSigna;
    testutil::TempDir dir;
    testutil::WriteFile(dir.file("f.dcm"), Elements().group(0x0008).us(0x0028, 0x0010, 20).pixels(2).bytes);
    ASSERT_EQ(ReadOutcome(dir.file("f.dcm"), &h), "1");
    EXPECT_DOUBLE_EQ(h.fSliceThickness, 9.0);
    EXPECT_EQ(h.iImageNum, 99);
    EXPECT_EQ(h.PlaneType, SliceAxial);
    EXPECT_EQ(h.ImagePlane, SliceAxial);
    EXPECT_EQ(h.FileType, MriSigna);
    EXPECT_FALSE(h.bIsValid);
    EXPECT_TRUE(DicomFieldFound[kDicomRows]);
    EXPECT_FALSE(DicomFieldFound[kDicomColumns]);

    // A big-endian file leaves the reader big-endian for the pixel loader;
    // the next read starts again from little-endian with explicit VR off, so
    // an explicit part 10 file and then an implicit NEMA file read as they would alone.
    ecDicomHeaderInfo be, le, after;
    ASSERT_EQ(ReadOutcome(Dicom("generated/nema_implicit_be.dcm"), &be), "1");
    EXPECT_FALSE(IsDicomDataLittleEndian());
    ASSERT_EQ(ReadOutcome(Dicom("pydicom/MR_small.dcm"), &le), "1");
    EXPECT_TRUE(IsDicomDataLittleEndian());
    ASSERT_EQ(ReadOutcome(Dicom("generated/nema_implicit_le.dcm"), &after), "1");
    EXPECT_EQ(after.iImageNum, 12);
    EXPECT_TRUE(after.bIsValid);
}

TEST(DicomElementReader, EveryTruncationEndsInACodeOrAReaderMessage)
{
    for (const char* rel : {"pydicom/MR_small.dcm", "pydicom/MR_small_implicit.dcm", "generated/nema_implicit_be.dcm",
                            "generated/seq_undefined.dcm", "generated/palette_8bit.dcm"}) {
        auto bytes = testutil::ReadFile(Dicom(rel));
        ecRawHeaderInfo full;
        long offset = 0;
        ASSERT_EQ(ReadOutcome(Dicom(rel), &full, &offset), "1") << rel;
        // Each cut is read from memory through the stream form, as a file of that length.
        for (size_t n = 1; n <= bytes.size(); ++n) {
            FILE* fp = fmemopen(bytes.data(), n, "rb");
            ASSERT_NE(fp, nullptr);
            ecDicomHeaderInfo h;
            std::string r;
            try {
                r = std::to_string(read_dicom_data_raw_header(fp, &h, nullptr, 0));
            } catch (const ecError& e) {
                r = e.what();
            }
            std::fclose(fp);
            // The header ends where the pixel data start: any cut before that fails.
            if (static_cast<long>(n) >= offset)
                ASSERT_EQ(r, "1") << rel << " cut at " << n;
            else
                ASSERT_TRUE(dicomtest::IsReaderMessage(r)) << rel << " cut at " << n << ": " << r;
        }
    }
}
