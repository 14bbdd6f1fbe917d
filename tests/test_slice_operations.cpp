// Resizing, minimum and maximum, histograms and saving the pixels of a slice;
// the slice factory's types it does not route and the errors it catches or lets
// through (its raw reads are in test_raw_slice_reading).
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "Quarn.h"
#include "TestUtil.h"

namespace {
template <class T>
class OpenSlice : public ecMriSlice<T> {
public:
    using ecMriSlice<T>::SetupStorage;
    T* Pixels() { return this->pImageData; }
    // A slice of cols x rows holding `values` repeated.
    OpenSlice(int cols, int rows, const std::vector<T>& values)
    {
        ecRawHeaderInfo h = testutil::RawRecord(cols, rows, GetBaseDataType(T()));
        SetupStorage(&h, 0, nullptr);
        for (int i = 0; i < cols * rows; ++i) Pixels()[i] = values[static_cast<size_t>(i) % values.size()];
    }
    OpenSlice() = default;
};
}  // namespace

TEST(SliceOperations, ResizeBoundsAndOwnership)
{
    ecMriSlice<short> s;
    EXPECT_FALSE(s.Resize(15, 256, 0) || s.Resize(256, 1025, 0) || s.Resize(1025, 16, 0));
    EXPECT_TRUE(s.Resize(16, 16, 0));
    EXPECT_EQ(s.GetNumRows(), 16);
    EXPECT_TRUE(s.OwnsData());
    const short* before = s.GetPixels();
    EXPECT_TRUE(s.Resize(16, 16, 0));  // same size: nothing changes
    EXPECT_EQ(s.GetPixels(), before);
    EXPECT_TRUE(s.Resize(1024, 20, 0));
    EXPECT_EQ(s.GetNumCols(), 1024);
    EXPECT_EQ(s.GetNumRows(), 20);
    EXPECT_EQ(s.GetRowPointers()[19], s.GetPixels() + 19 * 1024);

    // A caller's buffer is left alone; afterwards the slice owns a new one.
    std::vector<short> mine(64 * 64, 7);
    OpenSlice<short> c;
    ecRawHeaderInfo h = testutil::RawRecord(64, 64, 98);
    ASSERT_EQ(c.SetupStorage(&h, 0, mine.data()), 4096);
    EXPECT_TRUE(c.Resize(32, 64, 0));
    EXPECT_TRUE(c.OwnsData());
    EXPECT_NE(c.GetPixels(), mine.data());
    EXPECT_EQ(mine[4095], 7);
    EXPECT_EQ(c.GetRowPointers()[63], c.GetPixels() + 63 * 32);
}

TEST(SliceOperations, HistogramCountsEveryPixel)
{
    OpenSlice<short> s(16, 16, {0, 10, 20, 30, 99, -5, 200});
    ecHistogram<short> h(10, 0, 100);
    EXPECT_EQ(s.FillHistogram(&h, 0), 1);
    EXPECT_EQ(h.GetTotal(), 256u);
    // 256 = 36 * 7 + 4: the first four values occur 37 times.
    EXPECT_EQ(h.GetCount(0), 37u + 36u);  // 0 and -5 (below the range)
    EXPECT_EQ(h.GetCount(1), 37u);
    EXPECT_EQ(h.GetCount(3), 37u);
    EXPECT_EQ(h.GetCount(9), 36u + 36u);  // 99 and 200 (above the range)

    ecHistogram<float> other(10, 0, 100);
    EXPECT_EQ(s.FillHistogram(nullptr, 0), -1);
    EXPECT_EQ(s.FillHistogram(&other, 0), -2);
    ecHistogram<short> notReady(10, 5, 5);
    EXPECT_EQ(s.FillHistogram(&notReady, 0), -3);
    ecMriSlice<short> empty;
    EXPECT_EQ(empty.FillHistogram(&h, 0), -4);
}

