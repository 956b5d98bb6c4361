// Parsing the command line and the answers typed at the prompts.
#include <gtest/gtest.h>

#include "CliOptions.h"
#include "CliProgress.h"
#include "CliPrompt.h"
#include "StopState.h"

namespace pellumar::cli {
namespace {

std::optional<CliOptions> Parse(std::vector<std::string> args, std::string* error = nullptr) {
    std::string ignored;
    return ParseCliOptions(args, error ? error : &ignored);
}

TEST(CliOptionsTest, DefaultsAreTheDialogsFirstRunOnes) {
    const auto options = Parse({"--folder", "/x"});
    ASSERT_TRUE(options);
    EXPECT_EQ(options->strFolder, "/x");
    EXPECT_EQ(options->strFilter, "*.*");
    EXPECT_TRUE(options->bSubfolders);
    EXPECT_TRUE(options->bHidden);
    EXPECT_TRUE(options->bIgnoreCase);
    EXPECT_TRUE(options->SearchesOnly());
    EXPECT_FALSE(options->onError);
}

TEST(CliOptionsTest, SwitchesValuesAndLastOneWins) {
    const auto options =
        Parse({"--folder=/a b", "--search", "--x", "--replace=", "--match-case", "--no-hidden",
               "--no-subfolders", "--subfolders", "--on-error", "skip", "--long", "--null"});
    ASSERT_TRUE(options);
    EXPECT_EQ(options->strFolder, "/a b");
    EXPECT_EQ(options->strSearch, "--x");  // a value may look like an option
    EXPECT_EQ(options->strReplace, "");
    EXPECT_FALSE(options->SearchesOnly());  // --replace '' deletes every match
    EXPECT_FALSE(options->bIgnoreCase);
    EXPECT_FALSE(options->bHidden);
    EXPECT_TRUE(options->bSubfolders);
    EXPECT_EQ(options->onError, OnError::Skip);
    EXPECT_TRUE(options->bLong && options->bNull);
}

TEST(CliOptionsTest, SearchOnlyWinsOverReplace) {
    const auto options = Parse({"--replace", "x", "--search-only"});
    ASSERT_TRUE(options);
    EXPECT_TRUE(options->SearchesOnly());
}

TEST(CliOptionsTest, UsageErrorsAreNamed) {
    std::string error;
    EXPECT_FALSE(Parse({"--frobnicate"}, &error));
    EXPECT_EQ(error, "unknown option '--frobnicate'");
    EXPECT_FALSE(Parse({"--folder"}, &error));
    EXPECT_EQ(error, "--folder needs a value");
    EXPECT_FALSE(Parse({"--on-error", "maybe"}, &error));
    EXPECT_FALSE(Parse({"--yes=1"}, &error));
}

TEST(CliOptionsTest, PromptAnswersAndAutomaticReplies) {
    EXPECT_EQ(ParsePromptAnswer(true, " R "), STOP_NONE);
    EXPECT_EQ(ParsePromptAnswer(true, "abort"), STOP_SEARCH);
    EXPECT_EQ(ParsePromptAnswer(true, "i"), STOP_FILE);
    EXPECT_EQ(ParsePromptAnswer(true, "ok"), std::nullopt);
    EXPECT_EQ(ParsePromptAnswer(false, "OK"), STOP_FILE);
    EXPECT_EQ(ParsePromptAnswer(false, "c"), STOP_SEARCH);
    EXPECT_EQ(ParsePromptAnswer(false, "r"), std::nullopt);
    EXPECT_EQ(AutomaticReply(OnError::Abort), STOP_SEARCH);
    EXPECT_EQ(AutomaticReply(OnError::Skip), STOP_FILE);
    EXPECT_STREQ(ReplyName(false, STOP_SEARCH), "Cancel");
    EXPECT_TRUE(IsYes("Yes"));
    EXPECT_FALSE(IsYes("yess"));
}

TEST(CliOptionsTest, ProgressLineFitsTheTerminalAndShowsNoControlBytes) {
    EXPECT_EQ(FormatProgressLine(12, 3, "/a\nb\x1b", 80), "12 examined, 3 found: /a?b?");
    EXPECT_EQ(FormatProgressLine(12, 3, "/very/long/folder", 20).size(), 19u);
}

}  // namespace
}  // namespace pellumar::cli
