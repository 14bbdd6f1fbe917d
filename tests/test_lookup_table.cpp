// The colour lookup table: ramp and range setters, table size, luminance,
// gray tables, and copying.
#include <gtest/gtest.h>

#include "ecLookupTable.h"

namespace {
// A one-colour table built from a single hue at full saturation and value.
ecLookupTable OneHue(float hue)
{
    ecLookupTable t(4);
    t.SetHueRange(hue, hue);
    t.SetSaturationRange(1.0f, 1.0f);
    t.SetValueRange(1.0f, 1.0f);
    t.Build();
    return t;
}
}  // namespace

TEST(LookupTable, SettersMarkDirtyAndBuildClearsIt)
{
    ecLookupTable t;
    EXPECT_TRUE(t.GetNumberOfTableValues() == 256 && !t.IsDirty());
    t.SetRampToSCurve();
    EXPECT_TRUE(t.GetRampType() == 1 && t.IsDirty());
    t.Build();
    EXPECT_FALSE(t.IsDirty());
    t.SetValueRange(0.25f, 0.75f);
    EXPECT_TRUE(t.IsDirty() && t.GetValueRange()[0] == 0.25f && t.GetValueRange()[1] == 0.75f);
    t.SetRampToLinear();
    EXPECT_EQ(t.GetRampType(), 0);

    ecLookupTable empty(0);
    EXPECT_EQ(empty.GetNumberOfTableValues(), 0);
    unsigned long c = 123;
    empty.MapValue(5.0f, c);
    EXPECT_EQ(c, 0u);
}

TEST(LookupTable, LuminanceWeightsEachComponent)
{
    // Hue 0 is red (first byte), 1/3 green (second byte), 2/3 blue (third byte).
    const struct { float hue; unsigned long colour; float luminance; } cases[] = {
        {0.0f, 0x000000FFu, 0.3f}, {1.0f / 3.0f, 0x0000FF00u, 0.59f}, {2.0f / 3.0f, 0x00FF0000u, 0.11f}};
    for (const auto& c : cases) {
        ecLookupTable t = OneHue(c.hue);
        unsigned long colour = 0;
        t.MapValue(0.5f, colour);
        EXPECT_EQ(colour, c.colour);
        EXPECT_FLOAT_EQ(t.GetLuminance(0.5f), c.luminance);
    }
}

TEST(LookupTable, GrayTableMapsItsRangeOntoTheEntries)
{
    ecLookupTable gray(256);
    gray.SetHueRange(0.0f, 0.0f);
    gray.SetSaturationRange(0.0f, 0.0f);
    gray.SetValueRange(0.0f, 1.0f);
    gray.SetTableRange(0.0f, 255.0f);
    gray.Build();
    unsigned long c = 0;
    for (float v : {0.0f, 1.0f, 77.0f, 128.0f, 254.0f, 255.0f}) {
        gray.MapValue(v, c);
        const unsigned long g = static_cast<unsigned long>(v);
        EXPECT_EQ(c, g | (g << 8) | (g << 16)) << v;
    }
    gray.MapValue(-40.0f, c);  // clamped to the first entry
    EXPECT_EQ(c, 0u);
    gray.MapValue(1e9f, c);  // and to the last
    EXPECT_EQ(c, 0x00FFFFFFu);
    EXPECT_NEAR(gray.GetLuminance(51.0f), 0.2f, 1e-6);

    gray.SetReversed(true);
    gray.Build();
    gray.MapValue(0.0f, c);
    EXPECT_EQ(c, 0x00FFFFFFu);
}

TEST(LookupTable, CopyAndAssignmentTakeEverything)
{
    ecLookupTable source(16);
    source.SetHueRange(0.1f, 0.9f);
    source.SetRampToSCurve();
    source.SetState(0x5);
    source.Build();
    source.SetDirty(true);

    ecLookupTable copy(source);
    EXPECT_TRUE(copy.GetNumberOfTableValues() == 16 && copy.GetRampType() == 1 && copy.GetState() == 0x5);
    EXPECT_TRUE(copy.IsDirty());

    ecLookupTable target(300);
    target.Build();
    target = source;
    ASSERT_EQ(target.GetNumberOfTableValues(), 16);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(target.GetTableValue(i), source.GetTableValue(i)) << i;
        EXPECT_EQ(copy.GetTableValue(i), source.GetTableValue(i)) << i;
    }
    EXPECT_TRUE(target.GetHueRange()[1] == 0.9f && target.GetState() == 0x5);
    EXPECT_NE(source.GetTableValue(0), source.GetTableValue(15));
}
