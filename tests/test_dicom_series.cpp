// DICOM series: file classification, header filling, pixel depth, the series
// scan with its consistency check and comparison switches.
#include <gtest/gtest.h>

#include "../src/read_dicom/DicomState.h"
#include "../src/readnema/DicomSeriesCompare.h"
#include "DicomTestFiles.h"
#include "Quarn.h"
#include "TestUtil.h"

namespace {
std::string Dicom(const std::string& rel) { return testutil::DataPath("dicom/" + rel); }

std::vector<std::string> Files(const std::string& folder, std::initializer_list<const char*> names)
{
    std::vector<std::string> out;
    for (const char* n : names) out.push_back(Dicom(folder + n));
    return out;
}

// Restores the comparison switches after each test.
class DicomSeries : public ::testing::Test {
protected:
    void TearDown() override { bUseComparisonTolerance = false, dComparisonTolerance = 1e-6; }
    int Range(std::vector<std::string> names, ecRawHeaderInfo* firstHeader = nullptr)
    {
        return FindDicomFileImageRange(names, first, last, headers, firstHeader, 0);
    }
    int first = 1, last = 1;
    std::vector<ecDicomHeaderInfo> headers = std::vector<ecDicomHeaderInfo>(2);
};
}  // namespace

TEST_F(DicomSeries, SeekDicomHeaderClassifiesAndPositions)
{
    testutil::TempDir dir;
    long pos = -1;
    auto seek = [&](const std::vector<unsigned char>& bytes) {
        testutil::WriteFile(dir.file("f"), bytes);
        FILE* fp = std::fopen(dir.file("f").c_str(), "rb");
        const int member = ecMriSlice<short>().SeekDicomHeader(fp);
        const int r = SeekDicomHeader(fp);
        EXPECT_EQ(member, r);
        pos = std::ftell(fp);
        std::fclose(fp);
        return r;
    };
    EXPECT_EQ(seek(testutil::ReadFile(Dicom("pydicom/MR_small.dcm"))), 2);
    EXPECT_EQ(pos, 132);
    EXPECT_EQ(seek(testutil::ReadFile(Dicom("itk/NoPreambleDicomTest.dcm"))), 1);
    EXPECT_EQ(pos, 0);
    auto nema = testutil::ReadFile(Dicom("generated/nema_implicit_le.dcm"));
    EXPECT_EQ(seek(nema), 1);
    for (unsigned char group : {0x09, 0x00}) {
        nema[0] = group;
        EXPECT_EQ(seek(nema), -4) << int(group);
    }
    EXPECT_EQ(seek(std::vector<unsigned char>(131, 8)), -2);
    EXPECT_EQ(SeekDicomHeader(nullptr), -1);
}

TEST_F(DicomSeries, ImageRangeOfRealSeries)
{
    const auto ct = Files("pydicom/dicomdirtests/CT2/", {"17106", "17136", "17166", "17196"});
    ecRawHeaderInfo firstHeader;
    EXPECT_EQ(Range(ct, &firstHeader), 4);
    EXPECT_EQ(first, 18);
    EXPECT_EQ(last, 182);
    ASSERT_EQ(headers.size(), 4u);
    EXPECT_EQ(headers[0].sFileName, ct[0]);
    EXPECT_EQ(headers[0].iImageOffset, 3298);
    EXPECT_EQ(headers[3].iImageOffset, 3300);
    EXPECT_EQ(headers[1].FileType, MriDicom);
    EXPECT_EQ(firstHeader.iImageNum, 18);
    EXPECT_EQ(firstHeader.FileType, MriDicom);
    EXPECT_EQ(firstHeader.lDataOffset, 3298);

    EXPECT_EQ(Range(Files("itk/DicomSeries/", {"Image0077.dcm", "Image0075.dcm", "Image0076.dcm"})), 3);
    EXPECT_EQ(first, 75);
    EXPECT_EQ(last, 77);
    EXPECT_EQ(headers[0].iImageNum, 77);
    EXPECT_DOUBLE_EQ(headers[2].Position.vPosition[1], -20.2729);

    // The MR700 slices are tilted: the first has its rows closest to y
    // (sagittal), the second closest to x (coronal).
    EXPECT_EQ(Range(Files("pydicom/dicomdirtests/MR700/", {"4467", "4528", "4558"})), -1);
    EXPECT_EQ(headers.size(), 3u);
    EXPECT_EQ(CompareDicomHeaders(headers[0], headers[1], 0.0), 2);
}

TEST_F(DicomSeries, ConsistencyAndComparison)
{
    std::vector<ecDicomHeaderInfo> v(3);
    for (auto& h : v) h.bIsValid = true, h.ImagePlane = SliceAxial;
    EXPECT_EQ(DICOM_ValuesAreConsistant({}, 3), 0);
    EXPECT_EQ(DICOM_ValuesAreConsistant(v, 3), 3);
    v[2].fSliceThickness = 3.5;
    EXPECT_EQ(DICOM_ValuesAreConsistant(v, 3), -2);
    v[2].fSliceThickness = 3.0;
    v[1].iNumFrames = 0;
    EXPECT_EQ(DICOM_ValuesAreConsistant(v, 3), -1);
    EXPECT_EQ(DICOM_ValuesAreConsistant(v, 0), 3);
    v[0].ImagePlane = SliceUnknown;
    EXPECT_EQ(DICOM_ValuesAreConsistant(v, 2), -1025);

    // The first differing field, in the comparison's order.
    ecRawHeaderInfo a, b;
    EXPECT_EQ(CompareDicomHeaders(a, b, 0.0), 0);
    b.fSizePixY = b.fSliceSpacing = 1.0;
    EXPECT_EQ(CompareDicomHeaders(a, b, 0.0), 7);
    b.DataType = 98;
    EXPECT_EQ(CompareDicomHeaders(a, b, 0.0), 5);
    b.ImagePlane = SliceCoronal;
    b.PlaneType = SliceSagittal;
    EXPECT_EQ(CompareDicomHeaders(a, b, 0.0), 2);
    b.iNumPix = 512;
    EXPECT_EQ(CompareDicomHeaders(a, b, 0.0), 1);

    EXPECT_FALSE(DicomValuesEqual(100.0, 100.00005));
    bUseComparisonTolerance = true;
    EXPECT_TRUE(DicomValuesEqual(100.0, 100.00005));
    EXPECT_FALSE(DicomValuesEqual(100.0, 100.001));
    EXPECT_FALSE(DicomValuesEqual(0.0, 1e-12));
    EXPECT_TRUE(DicomValuesEqual(1e-12, 1e-12 * (1 + 1e-7)));
    bUseComparisonTolerance = false;
    // A non-zero tolerance argument only selects the relative comparison,
    // which without the switch is exact.
    ecRawHeaderInfo c, d;
    d.fSizePix = c.fSizePix * (1 + 1e-9);
    EXPECT_EQ(CompareDicomHeaders(c, d, 0.5), 6);
}
