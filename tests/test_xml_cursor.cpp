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

TEST(XmlCursor, CharacterDataRewindsWhileCharacterDataNextContinues)
{
    ecXml x(std::string("<v>1</v><w>x</w><v>2</v><v>3</v>"));
    for (const char* v : {"1", "2", "3", ""}) EXPECT_EQ(x.CharacterDataNext("v"), v);  // a miss stays put
    EXPECT_EQ(x.GetPosition(), x.GetLength());
    EXPECT_EQ(x.CharacterData("v"), "1");
    EXPECT_EQ(x.CharacterDataNext("v"), "2");
    EXPECT_EQ(x.GetInt("v"), 1);  // lookups by name see the whole text
    EXPECT_EQ(x.CharacterData("none"), "");
    EXPECT_EQ(x.GetPosition(), 0);  // rewound even though nothing was found
    // CharacterData with another text searches it within the cursor's length.
    std::string other = "<v>9</v>";
    EXPECT_EQ(ecXml(std::string(other.size(), ' ')).CharacterData(&other[0], "v"), "9");
    EXPECT_EQ(ecXml(std::string(other.size() - 1, ' ')).CharacterData(&other[0], "v"), "");
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

TEST(XmlCursor, AttributesIgnoredEntitiesKeptMarkupSkipped)
{
    ecXml x(std::string("<?xml version=\"1.0\"?><!DOCTYPE d [<!ELEMENT s ANY>]><!-- <s>1</s> -->"
                        "<![CDATA[<s>2</s>]]><s unit=\"ms\">3</s><l>a &amp; b &lt;c&gt; <![CDATA[x]]></l>"
                        "<m><!-- </m> -->kept</m>"));
    EXPECT_EQ(x.GetInt("s"), 3);
    EXPECT_EQ(x.CharacterData("l"), "a &amp; b &lt;c&gt; <![CDATA[x]]>");
    EXPECT_EQ(x.CharacterData("m"), "<!-- </m> -->kept");
    // A comment or declaration that never ends hides everything after it.
    EXPECT_FALSE(ecXml(std::string("<!-- <s>1</s>")).TagExists("s"));
    EXPECT_FALSE(ecXml(std::string("<!DOCTYPE [ <s>1</s>")).TagExists("s"));
}

TEST(XmlCursor, NumbersAndFlagsKeepTheir32BitMeaning)
{
    const std::pair<const char*, int> ints[] = {
        {"4294967295", -1}, {" -2147483648\n", INT_MIN}, {"2147483648", INT_MIN}, {"2147483647", INT_MAX},
        {"+7", 7},          {"4294967296", 0},           {"-2147483649", 0},      {"12abc", 0},
        {"1 2", 0},         {"", 0},                     {"-", 0},                {"99999999999999999999", 0}};
    for (const auto& c : ints)
        EXPECT_EQ(ecXml("<n>" + std::string(c.first) + "</n>").GetInt("n"), c.second) << c.first;
    for (const char* t : {"1", "true", " TRUE ", "2", "4294967295"})
        EXPECT_TRUE(ecXml("<b>" + std::string(t) + "</b>").GetBool("b")) << t;
    for (const char* t : {"0", "false", "yes", "", "1x"})
        EXPECT_FALSE(ecXml("<b>" + std::string(t) + "</b>").GetBool("b")) << t;
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

TEST(XmlCursor, CopiesOwnTheirTextAndFreeEmpties)
{
    ecXml x(std::string("<a>1</a><a>2</a>"));
    x.SetFullFledged(true);
    EXPECT_EQ(x.CharacterDataNext("a"), "1");
    ecXml copy(x);
    ecXml moved(std::move(x));
    EXPECT_TRUE(copy.GetTextPtr() != moved.GetTextPtr() && copy.IsFullFledged());
    EXPECT_EQ(copy.CharacterDataNext("a"), "2");  // the position came along
    EXPECT_EQ(moved.CharacterDataNext("a"), "2");
    // SetTextPtr swaps the text but keeps length and position.
    char other[] = "<a>7</a><a>8</a>";
    copy.SetTextPtr(other);
    copy.Reset();
    EXPECT_EQ(copy.CharacterDataNext("a"), "7");
    moved.Free();
    EXPECT_TRUE(moved.IsEmpty() && moved.GetTextPtr() == nullptr && !moved.TagExists("a"));
}
