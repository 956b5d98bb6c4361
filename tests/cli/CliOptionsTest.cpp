// Parsing the command line and the progress line.
#include <gtest/gtest.h>

#include "CliOptions.h"
#include "CliProgress.h"

namespace pellumar::cli {
namespace {

TEST(CliOptionsTest, DefaultsSwitchesValuesAndErrors) {
    std::string error;
    auto options = ParseCliOptions({"--folder", "/x"}, &error);
    ASSERT_TRUE(options);
    EXPECT_EQ(options->strFilter, "*.*");
    EXPECT_TRUE(options->bSubfolders && options->bHidden && options->bIgnoreCase);
    EXPECT_TRUE(options->SearchesOnly());

    options =
        ParseCliOptions({"--folder=/a b", "--search", "--x", "--replace=", "--match-case",
                         "--no-hidden", "--no-subfolders", "--subfolders", "--on-error", "skip"},
                        &error);
    ASSERT_TRUE(options);
    EXPECT_EQ(options->strFolder, "/a b");
    EXPECT_EQ(options->strSearch, "--x");   // a value may look like an option
    EXPECT_FALSE(options->SearchesOnly());  // --replace '' deletes every match
    EXPECT_FALSE(options->bIgnoreCase || options->bHidden);
    EXPECT_TRUE(options->bSubfolders);  // the last switch wins
    EXPECT_EQ(options->onError, OnError::Skip);
    EXPECT_TRUE(ParseCliOptions({"--replace", "x", "--search-only"}, &error)->SearchesOnly());

    EXPECT_FALSE(ParseCliOptions({"--frobnicate"}, &error));
    EXPECT_EQ(error, "unknown option '--frobnicate'");
    EXPECT_FALSE(ParseCliOptions({"--folder"}, &error));
    EXPECT_EQ(error, "--folder needs a value");
    EXPECT_FALSE(ParseCliOptions({"--on-error", "maybe"}, &error));
    EXPECT_FALSE(ParseCliOptions({"--yes=1"}, &error));
    // An undo is no search: a dry run or a count of it would change files after all.
    EXPECT_FALSE(ParseCliOptions({"--undo", "--dry-run", "--yes"}, &error));
    EXPECT_EQ(error, "--dry-run goes with a search, not with --undo");
    EXPECT_FALSE(ParseCliOptions({"--history", "--count"}, &error));
    EXPECT_EQ(error, "--count goes with a search, not with --history");
}

// Options that would make a run other than the one asked for are refused, naming both.
TEST(CliOptionsTest, OptionsThatExcludeEachOtherAreRefusedByName) {
    const struct {
        std::vector<std::string> args;
        const char* error;
    } cases[] = {
        {{"--undo", "--search", "x"}, "--search goes with a search, not with --undo"},
        {{"--replace", "y", "--undo", "3"}, "--replace goes with a search, not with --undo"},
        {{"--history", "--folder", "/x"}, "--folder goes with a search, not with --history"},
        {{"--history", "--match-case"}, "--match-case goes with a search, not with --history"},
        {{"--undo", "--history"}, "--undo and --history exclude each other"},
        {{"--folder", "/x", "--search", "a", "--count", "--long"},
         "--count and --long exclude each other"},
        {{"--undo", "0"}, "there is no run 0: runs are numbered from 1, as --history lists them"},
        {{"--undo=000"}, "there is no run 0: runs are numbered from 1, as --history lists them"},
        {{"--undo", "x1"}, "unknown option 'x1'"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(ParseCliOptions(c.args, &error)) << c.error;
        EXPECT_EQ(error, c.error);
    }
    std::string error;
    for (const std::vector<std::string>& fine :
         {std::vector<std::string>{"--undo", "--yes", "--quiet", "--no-messages"},
          {"--undo", "2", "--yes"},
          {"--history"},
          {"--folder", "/x", "--search", "a", "--count", "--null"},
          {"--folder", "/x", "--search", "a", "--replace", "b", "--search-only"}}) {
        EXPECT_TRUE(ParseCliOptions(fine, &error)) << error;
    }
}

TEST(CliOptionsTest, ProgressLineFitsTheTerminalAndShowsNoControlBytes) {
    EXPECT_EQ(FormatProgressLine(12, 3, "/a\nb\x1b", 80), "12 examined, 3 found: /a?b?");
    EXPECT_EQ(FormatProgressLine(12, 3, "/very/long/folder", 20).size(), 19u);
}

}  // namespace
}  // namespace pellumar::cli
