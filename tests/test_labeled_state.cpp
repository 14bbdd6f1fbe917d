// Labeled state and the XML forms of the root object: exact output, round
// trips, missing elements, copy and comparison.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "Quarn.h"

namespace {
// Gives the tests the error code, which only assignment and reading set.
struct Probe : ecLabeledState {
    void SetErrorCode(long v) { ErrorCode = v; }
};

// A subclass whose label getter decides what a copy receives.
struct Renaming : ecLabeledState {
    std::string GetLabel() const override { return "renamed"; }
};

std::string Written(ecLabeledState& s)
{
    std::ostringstream os;
    EXPECT_TRUE(s.WriteXml(os));
    return os.str();
}

std::string Written(ecBase& b)
{
    std::ostringstream os;
    EXPECT_TRUE(b.WriteXml(os));
    return os.str();
}
}  // namespace

TEST(LabeledState, DefaultObjectWritesTheExactLine)
{
    ecLabeledState s;
    EXPECT_EQ(Written(s),
              "<item><l></l><s>0</s><DataUnit></DataUnit><UseDataUnit>0</UseDataUnit>"
              "<UseSIPrefix>0</UseSIPrefix></item>\n");
    s.SetState(-1);
    s.SetOption(5);
    EXPECT_NE(Written(s).find("<s>4294967295</s>"), std::string::npos);
    EXPECT_EQ(Written(s).find("option"), std::string::npos);
}

TEST(LabeledState, RoundTripRestoresWrittenFieldsOnly)
{
    Probe src;
    src.SetLabel("T1 & <x> map");
    src.SetDataUnit("ms");
    src.SetUseDataUnit(true);
    src.SetUseSIPrefix(true);
    src.SetState(-1);
    src.SetOption(3);

    Probe dst;
    dst.SetOption(9);
    dst.SetInstanceType(4);
    dst.SetErrorCode(-6);
    dst.SetDirty(true);
    ecXml x(Written(src));
    EXPECT_TRUE(dst.ReadXml(x));
    EXPECT_EQ(dst.GetLabel(), "T1 & <x> map");
    EXPECT_EQ(dst.GetDataUnit(), "ms");
    EXPECT_TRUE(dst.UseDataUnit());
    EXPECT_TRUE(dst.UseSIPrefix());
    EXPECT_EQ(dst.GetState(), -1);
    EXPECT_EQ(dst.GetOption(), 9);
    EXPECT_EQ(dst.GetInstanceType(), 4);
    EXPECT_EQ(dst.GetErrorCode(), -6);
    EXPECT_TRUE(dst.IsDirty());
    EXPECT_FALSE(x.IsEmpty());  // the caller's cursor is left alone
}

TEST(LabeledState, MissingElementsLeaveOptionalFieldsUnchanged)
{
    ecLabeledState s;
    s.SetLabel("old");
    s.SetState(8);
    s.SetDataUnit("mm");
    s.SetUseDataUnit(true);
    s.SetUseSIPrefix(true);
    ecXml partial(std::string("<list>\n  <item>\n    <s>12</s>\n    <UseSIPrefix>0</UseSIPrefix>\n"
                              "  </item>\n  <item><l>second</l></item>\n</list>\n"));
    s.ReadXml(partial);
    EXPECT_EQ(s.GetLabel(), "");  // the label is read without a presence test
    EXPECT_EQ(s.GetState(), 12);
    EXPECT_EQ(s.GetDataUnit(), "mm");
    EXPECT_TRUE(s.UseDataUnit());
    EXPECT_FALSE(s.UseSIPrefix());

    ecXml none(std::string("<other/>"));
    s.SetLabel("old");
    s.ReadXml(none);
    EXPECT_EQ(s.GetLabel(), "");
    EXPECT_EQ(s.GetState(), 0);
    EXPECT_EQ(s.GetDataUnit(), "mm");
}

TEST(LabeledState, ComparisonAndCopy)
{
    Probe a, b;
    a.SetLabel("L");
    b.SetLabel("L");
    b.SetInstanceType(7);
    b.SetErrorCode(3);
    b.SetDirty(true);
    EXPECT_EQ(a == b, 1);

    Probe c(a);
    c.SetState(1);
    EXPECT_EQ(a == c, 0);
    c = a;
    c.SetOption(1);
    EXPECT_EQ(a == c, 0);
    c = a;
    c.SetDataUnit("s");
    EXPECT_EQ(a == c, 0);
    c = a;
    c.SetUseDataUnit(true);
    EXPECT_EQ(a == c, 0);
    c = a;
    c.SetUseSIPrefix(true);
    EXPECT_EQ(a == c, 0);
    c = a;
    c.SetLabel("M");
    EXPECT_EQ(a == c, 0);
    EXPECT_FALSE(c.IsDirty());  // setters leave the dirty flag alone

    ecLabeledState copy(b);
    EXPECT_EQ(copy == b, 1);
    EXPECT_EQ(copy.GetInstanceType(), 7);
    EXPECT_EQ(copy.GetErrorCode(), 3);
    EXPECT_TRUE(copy.IsDirty());

    Renaming r;
    ecLabeledState fromGetter(r);
    EXPECT_EQ(fromGetter.GetLabel(), "renamed");
}

TEST(RootObjectXml, WritesFiveElementsAndReadsThemBack)
{
    ecBase b;
    EXPECT_EQ(Written(b), "<state>0</state><option>0</option><ErrorCode>0</ErrorCode>"
                          "<InstanceType>0</InstanceType><bDirtyFlag>0</bDirtyFlag>");
    b.SetState(-1);
    b.SetOption(-2147483647 - 1);
    b.SetInstanceType(2);
    b.SetDirty(true);
    const std::string text = Written(b);
    EXPECT_EQ(text.rfind("<state>4294967295</state><option>2147483648</option>", 0), 0u);

    ecBase r;
    ecXml x("<obj>" + text + "</obj>");
    EXPECT_TRUE(r.ReadXml(x));
    EXPECT_EQ(r.GetState(), -1);
    EXPECT_EQ(r.GetOption(), -2147483647 - 1);
    EXPECT_EQ(r.GetInstanceType(), 2);
    EXPECT_EQ(r.GetErrorCode(), 0);
    EXPECT_TRUE(r.IsDirty());

    ecXml errorOnly(std::string("<ErrorCode>4294967294</ErrorCode>"));
    r.ReadXml(errorOnly);
    EXPECT_EQ(r.GetErrorCode(), -2);
    EXPECT_EQ(r.GetState(), 0);  // missing elements read as 0 and false
    EXPECT_FALSE(r.IsDirty());
}
