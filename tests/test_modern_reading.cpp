// The modern reading path: DICOM against pydicom, one table over files x fields
// (tests/data/modern/expected.tsv, written by tests/make_modern_fixtures.py from
// what pydicom reads), the probe's answers and the refusals; GE, Siemens and raw
// files against what independent readers give for them (tests/data/*/PROVENANCE.md,
// ITK's GE 5.x reader), and their refusals.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include "QuarnImage.h"
#include "TestUtil.h"

using namespace quarn;
using testutil::DataPath;

namespace {

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
    std::ifstream in(DataPath("modern/expected.tsv"));
    std::string line;
    std::getline(in, line);  // the field names
    int rows = 0;
    while (std::getline(in, line)) {
        std::vector<std::string> want;
        std::stringstream ss(line);
        for (std::string f; std::getline(ss, f, '\t');) want.push_back(f);
        ASSERT_EQ(want.size(), 15u) << line;
        const quarn::Image im = quarn::ReadImage(DataPath(want[0]));
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

// Bits Stored below Bits Allocated, with garbage above the high bit or
// nothing there: the stored bits alone, sign-extended when signed (as DCMTK
// reads them).
TEST(ModernReading, StoredBitsOnlySignExtendedWhenSigned)
{
    for (const auto& [file, want] : std::vector<std::pair<const char*, std::vector<double>>>{
             {"modern/bits12_signed.dcm", {-2048, -1, 0, 2047}},
             {"modern/bits12_signed_bare.dcm", {-2048, -1, 0, 2047}},
             {"modern/bits12_unsigned.dcm", {2048, 4095, 0, 2047}}}) {
        const quarn::Image im = quarn::ReadImage(DataPath(file));
        std::vector<double> got;
        for (size_t i = 0; i < 4; ++i) got.push_back(im.Value(i));
        EXPECT_EQ(got, want) << file;
    }
}

namespace {

using Reader = std::function<Image(const std::string&)>;
ReadOptions Options(std::optional<Format> format, std::optional<RawLayout> raw = {}, bool pixels = true)
{
    ReadOptions options;
    options.format = format, options.raw = raw, options.pixels = pixels;
    return options;
}
Image Genesis(const std::string& p) { return ReadImage(p, Options(Format::Genesis)); }
Image Signa(const std::string& p) { return ReadImage(p, Options(Format::Signa)); }
Image HeaderOnly(const std::string& p) { return ReadImage(p, Options(std::nullopt, std::nullopt, false)); }

// 3 x 5 big-endian int16 after 10 bytes.
RawLayout RawGeometry() { return {3, 5, PixelType::S16, true, 10, std::array<double, 2>{0.5, 0.25}, 2.0}; }

std::string WriteRaw(const testutil::TempDir& dir)
{
    std::vector<unsigned char> bytes(10, 0xAB);
    for (int i = 0; i < 15; ++i) {
        const auto v = static_cast<uint16_t>((i * 997) % 4000 - 2000);
        bytes.insert(bytes.end(), {static_cast<unsigned char>(v >> 8), static_cast<unsigned char>(v & 0xFF)});
    }
    bytes.insert(bytes.end(), {0xCD, 0xCD});
    testutil::WriteFile(dir.file("slice.raw"), bytes);
    return dir.file("slice.raw");
}

template <class T>
void Put(std::ostream& out, const char* name, const std::optional<T>& v)
{
    out << ' ' << name << '=';
    if (!v) out << '-';
    else if constexpr (std::is_arithmetic_v<T> || std::is_same_v<T, std::string>) out << *v;
    else for (size_t i = 0; i < v->size(); ++i) out << (i ? "," : "") << (*v)[i] + 0.0;  // -0 shows as 0
}

// Every field the readers fill, and the FNV-1a 64 of the pixels as int16 little-endian bytes.
std::string Describe(const Image& im)
{
    std::ostringstream out;
    out.precision(10);
    out << FormatWord(im.format) << ' ' << im.rows << 'x' << im.columns << 'x' << im.frames;
    Put(out, "spacing", im.pixelSpacing), Put(out, "thickness", im.sliceThickness);
    Put(out, "between", im.spacingBetweenSlices), Put(out, "position", im.imagePosition);
    Put(out, "orientation", im.imageOrientation), Put(out, "instance", im.instanceNumber);
    Put(out, "series", im.seriesNumber), Put(out, "exam", im.examNumber);
    Put(out, "description", im.seriesDescription), Put(out, "photometric", im.photometricInterpretation);
    out << ' ' << PixelTypeWord(im.pixelType) << " bits=" << im.bitsAllocated << '/' << im.bitsStored << '/'
        << im.highBit << " signed=" << im.pixelRepresentation << std::hex << " hash="
        << testutil::Fnv1a64Le16(reinterpret_cast<const short*>(im.pixelBytes.data()), im.pixelBytes.size() / 2);
    return out.str();
}

}  // namespace

TEST(ImageScannerFormats, RealFilesGiveWhatIndependentReadersGive)
{
    testutil::TempDir dir;
    const Reader raw = [](const std::string& p) { return ReadImage(p, Options(std::nullopt, RawGeometry())); };
    const std::string vf1122 = "512x512x1 spacing=0.48828125,0.48828125 thickness=1 between=1 position=-125,-125,-159 "
                               "orientation=1,0,0,0,1,0 instance=122 series=2 exam=370 description=AXIAL 1X1 NCE "
                               "photometric=- int16 bits=16/16/15 signed=1 hash=b1e6792f4c251fe9";
    const struct { std::string path; Reader read; std::string expected; } rows[] = {
        {DataPath("genesis/c_vf1122.fre"), Genesis, "genesis " + vf1122},
        {DataPath("genesis/c_vf1122.fre"), Signa, "signa " + vf1122},
        {DataPath("genesis/c_vf1210.fre"), Genesis,
         "genesis 512x512x1 spacing=0.72265625,0.72265625 thickness=1 between=1 position=-185,-185,-247 "
         "orientation=1,0,0,0,1,0 instance=214 series=2 exam=370 description=AXIAL 1X1 NCE photometric=- int16 "
         "bits=16/16/15 signed=1 hash=3d100ee233d1f90a"},
        // Header only: the field of view over the pixel size (200 / 0.78125) gives 256 x 256.
        {DataPath("siemens/3868-2-100.ima"), HeaderOnly,
         "siemens 256x256x1 spacing=0.78125,0.78125 thickness=1.2 between=- position=- orientation=- instance=100 "
         "series=- exam=- description=- photometric=- int16 bits=16/16/15 signed=1 hash=cbf29ce484222325"},
        {WriteRaw(dir), raw,
         "raw 3x5x1 spacing=0.5,0.25 thickness=2 between=- position=- orientation=- instance=- series=- exam=- "
         "description=- photometric=- int16 bits=16/16/15 signed=1 hash=746c8ba56d12c322"},
    };
    for (const auto& r : rows) EXPECT_EQ(Describe(r.read(r.path)), r.expected) << r.path;
}

// Every format's refusals through one table: the probe's answer (when given)
// and the reason, file and cause of the refusal (none when the file reads).
TEST(ModernReading, ProbesAndRefusalsNameTheFileAndTheCause)
{
    testutil::TempDir dir;
    const std::string raw = WriteRaw(dir), cut = dir.file("cut.fre");
    std::vector<unsigned char> genesis = testutil::ReadFile(DataPath("genesis/c_vf1122.fre"));
    genesis.resize(400000);  // within the pixel data
    testutil::WriteFile(cut, genesis);
    RawLayout tooLarge = RawGeometry();
    tooLarge.rows = 64;
    struct Case {
        std::string path;
        std::optional<Format> probe;
        std::optional<Reason> refusal;
        const char* cause;  // a part of the message
        Reader read = [](const std::string& p) { return ReadImage(p); };
    } cases[] = {
        {DataPath("dicom/pydicom/MR_small_RLE.dcm"), Format::Dicom, Reason::Compressed,
         "RLE Lossless (1.2.840.10008.1.2.5)"},
        {DataPath("dicom/pydicom/MR_truncated.dcm"), Format::Dicom, Reason::Truncated, "pixel data"},
        {DataPath("dicom/pydicom/rtstruct.dcm"), Format::Nema, Reason::Unsupported, "no pixel data"},
        {DataPath("dicom_slices/NoPreambleDicomTest.dcm"), Format::Nema, std::nullopt, ""},
        {DataPath("dicom/generated/nema_implicit_be.dcm"), Format::Nema, std::nullopt, ""},
        {DataPath("genesis/c_vf1122.fre"), Format::Genesis, std::nullopt, ""},
        // The header's field of view over pixel size gives 256 x 256; the pixel block was cut to 4 x 4.
        {DataPath("siemens/3868-2-100.ima"), Format::Siemens, Reason::Truncated, "131072 pixel bytes"},
        {DataPath("no/such/file.dcm"), Format::Unknown, Reason::CannotOpen, "cannot open"},
        {DataPath("modern"), Format::Unknown, Reason::CannotOpen, "folder"},
        {DataPath("modern"), std::nullopt, Reason::CannotOpen, "folder",
         [](const std::string& p) { return ReadImage(p, Options(Format::Dicom)); }},
        {DataPath("modern/expected.tsv"), Format::Unknown, Reason::UnknownFormat, "raw file needs its geometry"},
        {raw, std::nullopt, Reason::NeedsGeometry, "",
         [](const std::string& p) { return ReadImage(p, Options(Format::Raw, RawLayout{})); }},
        {raw, std::nullopt, Reason::Truncated, "",
         [&](const std::string& p) { return ReadImage(p, Options(std::nullopt, tooLarge)); }},
        {cut, std::nullopt, Reason::Truncated, "", Genesis},
        {cut, std::nullopt, Reason::Truncated, "", Signa},
        {DataPath("hostile_files/genesis_65535x65535.fre"), std::nullopt, Reason::Unsupported, "", Genesis},
        {DataPath("ge_other/19771.002.001"), std::nullopt, Reason::Malformed, "", Signa},  // GE 4.x: no "IMGF"
    };
    for (const Case& c : cases) {
        try {
            EXPECT_TRUE(!c.probe || ProbeFile(c.path).format == *c.probe) << c.path;
        } catch (const Error& e) {
            EXPECT_EQ(c.probe, Format::Unknown) << c.path;
        }
        try {
            c.read(c.path);
            EXPECT_FALSE(c.refusal) << c.path;
        } catch (const Error& e) {
            ASSERT_TRUE(c.refusal) << c.path << ": " << e.what();
            EXPECT_EQ(e.reason(), *c.refusal) << e.what();
            EXPECT_EQ(e.file(), c.path);
            EXPECT_NE(std::string(e.what()).find(c.path), std::string::npos);
            EXPECT_NE(e.cause().find(c.cause), std::string::npos) << e.cause();
        }
    }
}
