// The gray table of display images: every entry is the level WindowLevel
// gives for its value, however the table is built.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "pictor.h"

TEST(GrayTable, EveryEntryIsTheWindowLevelOfItsValue)
{
    struct Case {
        double low, high;
        long first, last;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const Case cases[] = {
        {0.0, 4095.0, 0, 4095},       // a 12-bit display slice
        {0.0, 30000.0, 0, 30000},     // a 16-bit one
        {0.0, 255.0, 0, 255},         // one level per value
        {0.0, 65535.0, 0, 65535},     // the largest table
        {0.0, 1.0, 0, 1},             // two values: 0 and 255
        {0.0, 0.0, 0, 0},             // an all-zero slice
        {-1000.0, 3000.0, -2048, 4095},  // values on both sides of the window
        {100.5, 133.25, 90, 140},     // a window narrower than 256 values
        {0.1, 0.3, -5, 5},            // a window between two integers
        {300.0, 200.0, 0, 500},       // high below low: 0 up to low, 255 above
        {nan, 100.0, 0, 300},
        {0.0, inf, 0, 300},
        {-inf, 50.0, 0, 300},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.low << " " << c.high << " " << c.first << " " << c.last);
        const ecGrayTable table(c.low, c.high, c.first, c.last);
        ASSERT_EQ(table.GetSize(), static_cast<size_t>(c.last - c.first + 1));
        long wrong = 0;
        for (long v = c.first; v <= c.last; ++v)
            if (table.Level(static_cast<double>(v)) != ecGrayTable::WindowLevel(static_cast<double>(v), c.low, c.high))
                ++wrong;
        EXPECT_EQ(wrong, 0);
    }
    // Levels across a 12-bit window rise by one about every 16 values.
    const ecGrayTable t(0.0, 4095.0, 0, 4095);
    EXPECT_EQ(t.Level(0.0), 0);
    EXPECT_EQ(t.Level(8.0), 0);
    EXPECT_EQ(t.Level(9.0), 1);
    EXPECT_EQ(t.Level(2048.0), 128);
    EXPECT_EQ(t.Level(4095.0), 255);
    // More than 65536 values get no table.
    EXPECT_EQ(ecGrayTable(0.0, 1.0, 0, 65536).GetSize(), 0u);
}

// Windows of every width and position, integer and not, against ranges that
// start below, inside and above them.
TEST(GrayTable, RandomWindowsMatchTheLevelOfEveryValue)
{
    std::mt19937 rng(4095);
    std::uniform_real_distribution<double> place(-5000.0, 70000.0), width(0.01, 70000.0);
    for (int round = 0; round < 300; ++round) {
        double low = place(rng), high = low + width(rng);
        if (round % 3 == 0) {  // integer windows, as display slices use
            low = std::floor(low);
            high = std::floor(high) + 1.0;
        }
        const long first = static_cast<long>(std::floor(low)) - static_cast<long>(rng() % 3000);
        const long last = first + static_cast<long>(rng() % 65536);
        SCOPED_TRACE(testing::Message() << low << " " << high << " " << first << " " << last);
        const ecGrayTable table(low, high, first, last);
        ASSERT_EQ(table.GetSize(), static_cast<size_t>(last - first + 1));
        long wrong = 0;
        for (long v = first; v <= last; ++v)
            if (table.Level(static_cast<double>(v)) != ecGrayTable::WindowLevel(static_cast<double>(v), low, high))
                ++wrong;
        ASSERT_EQ(wrong, 0);
    }
}
