// The XML cursor: element search, nesting, missing elements, attributes,
// entities, number and flag conversion, bounds, and hostile texts.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <memory>
#include <string>

#include "Quarn.h"

namespace {
// Runs the explicit-text search over a heap copy of exactly `length` bytes,
// so that the address sanitizer sees any read past the end.
std::string SearchExact(const std::string& text, size_t length, const std::string& name)
{
    std::unique_ptr<char[]> buf(new char[length ? length : 1]);
    std::memcpy(buf.get(), text.data(), length);
    ecXml x;
    return x.CharacterDataNext(buf.get(), name, 0, static_cast<int>(length));
}
}  // namespace

TEST(XmlCursor, FindsElementsAtAnyDepthAndClosesNestedOnesOfTheSameName)
{
    const std::string doc = "<doc><a x=\"1>2\" y='z'>outer<a>inner</a><b/>tail</a ><c/></doc>";
    ecXml x(doc);
    EXPECT_EQ(x.CharacterData("a"), "outer<a>inner</a><b/>tail");
    EXPECT_EQ(x.Sub("a").CharacterData("a"), "inner");
    ecXml inner = x.Sub("doc").Sub("a").Sub("a");
    EXPECT_STREQ(inner.GetTextPtr(), "inner");
    EXPECT_TRUE(x.TagExists("c"));
    EXPECT_EQ(x.CharacterData("c"), "");

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
    EXPECT_EQ(x.CharacterDataNext("v"), "1");
    EXPECT_EQ(x.CharacterDataNext("v"), "2");
    EXPECT_EQ(x.CharacterDataNext("v"), "3");
    const int end = x.GetPosition();
    EXPECT_EQ(end, x.GetLength());
    EXPECT_EQ(x.CharacterDataNext("v"), "");
    EXPECT_EQ(x.GetPosition(), end);  // a miss does not move the cursor
    EXPECT_EQ(x.CharacterData("v"), "1");
    EXPECT_EQ(x.CharacterDataNext("v"), "2");
    EXPECT_EQ(x.CharacterData("none"), "");
    EXPECT_EQ(x.GetPosition(), 0);  // rewound even though nothing was found
    // The lookups by name see the whole text wherever the cursor stands.
    EXPECT_EQ(x.GetInt("v"), 1);
    x.Reset();
    EXPECT_EQ(x.GetPosition(), 0);

    // CharacterData with another text searches it within the cursor's length.
    std::string other = "<v>9</v>";
    ecXml wide(std::string(other.size(), ' '));
    EXPECT_EQ(wide.CharacterData(&other[0], "v"), "9");
    ecXml narrow(std::string(other.size() - 1, ' '));
    EXPECT_EQ(narrow.CharacterData(&other[0], "v"), "");
}

TEST(XmlCursor, MissingElementsGiveEmptyZeroFalseAndAnEmptyCursor)
{
    ecXml x(std::string("<state2>5</state2><State>6</State><s>7"));
    for (const char* name : {"state", "s", "nothing", "", "a b", "</s"}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(x.TagExists(name));
        EXPECT_EQ(x.CharacterData(name), "");
        EXPECT_EQ(x.GetInt(name), 0);
        EXPECT_FALSE(x.GetBool(name));
        EXPECT_TRUE(x.Sub(name).IsEmpty());
        int begin = 11, end = 12;
        EXPECT_FALSE(x.GetBeginEnd(begin, end, name));
        EXPECT_EQ(begin, 11);
        EXPECT_EQ(end, 12);
    }
    EXPECT_EQ(x.GetInt("State"), 6);
}

TEST(XmlCursor, AttributesIgnoredEntitiesKeptMarkupSkipped)
{
    ecXml x(std::string("<?xml version=\"1.0\"?><!DOCTYPE d [<!ELEMENT s ANY>]>"
                        "<!-- <s>1</s> --><![CDATA[<s>2</s>]]>"
                        "<s unit=\"ms\">3</s><l>a &amp; b &lt;c&gt; <![CDATA[x]]></l>"
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
    const struct {
        const char* text;
        int value;
    } ints[] = {{"4294967295", -1},       {" -2147483648\n", INT_MIN}, {"2147483648", INT_MIN},
                {"2147483647", INT_MAX},  {"+7", 7},                   {"-0", 0},
                {"4294967296", 0},        {"-2147483649", 0},          {"12abc", 0},
                {"1 2", 0},               {"", 0},                     {"-", 0},
                {"99999999999999999999", 0}};
    for (const auto& c : ints) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ecXml("<n>" + std::string(c.text) + "</n>").GetInt("n"), c.value);
    }
    for (const char* t : {"1", "true", " TRUE ", "2", "4294967295"})
        EXPECT_TRUE(ecXml("<b>" + std::string(t) + "</b>").GetBool("b")) << t;
    for (const char* t : {"0", "false", "yes", "", "1x"})
        EXPECT_FALSE(ecXml("<b>" + std::string(t) + "</b>").GetBool("b")) << t;
}

