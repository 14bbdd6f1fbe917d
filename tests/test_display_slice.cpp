// Display slices: raw reading into display storage, the reading
// constructor's messages, storage set-up, resizing, minimum and maximum,
// conversion data, lookup tables, and windowing through the slice.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Quarn.h"
#include "RecordUtil.h"
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

std::string MessageOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const ecError& e) {
        return e.what();
    }
    return "<no error>";
}

// Opens up the storage set-up and the fields it works on.
class ProbeSlice : public ecMriSliceImg<short> {
public:
    using ecMriSliceImg<short>::SetupStorage;
    int PlainSetup(ecRawHeaderInfo* h) { return ecMriSlice<short>::SetupStorage(h, 0, nullptr); }
    void SetRows(int r) { iNumRows = r; }
};

struct CountedTable : ecLookupTable {
    explicit CountedTable(int* counter) : counter(counter) {}
    ~CountedTable() override { ++*counter; }
    int* counter;
};

template <class T>
void ExpectSameAsPlain(MriFileType type, int dataType, const std::vector<T>& filePixels, long offset,
                       const std::vector<unsigned char>& prefix)
{
    testutil::TempDir dir;
    const std::string path = dir.file("slice.raw");
    std::vector<unsigned char> bytes = prefix;
    const std::vector<unsigned char> px = Bytes(filePixels);
    bytes.insert(bytes.end(), px.begin(), px.end());
    testutil::WriteFile(path, bytes);
    ecRawHeaderInfo h = testutil::RawRecord(32, 20, dataType, offset);

    ecMriSlice<T> plain(path.c_str(), type, &h, 0, nullptr);
    std::vector<T> caller(32 * 20);
    ecMriSliceImg<T> shown(path.c_str(), type, &h, 0, caller.data());
    std::vector<T> a(32 * 20), b(32 * 20);
    ASSERT_EQ(plain.GetImageData(a.data(), 640, 0), 640);
    ASSERT_EQ(shown.GetImageData(b.data(), 640, 0), 640);
    EXPECT_EQ(Bytes(a), Bytes(b));
    EXPECT_EQ(Bytes(caller), Bytes(b));
    EXPECT_EQ(plain.GetRawHeaderInfo(), nullptr);
    EXPECT_EQ(shown.GetRawHeaderInfo(), nullptr);
    // One buffer, owned by the image, seen through both row tables.
    EXPECT_EQ(shown.GetPixels(), shown.GetImagePixels());
    EXPECT_FALSE(shown.OwnsData());
    EXPECT_EQ(shown.GetRowPointers()[19], shown.GetImageRows()[19]);
    EXPECT_EQ(shown.GetRowPointers()[19], shown.GetPixels() + 19 * 32);
    EXPECT_EQ(shown.GetImageWidth(), 32);
    EXPECT_EQ(shown.GetImageHeight(), 20);
    EXPECT_EQ(shown.GetCurrentImage(), shown.GetDisplayImage());
}
}  // namespace

TEST(DisplaySlice, RawReadsHoldThePixelsOfPlainReads)
{
    std::vector<unsigned char> u8(640);
    std::vector<short> s16(640);
    std::vector<float> f32(640);
    for (int i = 0; i < 640; ++i) {
        u8[i] = static_cast<unsigned char>(i * 7);
        s16[i] = static_cast<short>(i * 37 - 9000);
        f32[i] = i * 0.5f - 3.0f;
    }
    ExpectSameAsPlain<unsigned char>(MriRaw8, 105, u8, 0, {});
    ExpectSameAsPlain<short>(MriRaw16, 98, s16, 0, {});
    ExpectSameAsPlain<short>(MriRaw16Swapped, 98, s16, -1, std::vector<unsigned char>(77, 0xEE));
    ExpectSameAsPlain<float>(MriRawFloat, 114, f32, 5, std::vector<unsigned char>(5, 1));

    // The swapped type really exchanges the bytes of each pixel.
    testutil::TempDir dir;
    const std::string path = dir.file("be.raw");
    testutil::WriteFile(path, Bytes(s16));
    ecRawHeaderInfo h = testutil::RawRecord(32, 20, 98);
    ecMriSliceImg<short> swapped(path.c_str(), MriRaw16Swapped, &h, 0, nullptr);
    EXPECT_EQ(static_cast<unsigned short>(swapped.GetPixels()[1]),
              static_cast<unsigned short>(((s16[1] & 0xFF) << 8) | ((s16[1] >> 8) & 0xFF)));
    // Display storage is full size, so the halving read cannot decimate into it.
    EXPECT_EQ(MessageOf([&] { ecMriSliceImg<short> half(path.c_str(), MriRaw16, &h, 0x10000, nullptr); }),
              "? Unable to open raw mri file <" + path + "> status = -53");
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
