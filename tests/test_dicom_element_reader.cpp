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

TEST(DicomElementReader, FilesItCannotReadGiveTheirMessage)
{
    const char* const notPart10 = "read_dicom_data_raw_header : Not a proper DICOM part 10 file.";
    const std::pair<const char*, const char*> cases[] = {
        // Explicit VR read as implicit: a VR and length become a length far
        // beyond the end of the file (the file meta never flips the order).
        {"pydicom/MR_small_bigendian.dcm", "DICOM:Unable to read data"},
        {"pydicom/MR_small_expb.dcm", "DICOM:Unable to read data"},
        {"pydicom/ExplVR_LitEndNoMeta.dcm", "DICOM:Unable to read data"},
        {"generated/vr_ut.dcm", "DICOM:Unable to read data"},
        // Opening with group 0x0800 or with (0008,0018): not a NEMA opening.
        {"pydicom/ExplVR_BigEndNoMeta.dcm", notPart10},
        {"generated/nema_opens_0008_0018.dcm", notPart10},
        // No pixel data: the read runs off the end.
        {"pydicom/rtstruct.dcm", "read16 : short read"},
        {"nibabel/csa_slice_norm.dcm", "read16 : short read"},
        {"pydicom/rtdose_1frame.dcm", "DICOM:Bad bytes_per_pixel : 32"},
        {"pydicom/liver_1frame.dcm", "DICOM:Bad bytes_per_pixel : 1"},
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
    EXPECT_EQ(ReadOutcome(std::fopen(Dicom("pydicom/MR_small.dcm").c_str(), "rb"), nullptr), "-2");

    testutil::TempDir dir;
    EXPECT_EQ(ReadOutcome(dir.file("missing.dcm"), &h), "-1");
    EXPECT_EQ(ReadOutcome(dir.path(), &h), "-1");
    // A named pipe is read like the file it carries, though its size is not
    // known ahead (the writer finds the pipe closed at the pixel data).
    const std::string pipe = dir.file("pipe.dcm"), file = Dicom("pydicom/MR_small.dcm");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    std::signal(SIGPIPE, SIG_IGN);
    std::thread writer([&]() {
        const std::vector<unsigned char> bytes = testutil::ReadFile(file);
        if (FILE* w = std::fopen(pipe.c_str(), "wb")) {
            for (size_t at = 0; at < bytes.size(); at += 100)  // in small pieces
                if (std::fwrite(bytes.data() + at, 1, std::min<size_t>(100, bytes.size() - at), w) == 0 ||
                    std::fflush(w) != 0)
                    break;
            std::fclose(w);
        }
    });
    ecRawHeaderInfo viaPipe, viaFile;
    long pipeOffset = 0, fileOffset = 0;
    EXPECT_EQ(read_dicom_data_raw_header(pipe.c_str(), &viaPipe, &pipeOffset, 0), 1);
    writer.join();
    ASSERT_EQ(read_dicom_data_raw_header(file.c_str(), &viaFile, &fileOffset, 0), 1);
    EXPECT_EQ(pipeOffset, fileOffset);
    EXPECT_EQ(viaPipe.Ascii(0), viaFile.Ascii(0));

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
    EXPECT_TRUE(DicomState().found[kDicomRows]);
    EXPECT_FALSE(DicomState().found[kDicomColumns]);

    // A big-endian file leaves the reader big-endian for the pixel loader; the
    // next read starts again from little-endian with explicit VR off.
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
        // Each cut, read from memory as a file of that length, succeeds only
        // once it reaches the pixel data.
        for (size_t n = 1; n <= bytes.size(); ++n) {
            FILE* fp = fmemopen(bytes.data(), n, "rb");
            ASSERT_NE(fp, nullptr);
            ecDicomHeaderInfo h;
            const std::string r = ReadOutcome(fp, &h);
            if (static_cast<long>(n) >= offset)
                ASSERT_EQ(r, "1") << rel << " cut at " << n;
            else
                ASSERT_TRUE(dicomtest::IsReaderMessage(r)) << rel << " cut at " << n << ": " << r;
        }
    }
}
