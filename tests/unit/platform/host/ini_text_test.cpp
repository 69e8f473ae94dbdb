#include <gtest/gtest.h>

#include <string>

#include "platform/host/ini_text.h"

using host::ini::Lookup;
using host::ini::WithValue;

TEST(IniLookup, NamesMatchWithoutRegardToCaseOrSurroundingBlanks) {
    const std::string text = "[General]\nx=0\n  [ OPTIONS ]  \n\tZoom\t=  12  \n";
    EXPECT_EQ(Lookup(text, "options", "zoom"), "12");
    EXPECT_EQ(Lookup(text, "Options", "ZOOM"), "12");
    EXPECT_EQ(Lookup(text, "general", "X"), "0");
    EXPECT_EQ(Lookup(text, "options", "x"), std::nullopt);
    EXPECT_EQ(Lookup(text, "missing", "zoom"), std::nullopt);
    EXPECT_EQ(Lookup("", "options", "zoom"), std::nullopt);
}

TEST(IniLookup, DropsOnePairOfMatchingEnclosingQuotes) {
    EXPECT_EQ(Lookup("[s]\nk=\"a b\"\n", "s", "k"), "a b");
    EXPECT_EQ(Lookup("[s]\nk= 'a b' \n", "s", "k"), "a b");
    EXPECT_EQ(Lookup("[s]\nk=\"\"x\"\"\n", "s", "k"), "\"x\"");
    EXPECT_EQ(Lookup("[s]\nk=\"a'\n", "s", "k"), "\"a'");
    EXPECT_EQ(Lookup("[s]\nk=\"\n", "s", "k"), "\"");
    EXPECT_EQ(Lookup("[s]\nk=\"\"\n", "s", "k"), "");
}

TEST(IniLookup, TheFirstSectionAndKeyWinAndEmptyValuesCount) {
    const std::string text = "[s]\nk=1\nk=2\n[s]\nk=3\nj=4\n";
    EXPECT_EQ(Lookup(text, "s", "k"), "1");
    // Only the first section of a name is searched.
    EXPECT_EQ(Lookup(text, "s", "j"), std::nullopt);
    EXPECT_EQ(Lookup("[s]\nk=\n", "s", "k"), "");
    EXPECT_EQ(Lookup("[s]\nk=a=b\n", "s", "k"), "a=b");
}

TEST(IniLookup, CommentsAndLinesWithoutEqualsAreNoKeys) {
    EXPECT_EQ(Lookup("[s]\n;k=1\nk\n", "s", "k"), std::nullopt);
    EXPECT_EQ(Lookup("[s]\n;k=1\nk=2\n", "s", "k"), "2");
    // Keys before the first section belong to no named section.
    EXPECT_EQ(Lookup("k=1\n[s]\n", "s", "k"), std::nullopt);
}

TEST(IniLookup, CutsValuesTo2047Characters) {
    std::string value(3000, 'v');
    std::optional<std::string> read = Lookup("[s]\r\nk=" + value + "\r\n", "s", "k");
    ASSERT_TRUE(read);
    EXPECT_EQ(read->size(), 2047u);
}

TEST(IniWrite, ReplacesOnlyTheKeysLine) {
    EXPECT_EQ(WithValue("; c\r\n[Options]\r\n  Zoom = 1 \r\nx=2\r\n", "options", "zoom", "50"),
              "; c\r\n[Options]\r\nZoom=50\r\nx=2\r\n");
}

TEST(IniWrite, AddsTheKeyAfterTheSectionsLastNonBlankLine) {
    EXPECT_EQ(WithValue("[a]\nx=1\n\n[b]\ny=2\n", "a", "k", "v"), "[a]\nx=1\nk=v\n\n[b]\ny=2\n");
    EXPECT_EQ(WithValue("[a]\n\n[b]\n", "a", "k", "v"), "[a]\nk=v\n\n[b]\n");
    // A last line without a line ending gets one first.
    EXPECT_EQ(WithValue("[a]\r\nx=1", "a", "k", "v"), "[a]\r\nx=1\r\nk=v\r\n");
}

TEST(IniWrite, AddsTheSectionAtTheEndOrMakesTheText) {
    EXPECT_EQ(WithValue("", "options", "zoom", "0"), "[options]\r\nzoom=0\r\n");
    EXPECT_EQ(WithValue("[a]\nx=1\n", "options", "zoom", "0"), "[a]\nx=1\n[options]\nzoom=0\n");
    EXPECT_EQ(WithValue("[a]\nx=1", "options", "zoom", "0"), "[a]\nx=1\n[options]\nzoom=0\n");
}

TEST(IniWrite, RefusesTextsThatWouldBreakTheFile) {
    EXPECT_EQ(WithValue("", "s", "k", "a\nb"), std::nullopt);
    EXPECT_EQ(WithValue("", "s", "k=x", "1"), std::nullopt);
    EXPECT_EQ(WithValue("", "s]", "k", "1"), std::nullopt);
    EXPECT_EQ(WithValue("", "s", " ", "1"), std::nullopt);
    EXPECT_EQ(WithValue("", "s\r", "k", "1"), std::nullopt);
}

TEST(IniWrite, WhatIsWrittenReadsBack) {
    std::string text = "[s]\nk=1\n";
    for (const char* value : {"", "0", "-2147483648", "@sp", "a b", "x=y"}) {
        std::optional<std::string> written = WithValue(text, "S", "K", value);
        ASSERT_TRUE(written);
        EXPECT_EQ(Lookup(*written, "s", "k"), value);
        text = *written;
    }
}
