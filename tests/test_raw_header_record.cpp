// The raw header record: defaults, copies, validity bounds and the flags word.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "Quarn.h"

namespace {
ecRawHeaderInfo ValidRecord()
{
    ecRawHeaderInfo h;
    h.bIsValid = true;
    h.ImagePlane = SliceAxial;
    return h;
}
}  // namespace

TEST(RawHeaderRecord, DefaultsOfANewRecord)
{
    ecRawHeaderInfo h;
    EXPECT_FALSE(h.bIsValid);
    EXPECT_FALSE(h.bEvaluated);
    EXPECT_TRUE(h.bDefaults);
    EXPECT_FALSE(h.bFlag7 || h.bFlag8 || h.bFlag9 || h.bFlag10);
    EXPECT_EQ(h.iFlagCode, 16);
    EXPECT_EQ(h.iNumPix, 256);
    EXPECT_EQ(h.iNumPixY, 256);
    EXPECT_EQ(h.iImageNum, 0);
    EXPECT_EQ(h.PlaneType, SliceAxial);
    EXPECT_EQ(h.ImagePlane, SliceUnknown);
    EXPECT_EQ(h.iNumFrames, 1);
    EXPECT_EQ(h.DataType, 0);
    EXPECT_EQ(h.FileType, MriNone);
    EXPECT_DOUBLE_EQ(h.fSizePix, 0.8594);
    EXPECT_DOUBLE_EQ(h.fSizePixY, 0.8594);
    EXPECT_DOUBLE_EQ(h.fSliceThickness, 3.0);
    EXPECT_DOUBLE_EQ(h.fSliceSpacing, 0.0);
    EXPECT_DOUBLE_EQ(h.fAttenFact, 1.0);
    EXPECT_EQ(h.lDataOffset, 0);
    for (int w : h.iSpare) EXPECT_EQ(w, 0);
    EXPECT_FALSE(h.IsValidForUse(0));
    EXPECT_EQ(h.EncodeFlags(), 0x50u);
    EXPECT_EQ(h.GetSliceType(), SliceAxial);
    EXPECT_EQ(ecRawHeaderInfo::nLowerPixLimit, 10);
}

TEST(RawHeaderRecord, ValidityBoundsAreInclusive)
{
    ecRawHeaderInfo h = ValidRecord();
    EXPECT_TRUE(h.IsValidForUse(0));
    for (int size : {15, 1025, 0, -16}) {
        ecRawHeaderInfo a = ValidRecord(), b = ValidRecord();
        a.iNumPix = size;
        b.iNumPixY = size;
        EXPECT_FALSE(a.IsValidForUse(0)) << size;
        EXPECT_FALSE(b.IsValidForUse(0)) << size;
    }
    for (int size : {16, 1024}) {
        ecRawHeaderInfo a = ValidRecord();
        a.iNumPix = a.iNumPixY = size;
        EXPECT_TRUE(a.IsValidForUse(0)) << size;
    }
    for (double mm : {0.1, 64.0}) {
        ecRawHeaderInfo a = ValidRecord();
        a.fSizePix = a.fSizePixY = mm;
        EXPECT_TRUE(a.IsValidForUse(0)) << mm;
    }
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    for (double mm : {0.0999, 64.01, 0.0, -1.0, nan, inf}) {
        ecRawHeaderInfo a = ValidRecord(), b = ValidRecord();
        a.fSizePix = mm;
        b.fSizePixY = mm;
        EXPECT_FALSE(a.IsValidForUse(0)) << mm;
        EXPECT_FALSE(b.IsValidForUse(0)) << mm;
    }
}

TEST(RawHeaderRecord, OptionBitsAddThicknessFramesAndPlaneChecks)
{
    ecRawHeaderInfo thick = ValidRecord(), spacing = ValidRecord(), frames = ValidRecord(), nanThick = ValidRecord();
    thick.fSliceThickness = -0.5;
    spacing.fSliceSpacing = -1.0;
    frames.iNumFrames = 0;
    nanThick.fSliceThickness = std::numeric_limits<double>::quiet_NaN();
    for (auto* h : {&thick, &spacing, &frames, &nanThick}) {
        EXPECT_TRUE(h->IsValidForUse(0));
        EXPECT_FALSE(h->IsValidForUse(1));
    }
    ecRawHeaderInfo fresh;
    fresh.bIsValid = true;  // ImagePlane is still SliceUnknown
    EXPECT_TRUE(fresh.IsValidForUse(0));
    EXPECT_FALSE(fresh.IsValidForUse(2));
    for (SliceType t : {SliceAxial, SliceSagittal, SliceCoronal}) {
        fresh.ImagePlane = t;
        EXPECT_TRUE(fresh.IsValidForUse(2));
    }
    fresh.ImagePlane = static_cast<SliceType>(6);
    EXPECT_FALSE(fresh.IsValidForUse(2));
    EXPECT_TRUE(fresh.IsValidForUse(0xFFFFFFFCul));  // other bits are ignored
}

TEST(RawHeaderRecord, SliceTypeOnlyNamesTheThreePlanes)
{
    ecRawHeaderInfo h;
    for (int v : {0, 1, 3, 6, 12, 16, -2}) {
        h.PlaneType = static_cast<SliceType>(v);
        EXPECT_EQ(h.GetSliceType(), SliceUnknown) << v;
    }
    h.PlaneType = SliceCoronal;
    EXPECT_EQ(h.GetSliceType(), SliceCoronal);
}

