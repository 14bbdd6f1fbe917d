// The slice factory: the types it does not route, and the errors it catches or
// lets through (its raw reads are in test_raw_slice_reading).
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Quarn.h"
#include "TestUtil.h"

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
