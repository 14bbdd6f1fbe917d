// Labels of slices, header records held by slices, labeled state and reading the
// root object's XML form (exact output, round trips, missing elements), and the
// XML cursor: element search, nesting, missing elements, bounds, hostile texts.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "Quarn.h"
#include "TestUtil.h"

TEST(SliceLabels, SequenceAndReplacement)
{
    const int before = ecMriSliceBase::iSeqNum;
    ecMriSlice<float> a;
    ecMriSliceBase b;
    EXPECT_EQ(a.GetLabel(), "Slice-" + std::to_string(before + 1));
    EXPECT_EQ(b.GetLabel(), "Slice-" + std::to_string(before + 2));
    EXPECT_EQ(a.SetLabel("T1 axial", false), 1);
    EXPECT_EQ(a.GetLabel(), "T1 axial");
    EXPECT_EQ(a.SetLabel("", false), -1);
    EXPECT_EQ(a.GetLabel(), "T1 axial");
    EXPECT_EQ(a.SetLabel("", true), 2);
    EXPECT_EQ(a.GetLabel(), "");
    EXPECT_TRUE(ecMriSliceBase::bInferUnsetDicomFields);
}

TEST(SliceObjects, HeaderRecordHeldBySlice)
{
    ecMriSlice<short> s;
    ecRawHeaderInfo out;
    EXPECT_EQ(s.GetRawHeaderInfo(out, 0), -2);
    ecRawHeaderInfo rec = testutil::RawRecord(320, 200, 0);
    ecRawHeaderInfo bad;
    EXPECT_EQ(s.SetRawHeaderInfo(bad, 1), -1);
    EXPECT_EQ(s.SetRawHeaderInfo(rec, 0), -2);
    EXPECT_EQ(s.SetRawHeaderInfo(rec, 1), 2);
    EXPECT_EQ(s.GetRawHeaderInfo(out, 0), 1);
    EXPECT_EQ(out.iNumPix, 320);
    rec.iNumPix = 64;
    EXPECT_EQ(s.SetRawHeaderInfo(rec, 0), 1);
    EXPECT_EQ(s.GetRawHeaderInfo()->iNumPix, 64);
}

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

TEST(XmlCursor, FindsElementsAtAnyDepthAndClosesNestedOnesOfTheSameName)
{
    const std::string doc = "<doc><a x=\"1>2\" y='z'>outer<a>inner</a><b/>tail</a ><c/></doc>";
    ecXml x(doc);
    EXPECT_EQ(x.CharacterData("a"), "outer<a>inner</a><b/>tail");
    EXPECT_STREQ(x.Sub("doc").Sub("a").Sub("a").GetTextPtr(), "inner");
    EXPECT_TRUE(x.TagExists("c") && x.CharacterData("c").empty());
    int begin = -7, end = -7;
    x.Reset();
    ASSERT_TRUE(x.GetBeginEnd(begin, end, "a"));
    EXPECT_EQ(doc.substr(begin, end - begin), "outer<a>inner</a><b/>tail");
    EXPECT_EQ(doc.compare(end, 4, "</a "), 0);
    EXPECT_EQ(x.GetPosition(), 0);
    // A declaration ends at the '>' after its bracketed part, not at one inside it.
    EXPECT_EQ(ecXml(std::string("<!DOCTYPE d [<!ELEMENT s ANY><s>1</s>]><s>5</s>")).GetInt("s"), 5);
}

TEST(XmlCursor, MissingElementsGiveEmptyZeroFalseAndAnEmptyCursor)
{
    ecXml x(std::string("<state2>5</state2><State>6</State><s>7"));
    for (const char* name : {"state", "s", "nothing", "", "a b", "</s"}) {
        SCOPED_TRACE(name);
        int begin = 11, end = 12;
        EXPECT_FALSE(x.TagExists(name) || x.GetBool(name) || x.GetBeginEnd(begin, end, name));
        EXPECT_TRUE(x.CharacterData(name).empty() && x.GetInt(name) == 0 && x.Sub(name).IsEmpty());
        EXPECT_EQ(begin * 100 + end, 1112);
    }
    EXPECT_EQ(x.GetInt("State"), 6);
}

TEST(XmlCursor, NeverReadsPastTheGivenLength)
{
    // Each prefix lies in a heap block of exactly its size: the sanitizer sees any overread.
    const std::string doc = "<item><l>x</l><s a='>'>5</s></item>";
    for (size_t len = 0; len <= doc.size(); ++len) {
        SCOPED_TRACE(len);
        std::unique_ptr<char[]> buf(new char[len + (len == 0)]);
        std::memcpy(buf.get(), doc.data(), len);
        ecXml x;
        const int n = static_cast<int>(len);
        EXPECT_EQ(x.CharacterDataNext(buf.get(), "item", 0, n), len == doc.size() ? "<l>x</l><s a='>'>5</s>" : "");
        EXPECT_EQ(x.CharacterDataNext(buf.get(), "l", 0, n), len >= 14 ? "x" : "");
        EXPECT_EQ(x.CharacterDataNext(buf.get(), "s", 0, n), len >= 28 ? "5" : "");
    }
    EXPECT_TRUE(ecXml(doc.data(), -4).IsEmpty());
    EXPECT_TRUE(ecXml(nullptr, 8).IsEmpty());
}

TEST(XmlCursor, HostileTextsGiveNotFoundWithoutDeepRecursion)
{
    std::string open, close;
    for (int i = 0; i < 20000; ++i) open += "<a>", close += "</a>";
    open += "x";
    const std::string closed = open + close;
    EXPECT_EQ(ecXml(closed).CharacterData("a").size(), closed.size() - 7);
    EXPECT_FALSE(ecXml(open).TagExists("a"));
    EXPECT_FALSE(ecXml(closed.substr(0, closed.size() - 1)).TagExists("a"));  // last '>' missing
    for (const char* bad : {"<s", "<s>1", "<s>1</s", "<s a=\"1>2</s>", "<", "</s>", "<s/", ""})
        EXPECT_TRUE(!ecXml(std::string(bad)).TagExists("s") && ecXml(std::string(bad)).GetInt("s") == 0) << bad;
    // A large text: the element after megabytes of other markup is still found.
    std::string big;
    while (big.size() < (4u << 20)) big += "<t>filler &lt; text</t><!-- c -->";
    EXPECT_EQ(ecXml(big + "<s>42</s>").GetInt("s"), 42);
}
