// The DICOM position record and the per-file DICOM header record.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "Quarn.h"

TEST(DicomPositionRecord, SettersParseBackslashSeparatedValues)
{
    ecDicomPositionInfo p;
    EXPECT_EQ(p.SetPosition("-125.5\\-100\\42", 14), 1);
    ASSERT_EQ(p.vPosition.size(), 3);
    EXPECT_DOUBLE_EQ(p.vPosition[0], -125.5);
    EXPECT_DOUBLE_EQ(p.vPosition[2], 42);
    EXPECT_EQ(p.Ascii(0).substr(0, 32), "vPosition = -125.5 -100 42\nmRowC");

    // Too few numbers or no text keep the old vector.
    EXPECT_EQ(p.SetPosition("1\\2", 3), -2);
    EXPECT_EQ(p.SetPosition(nullptr, 0), -1);
    EXPECT_DOUBLE_EQ(p.vPosition[0], -125.5);
    // Extra numbers are ignored; four significant digits are printed.
    EXPECT_EQ(p.SetPosition("123.456\\0\\1\\99", 0), 1);
    EXPECT_EQ(p.Ascii(0).substr(0, 25), "vPosition = 123.5 0 1\nmRo");

    EXPECT_EQ(p.SetDirection("1\\0\\0\\0\\1\\0", 11), 1);
    EXPECT_NE(p.Ascii(0).find("mRowColDirs = 1 0 0 :0 1 0 \n"), std::string::npos);
    EXPECT_EQ(p.SetDirection("1\\0\\0\\0\\1", 9), -2);
    EXPECT_EQ(p.SetDirection(nullptr, 0), -1);
    EXPECT_EQ(p.mRowColDirs.rows(), 2);
    EXPECT_DOUBLE_EQ(p.mRowColDirs(1, 1), 1.0);

    EXPECT_EQ(p.SetOrientation(nullptr, 0), -1);
    EXPECT_EQ(p.SetOrientation("HFS", 3), 1);
    const std::string text = p.Ascii(0);
    EXPECT_EQ(text.substr(text.size() - 18), "sOrientation = HFS");
}
