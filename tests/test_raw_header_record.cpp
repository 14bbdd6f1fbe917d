// The raw header record: defaults, copies, validity bounds and the flags word.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "Quarn.h"
#include "RecordUtil.h"


TEST(RawHeaderRecord, DefaultsOfANewRecord)
{
    // The printed fields of a new record are checked by its readable text.
    ecRawHeaderInfo h;
    EXPECT_FALSE(h.bIsValid);
    EXPECT_EQ(h.EncodeFlags(), 0x50u);  // flag code 16 and bDefaults, nothing else
    EXPECT_EQ(h.ImagePlane, SliceUnknown);
    EXPECT_EQ(h.iNumFrames, 1);
    EXPECT_EQ(h.DataType, 0);
    EXPECT_EQ(h.lDataOffset, 0);
    for (int w : h.iSpare) EXPECT_EQ(w, 0);
    EXPECT_EQ(ecRawHeaderInfo::nLowerPixLimit, 10);
}

TEST(RawHeaderRecord, ValidityBoundsAndOptionBits)
{
    // Whether a valid axial record still passes IsValidForUse(options) after `change`.
    auto valid = [](auto change, unsigned long options = 0) {
        ecRawHeaderInfo h = testutil::RawRecord(256, 256, 0);
        change(h);
        return h.IsValidForUse(options);
    };
    EXPECT_TRUE(valid([](ecRawHeaderInfo&) {}));
    for (int size : {15, 1025, 0, -16}) {
        EXPECT_FALSE(valid([&](ecRawHeaderInfo& h) { h.iNumPix = size; })) << size;
        EXPECT_FALSE(valid([&](ecRawHeaderInfo& h) { h.iNumPixY = size; })) << size;
    }
    for (int size : {16, 1024}) EXPECT_TRUE(valid([&](ecRawHeaderInfo& h) { h.iNumPix = h.iNumPixY = size; })) << size;
    for (double mm : {0.1, 64.0}) EXPECT_TRUE(valid([&](ecRawHeaderInfo& h) { h.fSizePix = h.fSizePixY = mm; })) << mm;
    for (double mm : {0.0999, 64.01, 0.0, -1.0, std::nan(""), HUGE_VAL}) {
        EXPECT_FALSE(valid([&](ecRawHeaderInfo& h) { h.fSizePix = mm; })) << mm;
        EXPECT_FALSE(valid([&](ecRawHeaderInfo& h) { h.fSizePixY = mm; })) << mm;
    }

    // Option 1 adds the thickness, spacing and frame checks.
    for (double t : {-0.5, std::nan("")}) {
        EXPECT_TRUE(valid([&](ecRawHeaderInfo& h) { h.fSliceThickness = t; }));
        EXPECT_FALSE(valid([&](ecRawHeaderInfo& h) { h.fSliceThickness = t; }, 1));
    }
    EXPECT_FALSE(valid([](ecRawHeaderInfo& h) { h.fSliceSpacing = -1.0; }, 1));
    EXPECT_FALSE(valid([](ecRawHeaderInfo& h) { h.iNumFrames = 0; }, 1));
    EXPECT_TRUE(valid([](ecRawHeaderInfo&) {}, 1));
    // Option 2 asks for one of the three planes; the other bits are ignored.
    for (int plane : {int(SliceAxial), int(SliceSagittal), int(SliceCoronal), int(SliceUnknown), 6}) {
        const auto set = [&](ecRawHeaderInfo& h) { h.ImagePlane = static_cast<SliceType>(plane); };
        EXPECT_TRUE(valid(set)) << plane;
        EXPECT_EQ(valid(set, 2), plane != SliceUnknown && plane != 6) << plane;
    }
    EXPECT_TRUE(valid([](ecRawHeaderInfo& h) { h.ImagePlane = SliceUnknown; }, 0xFFFFFFFCul));
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
    ecRawHeaderInfo src = testutil::RawRecord(256, 256, 0);
    src.iImageNum = 7;
    src.iNumPix = 320;
    src.iNumPixY = 240;
    src.fSizePix = 1.25;
    src.fSizePixY = 1.5;
    src.fSliceThickness = 5;
    src.fSliceSpacing = 6;
    src.PlaneType = src.ImagePlane = SliceCoronal;
    src.fAttenFact = 2;
    src.lDataOffset = 1234;
    src.FileType = MriDicom;
    src.DataType = 98;
    src.iNumFrames = 4;

    // The geometry and offset are copied; file type, data type, frames and
    // image plane are not.
    ecRawHeaderInfo dst;
    dst.FileType = MriSigna;
    dst.DataType = 105;
    dst.iNumFrames = 2;
    dst.bEvaluated = true;
    dst.SetFromSliceInfo(&src);
    ecRawHeaderInfo expected = src;
    expected.FileType = MriSigna;
    expected.ImagePlane = SliceUnknown;
    EXPECT_EQ(dst.Ascii(0), expected.Ascii(0));
    EXPECT_TRUE(dst.bIsValid);
    EXPECT_FALSE(dst.bEvaluated);
    EXPECT_EQ(dst.lDataOffset, 1234);
    EXPECT_EQ(dst.DataType, 105);
    EXPECT_EQ(dst.iNumFrames, 2);
    EXPECT_EQ(dst.ImagePlane, SliceUnknown);

    // An invalid source resets the record, types included.
    src.bIsValid = false;
    dst.SetFromSliceInfo(&src);
    EXPECT_EQ(dst.Ascii(1), ecRawHeaderInfo().Ascii(1));
    EXPECT_EQ(dst.EncodeFlags(), ecRawHeaderInfo().EncodeFlags());
    EXPECT_FALSE(dst.bIsValid);
}

TEST(RawHeaderRecord, CopiesTakeEveryFieldAndSortByImageNumber)
{
    ecRawHeaderInfo a = testutil::RawRecord(256, 256, 0);
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
