// Taking back a replacement from the command line: --history, --undo, --no-undo.
#include <gtest/gtest.h>

#include "PellumarProcess.h"
#include "TempTree.h"
#include "TextShape.h"

namespace pellumar {
namespace {

using namespace test;

// Each case keeps its runs in a store of its own.
class CliUndoTest : public ::testing::Test {
  protected:
    void SetUp() override {
        tree.Write("a.txt", "a needle\n");
        tree.Write("sub/b.txt", "needle\n", 0600);
        tree.Write("clean.txt", "hay\n");
    }
    Result Run(std::vector<std::string> args) {
        return Pellumar(args, {.stateHome = state.Root()});
    }
    Result Replace(std::vector<std::string> more = {}) {
        more.insert(more.begin(),
                    {"--folder", tree.Root(), "--search", "needle", "--replace", "pin", "--yes"});
        return Run(more);
    }

    TempTree tree, state;
};

// A run is listed, asked about and taken back once; the history and the messages show the texts
// typed escaped, as ls -b does. A file changed since the replacement is named and left as it is,
// and the status is then 2 (every kind of change since is in the engine's UndoTest). A run with
// --no-undo is not kept.
TEST_F(CliUndoTest, ARunIsListedAndTakenBackOnceLeavingWhatChangedSince) {
    ASSERT_EQ(Replace({"--replace", "x\033]0;title\a"}).status, 0);
    const Result history = Run({"--history"});
    EXPECT_EQ(history.status, 0);
    EXPECT_TRUE(MatchesShape(history.out, "1  ####-##-## ##:##:##  " + tree.Root() +
                                              "  *.*  'needle' -> 'x\\033]0;title\\a'  2 files\n"))
        << history.out;
    const Result refused = Run({"--undo"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.err,
              "pellumar: refusing to take back a replacement without confirmation: "
              "standard input is not a terminal; add --yes to take it back\n");
    const Result undone = Run({"--undo", "--yes"});
    EXPECT_EQ(undone.status, 0);
    EXPECT_EQ(undone.err, "pellumar: Restored 2 files.\n");
    EXPECT_EQ(tree.Read("a.txt") + tree.Read("sub/b.txt"), "a needle\nneedle\n");
    EXPECT_EQ(tree.Mode("sub/b.txt"), 0600u);

    ASSERT_EQ(Replace().status, 0);
    tree.Write("a.txt", "mine now\n");
    const Result left = Run({"--undo", "2", "--yes"});
    EXPECT_EQ(left.status, 2);
    EXPECT_EQ(left.err, "pellumar: " + tree.Path("a.txt") +
                            ": left as it is: it changed since the replacement\n"
                            "pellumar: Restored 1 file. 1 file was left as it is, changed "
                            "since the replacement or out of reach.\n");
    EXPECT_EQ(tree.Read("a.txt") + tree.Read("sub/b.txt"), "mine now\nneedle\n");
    const std::string after = Run({"--history"}).out;
    EXPECT_NE(after.find("2 files  taken back\n"), std::string::npos) << after;
    const Result again = Run({"--undo", "--yes", "--no-messages"});
    EXPECT_EQ(again.status, 1);
    EXPECT_EQ(again.err, "pellumar: no replacement is kept that was not taken back already\n");

    ASSERT_EQ(Replace({"--no-undo"}).status, 0);
    EXPECT_EQ(Run({"--history"}).out, after);
}

// Without a store, a replacement is refused unless errors are to be skipped: then every file is
// replaced, the lack of undo is said once, and the status tells that something was left undone.
TEST_F(CliUndoTest, WithoutAStoreTheRunStopsOrGoesOnWithoutUndoAsToldOnce) {
    state.Write("pellumar", "not a folder");
    EXPECT_EQ(Replace().status, 2);
    EXPECT_EQ(tree.Read("a.txt") + tree.Read("sub/b.txt"), "a needle\nneedle\n");
    const Result skipped = Replace({"--on-error", "skip"});
    EXPECT_EQ(skipped.status, 2);
    EXPECT_EQ(tree.Read("a.txt") + tree.Read("sub/b.txt"), "a pin\npin\n");
    EXPECT_EQ(skipped.out, tree.Path("a.txt\n") + tree.Path("sub/b.txt\n"));
    const size_t told = skipped.err.find("keep the old content");
    EXPECT_NE(told, std::string::npos) << skipped.err;
    EXPECT_EQ(skipped.err.find("keep the old content", told + 1), std::string::npos) << skipped.err;
}

}  // namespace
}  // namespace pellumar
