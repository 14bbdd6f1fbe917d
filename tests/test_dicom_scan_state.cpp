// The DICOM scan state (found marks, keyword table) and the plane of an
// image orientation.
#include <gtest/gtest.h>

#include "../src/read_dicom/DicomState.h"
#include "../src/readnema/DicomSeriesCompare.h"
#include "DicomTestFiles.h"
#include "Quarn.h"
#include "TestUtil.h"

TEST(DicomSliceType, DominantAxesOfRowAndColumn)
{
    unsigned long reserved = 77;
    const std::pair<const char*, SliceType> cases[] = {
        {"1\\0\\0\\0\\1\\0", SliceAxial},
        {"1\\0\\0\\0\\0\\-1", SliceCoronal},
        {"0\\1\\0\\0\\0\\-1", SliceSagittal},
        {"0\\0\\1\\1\\0\\0", SliceAxial},           // row along z: no named plane
        {"0.7\\0.7\\0\\0\\0\\1", SliceCoronal},     // x wins the tie
        {"-0.2\\-0.98\\0\\0.1 0.2 -0.97", SliceSagittal},  // blanks separate as well
        {"1\\0\\0\\0\\0", SliceAxial},              // five numbers
        {"0\\0\\0\\0\\0\\1", SliceAxial},           // a zero row has no axis
        {"", SliceAxial},
        {nullptr, SliceAxial},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GetDicomSliceType(c.first, reserved), c.second) << (c.first ? c.first : "(null)");
    EXPECT_EQ(reserved, 77u);
}

TEST(DicomScanState, AReadMarksWhatItFoundInThatFileOnly)
{
    testutil::TempDir dir;
    testutil::WriteFile(dir.file("full.dcm"), dicomtest::Elements().group(0x0008).text(0x0018, 0x0050, "2")
                                                  .text(0x0018, 0x0088, "3").text(0x0020, 0x0013, "5")
                                                  .text(0x0020, 0x0037, "1\\0\\0\\0\\1\\0").size(16, 16)
                                                  .text(0x0028, 0x0030, "1\\1").pixels(2).bytes);
    testutil::WriteFile(dir.file("bare.dcm"),
                        dicomtest::Elements().group(0x0008).text(0x0020, 0x0013, "9000").pixels(2).bytes);
    ecRawHeaderInfo h;
    ASSERT_EQ(dicomtest::ReadOutcome(dir.file("full.dcm"), &h), "1");
    for (int slot : {kDicomSliceThickness, kDicomSliceSpacing, kDicomImageNumber, kDicomOrientation, kDicomRows,
                     kDicomColumns, kDicomPixelSpacing})
        EXPECT_TRUE(DicomState().found[slot]) << slot;
    EXPECT_TRUE(h.bIsValid);
    ASSERT_EQ(dicomtest::ReadOutcome(dir.file("bare.dcm"), &h), "1");
    for (int slot = 0; slot < kDicomFieldSlotCount; ++slot) EXPECT_FALSE(DicomState().found[slot]) << slot;
    EXPECT_EQ(h.iImageNum, 0);
    EXPECT_FALSE(h.bIsValid);
}
