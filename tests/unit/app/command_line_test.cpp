#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/error_text.h"

using Arguments = std::vector<std::string>;

TEST(CommandLine, SplitsAtControlBytesAndBlanksAndRemovesQuotes) {
    EXPECT_EQ(SplitCommandLine("camzoom.exe autoset"), (Arguments{"camzoom.exe", "autoset"}));
    EXPECT_EQ(SplitCommandLine("\"C:\\Program Files\\camzoom.exe\"\tautoset\x01x"),
              (Arguments{"C:\\Program Files\\camzoom.exe", "autoset", "x"}));
    EXPECT_EQ(SplitCommandLine("a b\"c d\"e"), (Arguments{"a", "bc de"}));
    // No escape character: a backslash before a quote stays and the quote still toggles.
    EXPECT_EQ(SplitCommandLine("a \\\"x y\\\""), (Arguments{"a", "\\x y\\"}));
    EXPECT_EQ(SplitCommandLine("   "), Arguments{});
}

TEST(CommandLine, AutosetOnlyAsTheExactFirstArgument) {
    EXPECT_TRUE(IsAutosetMode("camzoom.exe autoset"));
    EXPECT_TRUE(IsAutosetMode("\"C:\\Station Tools\\camzoom.exe\" autoset more"));
    EXPECT_TRUE(IsAutosetMode("camzoom \"auto\"set"));
    EXPECT_TRUE(IsAutosetMode("camzoom    autoset   "));
    EXPECT_FALSE(IsAutosetMode("camzoom.exe AUTOSET"));
    EXPECT_FALSE(IsAutosetMode("camzoom.exe Autoset"));
    EXPECT_FALSE(IsAutosetMode("camzoom.exe"));
    EXPECT_FALSE(IsAutosetMode("camzoom.exe other autoset"));
    EXPECT_FALSE(IsAutosetMode("camzoom.exe autoset2"));
    EXPECT_FALSE(IsAutosetMode("camzoom.exe \"autoset \""));
    // The program path is the first token even when it is the word itself.
    EXPECT_FALSE(IsAutosetMode("autoset"));
    // An empty first argument ends the arguments.
    EXPECT_FALSE(IsAutosetMode("camzoom \"\" autoset"));
    EXPECT_FALSE(IsAutosetMode(""));
}

TEST(ErrorBoxText, AddsAFullStopAfterBytesSortingAfterIt) {
    EXPECT_EQ(ErrorBoxText("Stream read error"), "Stream read error.");
    EXPECT_EQ(ErrorBoxText("Done."), "Done.");
    EXPECT_EQ(ErrorBoxText("Really?"), "Really?.");  // "?" sorts after "."
    EXPECT_EQ(ErrorBoxText("value 5"), "value 5.");
    EXPECT_EQ(ErrorBoxText("a,"), "a,");  // "," sorts before "."
    EXPECT_EQ(ErrorBoxText("end "), "end ");
    EXPECT_EQ(ErrorBoxText("caf\xe9"), "caf\xe9.");  // compared as an unsigned byte
    EXPECT_EQ(ErrorBoxText(""), "");
}

TEST(ApplicationTitle, TakesTheFileNameUpToItsFirstDotInLowerCaseAfterTheFirstLetter) {
    EXPECT_EQ(ApplicationTitle("C:\\Station\\camzoom.exe"), "camzoom");
    EXPECT_EQ(ApplicationTitle("C:\\Station\\CAMZOOM.EXE"), "Camzoom");
    EXPECT_EQ(ApplicationTitle("/opt/station/CamZoom.v2.exe"), "Camzoom");
    EXPECT_EQ(ApplicationTitle("C:\\my.tools\\camzoom.exe"), "camzoom");
    EXPECT_EQ(ApplicationTitle("camzoom"), "camzoom");
    EXPECT_EQ(ApplicationTitle(".hidden"), "");
}

TEST(FolderOf, KeepsEverythingUpToTheLastSeparator) {
    EXPECT_EQ(FolderOf("C:\\Station\\camzoom.exe"), "C:\\Station\\");
    EXPECT_EQ(FolderOf("/opt/station/camzoom"), "/opt/station/");
    EXPECT_EQ(FolderOf("C:camzoom.exe"), "C:");
    EXPECT_EQ(FolderOf("camzoom.exe"), "");
}

TEST(TrimErrorDescription, RemovesTrailingBlanksLineBreaksAndFullStops) {
    EXPECT_EQ(TrimErrorDescription("Access is denied.\r\n"), "Access is denied");
    EXPECT_EQ(TrimErrorDescription("Odd text. . \n"), "Odd text");
    EXPECT_EQ(TrimErrorDescription("v1.2 failed"), "v1.2 failed");
    EXPECT_EQ(TrimErrorDescription("...\r\n"), "");
}
