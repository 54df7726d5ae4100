#include "MarkupText.h"
#include "MarkupColors.h"

#include <climits>
#include <gtest/gtest.h>

using namespace quorvel;

using namespace MarkupText;

TEST(MarkupEntities, NamedEntitiesInAnyCaseGiveTheirCharacters) {
    EXPECT_EQ(PrepareMarkup("&QUOT;&Sect;&permil;&REG;&copy;&para;&Trade;&euro;"),
              "\"\xC2\xA7\xE2\x80\xB0\xC2\xAE\xC2\xA9\xC2\xB6\xE2\x84\xA2\xE2\x82\xAC");
    EXPECT_EQ(PrepareMarkup("a &amp; b"), "a && b");
    EXPECT_EQ(PrepareMarkup("a &AMP; b"), "a && b");
    EXPECT_EQ(PrepareMarkup("&foo; & &amp"), "&foo; & &amp");
}

TEST(MarkupEntities, EscapedAmpersandBeforeAnEntityNameKeepsThePair) {
    EXPECT_EQ(PrepareMarkup("&amp;quot;"), "&&\"");
    EXPECT_EQ(PrepareMarkup("&amp;copy;x"), "&&\xC2\xA9x");
    EXPECT_EQ(PrepareMarkup("&amp;amp;"), "&&&&");
}

TEST(MarkupEntities, RunEntitiesAreLowerCaseOnly) {
    EXPECT_EQ(ReplaceRunEntities("a&nbsp;b&lt;c&gt;"), "a b<c>");
    EXPECT_EQ(ReplaceRunEntities("&NBSP;&LT;&Gt;"), "&NBSP;&LT;&Gt;");
    // Left alone by the preparation, so they cannot open a tag.
    EXPECT_EQ(PrepareMarkup("&lt;b&gt;"), "&lt;b&gt;");
}

TEST(MarkupPreparation, EscapeAndLineBreaks) {
    EXPECT_EQ(PrepareMarkup("x<#1>y <#2>"), "x#1y <#2>");
    EXPECT_EQ(PrepareMarkup("a\r\nb\nc\r"), "a<BR>bc<BR>");
}

TEST(MarkupNumbers, LenientAndStrictReading) {
    EXPECT_EQ(ReadInteger("12\""), 12);
    EXPECT_EQ(ReadInteger("  -7px"), -7);
    EXPECT_EQ(ReadInteger("$1F"), 31);
    EXPECT_EQ(ReadInteger("x10"), 16);
    EXPECT_EQ(ReadInteger("0x10"), 16);
    EXPECT_EQ(ReadInteger("abc"), 0);
    EXPECT_EQ(ReadInteger(""), 0);
    EXPECT_EQ(ReadInteger("99999999999999999999"), INT_MAX);
    EXPECT_EQ(ReadInteger("-99999999999999999999"), INT_MIN);

    int v = -1;
    EXPECT_TRUE(ReadStrictInteger("120", v));
    EXPECT_EQ(v, 120);
    EXPECT_FALSE(ReadStrictInteger("12a", v));
    EXPECT_FALSE(ReadStrictInteger("", v));
    EXPECT_FALSE(ReadStrictInteger("-", v));
}

TEST(MarkupSearch, CaseBlindPositionAndReplace) {
    EXPECT_EQ(PosNoCase("b", "aBc"), 2u);
    EXPECT_EQ(PosNoCase("x", "abc"), 0u);
    EXPECT_EQ(PosNoCase("", "abc"), 0u);
    std::string s = "one TWO two";
    EXPECT_TRUE(ReplaceFirstNoCase(s, "two", "2"));
    EXPECT_EQ(s, "one 2 two");
    EXPECT_FALSE(ReplaceFirstNoCase(s, "three", "3"));
}

TEST(MarkupAttributes, ValuesBetweenQuotes) {
    EXPECT_EQ(AttributeValue(" FACE=\"ARIAL\" SIZE=\"3\"", "FACE"), "ARIAL");
    EXPECT_EQ(AttributeValue(" FACE=ARIAL", "FACE"), "");
    EXPECT_EQ(AttributeValue(" FACE=\"ARIAL", "FACE"), "");
    EXPECT_EQ(AttributeValue(" X", "FACE"), "");
}

TEST(MarkupColors, HexValuesPutRedInTheLowByte) {
    EXPECT_EQ(ColorFromHex("#FF0000"), 0x0000FFu);
    EXPECT_EQ(ColorFromHex("#00FF00"), 0x00FF00u);
    EXPECT_EQ(ColorFromHex("#0000FF"), 0xFF0000u);
    EXPECT_EQ(ColorFromValue("#ff8000"), ColorFromValue("#FF8000"));
    EXPECT_EQ(ColorFromHex("#FF"), 0x0000FFu);
    EXPECT_EQ(ColorFromHex("#FF0"), 0x0000FFu);
    EXPECT_EQ(ColorFromHex("#"), 0u);
    // Characters that are not hex digits count 0 and never spill into the
    // neighbouring channel or make a system colour.
    EXPECT_EQ(ColorFromHex("#ZZ!!~~"), 0u);
    EXPECT_EQ(ColorFromHex("#G0FF00"), 0x00FF00u);
}

TEST(MarkupColors, NamesInAnyCase) {
    EXPECT_EQ(ColorFromName("clred"), 0x0000FFu);
    EXPECT_EQ(ColorFromName("clnavy"), 0x800000u);
    EXPECT_EQ(ColorFromName("clbackground"), 0xFF000001u);
    EXPECT_EQ(ColorFromName("clhighlight"), 0xFF00000Du);
    EXPECT_EQ(ColorFromName("cl3ddkshadow"), 0xFF000015u);
    EXPECT_EQ(ColorFromName("clinfobk"), 0xFF000018u);
    EXPECT_EQ(ColorFromName("ClRed"), 0u); // the table holds lower-case names only
    EXPECT_EQ(ColorFromValue("CLRED"), 0x0000FFu);
    EXPECT_EQ(ColorFromValue("nosuchcolour"), 0u);
}
