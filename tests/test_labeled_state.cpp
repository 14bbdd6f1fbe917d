// Labeled state and reading the root object's XML form: exact output, round
// trips, missing elements, copy and comparison.
#include <gtest/gtest.h>

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
