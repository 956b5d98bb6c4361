// The pellumar command run as users run it: what it refuses, its output, exit status, signals.
#include <gtest/gtest.h>

#include <csignal>

#include "CliOptions.h"
#include "CliProgress.h"
#include "PellumarProcess.h"
#include "TempTree.h"
#include "TextShape.h"

namespace pellumar {
namespace {

using namespace test;

// Each refusal ends with 2, changes nothing and says why in one line, followed by the usage
// where the command line itself is wrong.
TEST(CliRunTest, EachRefusalIsSaidAsItIsMeantAndChangesNothing) {
    TempTree tree;
    tree.Write("a", "old");
    tree.Write("sub/b", "");
    const std::string root = tree.Root(), missing = tree.Path("missing");
    const std::string noRunZero =
        "there is no run 0: runs are numbered from 1, as --history lists them";
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--frobnicate"}, "unknown option '--frobnicate'"},
        {{"--folder"}, "--folder needs a value"},
        {{"--on-error", "maybe"}, "--on-error takes ask, abort or skip, not 'maybe'"},
        {{"--yes=1"}, "unknown option '--yes=1'"},
        {{"--undo", "--search", "x"}, "--search goes with a search, not with --undo"},
        {{"--replace", "y", "--undo", "3"}, "--replace goes with a search, not with --undo"},
        {{"--undo", "--dry-run", "--yes"}, "--dry-run goes with a search, not with --undo"},
        {{"--history", "--folder", "/x"}, "--folder goes with a search, not with --history"},
        {{"--history", "--match-case"}, "--match-case goes with a search, not with --history"},
        {{"--history", "--count"}, "--count goes with a search, not with --history"},
        {{"--undo", "--history"}, "--undo and --history exclude each other"},
        {{"--folder", root, "--search", "a", "--count", "--long"},
         "--count and --long exclude each other"},
        {{"--undo", "0"}, noRunZero},
        {{"--undo=000"}, noRunZero},
        {{"--undo", "x1"}, "unknown option 'x1'"},
        {{"--undo=x"}, "--undo takes the number of a run, as --history lists it, not 'x'"},
        {{"--undo=99999", "--yes"}, "no run 99999 is kept; pellumar --history lists the kept runs"},
        {{"--folder", root, "--count"}, "--count needs --search TEXT"},
        {{"--folder", root, "--search", "old", "--dry-run"}, "--dry-run needs --replace TEXT"},
        {{"--folder", root, "--search", "old", "--replace", "x", "--dry-run", "--search-only"},
         "--dry-run needs --replace TEXT"},
        {{"--folder", root, "--filter", "", "--search", "x"}, "Please type in a filter."},
        {{"--search", "x"}, "Please type in a folder to search in."},
        {{"--folder", missing, "--search", "x"},
         missing + ": No such file or directory\npellumar: Cannot find or access the specified "
                   "folder. Please type in a correct folder."},
        {{"--folder", tree.Path("sub"), "--filter", "../*", "--search", "old", "--replace", "x",
          "--yes"},
         "The filter may name only folders inside the folder to look in. Please type in a filter "
         "without \"..\" and without a leading \"/\"."},
        {{"--folder", root, "--replace", "x"},
         "The \"search for\" text box is empty. Please type in text that you want to find."},
        {{"--folder", root, "--search", "old", "--replace", "new"},
         "refusing to replace without confirmation: standard input is not a terminal; add --yes "
         "to replace"},
    };
    for (const auto& [args, message] : cases) {
        const Result result = Pellumar(args);
        EXPECT_EQ(result.status, 2) << message;
        EXPECT_EQ(result.err.substr(0, result.err.find("Usage: ")), "pellumar: " + message + "\n");
        EXPECT_EQ(result.out, "");
    }
    EXPECT_EQ(Pellumar({"--bogus"}).err,
              "pellumar: unknown option '--bogus'\n" + std::string(cli::CliUsage()));
    EXPECT_EQ(tree.Read("a"), "old");
}

TEST(CliRunTest, TheProgressLineFitsTheTerminalAndShowsNoControlBytes) {
    EXPECT_EQ(cli::FormatProgressLine(12, 3, "/a\nb\x1b", 80), "12 examined, 3 found: /a?b?");
    EXPECT_EQ(cli::FormatProgressLine(12, 3, "/very/long/folder", 20).size(), 19u);
}

TEST(CliRunTest, ReportsPathsByteForByteAndExitsZeroOrOne) {
    TempTree tree;
    tree.Write("a.txt", "Hello");
    tree.Write("odd\nname\xff", "");
    EXPECT_EQ(Pellumar({"--folder", tree.Root(), "--search", "hello"}).out,
              tree.Path("a.txt") + "\n");
    EXPECT_EQ(Pellumar({"--folder", tree.Root(), "--search", "hello", "--match-case"}).status, 1);
    const Result listed = Pellumar({"--folder", tree.Root(), "--filter", "odd*", "--null"});
    EXPECT_EQ(listed.status, 0);
    EXPECT_EQ(listed.out, tree.Path("odd\nname\xff") + std::string(1, '\0'));
    const std::string out = Pellumar({"--folder", tree.Root(), "--filter", "a.txt", "--long"}).out;
    const std::string stamp = "5b\t##/##/## ##:##";
    EXPECT_TRUE(MatchesShape(out.substr(0, stamp.size()), stamp)) << out;
    EXPECT_TRUE(out.substr(stamp.size(), 2) == "AM" || out.substr(stamp.size(), 2) == "PM") << out;
    EXPECT_EQ(out.substr(std::min(out.size(), stamp.size() + 2)), "\t" + tree.Path("a.txt") + "\n");
    // A replacement lists each file as it now is: a dry run as it was, the real one as it became.
    const std::vector<std::string> replace = {"--folder",  tree.Root(), "--search", "hello",
                                              "--replace", "",          "--yes",    "--long"};
    std::vector<std::string> dry = replace;
    dry.push_back("--dry-run");
    EXPECT_EQ(Pellumar(dry).out.substr(0, 3), "5b\t");
    const Result replaced = Pellumar(replace);
    EXPECT_EQ(replaced.status, 0);
    EXPECT_EQ(replaced.out.substr(0, 3), "0b\t") << replaced.out;
    EXPECT_EQ(tree.Read("a.txt"), "");
}

TEST(CliRunTest, InterruptOrUnreadOutputStopsCleanlyLeavingEachFileOldOrNew) {
    TempTree tree;
    std::string content, replaced;
    for (int i = 0; i < 64; ++i) {
        content += std::string(4000, 'z') + "old\n";
        replaced += std::string(4000, 'z') + "new\n";
    }
    for (int i = 0; i < 400; ++i) {
        tree.Write("d" + std::to_string(i % 9) + "/f" + std::to_string(i), content);
    }
    const std::vector<std::string> args = {"--folder",  tree.Root(), "--search", "old",
                                           "--replace", "new",       "--yes",    "--match-case"};
    // Ctrl-C, then Ctrl-\\ on the files as the first left them: each stops as cleanly.
    for (const int signal : {SIGINT, SIGQUIT}) {
        How how;
        how.interruptAfterMs = 150;
        how.interrupt = signal;
        const Result interrupted = Pellumar(args, how);
        EXPECT_TRUE(interrupted.status == 128 + signal || interrupted.status == 0)
            << signal << " " << interrupted.status << " " << interrupted.err;
        int changed = 0;
        for (const std::string& file : tree.Files()) {
            const std::string now = tree.Read(file);
            ASSERT_TRUE(now == content || now == replaced) << file;
            changed += now == replaced;
        }
        EXPECT_TRUE(interrupted.status == 0 || changed < 400);
        EXPECT_EQ(tree.TemporaryFiles(), Lines{});
        for (const std::string& file : tree.Files())
            tree.Write(file, content);
    }
    // More output than a pipe holds, so that it meets the closed end however fast the search.
    TempTree listed;
    for (int i = 0; i < 2000; ++i)
        listed.Write(std::to_string(i) + std::string(100, 'n'), "");
    EXPECT_EQ(Pellumar({"--folder", listed.Root(), "--search-only"}, {-1, true}).status, 2);
}

// A file that holds the text but could not be changed is named, not listed, and the run ends
// with 2; the prompt names the file as well as its temporary file.
TEST(CliRunTest, FailuresArePromptedAndAnsweredAsAskedWithNothingLeftBehind) {
    const std::string content = std::string(3000, '.') + "old";
    const struct {
        std::vector<std::string> answer;
        std::string input, reply;
    } cases[] = {
        {{"--on-error", "skip"}, "", "pellumar: answered OK\n"},
        {{}, "", "pellumar: answered Cancel\n"},  // no terminal: abort
        {{"--on-error", "ask"}, "maybe\nc\n", "[O]K, [C]ancel? [O]K, [C]ancel? "},
    };
    for (const auto& c : cases) {
        TempTree tree;
        tree.Write("a", content);
        std::vector<std::string> args = {"--folder",  tree.Root(), "--search", "old",
                                         "--replace", "new",       "--yes"};
        args.insert(args.end(), c.answer.begin(), c.answer.end());
        const Result result = Pellumar(args, {-1, false, 2048, c.input});
        EXPECT_EQ(result.status, 2);
        EXPECT_EQ(result.out, "");
        const std::string prompt = "pellumar: " + tree.Path("a") +
                                   ": Cannot close the output file (" + tree.Root() +
                                   "/pel????.tmp): The disk is full: not enough disk space "
                                   "available for the operation. OK to skip this file and "
                                   "continue this search or Cancelit?\n";
        std::string err = result.err;
        err.replace(prompt.find('?'), 4, "????");  // the temporary file's number
        EXPECT_EQ(err, prompt + c.reply + "pellumar: " + tree.Path("a") +
                           ": not changed: File too large\n");
        EXPECT_EQ(tree.Read("a"), content);
        EXPECT_EQ(tree.TemporaryFiles(), Lines{});
    }
}

}  // namespace
}  // namespace pellumar
