// Text forms of the raw header record: readable, compact, and evaluating a
// compact text from a string or a file.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "Quarn.h"
#include "TestUtil.h"

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

TEST(RawHeaderText, ReadableFormOfANewRecord)
{
    ecRawHeaderInfo h;
    EXPECT_EQ(h.Ascii(0), kNewRecordReadable);
    std::string crlf;
    for (const char* p = kNewRecordReadable; *p; ++p) crlf += (*p == '\n') ? std::string("\r\n") : std::string(1, *p);
    EXPECT_EQ(h.Ascii(2), crlf);
}

TEST(RawHeaderText, ReadableFormTakesThePlaneAndPixelHeightAndNeverTheFlags)
{
    ecRawHeaderInfo h;
    h.ImagePlane = SliceSagittal;
    h.PlaneType = SliceCoronal;
    h.fSizePixY = 1.5;
    h.iImageNum = 1234;
    h.FileType = MriDicom;
    h.bFlag9 = true;
    const std::string t = h.Ascii(0);
    EXPECT_NE(t.find("PlaneType=Sagittal\n"), std::string::npos);
    EXPECT_NE(t.find("fSizePix=0.85940\nfSizePix=1.50000\n"), std::string::npos);
    EXPECT_NE(t.find("iImageNum=1234\n"), std::string::npos);
    EXPECT_NE(t.find("FileType=MriDicom\n"), std::string::npos);
    EXPECT_NE(t.find("uiFlags=     0\n"), std::string::npos);
    h.ImagePlane = SliceUnknown;
    h.PlaneType = static_cast<SliceType>(6);
    EXPECT_NE(h.Ascii(0).find("PlaneType=Unknown\n"), std::string::npos);
}

TEST(RawHeaderText, CompactForm)
{
    ecRawHeaderInfo h;
    EXPECT_EQ(h.Ascii(1), "<Axial:unknown : MriNone>(256,256,0.85940,0.85940, 3.0000, 0.0000,  0,1.0000,    0)");
    EXPECT_EQ(h.Ascii(3), h.Ascii(1));
    h.ImagePlane = SliceSagittal;
    h.PlaneType = SliceCoronal;
    h.DataType = 98;
    h.FileType = MriRaw16;
    EXPECT_EQ(h.Ascii(1).substr(0, 29), "<Sagittalshort : MriRaw16>(25");
    h.ImagePlane = SliceUnknown;
    EXPECT_EQ(h.Ascii(1).substr(0, 9), "<Coronal:");
    h.PlaneType = SliceUnknown;
    EXPECT_EQ(h.Ascii(1).substr(0, 9), "<Unknown:");
}

TEST(RawHeaderText, EvaluateSetsTheRecordFromACompactText)
{
    ecRawHeaderInfo h;
    h.FileType = MriRaw16Swapped;
    h.lDataOffset = 77;
    h.iNumFrames = 9;
    h.iSpare[2] = 5;
    h.bFlag8 = true;
    ASSERT_TRUE(h.Evaluate(std::string("<Sagittal: short >(256, 256, 0.9, 0.9, 3, 3.5, 12)")));
    EXPECT_TRUE(h.bIsValid);
    EXPECT_TRUE(h.bEvaluated);
    EXPECT_FALSE(h.bDefaults);
    EXPECT_FALSE(h.bFlag8);
    EXPECT_EQ(h.PlaneType, SliceSagittal);
    EXPECT_EQ(h.ImagePlane, SliceSagittal);
    EXPECT_EQ(h.DataType, 98);
    EXPECT_EQ(h.iNumPix, 256);
    EXPECT_DOUBLE_EQ(h.fSizePixY, 0.9);
    EXPECT_DOUBLE_EQ(h.fSliceSpacing, 3.5);
    EXPECT_EQ(h.iImageNum, 12);
    EXPECT_DOUBLE_EQ(h.fAttenFact, 0.0);  // only seven numbers
    EXPECT_EQ(h.iFlagCode, 16);
    EXPECT_EQ(h.EncodeFlags(), 0x30u);
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
        h.bIsValid = true;
        h.bEvaluated = true;
        h.iNumPix = 300;
        EXPECT_FALSE(h.Evaluate(std::string(text))) << text;
        EXPECT_FALSE(h.bIsValid) << text;
        EXPECT_FALSE(h.bEvaluated) << text;
        EXPECT_EQ(h.iNumPix, 300) << text;
    }
    // A text that begins with "RawHeaderInfo" leaves the record untouched.
    ecRawHeaderInfo h;
    h.bIsValid = true;
    h.bEvaluated = true;
    EXPECT_FALSE(h.Evaluate(h.Ascii(0)));
    EXPECT_TRUE(h.bIsValid);
    EXPECT_TRUE(h.bEvaluated);
}

