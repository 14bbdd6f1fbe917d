// The modern reading path against pydicom: one table over files x fields
// (tests/data/modern/expected.tsv, written by tests/make_modern_fixtures.py
// from what pydicom reads), the probe's answers, and the refusals.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "QuarnImage.h"

namespace {

std::string Data(const std::string& rel) { return std::string(QUARN_TEST_DATA) + "/" + rel; }

std::string Show(double v)
{
    char b[32];
    std::snprintf(b, sizeof b, "%g", v);
    return b;
}
template <class T>
std::string Show(const std::optional<T>& v)
{
    if (!v) return "null";
    if constexpr (std::is_same<T, std::string>::value) return *v;
    else if constexpr (std::is_same<T, std::array<double, 2>>::value) return Show((*v)[0]) + "\\" + Show((*v)[1]);
    else return Show(static_cast<double>(*v));
}

}  // namespace

TEST(ModernReading, GivesWhatPydicomReads)
{
    std::ifstream in(Data("modern/expected.tsv"));
    std::string line;
    std::getline(in, line);  // the field names
    int rows = 0;
    while (std::getline(in, line)) {
        std::vector<std::string> want;
        std::stringstream ss(line);
        for (std::string f; std::getline(ss, f, '\t');) want.push_back(f);
        ASSERT_EQ(want.size(), 15u) << line;
        const quarn::Image im = quarn::ReadImage(Data(want[0]));
        long long weighted = 0;
        for (size_t i = 0; i < im.PixelCount(); ++i) weighted += static_cast<long long>(im.Value(i)) * (1 + i % 7);
        const auto range = im.Range();
        const std::vector<std::string> got = {want[0],
                                              std::to_string(im.rows),
                                              std::to_string(im.columns),
                                              Show(im.numberOfFrames),
                                              Show(im.pixelSpacing),
                                              Show(im.sliceThickness),
                                              Show(im.photometricInterpretation),
                                              Show(im.rescaleSlope),
                                              Show(im.rescaleIntercept),
                                              Show(im.windowCenter),
                                              Show(im.transferSyntaxUID),
                                              quarn::PixelTypeWord(im.pixelType),
                                              Show(range.first),
                                              Show(range.second),
                                              std::to_string(weighted)};
        EXPECT_EQ(got, want);
        ++rows;
    }
    EXPECT_GE(rows, 10);
}

// Bits Stored below Bits Allocated, with garbage above the high bit: the
// stored bits alone, sign-extended when signed (as DCMTK reads them).
TEST(ModernReading, StoredBitsOnlySignExtendedWhenSigned)
{
    for (const auto& [file, want] : std::vector<std::pair<const char*, std::vector<double>>>{
             {"modern/bits12_signed.dcm", {-2048, -1, 0, 2047}}, {"modern/bits12_unsigned.dcm", {2048, 4095, 0, 2047}}}) {
        const quarn::Image im = quarn::ReadImage(Data(file));
        std::vector<double> got;
        for (size_t i = 0; i < 4; ++i) got.push_back(im.Value(i));
        EXPECT_EQ(got, want) << file;
    }
}

TEST(ModernReading, ProbesAndRefusalsNameTheFileAndTheCause)
{
    struct Case {
        std::string file;
        quarn::Format format;  // what the probe tells
        std::optional<quarn::Reason> refusal;
        const char* cause;  // a part of the message
    } cases[] = {
        {"dicom/pydicom/MR_small_RLE.dcm", quarn::Format::Dicom, quarn::Reason::Compressed,
         "RLE Lossless (1.2.840.10008.1.2.5)"},
        {"dicom/pydicom/MR_truncated.dcm", quarn::Format::Dicom, quarn::Reason::Truncated, "pixel data"},
        {"dicom/pydicom/rtstruct.dcm", quarn::Format::Nema, quarn::Reason::Unsupported, "no pixel data"},
        {"dicom_slices/NoPreambleDicomTest.dcm", quarn::Format::Nema, std::nullopt, ""},
        {"dicom/generated/nema_implicit_be.dcm", quarn::Format::Nema, std::nullopt, ""},
        {"genesis/c_vf1122.fre", quarn::Format::Genesis, std::nullopt, ""},
        // The header's field of view over pixel size gives 256 x 256; the pixel block was cut to 4 x 4.
        {"siemens/3868-2-100.ima", quarn::Format::Siemens, quarn::Reason::Truncated, "131072 pixel bytes"},
        {"no/such/file.dcm", quarn::Format::Unknown, quarn::Reason::CannotOpen, "cannot open"},
        {"modern", quarn::Format::Unknown, quarn::Reason::CannotOpen, "folder"},
        {"modern/expected.tsv", quarn::Format::Unknown, quarn::Reason::UnknownFormat, "raw file needs its geometry"},
    };
    for (const Case& c : cases) {
        const std::string path = Data(c.file);
        try {
            EXPECT_EQ(quarn::ProbeFile(path).format, c.format) << c.file;
        } catch (const quarn::Error& e) {
            EXPECT_EQ(c.format, quarn::Format::Unknown) << c.file;
        }
        try {
            quarn::ReadImage(path);
            EXPECT_FALSE(c.refusal) << c.file;
        } catch (const quarn::Error& e) {
            ASSERT_TRUE(c.refusal) << c.file << ": " << e.what();
            EXPECT_EQ(e.reason(), *c.refusal) << e.what();
            EXPECT_EQ(e.file(), path);
            EXPECT_NE(std::string(e.what()).find(path), std::string::npos);
            EXPECT_NE(e.cause().find(c.cause), std::string::npos) << e.cause();
        }
    }
}
