// The raw header record: defaults, copies, validity bounds and the flags word.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "Quarn.h"
#include "TestUtil.h"


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
