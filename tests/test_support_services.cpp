// Pixel-type codes and words, gray-value limits, pixel conversion, file-type
// words and the string helpers.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>

#include "Quarn.h"

TEST(SupportServices, PixelTypeCodesAndWords)
{
    EXPECT_EQ(GetBaseDataType(static_cast<unsigned char>(0)), 105);
    EXPECT_EQ(GetBaseDataType(short()), 98);
    EXPECT_EQ(GetBaseDataType(float()), 114);
    for (auto c : {ecBaseData::UnsignedChar, ecBaseData::Short, ecBaseData::Float})
        EXPECT_EQ(ecBaseData::Parse(ecBaseData::Ascii(c)), c);
    EXPECT_EQ(ecBaseData::Parse("SHORT"), ecBaseData::Short);
    EXPECT_EQ(ecBaseData::Parse("double"), ecBaseData::Unknown);
    EXPECT_EQ(ecBaseData::Ascii(static_cast<ecBaseData::BaseDataType>(7)), "unknown");
}

TEST(SupportServices, GrayLimitsBoundEveryValue)
{
    EXPECT_EQ(GetMaximumGrayValue(static_cast<unsigned char>(0)), 255);
    EXPECT_EQ(GetMinimumGrayValue(static_cast<unsigned char>(0)), 0);
    EXPECT_EQ(GetMaximumGrayValue(short()), 32767);
    EXPECT_EQ(GetMinimumGrayValue(short()), -32768);
    EXPECT_EQ(GetMaximumGrayValue(float()), std::numeric_limits<float>::max());
    EXPECT_EQ(GetMinimumGrayValue(float()), -std::numeric_limits<float>::max());
}

TEST(SupportServices, ConvertPixValRoundsAndClamps)
{
    const unsigned char u = 0;
    EXPECT_EQ(ConvertPixVal(11.5, u), 12);
    EXPECT_EQ(ConvertPixVal(11.49, u), 11);
    EXPECT_EQ(ConvertPixVal(-3.0, u), 0);
    EXPECT_EQ(ConvertPixVal(255.6, u), 255);
    EXPECT_EQ(ConvertPixVal(std::nan(""), u), 0);
    EXPECT_EQ(ConvertPixVal(-2.5, short()), -3);
    EXPECT_EQ(ConvertPixVal(-2.25, short()), -2);
    EXPECT_EQ(ConvertPixVal(40000.0, short()), 32767);
    EXPECT_EQ(ConvertPixVal(-1e300, short()), -32768);
    EXPECT_EQ(ConvertPixVal(std::numeric_limits<double>::infinity(), short()), 32767);
    EXPECT_FLOAT_EQ(ConvertPixVal(0.125, float()), 0.125f);
}

TEST(SupportServices, FileTypeWordsAreDistinct)
{
    std::set<std::string> words;
    for (int t = 0; t <= 20; ++t) words.insert(AsciiRepOfMriFileType(static_cast<MriFileType>(t)));
    EXPECT_EQ(words.size(), 21u);
    EXPECT_EQ(AsciiRepOfMriFileType(MriDicom), "MriDicom");
    EXPECT_EQ(AsciiRepOfMriFileType(MriRaw16Swapped), "MriRaw16Swapped");
    EXPECT_EQ(AsciiRepOfMriFileType(static_cast<MriFileType>(21)), "MriUnknown(21)");
    EXPECT_EQ(AsciiRepOfMriFileType(static_cast<MriFileType>(-1)), "MriUnknown(-1)");
}

TEST(SupportServices, StringHelpers)
{
    std::string rest = "a\\bb\\\\c";
    EXPECT_EQ(SplitFirst(rest, "\\", true), "a");
    EXPECT_EQ(rest, "bb\\\\c");
    EXPECT_EQ(SplitFirst(rest, "\\", true), "bb");
    EXPECT_EQ(SplitFirst(rest, "\\", true), "");
    EXPECT_EQ(SplitFirst(rest, "\\", true), "c");
    EXPECT_EQ(rest, "");
    EXPECT_EQ(SplitFirst(rest, "\\", true), "");

    std::string t = "  a b  ";
    StripBlanks(t, true, false);
    EXPECT_EQ(t, "a b  ");
    StripBlanks(t, false, true);
    EXPECT_EQ(t, "a b");
    std::string blanks = "    ";
    StripBlanks(blanks, true, true);
    EXPECT_EQ(blanks, "");
    std::string mixed = "HeAD First 2";
    ToLower(mixed);
    EXPECT_EQ(mixed, "head first 2");
    EXPECT_EQ(StringPrintf("%s-%05.1f", "x", 2.25), "x-002.2");
    EXPECT_EQ(StringPrintf("%s", std::string(1000, 'q').c_str()).size(), 1000u);
}
