// Labeled state and reading the root object's XML form: exact output, round
// trips, missing elements, copy and comparison.
#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "Quarn.h"

namespace {
// Gives the tests the error code, which only assignment and reading set.
struct Probe : ecLabeledState {
    void SetErrorCode(long v) { ErrorCode = v; }
};

template <class T>
std::string Written(T& object)
{
    std::ostringstream os;
    EXPECT_TRUE(object.WriteXml(os));
    return os.str();
}
}  // namespace

TEST(LabeledState, WritesTheExactLineAndReadsItBack)
{
    Probe src;
    EXPECT_EQ(Written(src), "<item><l></l><s>0</s><DataUnit></DataUnit><UseDataUnit>0</UseDataUnit>"
                            "<UseSIPrefix>0</UseSIPrefix></item>\n");
    src.SetLabel("T1 & <x> map");
    src.SetDataUnit("ms");
    src.SetUseDataUnit(true);
    src.SetUseSIPrefix(true);
    src.SetState(-1);
    src.SetOption(3);
    const std::string text = Written(src);
    EXPECT_NE(text.find("<s>4294967295</s>"), std::string::npos);
    EXPECT_EQ(text.find("option"), std::string::npos);

    Probe dst;  // fields that are not written keep their values
    dst.SetOption(9);
    dst.SetInstanceType(4);
    dst.SetErrorCode(-6);
    dst.SetDirty(true);
    ecXml x(text);
    EXPECT_TRUE(dst.ReadXml(x));
    EXPECT_EQ(dst.GetLabel() + "|" + dst.GetDataUnit(), "T1 & <x> map|ms");
    EXPECT_TRUE(dst.UseDataUnit() && dst.UseSIPrefix() && dst.IsDirty());
    EXPECT_EQ(std::vector<long>({dst.GetState(), dst.GetOption(), dst.GetInstanceType(), dst.GetErrorCode()}),
              std::vector<long>({-1, 9, 4, -6}));
}

TEST(LabeledState, MissingElementsLeaveOptionalFieldsUnchanged)
{
    ecLabeledState s;
    s.SetLabel("old");
    s.SetDataUnit("mm");
    s.SetUseDataUnit(true);
    s.SetUseSIPrefix(true);
    ecXml partial(std::string("<list>\n <item>\n  <s>12</s>\n  <UseSIPrefix>0</UseSIPrefix>\n </item>\n"
                              " <item><l>second</l></item>\n</list>\n"));
    s.ReadXml(partial);
    EXPECT_EQ(s.GetLabel() + "|" + s.GetDataUnit(), "|mm");  // the label is read without a presence test
    EXPECT_EQ(s.GetState(), 12);
    EXPECT_TRUE(s.UseDataUnit() && !s.UseSIPrefix());
    ecXml none(std::string("<other/>"));
    s.ReadXml(none);
    EXPECT_EQ(s.GetState(), 0);
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
    const std::function<void(Probe&)> changes[] = {
        [](Probe& p) { p.SetState(1); },          [](Probe& p) { p.SetOption(1); },
        [](Probe& p) { p.SetLabel("M"); },        [](Probe& p) { p.SetDataUnit("s"); },
        [](Probe& p) { p.SetUseDataUnit(true); }, [](Probe& p) { p.SetUseSIPrefix(true); }};
    for (const auto& change : changes) {
        Probe c(a);
        change(c);
        EXPECT_EQ(a == c, 0);
        EXPECT_FALSE(c.IsDirty());  // setters leave the dirty flag alone
        c = a;
        EXPECT_EQ(a == c, 1);
    }
    ecLabeledState copy(b);
    EXPECT_TRUE((copy == b) == 1 && copy.IsDirty());
    EXPECT_EQ(copy.GetInstanceType() * 10 + copy.GetErrorCode(), 73);

    struct Renaming : ecLabeledState {  // a getter decides what a copy receives
        std::string GetLabel() const override { return "renamed"; }
    } r;
    EXPECT_EQ(ecLabeledState(r).GetLabel(), "renamed");
}

TEST(RootObjectXml, ReadsBackWhatItWritesAndZeroForMissingElements)
{
    ecBase b;
    b.SetState(-1);
    b.SetOption(-2147483647 - 1);
    b.SetInstanceType(2);
    b.SetDirty(true);
    ecBase r;
    ecXml x("<obj>" + Written(b) + "</obj>");
    EXPECT_TRUE(r.ReadXml(x));
    EXPECT_EQ(std::vector<long>({r.GetState(), r.GetOption(), r.GetInstanceType(), r.GetErrorCode(), r.IsDirty()}),
              std::vector<long>({-1, -2147483647 - 1, 2, 0, 1}));
    ecXml errorOnly(std::string("<ErrorCode>4294967294</ErrorCode>"));
    r.ReadXml(errorOnly);
    EXPECT_EQ(std::vector<long>({r.GetErrorCode(), r.GetState(), r.IsDirty()}), std::vector<long>({-2, 0, 0}));
}
