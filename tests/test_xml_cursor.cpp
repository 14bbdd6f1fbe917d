// The XML cursor: element search, nesting, missing elements, attributes,
// entities, number and flag conversion, bounds, and hostile texts.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <memory>
#include <string>

#include "Quarn.h"

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