TEST(SliceOperations, SavedFileLayout)
{
    testutil::TempDir dir;
    OpenSlice<short> s(16, 16, {0x1234, -2});
    EXPECT_EQ(s.SaveImageData(dir.file("bare.raw").c_str(), 1), 1);
    const auto bare = testutil::ReadFile(dir.file("bare.raw"));
    ASSERT_EQ(bare.size(), 512u);
    EXPECT_EQ(std::memcmp(bare.data(), s.GetPixels(), 512), 0);  // host byte order

    EXPECT_EQ(s.SaveImageData(dir.file("full.raw").c_str(), 0), 1);
    const auto full = testutil::ReadFile(dir.file("full.raw"));
    ASSERT_EQ(full.size(), 524u);
    const unsigned char head[12] = {0, 0, 0, 0, 16, 0, 16, 0, 98, 0, 0, 0};
    EXPECT_EQ(std::memcmp(full.data(), head, 12), 0);
    EXPECT_EQ(std::memcmp(full.data() + 12, bare.data(), 512), 0);

    OpenSlice<float> f(1024, 16, {1.5f});
    EXPECT_EQ(f.SaveImageData(dir.file("f.raw").c_str(), 0), 1);
    const auto ff = testutil::ReadFile(dir.file("f.raw"));
    ASSERT_EQ(ff.size(), 12u + 1024u * 16u * 4u);
    const unsigned char fhead[12] = {0, 0, 0, 0, 0x00, 0x04, 16, 0, 114, 0, 0, 0};
    EXPECT_EQ(std::memcmp(ff.data(), fhead, 12), 0);

    ecMriSlice<short> empty;
    EXPECT_EQ(s.SaveImageData(nullptr, 0), -1);
    EXPECT_EQ(empty.SaveImageData(dir.file("e.raw").c_str(), 0), -2);
    EXPECT_EQ(s.SaveImageData(dir.file("no/such/folder/x.raw").c_str(), 0), -3);
    if (access("/dev/full", W_OK) == 0) {
        EXPECT_EQ(s.SaveImageData("/dev/full", 1), -11);
    }

    RawImageDataHeader a, b;
    a.nCols = 3, a.nRows = 4, a.DataType = 98;
    EXPECT_EQ(a == b, 0);
    b = a;
    EXPECT_EQ(a == b, 1);
}

namespace {
// "1" for a slice, "0" for null, or the message thrown.
std::string ErrorOf(const char* name, int type, ecRawHeaderInfo* h, bool display)
{
    return testutil::Outcome([&] {
        return std::unique_ptr<ecMriSliceBase>(ReadMriSlice(name, static_cast<MriFileType>(type), h, display, 0)) != nullptr;
    });
}
}  // namespace

TEST(SliceFactory, TypesItDoesNotRouteAndNullNames)
{
    testutil::TempDir dir;
    const std::string path = dir.file("s.raw");
    testutil::WriteFile(path, std::vector<unsigned char>(32 * 16 * 2, 1));
    ecRawHeaderInfo h = testutil::RawRecord(32, 16, 98);
    for (bool display : {false, true}) {
        for (int t : {-1, 0, 2, 3, 7, 10, 12, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25})
            EXPECT_EQ(ErrorOf(path.c_str(), t, &h, display), "0") << t;
        for (int t = -1; t <= 25; ++t) EXPECT_EQ(ErrorOf(nullptr, t, &h, display), "0") << t;
        // Genesis: the 16-bit attempt fails and the 8-bit probe answers -100.
        EXPECT_EQ(ErrorOf(path.c_str(), MriGenesis, &h, display), "0");
    }
    EXPECT_EQ(FindGEM_PixelDepth(path.c_str()), -100);
    // Plain Siemens slices cannot be read; the error is caught.
    EXPECT_EQ(ErrorOf(path.c_str(), MriSiemens, &h, false), "0");
    // A display Siemens slice's error reaches the caller: here the header reader's.
    EXPECT_EQ(ErrorOf(path.c_str(), MriSiemens, &h, true), "? Unable to get header info from <" + path + ">");
}

TEST(SliceFactory, RawFailuresReachTheCaller)
{
    testutil::TempDir dir;
    const std::string missing = dir.file("missing.raw"), empty = dir.file("empty.raw"), shortFile = dir.file("short.raw");
    testutil::WriteFile(empty, {});
    testutil::WriteFile(shortFile, std::vector<unsigned char>(32 * 15 * 2, 0));
    ecRawHeaderInfo h = testutil::RawRecord(32, 16, 98);
    for (bool display : {false, true}) {
        EXPECT_EQ(ErrorOf(missing.c_str(), MriRaw16, &h, display),
                  "? Unable to open raw mri file <" + missing + "> status = -19");
        EXPECT_EQ(ErrorOf(empty.c_str(), MriRaw16, &h, display),
                  "? Unable to open raw mri file <" + empty + "> status = -20");
        EXPECT_EQ(ErrorOf(shortFile.c_str(), MriRaw16Swapped, &h, display),
                  "? Unable to open raw mri file <" + shortFile + "> status = -20");
        // A 16-bit record does not describe 8-bit or float pixels.
        EXPECT_EQ(ErrorOf(empty.c_str(), MriRaw8, &h, display),
                  "? Unable to open raw mri file <" + empty + "> status = -2");
        EXPECT_EQ(ErrorOf(empty.c_str(), MriRawFloat, &h, display),
                  "? Unable to open raw mri file <" + empty + "> status = -2");
        EXPECT_EQ(ErrorOf(empty.c_str(), MriRaw16, nullptr, display),
                  "? Unable to open raw mri file <" + empty + "> status = -1");
        // Missing and empty files of the other routed types end in null or an error.
        for (int t : {MriGenesis, MriSiemens})
            for (const std::string& name : {missing, empty}) {
                const std::string r = ErrorOf(name.c_str(), t, &h, display);
                EXPECT_TRUE(r == "0" || r.rfind("ecMriSliceImg:Error opening", 0) == 0 ||
                            r == "? Unable to get header info from <" + name + ">")
                    << r;
            }
    }
}