TEST(RawHeaderText, EvaluateLooksOnlyAtTheFirst511Characters)
{
    const std::string good = "<Axial: short>(256,256,1,1,1,1,1)";
    ecRawHeaderInfo h;
    // Padding inside the text pushes the closing ")" past character 511.
    std::string longText = "<Axial: short>(256,256,1,1,1,1,1" + std::string(600, ' ') + ")";
    EXPECT_FALSE(h.Evaluate(longText));
    std::string fits = "<Axial: short>(256,256,1,1,1,1,1" + std::string(511 - 33, ' ') + ")";
    ASSERT_EQ(fits.size(), 511u);
    EXPECT_TRUE(h.Evaluate(fits));
    // Text after the first 511 characters does not matter, nor does 100 KB of it.
    EXPECT_TRUE(h.Evaluate(good + std::string(100000, 'x')));
    // Arbitrary bytes of any length give an answer and never read past the text.
    std::mt19937 rng(42);
    for (int round = 0; round < 300; ++round) {
        std::string junk(rng() % 1500, '\0');
        for (char& c : junk) c = static_cast<char>(rng());
        if (round % 3 == 0) junk = "<axial:" + junk;
        ecRawHeaderInfo r;
        r.Evaluate(junk);
    }
}

TEST(RawHeaderText, EvaluateFromAFile)
{
    testutil::TempDir dir;
    ecRawHeaderInfo h;
    h.bIsValid = true;
    EXPECT_FALSE(h.Evaluate(static_cast<const char*>(nullptr)));
    EXPECT_FALSE(h.Evaluate(dir.file("missing.txt").c_str()));
    EXPECT_FALSE(h.Evaluate(dir.path().c_str()));  // a folder cannot be read as text
    EXPECT_TRUE(h.bIsValid);                      // none of these touched the record
    testutil::WriteText(dir.file("hdr.txt"), "<Coronal: uchar>(128,64,0.5,0.75,2,2.5,3,1)\n");
    ASSERT_TRUE(h.Evaluate(dir.file("hdr.txt").c_str()));
    EXPECT_EQ(h.DataType, 105);
    EXPECT_EQ(h.iNumPixY, 64);
    EXPECT_EQ(h.PlaneType, SliceCoronal);
    testutil::WriteText(dir.file("bad.txt"), "<Coronal uchar>(128,64,0.5,0.75,2,2.5,3,1)\n");
    EXPECT_FALSE(h.Evaluate(dir.file("bad.txt").c_str()));
    EXPECT_FALSE(h.bIsValid);
}

TEST(RawHeaderText, SliceHeaderText)
{
    ecMriSlice<short> s;
    EXPECT_EQ(s.GetHeaderInfo(0), "**No Header Information**");
    ecRawHeaderInfo h;
    h.bIsValid = true;
    ASSERT_EQ(s.SetRawHeaderInfo(h, 1), 2);
    EXPECT_EQ(s.GetHeaderInfo(0), kNewRecordReadable);
    EXPECT_EQ(s.GetHeaderInfo(1), h.Ascii(1));
}
