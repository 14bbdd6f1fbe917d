// The DICOM position record and the per-file DICOM header record.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

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

// The position and direction texts are read bit for bit as strtod reads them
// (backslashes as blanks), whatever their form: many digits, leading zeros, a
// bare point, exponents, hex, infinities, text after a number.
TEST(DicomPositionRecord, NumbersAreReadAsTheCLibraryReadsThem)
{
    std::mt19937 rng(20261205);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    const char* const odd[] = {"1e3", "-2.5E-4", "0x1A", "inf", "-nan", "1e", ".", "-", "+.5", "5.", "1,5", "abc"};
    auto number = [&]() {
        std::string s;
        if (pick(10) == 0) return std::string(odd[pick(12)]);
        const int sign = pick(4);
        if (sign == 0) s += '-';
        if (sign == 1) s += '+';
        const int whole = pick(12), fraction = pick(4) == 0 ? 18 + pick(8) : pick(10);
        for (int i = 0; i < whole; ++i) s += static_cast<char>('0' + (i == 0 && pick(3) == 0 ? 0 : pick(10)));
        if (fraction > 0 || whole == 0) s += '.';
        for (int i = 0; i < fraction; ++i) s += static_cast<char>('0' + pick(10));
        if (whole == 0 && fraction == 0) s += '0';
        return s;
    };
    auto bits = [](double d) {
        uint64_t u;
        std::memcpy(&u, &d, sizeof u);
        return u;
    };
    const char* const gaps[] = {"\\", " \\ ", "\\\\", "\t"};
    for (int round = 0; round < 20000; ++round) {
        std::string text = pick(5) == 0 ? " " : "";
        for (int i = 0; i < 3; ++i) text += (i ? gaps[pick(4)] : "") + number();
        if (pick(5) == 0) text += " ";
        // What strtod reads, with the backslashes as blanks.
        std::string blanked = text;
        for (char& c : blanked)
            if (c == '\\') c = ' ';
        double expected[3];
        int found = 0;
        const char* p = blanked.c_str();
        while (found < 3) {
            char* end = nullptr;
            const double v = std::strtod(p, &end);
            if (end == p) break;
            expected[found++] = v;
            p = end;
        }
        SCOPED_TRACE(text);
        ecDicomPositionInfo info;
        ASSERT_EQ(info.SetPosition(text.c_str(), static_cast<int>(text.size())), found == 3 ? 1 : -2);
        if (found < 3) continue;
        for (int i = 0; i < 3; ++i) EXPECT_EQ(bits(info.vPosition[i]), bits(expected[i])) << i;
    }
}
