#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "app/settings_text.h"

using Items = std::vector<std::string>;

TEST(SplitItems, SeparatesByCommasBlanksOrBoth) {
    EXPECT_EQ(SplitItems("a=1,b=2"), (Items{"a=1", "b=2"}));
    EXPECT_EQ(SplitItems("  a=1  b=2 ,  c=3 "), (Items{"a=1", "b=2", "c=3"}));
    // Every byte from 1 to 32 is a blank.
    EXPECT_EQ(SplitItems("\x01"
                         "a\tb\r\nc\x1f"
                         "d"),
              (Items{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitItems(""), Items{});
    EXPECT_EQ(SplitItems("   \t "), Items{});
}

TEST(SplitItems, AnUnquotedBlankSplitsTheItem) {
    EXPECT_EQ(SplitItems("VCapSource=USB Camera"), (Items{"VCapSource=USB", "Camera"}));
}

TEST(SplitItems, QuotedItemsKeepBlanksAndCommasAndCollapseDoubledQuotes) {
    EXPECT_EQ(SplitItems("\"VCapSource=USB Camera\",x=1"), (Items{"VCapSource=USB Camera", "x=1"}));
    EXPECT_EQ(SplitItems("\"a,b\""), (Items{"a,b"}));
    EXPECT_EQ(SplitItems("\"say \"\"hi\"\"\""), (Items{"say \"hi\""}));
    EXPECT_EQ(SplitItems("\"\""), (Items{""}));
    // Parsing goes on right after the closing quote.
    EXPECT_EQ(SplitItems("\"ab\"cd"), (Items{"ab", "cd"}));
}

TEST(SplitItems, AQuoteInsideAnUnquotedItemIsAnOrdinaryByte) {
    EXPECT_EQ(SplitItems("a\"b c"), (Items{"a\"b", "c"}));
}

TEST(SplitItems, AnUnclosedQuoteRunsToTheEnd) {
    EXPECT_EQ(SplitItems("x=1,\"VCapSource=USB, Cam"), (Items{"x=1", "VCapSource=USB, Cam"}));
}

TEST(SplitItems, CommasMakeEmptyItems) {
    EXPECT_EQ(SplitItems("a,,b"), (Items{"a", "", "b"}));
    EXPECT_EQ(SplitItems(",a"), (Items{"", "a"}));
    EXPECT_EQ(SplitItems("a,"), (Items{"a", ""}));
    // A comma followed by blanks is not the last byte: no empty item.
    EXPECT_EQ(SplitItems("a, "), (Items{"a"}));
    EXPECT_EQ(SplitItems(","), (Items{"", ""}));
}

TEST(SplitItems, AByteZeroEndsTheText) {
    EXPECT_EQ(SplitItems(std::string("a=1,b=2\0c=3", 11)), (Items{"a=1", "b=2"}));
    EXPECT_EQ(SplitItems(std::string("\"a\0b\"", 5)), (Items{"a"}));
}

TEST(SplitItems, BytesAbove127BelongToItems) {
    EXPECT_EQ(SplitItems("K\xb9mera=\xe9 x"), (Items{"K\xb9mera=\xe9", "x"}));
}

TEST(ItemValue, MatchesNamesWithoutRegardToCase) {
    Items items{"vcapsource=Cam", "VCAPMODEWIDTH=640"};
    EXPECT_EQ(ItemValue(items, "VCapSource"), "Cam");
    EXPECT_EQ(ItemValue(items, "VCapModeWidth"), "640");
}

TEST(ItemValue, TheFirstMatchWinsAndKeepsFurtherEqualsSigns) {
    EXPECT_EQ(ItemValue({"VCapSource=first", "VCapSource=second"}, "VCapSource"), "first");
    EXPECT_EQ(ItemValue({"VCapSource=a=b=c"}, "VCapSource"), "a=b=c");
    EXPECT_EQ(ItemValue({"VCapSource="}, "VCapSource"), "");
}

TEST(ItemValue, SkipsItemsWithoutEqualsAndComparesNamesAsTheyStand) {
    EXPECT_EQ(ItemValue({"VCapSource", "VCapSource=x"}, "VCapSource"), "x");
    EXPECT_EQ(ItemValue({"VCapSource =x", " VCapSource=y"}, "VCapSource"), "");
    EXPECT_EQ(ItemValue({"other=1"}, "VCapSource"), "");
    EXPECT_EQ(ItemValue({}, "VCapSource"), "");
    // Only ASCII letters fold: a byte above 127 must match exactly.
    EXPECT_EQ(ItemValue({"\xc9=1"}, "\xe9"), "");
}

TEST(IntOrDefault, ReadsDecimalNumbersWithLeadingBlanksAndSign) {
    EXPECT_EQ(IntOrDefault("640", 7), 640);
    EXPECT_EQ(IntOrDefault(" 640", 7), 640);
    EXPECT_EQ(IntOrDefault("   +640", 7), 640);
    EXPECT_EQ(IntOrDefault("-15", 7), -15);
    EXPECT_EQ(IntOrDefault("000640", 7), 640);
    EXPECT_EQ(IntOrDefault("-0", 7), 0);
    EXPECT_EQ(IntOrDefault("2147483647", 7), 2147483647);
    EXPECT_EQ(IntOrDefault("-2147483648", 7), std::numeric_limits<std::int32_t>::min());
}

TEST(IntOrDefault, ReadsHexadecimalWithEveryPrefix) {
    EXPECT_EQ(IntOrDefault("$280", 7), 640);
    EXPECT_EQ(IntOrDefault("x280", 7), 640);
    EXPECT_EQ(IntOrDefault("X280", 7), 640);
    EXPECT_EQ(IntOrDefault("0x280", 7), 640);
    EXPECT_EQ(IntOrDefault("0X2aF", 7), 0x2AF);
    EXPECT_EQ(IntOrDefault("-0x10", 7), -16);
    EXPECT_EQ(IntOrDefault("$FFFFFFFF", 7), -1);
    EXPECT_EQ(IntOrDefault("$80000000", 7), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(IntOrDefault("-$FFFFFFFF", 7), 1);
    EXPECT_EQ(IntOrDefault("$000000010", 7), 16);
}

TEST(IntOrDefault, GivesTheDefaultForEverythingElse) {
    for (
        const char* text :
        {"",           " ",    "-",    "+",     "$",          "x",           "0x",
         "-0x",        "640 ", "64 0", "6a",    "2147483648", "-2147483649", "99999999999999999999",
         "$100000000", "$G",   "0x1g", "\t640", "--1",        "+-1",         "1e3",
         "0b1",        "$-1"}) {
        EXPECT_EQ(IntOrDefault(text, 7), 7) << '"' << text << '"';
    }
    EXPECT_EQ(IntOrDefault(std::string("12\0", 3), 7), 7);
}
