// The raw header record: validity bounds and the option bits, copies and
// sorting; its readable text, and evaluating a compact text from a string.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
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

namespace {
const char* kNewRecordReadable =
    "RawHeaderInfo\n"
    "PlaneType=Axial\n"
    "iNumPix=256\n"
    "iNumPixY=256\n"
    "fSizePix=0.85940\n"
    "fSizePix=0.85940\n"
    "fSliceThickness= 3.0000\n"
    "fSliceSpacing= 0.0000\n"
    "iImageNum=  0\n"
    "FileType=MriNone\n"
    "fAttenFact=1.0000\n"
    "uiFlags=     0\n";
}  // namespace

TEST(RawHeaderText, ReadableForm)
{
    ecRawHeaderInfo h;
    EXPECT_EQ(h.Ascii(0), kNewRecordReadable);
    std::string crlf;
    for (const char* p = kNewRecordReadable; *p; ++p) crlf += (*p == '\n') ? std::string("\r\n") : std::string(1, *p);
    EXPECT_EQ(h.Ascii(2), crlf);

    // The image plane when known, the pixel height second, never the flags.
    h.ImagePlane = SliceSagittal;
    h.PlaneType = SliceCoronal;
    h.fSizePixY = 1.5;
    h.iImageNum = 1234;
    h.FileType = MriDicom;
    h.bFlag9 = true;
    for (const char* part : {"PlaneType=Sagittal\n", "fSizePix=0.85940\nfSizePix=1.50000\n", "iImageNum=1234\n",
                             "FileType=MriDicom\n", "uiFlags=     0\n"})
        EXPECT_NE(h.Ascii(0).find(part), std::string::npos) << part;
    h.ImagePlane = SliceUnknown;
    h.PlaneType = static_cast<SliceType>(6);
    EXPECT_NE(h.Ascii(0).find("PlaneType=Unknown\n"), std::string::npos);
}

TEST(RawHeaderText, EvaluateSetsTheRecordFromACompactText)
{
    // Fields the text does not give are reset, except the file type.
    ecRawHeaderInfo h;
    h.FileType = MriRaw16Swapped;
    h.lDataOffset = 77;
    h.iNumFrames = 9;
    h.iSpare[2] = 5;
    h.bFlag8 = true;
    ASSERT_TRUE(h.Evaluate(std::string("<Sagittal: short >(256, 256, 0.9, 0.9, 3, 3.5, 12)")));
    EXPECT_TRUE(h.bIsValid);
    EXPECT_EQ(h.PlaneType, SliceSagittal);
    EXPECT_EQ(h.ImagePlane, SliceSagittal);
    EXPECT_EQ(h.DataType, 98);
    EXPECT_EQ(h.iNumPix, 256);
    EXPECT_DOUBLE_EQ(h.fSizePixY, 0.9);
    EXPECT_DOUBLE_EQ(h.fSliceSpacing, 3.5);
    EXPECT_EQ(h.iImageNum, 12);
    EXPECT_DOUBLE_EQ(h.fAttenFact, 0.0);  // only seven numbers
    EXPECT_EQ(h.EncodeFlags(), 0x30u);  // code 16 and bEvaluated: bDefaults and bFlag8 cleared
    EXPECT_EQ(h.iNumFrames, 1);
    EXPECT_EQ(h.lDataOffset, 0);
    EXPECT_EQ(h.iSpare[2], 0);
    EXPECT_EQ(h.FileType, MriRaw16Swapped);  // kept
    EXPECT_TRUE(h.IsValidForUse(2));

    ecRawHeaderInfo g;
    ASSERT_TRUE(g.Evaluate(std::string(" \t<  CORONAL ::: float>(64 32 1.5 2.5 4 5 -7 2.25 ff 99 98)")));
    EXPECT_EQ(g.PlaneType, SliceCoronal);
    EXPECT_EQ(g.DataType, 114);
    EXPECT_EQ(g.iNumPix, 64);
    EXPECT_EQ(g.iNumPixY, 32);
    EXPECT_EQ(g.iImageNum, -7);
    EXPECT_DOUBLE_EQ(g.fAttenFact, 2.25);
    EXPECT_EQ(g.iFlagCode, 16);  // the flags value is read but not used
}

TEST(RawHeaderText, EvaluateRefusesMalformedTexts)
{
    const char* bad[] = {
        "\n<Axial: short>(256,256,1,1,1,1,1)",   // a line feed before "<"
        "<Axial short>(256,256,1,1,1,1,1)",      // no colon
        "<Oblique: short>(256,256,1,1,1,1,1)",   // not a plane
        "<Axial: short>(256,256,1,1,1,1)",       // six numbers
        "<Axial: short>(256,256,1,1,1,1,1",      // no ")"
        "<Axial: short> (256,256,1,1,1,1,1)",    // ">(" split
        "<Axial:",                               // ends after the colon
        "<Axial: short",                         // ends after the type word
        "Axial: short>(256,256,1,1,1,1,1)",      // no "<"
        "",
    };
    for (const char* text : bad) {
        ecRawHeaderInfo h;
        h.bIsValid = h.bEvaluated = true;
        h.iNumPix = 300;
        EXPECT_FALSE(h.Evaluate(std::string(text))) << text;
        EXPECT_FALSE(h.bIsValid || h.bEvaluated) << text;
        EXPECT_EQ(h.iNumPix, 300) << text;
    }
    // A text that begins with "RawHeaderInfo" leaves the record untouched.
    ecRawHeaderInfo h;
    h.bIsValid = h.bEvaluated = true;
    EXPECT_FALSE(h.Evaluate(h.Ascii(0)));
    EXPECT_TRUE(h.bIsValid && h.bEvaluated);
}

TEST(RawHeaderText, EvaluateLooksOnlyAtTheFirst511Characters)
{
    const std::string good = "<Axial: short>(256,256,1,1,1,1,1)";
    ecRawHeaderInfo h;
    // Padding inside the text pushes the closing ")" past character 511.
    const std::string open = good.substr(0, good.size() - 1);
    EXPECT_FALSE(h.Evaluate(open + std::string(511 - open.size(), ' ') + ")"));  // ")" is character 512
    EXPECT_TRUE(h.Evaluate(open + std::string(510 - open.size(), ' ') + ")"));
    // Text after the first 511 characters does not matter, nor does 100 KB of it.
    EXPECT_TRUE(h.Evaluate(good + std::string(100000, 'x')));
}
