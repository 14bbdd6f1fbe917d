// Display slices: windowing, rotating and saving through the slice; Signa and
// Siemens files read by the display slice's reading constructor and into a
// plain slice agreeing (DICOM ones are checked against pydicom in the slice
// loading tests, Genesis ones against the written images).
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "Quarn.h"
#include "ScannerFileWriter.h"
#include "TestUtil.h"

namespace {
template <class T>
std::vector<unsigned char> Bytes(const std::vector<T>& v)
{
    std::vector<unsigned char> b(v.size() * sizeof(T));
    std::memcpy(b.data(), v.data(), b.size());
    return b;
}

template <class T>
void ExpectDisplayEqualsPlain(const std::string& name, MriFileType type)
{
    SCOPED_TRACE(name);
    ecMriSlice<T> plain;
    ASSERT_EQ(type == MriSigna ? plain.GetSignaFile(name.c_str(), 0, nullptr)
                               : plain.GetSiemensFile(name.c_str(), 0, nullptr), 1);
    ecMriSliceImg<T> shown(name.c_str(), type, nullptr, 0, nullptr);
    ASSERT_GT(plain.GetNumRows() * plain.GetNumCols(), 0);
    EXPECT_EQ(shown.GetNumRows() * 1000 + shown.GetNumCols(), plain.GetNumRows() * 1000 + plain.GetNumCols());
    EXPECT_TRUE(testutil::RowsOf(shown) == testutil::RowsOf(plain));
    EXPECT_EQ(shown.GetRawHeaderInfo()->Ascii(0), plain.GetRawHeaderInfo()->Ascii(0));
    EXPECT_EQ(shown.GetSliceInformation()->Ascii(0), plain.GetSliceInformation()->Ascii(0));
    EXPECT_EQ(shown.GetImagePixels(), shown.GetPixels());  // one buffer, seen by the image part and the slice
    EXPECT_EQ(shown.GetImageWidth() * 1000 + shown.GetImageHeight(), plain.GetNumCols() * 1000 + plain.GetNumRows());
}

}  // namespace

TEST(DisplaySlice, SignaAndSiemensFilesGiveThePlainSlicesPixelsAndRecords)
{
    testutil::TempDir dir;
    scanfiles::SignaFile signa8;  // 16 x 16 pixels 0, 1, ..., 255
    signa8.depth = 8;
    for (int i = 0; i < 256; ++i) signa8.pixels.push_back(i);
    const std::string source = QUARN_SOURCE_DIR;
    ExpectDisplayEqualsPlain<unsigned char>(scanfiles::Write(dir, "depth8.imgf", signa8), MriSigna);
    ExpectDisplayEqualsPlain<short>(testutil::DataPath("genesis/c_vf1122.fre"), MriSigna);
    ExpectDisplayEqualsPlain<short>(source + "/samples/ge/ramp.imgf", MriSigna);
    ExpectDisplayEqualsPlain<short>(source + "/samples/siemens/ramp.ima", MriSiemens);
}

TEST(DisplaySlice, WindowRotateAndSaveThroughTheSlice)
{
    testutil::TempDir dir;
    const std::string path = dir.file("ramp.raw");
    std::vector<short> px(32 * 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 32; ++x) px[static_cast<size_t>(y * 32 + x)] = static_cast<short>(x * 100);
    testutil::WriteFile(path, Bytes(px));
    ecRawHeaderInfo h = testutil::RawRecord(32, 16, 98);
    std::unique_ptr<ecMriSliceBase> base(ReadMriSlice(path.c_str(), MriRaw16, &h, true, 0));
    ASSERT_NE(base, nullptr);
    auto* s = dynamic_cast<ecMriSliceImg<short>*>(base.get());
    ASSERT_NE(s, nullptr);

    // Window [1000, 2000] with the rendering rebuilt at once (bit 0x100).
    EXPECT_EQ(base->SetGrayValTranslation(ecImageBase::GrayLinear, 1000.0, 2000.0, 0x100), 1);
    ecImageBase* image = base->GetCurrentImage();
    ASSERT_EQ(image, s->GetDisplayImage());
    ASSERT_NE(image->GetDisplayData(), nullptr);
    const unsigned char* d = image->GetDisplayData();
    EXPECT_EQ(d[10], 0);      // 1000
    EXPECT_EQ(d[13], 77);     // 1300: 76.5 rounds up
    EXPECT_EQ(d[15], 128);    // 1500
    EXPECT_EQ(d[20], 255);    // 2000
    EXPECT_EQ(d[31], 255);
    ecImageBase::GrayTranslationMethod m = ecImageBase::GrayMinMax;
    double lo = 0, hi = 0;
    EXPECT_EQ(base->GetGrayValTranslation(m, lo, hi), 1);
    EXPECT_EQ(m, ecImageBase::GrayLinear);
    EXPECT_EQ(hi, 2000.0);

    // The image view forwards to the slice: the min/max window is 0..3100.
    EXPECT_EQ(image->SetGrayValTranslation(ecImageBase::GrayMinMax, 0, 0, 0), 1);
    EXPECT_EQ(s->GetGrayValTranslation(m, lo, hi), 1);
    EXPECT_EQ(m, ecImageBase::GrayMinMax);
    EXPECT_EQ(hi, 3100.0);
    EXPECT_EQ(base->SetGrayValTranslation(ecImageBase::GrayLinear, 5.0, 1.0, 0x100), -2);

    // Turned a quarter clockwise, the left column becomes the top row.
    EXPECT_EQ(base->SetRotationFlags(ecDisplayCharacteristicsBase::Rotate90), 1);
    EXPECT_EQ(base->GetRotationFlags(), 1u);
    EXPECT_EQ(base->SetRotationFlags(0x40), -1);
    ASSERT_EQ(image->ConvertImageInformation(0), 512);
    EXPECT_EQ(image->GetDisplayWidth(), 16);
    EXPECT_EQ(image->GetDisplayHeight(), 32);
    for (int x = 0; x < 16; ++x) EXPECT_EQ(image->GetDisplayData()[x], 0);
    EXPECT_EQ(image->GetDisplayData()[31 * 16], 255);

    const std::string pgm = dir.file("out.pgm");
    EXPECT_EQ(base->SaveImageData(pgm.c_str(), 0), 1);
    const std::vector<unsigned char> file = testutil::ReadFile(pgm);
    const std::string header = "P5\n16 32\n255\n";
    ASSERT_EQ(file.size(), header.size() + 512);
    EXPECT_EQ(std::string(file.begin(), file.begin() + static_cast<long>(header.size())), header);
    EXPECT_EQ(0, std::memcmp(file.data() + header.size(), image->GetDisplayData(), 512));
    EXPECT_EQ(base->SaveImageData(nullptr, 0), -1);
}