TEST(RawHeaderRecord, FlagsWordPacksAndUnpacks)
{
    ecRawHeaderInfo h;
    h.DecodeFlags(0x40);
    EXPECT_TRUE(h.bDefaults);
    EXPECT_FALSE(h.bEvaluated);
    EXPECT_EQ(h.iFlagCode, 0);
    h.DecodeFlags(0x7FF);
    EXPECT_EQ(h.iFlagCode, 31);
    EXPECT_TRUE(h.bEvaluated && h.bDefaults && h.bFlag7 && h.bFlag8 && h.bFlag9 && h.bFlag10);
    h.DecodeFlags(0xFFFFF800ul);  // bits 11..31 are ignored
    EXPECT_EQ(h.iFlagCode, 0);
    EXPECT_FALSE(h.bEvaluated || h.bDefaults || h.bFlag7 || h.bFlag8 || h.bFlag9 || h.bFlag10);
    for (unsigned long w = 0; w < 0x800; w += 37) {
        h.DecodeFlags(w);
        EXPECT_EQ(h.EncodeFlags(), w) << w;
    }
    // The code is not masked when encoding: a large code reaches the flag bits.
    h.DecodeFlags(0);
    h.iFlagCode = 0x60;
    EXPECT_EQ(h.EncodeFlags(), 0x60u);
    h.iFlagCode = -1;
    EXPECT_EQ(h.EncodeFlags(), 0xFFFFFFFFul);  // a 32-bit word on every host
}

TEST(RawHeaderRecord, SetFromSliceInfoCopiesGeometryOrResets)
{
    ecRawHeaderInfo src = ValidRecord();
    src.iImageNum = 7;
    src.iNumPix = 320;
    src.iNumPixY = 240;
    src.fSizePix = 1.25;
    src.fSizePixY = 1.5;
    src.fSliceThickness = 5;
    src.fSliceSpacing = 6;
    src.PlaneType = SliceCoronal;
    src.fAttenFact = 2;
    src.lDataOffset = 1234;
    src.FileType = MriDicom;
    src.DataType = 98;
    src.iNumFrames = 4;
    src.ImagePlane = SliceCoronal;

    ecRawHeaderInfo dst;
    dst.FileType = MriSigna;
    dst.DataType = 105;
    dst.iNumFrames = 2;
    dst.bEvaluated = true;
    dst.SetFromSliceInfo(&src);
    EXPECT_TRUE(dst.bIsValid);
    EXPECT_FALSE(dst.bEvaluated);
    EXPECT_EQ(dst.iImageNum, 7);
    EXPECT_EQ(dst.iNumPix, 320);
    EXPECT_EQ(dst.iNumPixY, 240);
    EXPECT_DOUBLE_EQ(dst.fSizePix, 1.25);
    EXPECT_DOUBLE_EQ(dst.fSizePixY, 1.5);
    EXPECT_DOUBLE_EQ(dst.fSliceThickness, 5);
    EXPECT_DOUBLE_EQ(dst.fSliceSpacing, 6);
    EXPECT_EQ(dst.PlaneType, SliceCoronal);
    EXPECT_DOUBLE_EQ(dst.fAttenFact, 2);
    EXPECT_EQ(dst.lDataOffset, 1234);
    EXPECT_EQ(dst.FileType, MriSigna);
    EXPECT_EQ(dst.DataType, 105);
    EXPECT_EQ(dst.iNumFrames, 2);
    EXPECT_EQ(dst.ImagePlane, SliceUnknown);

    src.bIsValid = false;
    dst.SetFromSliceInfo(&src);
    const ecRawHeaderInfo fresh;
    EXPECT_EQ(dst.Ascii(0), fresh.Ascii(0));
    EXPECT_EQ(dst.EncodeFlags(), fresh.EncodeFlags());
    EXPECT_EQ(dst.FileType, MriNone);
    EXPECT_EQ(dst.DataType, 0);
    EXPECT_FALSE(dst.bIsValid);
}

TEST(RawHeaderRecord, CopiesTakeEveryFieldAndSortByImageNumber)
{
    ecRawHeaderInfo a = ValidRecord();
    a.iSpare[0] = 11;
    a.iSpare[4] = -3;
    a.bFlag9 = true;
    a.lDataOffset = -1;
    a.FileType = MriRaw16Swapped;
    ecRawHeaderInfo b(a);
    EXPECT_EQ(b.iSpare[0], 11);
    EXPECT_EQ(b.iSpare[4], -3);
    EXPECT_TRUE(b.bFlag9);
    EXPECT_EQ(b.lDataOffset, -1);
    EXPECT_EQ(b.FileType, MriRaw16Swapped);
    ecRawHeaderInfo& self = b;
    b = self;
    EXPECT_EQ(b.iSpare[4], -3);

    std::vector<ecRawHeaderInfo> list(4);
    const int nums[] = {9, -2, 5, 0};
    for (size_t i = 0; i < list.size(); ++i) list[i].iImageNum = nums[i];
    std::sort(list.begin(), list.end());
    EXPECT_EQ(list[0].iImageNum, -2);
    EXPECT_EQ(list[3].iImageNum, 9);
    ecRawHeaderInfo x, y;
    x.iNumPix = 300;
    EXPECT_FALSE(x < y);
    EXPECT_FALSE(y < x);
}
