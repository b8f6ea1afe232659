#include <xob/support/SDString.h>

#include "TestKit.h"

#include <climits>

TEST(SDString, DecodesUtf8AndReplacesEachIllFormedPartOnce) {
    const char32_t R = 0xFFFD;
    const struct { const char* utf8; std::vector<char32_t> expected; } cases[] = {
        {"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80", {0xE9, 0x20AC, 0x1F600}}, {"\xF4\x8F\xBF\xBF", {0x10FFFF}},
        {"a\x80" "b", {U'a', R, U'b'}},  // stray continuation
        {"\xE2\x82" "A", {R, U'A'}},     // truncated, then more
        {"\xF0\x9F\x98", {R}},           // truncated at the end
        {"\xC0\xAF", {R, R}},            // overlong
        {"\xE0\x80\xAF", {R, R, R}},     // overlong three-byte
        {"\xED\xA0\x80", {R, R, R}},     // surrogate
        {"\xF4\x90\x80\x80", {R, R, R, R}},  // above U+10FFFF
        {"\xFF" "x", {R, U'x'}},         // invalid lead
        {nullptr, {}}};
    for (const auto& c : cases) {
        const SDString text(c.utf8);
        std::vector<char32_t> decoded;
        for (long i = 0; i < text.GetLength(); ++i) decoded.push_back(text.GetAt(i).Unicode());
        EXPECT_EQ(decoded, c.expected) << c.expected.size();
    }
}

TEST(SDString, BackToUtf8AndEightBitAppendCompareChop) {
    const char* text = "Stra\xC3\x9F" "e \xF0\x9F\x98\x80";
    EXPECT_EQ(SDString(text).ToUtf8(), text);
    SDString decoded("x");  // each piece is decoded on its own
    decoded.Append("\xC3\xA9\xE2\x82").Append(nullptr).Append(SDString("\xF0\x9F\x98\x80!"));
    EXPECT_EQ(decoded.ToUtf8(), "x\xC3\xA9\xEF\xBF\xBD\xF0\x9F\x98\x80!");
    const SDString mixed("a\xC3\xA9\xE2\x82\xAC");  // a, U+00E9, U+20AC
    EXPECT_STREQ(mixed.ToLatin1().GetConstData(), "a\xE9?");
    EXPECT_STREQ(mixed.ToAscii().GetConstData(), "a??");
    EXPECT_EQ(SDChar('\xE9').Unicode(), 0xE9u);  // a char is taken as Latin-1

    SDString name("Navigation");
    for (const char* other : {"navigation", "Navigatio", "Navigations", ""}) EXPECT_FALSE(name == other) << other;
    EXPECT_TRUE(SDString("\xC3\xA9") == "\xC3\xA9");
    SDString copy(name);
    name.Clear();
    EXPECT_TRUE(name == "" && copy == "Navigation");

    // The capping of the loggers: keep cap + 1 characters, then end the 8-bit text at `cap`.
    copy.Chop(4);
    copy.SetAt(3, SDChar('\0'));
    EXPECT_EQ(copy.GetLength(), 4);
    EXPECT_STREQ(copy.ToLatin1().GetConstData(), "Nav");
    SDString unchanged("abc");
    unchanged.Chop(10);
    unchanged.SetAt(3, SDChar('x'));
    unchanged.SetAt(-1, SDChar('x'));
    EXPECT_TRUE(unchanged == "abc");
    unchanged.Chop(-1);
    EXPECT_EQ(unchanged.GetLength(), 0);
}

TEST(SDString, FromNumberWritesSignedTextInTheBase) {
    const struct { long value, base; std::string expected; } cases[] = {
        {0, 10, "0"}, {300000, 10, "300000"}, {-1, 10, "-1"}, {255, 16, "ff"}, {-255, 16, "-ff"}, {5, 2, "101"},
        {35, 36, "z"}, {7, 1, "7"}, {-12, 99, "-12"}, {LONG_MIN, 10, std::to_string(LONG_MIN)}};
    for (const auto& c : cases) EXPECT_EQ(SDString::FromNumber(c.value, c.base).ToUtf8(), c.expected) << c.base;
}

TEST(SDString, ArgumentFillsTheLowestMarkerLeftAndPads) {
    SDString path("%1|%2");
    EXPECT_EQ(path.Argument(SDString("maps"), 0, SDChar(' ')).Argument(SDString("eu"), 0, SDChar(' ')).ToUtf8(),
              "maps|eu");
    SDString text("%1");
    EXPECT_EQ(text.Argument(SDString("\xC3\xA9"), 3, SDChar('.')).ToUtf8(), "..\xC3\xA9");  // counts characters
    const struct { const char* text; long first, second, width; char fill; long base; const char* out; } cases[] = {
        {"%1,%2", 12, 3, 0, ' ', 10, "12,3"},    {"%1,%2", -1, 0, 0, ' ', 10, "-1,0"},
        {"%2,%1", 1, 2, 0, ' ', 10, "2,1"},      {"%1-%1 %2", 7, 8, 0, ' ', 10, "7-7 8"},
        {"%10 %2", 1, 2, 0, ' ', 10, "2 1"},     {"%0%1%", 4, 5, 0, ' ', 10, "%04%"},
        {"[%1]", 42, 0, 4, ' ', 10, "[  42]"},   {"[%1]", 42, 0, -4, ' ', 10, "[42  ]"},
        {"[%1]", -5, 0, 4, '0', 10, "[-005]"},   {"[%1]", -5, 0, -4, '0', 10, "[-500]"},
        {"[%1]", 123, 0, 1, '*', 10, "[123]"},   {"[%1]", 255, 0, 3, '0', 16, "[0ff]"},
    };
    for (const auto& c : cases) {
        SDString filled(c.text);
        filled.Argument(c.first, c.width, c.base, SDChar(c.fill)).Argument(c.second, c.width, c.base, SDChar(c.fill));
        EXPECT_EQ(filled.ToUtf8(), c.out) << c.text << " width " << c.width;
    }
}
