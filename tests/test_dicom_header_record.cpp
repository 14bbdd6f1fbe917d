// The DICOM position record and the per-file DICOM header record.
#include <gtest/gtest.h>

#include "Quarn.h"

TEST(DicomPositionRecord, NewRecordIsThreeUnsetLines)
{
    ecDicomPositionInfo p, q;
    EXPECT_EQ(p.Ascii(0), "vPosition = *Unset*\nmRowColDirs = *Unset*\nsOrientation = *Unset*\n");
    EXPECT_TRUE(p == q);
}

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

TEST(DicomPositionRecord, EqualityLooksAtAllThreeParts)
{
    ecDicomPositionInfo a, b;
    b.SetOrientation("FFS", 3);
    EXPECT_FALSE(a == b);
    a.SetOrientation("FFS", 3);
    EXPECT_TRUE(a == b);
    a.SetPosition("0\\0\\1", 0);
    EXPECT_FALSE(a == b);
    b.SetPosition("0\\0\\1", 0);
    EXPECT_TRUE(a == b);
    b.SetDirection("1\\0\\0\\0\\0\\-1", 0);
    EXPECT_FALSE(a == b);
}

TEST(DicomHeaderRecord, TextCopiesAndBaseAssignment)
{
    ecDicomHeaderInfo h;
    const std::string fresh = h.Ascii(0);
    const std::string base = ecRawHeaderInfo().Ascii(0);
    EXPECT_EQ(fresh, "Filename : \nImage Offset : 0\n" + base + "\n" + ecDicomPositionInfo().Ascii(0));

    h.sFileName = "IM0001";
    h.iImageOffset = 1234;
    h.iImageNum = 17;
    h.Position.SetPosition("1\\2\\3", 0);
    const std::string text = h.Ascii(0);
    EXPECT_EQ(text.rfind("Filename : IM0001\nImage Offset : 1234\n", 0), 0u) << text;
    ecDicomHeaderInfo copy(h), assigned;
    EXPECT_EQ(copy.Ascii(0), text);
    EXPECT_TRUE(copy.Position == h.Position);
    assigned = h;
    EXPECT_EQ(assigned.Ascii(0), text);
    ecDicomHeaderInfo& self = assigned;
    assigned = self;
    EXPECT_EQ(assigned.Ascii(0), h.Ascii(0));

    // Handing the file's record to a plain raw record copies the base part.
    ecRawHeaderInfo raw;
    raw = h;
    EXPECT_EQ(raw.iImageNum, 17);
    EXPECT_EQ(raw.Ascii(0), static_cast<const ecRawHeaderInfo&>(h).Ascii(0));
}
