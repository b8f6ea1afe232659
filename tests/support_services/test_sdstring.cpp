#include <xob/support/SDString.h>

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace {

std::vector<char32_t> codePoints(const SDString& text) {
    std::vector<char32_t> result;
    for (long i = 0; i < text.GetLength(); ++i) result.push_back(text.GetAt(i).Unicode());
    return result;
}

TEST(SDString, DecodesUtf8AndReplacesEachIllFormedPartOnce) {
    const char32_t R = 0xFFFD;
    const struct {
        const char* name;
        const char* utf8;
        std::vector<char32_t> expected;
    } cases[] = {
        {"two, three and four bytes", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", {0xE9, 0x20AC, 0x1F600}},
        {"stray continuation", "a\x80" "b", {U'a', R, U'b'}},
        {"truncated then ascii", "\xE2\x82" "A", {R, U'A'}},
        {"truncated at the end", "\xF0\x9F\x98", {R}},
        {"overlong", "\xC0\xAF", {R, R}},
        {"overlong three-byte", "\xE0\x80\xAF", {R, R, R}},
        {"surrogate", "\xED\xA0\x80", {R, R, R}},
        {"above U+10FFFF", "\xF4\x90\x80\x80", {R, R, R, R}},
        {"invalid lead", "\xFF" "x", {R, U'x'}},
        {"highest code point", "\xF4\x8F\xBF\xBF", {0x10FFFF}},
    };
    for (const auto& c : cases) EXPECT_EQ(codePoints(SDString(c.utf8)), c.expected) << c.name;
    EXPECT_EQ(SDString(nullptr).GetLength(), 0);
}

TEST(SDString, Utf8RoundTripAppendAndExactComparison) {
    const char* text = "Stra\xC3\x9F" "e \xF0\x9F\x98\x80";
    EXPECT_EQ(SDString(text).ToUtf8(), text);
    EXPECT_EQ(SDString("a\x80").ToUtf8(), "a\xEF\xBF\xBD");

    SDString name("Navi");
    name.Append("ga").Append(SDString("tion"));
    EXPECT_TRUE(name == "Navigation");
    EXPECT_FALSE(name == "navigation");
    EXPECT_FALSE(name == "Navigatio");
    EXPECT_FALSE(name == "Navigations");
    SDString decoded("x");
    decoded.Append("\xC3\xA9\xE2\x82").Append(nullptr).Append("\xF0\x9F\x98\x80!");
    EXPECT_EQ(decoded.ToUtf8(), "x\xC3\xA9\xEF\xBF\xBD\xF0\x9F\x98\x80!") << "each piece decoded on its own";
    SDString copy(name);
    name.Clear();
    EXPECT_TRUE(name == "");
    EXPECT_TRUE(copy == "Navigation");
    EXPECT_TRUE(SDString("\xC3\xA9") == "\xC3\xA9");
    EXPECT_FALSE(SDString("\xC3\xA9") == "e");
}

TEST(SDString, EightBitConversionsMarkWhatDoesNotFit) {
    const SDString text("a\xC3\xA9\xE2\x82\xAC");  // a, U+00E9, U+20AC
    EXPECT_STREQ(text.ToLatin1().GetConstData(), "a\xE9?");
    EXPECT_STREQ(text.ToAscii().GetConstData(), "a??");
    EXPECT_STREQ(SDString().ToLatin1().GetConstData(), "");
    EXPECT_EQ(SDChar('\xE9').Unicode(), 0xE9u);  // a char is taken as Latin-1
}

TEST(SDString, ChopAndSetAtCutTheEightBitText) {
    // The capping pattern of the loggers: keep cap + 1 characters, then end the text at `cap`.
    SDString text("abcdef");
    text.Chop(4);
    text.SetAt(3, SDChar('\0'));
    EXPECT_EQ(text.GetLength(), 4);
    EXPECT_STREQ(text.ToLatin1().GetConstData(), "abc");

    SDString unchanged("abc");
    unchanged.Chop(10);
    unchanged.SetAt(3, SDChar('x'));
    unchanged.SetAt(-1, SDChar('x'));
    EXPECT_TRUE(unchanged == "abc");
    unchanged.Chop(-1);
    EXPECT_EQ(unchanged.GetLength(), 0);
}

TEST(SDString, FromNumberWritesSignedTextInTheBase) {
    const struct {
        long value, base;
        const char* expected;
    } cases[] = {{0, 10, "0"},     {300000, 10, "300000"}, {-1, 10, "-1"}, {255, 16, "ff"}, {-255, 16, "-ff"},
                 {5, 2, "101"},    {35, 36, "z"},          {7, 1, "7"},    {-12, 99, "-12"}};
    for (const auto& c : cases) {
        EXPECT_TRUE(SDString::FromNumber(c.value, c.base) == c.expected) << c.value << " base " << c.base;
    }
    EXPECT_EQ(SDString::FromNumber(LONG_MIN, 10).ToUtf8(), std::to_string(LONG_MIN));
}

TEST(SDString, ArgumentFillsTheLowestMarkerLeft) {
    SDString path("%1|%2");
    path.Argument(SDString("maps"), 0, SDChar(' ')).Argument(SDString("eu"), 0, SDChar(' '));
    EXPECT_EQ(path.ToUtf8(), "maps|eu");

    const struct {
        const char* pattern;
        long first, second;
        const char* expected;
    } numbers[] = {{"%1,%2", 12, 3, "12,3"},   {"%1,%2", -1, 0, "-1,0"}, {"%2,%1", 1, 2, "2,1"},
                   {"%1-%1 %2", 7, 8, "7-7 8"}, {"%10 %2", 1, 2, "2 1"},  {"%0%1%", 4, 5, "%04%"}};
    for (const auto& c : numbers) {
        SDString text(c.pattern);
        text.Argument(c.first, 0, 10, SDChar(' ')).Argument(c.second, 0, 10, SDChar(' '));
        EXPECT_EQ(text.ToUtf8(), c.expected) << c.pattern;
    }
}

TEST(SDString, ArgumentPadsToTheWidth) {
    const struct {
        long width;
        char fill;
        long value, base;
        const char* expected;
    } cases[] = {{4, ' ', 42, 10, "[  42]"}, {-4, ' ', 42, 10, "[42  ]"}, {4, '0', -5, 10, "[-005]"},
                 {-4, '0', -5, 10, "[-500]"}, {1, '*', 123, 10, "[123]"},  {3, '0', 255, 16, "[0ff]"}};
    for (const auto& c : cases) {
        SDString text("[%1]");
        text.Argument(c.value, c.width, c.base, SDChar(c.fill));
        EXPECT_EQ(text.ToUtf8(), c.expected) << c.width << " '" << c.fill << "'";
    }
    SDString text("%1");
    EXPECT_EQ(text.Argument(SDString("\xC3\xA9"), 3, SDChar('.')).ToUtf8(), "..\xC3\xA9");  // counts characters
}

}  // namespace