TEST(XmlCursor, NeverReadsPastTheGivenLength)
{
    const std::string doc = "<item><l>x</l><s a='>'>5</s></item>";
    for (size_t len = 0; len <= doc.size(); ++len) {
        SCOPED_TRACE(len);
        const bool whole = len == doc.size();
        EXPECT_EQ(SearchExact(doc, len, "item"), whole ? "<l>x</l><s a='>'>5</s>" : "");
        EXPECT_EQ(SearchExact(doc, len, "l"), len >= 14 ? "x" : "");
        EXPECT_EQ(SearchExact(doc, len, "s"), len >= 28 ? "5" : "");
    }
    ecXml x(doc.data(), 13);  // cut inside "</l>"
    EXPECT_FALSE(x.TagExists("l"));
    EXPECT_TRUE(ecXml(doc.data(), -4).IsEmpty());
    EXPECT_TRUE(ecXml(nullptr, 8).IsEmpty());
}

TEST(XmlCursor, HostileTextsGiveNotFoundWithoutDeepRecursion)
{
    const int depth = 20000;
    std::string deep;
    for (int i = 0; i < depth; ++i) deep += "<a>";
    deep += "x";
    std::string closed = deep;
    for (int i = 0; i < depth; ++i) closed += "</a>";
    EXPECT_EQ(ecXml(closed).CharacterData("a").size(), closed.size() - 7);
    EXPECT_FALSE(ecXml(deep).TagExists("a"));                      // never closed
    EXPECT_FALSE(ecXml(closed.substr(0, closed.size() - 1)).TagExists("a"));  // last '>' missing

    for (const char* bad : {"<s", "<s>1", "<s>1</s", "<s a=\"1>2</s>", "<", "</s>", "<s/"}) {
        SCOPED_TRACE(bad);
        EXPECT_FALSE(ecXml(std::string(bad)).TagExists("s"));
        EXPECT_EQ(ecXml(std::string(bad)).GetInt("s"), 0);
    }
    ecXml empty(std::string(""));
    EXPECT_TRUE(empty.IsEmpty());
    EXPECT_EQ(empty.CharacterData("s"), "");

    // A large text: the element after megabytes of other markup is still found.
    std::string big;
    big.reserve(16u << 20);
    while (big.size() < (16u << 20)) big += "<t>filler &lt; text</t><!-- c -->";
    big += "<s>42</s>";
    EXPECT_EQ(ecXml(big).GetInt("s"), 42);
}

TEST(XmlCursor, CopiesOwnTheirTextAndFreeEmpties)
{
    ecXml x(std::string("<a>1</a><a>2</a>"));
    x.SetFullFledged(true);
    EXPECT_EQ(x.CharacterDataNext("a"), "1");
    ecXml copy(x);
    ecXml moved(std::move(x));
    EXPECT_NE(copy.GetTextPtr(), moved.GetTextPtr());
    EXPECT_TRUE(copy.IsFullFledged());
    EXPECT_EQ(copy.CharacterDataNext("a"), "2");  // the position came along
    EXPECT_EQ(moved.CharacterDataNext("a"), "2");
    EXPECT_TRUE(x.IsEmpty());

    // SetTextPtr swaps the text but keeps length and position.
    char other[] = "<a>7</a><a>8</a>";
    copy.SetTextPtr(other);
    EXPECT_EQ(copy.GetTextPtr(), other);
    copy.Reset();
    EXPECT_EQ(copy.CharacterDataNext("a"), "7");

    moved.Free();
    EXPECT_TRUE(moved.IsEmpty());
    EXPECT_EQ(moved.GetTextPtr(), nullptr);
    EXPECT_EQ(moved.GetLength(), 0);
    EXPECT_FALSE(moved.TagExists("a"));
}
