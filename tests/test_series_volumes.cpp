// The NIfTI header's quaternion against nibabel's (Nifti1Header.set_qform),
// output names, writes that fail leaving nothing behind, and the same
// series, volumes and .nii.gz bytes on any number of threads.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <filesystem>

#include "QuarnSeries.h"
#include "TestUtil.h"

namespace {

float FloatAt(const std::vector<unsigned char>& bytes, size_t at)
{
    float v;
    std::memcpy(&v, bytes.data() + at, sizeof v);
    return v;
}

TEST(SeriesVolumes, QuaternionAsNibabelGivesIt)
{
    struct Case {
        quarn::Affine affine;
        float b, c, d, qfac, dx, dy, dz;
    };
    const Case cases[] = {
        {{2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 4, 0, 0, 0, 0, 1}, 0, 0, 0, 1, 2, 3, 4},
        {{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, -1, 0, 0, 0, 0, 1}, 0, 0, 0, -1, 1, 1, 1},
        {{0, -2, 0, 5, 1.5, 0, 0, 6, 0, 0, 3, 7, 0, 0, 0, 1}, 0, 0, 0.70710677f, 1, 1.5, 2, 3},
        {{0, 0, -1, 0, -1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 1}, 0.5, -0.5, -0.5, 1, 1, 1, 1},
    };
    const testutil::TempDir dir;
    for (const Case& c : cases) {
        quarn::Volume v;
        v.columns = v.rows = v.slices = 2;
        v.pixelType = quarn::PixelType::U8;
        v.voxels.assign(8, 7);
        v.affine = c.affine;
        quarn::WriteNifti(v, dir.file("q.nii"));
        const std::vector<unsigned char> h = testutil::ReadFile(dir.file("q.nii"));
        ASSERT_EQ(h.size(), 360u);
        EXPECT_NEAR(FloatAt(h, 256), c.b, 1e-6);
        EXPECT_NEAR(FloatAt(h, 260), c.c, 1e-6);
        EXPECT_NEAR(FloatAt(h, 264), c.d, 1e-6);
        EXPECT_EQ(FloatAt(h, 76), c.qfac);
        EXPECT_NEAR(FloatAt(h, 80), c.dx, 1e-6);
        EXPECT_NEAR(FloatAt(h, 84), c.dy, 1e-6);
        EXPECT_NEAR(FloatAt(h, 88), c.dz, 1e-6);
        EXPECT_EQ(FloatAt(h, 268), c.affine[3]);
    }
}

TEST(SeriesVolumes, NamesAndFailedWrites)
{
    std::vector<quarn::Series> s(4);
    s[0].seriesNumber = 7, s[0].seriesDescription = "t1 oblique";
    s[1].seriesNumber = 7, s[1].seriesDescription = "t1 oblique";
    s[2].seriesDescription = "T2/FLAIR (ax)";
    s[3].seriesNumber = 12;
    EXPECT_EQ(quarn::OutputNames(s), (std::vector<std::string>{"7_t1_oblique.nii.gz", "7_t1_oblique_2.nii.gz",
                                                               "series_T2_FLAIR__ax_.nii.gz", "12.nii.gz"}));

    const testutil::TempDir dir;
    const std::string target = dir.file("v.nii");
    quarn::WriteWholeText(target, "old");
    quarn::Volume short_;
    short_.columns = short_.rows = short_.slices = 2;  // 8 voxels of int16 promised, 3 bytes held
    short_.voxels.assign(3, 0);
    const auto writes = {
        std::function<void()>([&] { quarn::WriteWhole(target, [](std::FILE* fp) { return std::fputs("x", fp) < 0; }); }),
        std::function<void()>([&] { quarn::WriteNifti(short_, target); }),
        std::function<void()>([&] { quarn::WriteNifti(short_, dir.file("v.img")); }),
    };
    for (const auto& write : writes) {
        try {
            write();
            ADD_FAILURE() << "a write that should fail succeeded";
        } catch (const quarn::Error& e) {
            EXPECT_EQ(e.reason(), quarn::Reason::WriteFailed);
        }
        const std::vector<unsigned char> old = testutil::ReadFile(target);
        EXPECT_EQ(std::string(old.begin(), old.end()), "old");
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
    }
}

TEST(SeriesVolumes, ThreadsChangeNothing)
{
    // Every committed sample, of every format: series, failures and volumes.
    const testutil::TempDir dir;
    const quarn::ScanResult one = quarn::ScanSeries({QUARN_TEST_DATA}, {}, true, 1);
    const quarn::ScanResult four = quarn::ScanSeries({QUARN_TEST_DATA}, {}, true, 4);
    ASSERT_EQ(one.series.size(), four.series.size());
    ASSERT_EQ(one.failed.size(), four.failed.size());
    EXPECT_EQ(one.skipped, four.skipped);
    int volumes = 0;
    for (size_t i = 0; i < one.series.size(); ++i) {
        ASSERT_EQ(one.series[i].files, four.series[i].files);
        try {
            const quarn::Volume a = quarn::LoadVolume(one.series[i], {}, 1);
            EXPECT_EQ(a.voxels, quarn::LoadVolume(four.series[i], {}, 4).voxels) << one.series[i].files[0];
            // Written as it is read, slice by slice: the bytes of the volume written whole.
            quarn::WriteNifti(a, dir.file("whole.nii.gz"));
            quarn::WriteSeriesNifti(four.series[i], dir.file("stream.nii.gz"), {}, 4);
            EXPECT_EQ(testutil::ReadFile(dir.file("whole.nii.gz")), testutil::ReadFile(dir.file("stream.nii.gz")));
            ++volumes;
        } catch (const quarn::Error& e) {
            EXPECT_THROW(quarn::LoadVolume(four.series[i], {}, 4), quarn::Error) << e.what();
        }
    }
    EXPECT_GT(volumes, 3);

    // A volume of several 1 MiB stretches: the same .nii.gz bytes on one
    // thread and on three, and zlib's own reader gives back the .nii.
    quarn::Volume v;
    v.columns = 512, v.rows = 512, v.slices = 5;
    v.voxels.resize(size_t(512) * 512 * 5 * 2);
    for (size_t i = 0; i < v.voxels.size(); ++i) v.voxels[i] = static_cast<unsigned char>((i * 7919) >> (i % 13));
    v.affine = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    quarn::WriteNifti(v, dir.file("v.nii"));
    quarn::WriteNifti(v, dir.file("1.nii.gz"), 1);
    quarn::WriteNifti(v, dir.file("3.nii.gz"), 3);
    EXPECT_EQ(testutil::ReadFile(dir.file("1.nii.gz")), testutil::ReadFile(dir.file("3.nii.gz")));
    const std::vector<unsigned char> nii = testutil::ReadFile(dir.file("v.nii"));
    std::vector<unsigned char> back(nii.size() + 1);
    gzFile gz = gzopen(dir.file("3.nii.gz").c_str(), "rb");
    ASSERT_NE(gz, nullptr);
    back.resize(static_cast<size_t>(gzread(gz, back.data(), static_cast<unsigned>(back.size()))));
    EXPECT_EQ(gzclose(gz), Z_OK);  // the trailer's CRC and length agree
    EXPECT_TRUE(back == nii);
}

}  // namespace
