// Failures on the temporary file and what each answer makes of the file and the search.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cerrno>

#include "FaultySys.h"
#include "RecordingSink.h"
#include "SearchRunner.h"
#include "TempTree.h"

namespace pellumar {
namespace {

using test::FaultySys;
using test::Op;
using test::RecordingSink;
using test::Request;
using test::TempTree;
using Lines = std::vector<std::string>;

// Larger than the temporary file's buffer, so that writes reach the system before the close;
// the text occurs near the start and at the very end.
std::string BigContent(const std::string& text) {
    return "head " + text + " " + std::string(600 * 1024, 'x') + " " + text;
}

std::string BigReplaced(const std::string& with) {
    return "head " + with + " " + std::string(600 * 1024, 'x') + " " + with;
}

struct Outcome {
    Lines found;
    Lines others;
};

Outcome Search(const TempTree& tree, FaultySys& sys, std::initializer_list<int> replies,
               int fallback = STOP_FILE) {
    RecordingSink sink(tree.Root());
    sink.Reply(replies, fallback);
    test::RunSearch({tree.Root(), "*.*", "old", "new"}, sink, sys);
    EXPECT_EQ(tree.TemporaryFiles(), Lines{});
    return {sink.Found(), sink.Others()};
}

TEST(FaultTest, OpenRetriedAfterAOneOffFailureGivesTheNewContent) {
    for (const int error : {EIO, ENOSPC, EACCES, EMFILE}) {
        TempTree tree;
        tree.Write("a", "old");
        FaultySys sys;
        sys.Fail(Op::CreateTemp, error, 1);
        const Outcome run = Search(tree, sys, {STOP_NONE});
        EXPECT_EQ(tree.Read("a"), "new") << error;
        EXPECT_EQ(run.found, Lines{"a"});
        ASSERT_EQ(run.others.size(), 2u);
        EXPECT_EQ(run.others[0], "error open the temporary file (pel*.tmp) cause " +
                                     std::to_string(CauseFromErrno(error)) + " os " +
                                     std::to_string(error) + " -> 0");
    }
}

TEST(FaultTest, OpenAbortedLeavesTheFileReportedAndEndsTheSearch) {
    TempTree tree;
    tree.Write("a", "old");
    tree.Write("b", "old");
    FaultySys sys;
    sys.Fail(Op::CreateTemp, ENOSPC, -1);
    const Outcome run = Search(tree, sys, {STOP_SEARCH});
    EXPECT_EQ(run.found.size(), 1u);
    EXPECT_EQ(run.others, (Lines{"error open the temporary file (pel*.tmp) cause 13 os 28 -> 1",
                                 "finished 0"}));
    EXPECT_EQ(tree.Read("a"), "old");
    EXPECT_EQ(tree.Read("b"), "old");
}

TEST(FaultTest, OpenIgnoredSkipsOnlyThatFile) {
    TempTree tree;
    tree.Write("a", "old");
    tree.Write("b", "old");
    FaultySys sys;
    sys.Fail(Op::CreateTemp, EACCES, 1);
    const Outcome run = Search(tree, sys, {STOP_FILE});
    EXPECT_EQ(run.found.size(), 2u);
    const std::string skipped = run.found[0];
    const std::string rewritten = run.found[1];
    EXPECT_EQ(tree.Read(skipped), "old");
    EXPECT_EQ(tree.Read(rewritten), "new");
}

TEST(FaultTest, PermissionsThatCannotBeSetCountAsAFailedOpen) {
    TempTree tree;
    tree.Write("a", "old");
    FaultySys sys;
    sys.Fail(Op::Fchmod, EPERM, -1);
    const Outcome run = Search(tree, sys, {STOP_FILE});
    EXPECT_EQ(tree.Read("a"), "old");
    EXPECT_EQ(run.others,
              (Lines{"error open the temporary file (pel*.tmp) cause 5 os 1 -> 2", "finished 0"}));
}

TEST(FaultTest, WriteRetriedAfterAOneOffFailureWritesEveryByteOnce) {
    for (const int error : {EIO, ENOSPC}) {
        TempTree tree;
        tree.Write("a", BigContent("old"));
        FaultySys sys;
        sys.Fail(Op::Write, error, 1);
        const Outcome run = Search(tree, sys, {STOP_NONE});
        EXPECT_TRUE(tree.Read("a") == BigReplaced("new")) << error;
        EXPECT_EQ(run.others, (Lines{"error write to the temporary file (pel*.tmp) cause 1 os " +
                                         std::to_string(error) + " -> 0",
                                     "finished 0"}));
    }
}

TEST(FaultTest, WriteFailingEveryTimeAsksAgainOnEachRetryThenGivesUp) {
    // With bytes after the last match the scan still has a position to examine when the user
    // gives up, and the file is not reported; when the failure came at the last match, it is.
    for (const std::string& trailer : {std::string(" and a tail"), std::string()}) {
        TempTree tree;
        tree.Write("a", BigContent("old") + trailer);
        FaultySys sys;
        sys.Fail(Op::Write, ENOSPC, -1);
        const Outcome run = Search(tree, sys, {STOP_NONE, STOP_NONE, STOP_FILE});
        const std::string prompt = "error write to the temporary file (pel*.tmp) cause 1 os 28 -> ";
        EXPECT_EQ(run.others, (Lines{prompt + "0", prompt + "0", prompt + "2", "finished 0"}));
        EXPECT_TRUE(tree.Read("a") == BigContent("old") + trailer);
        EXPECT_EQ(run.found, trailer.empty() ? Lines{"a"} : Lines{});
    }
}

TEST(FaultTest, WriteAbortedLeavesEveryFileAsItWas) {
    TempTree tree;
    tree.Write("a", BigContent("old"));
    tree.Write("b", BigContent("old"));
    FaultySys sys;
    sys.Fail(Op::Write, EIO, -1);
    const Outcome run = Search(tree, sys, {STOP_SEARCH});
    EXPECT_EQ(run.others, (Lines{"error write to the temporary file (pel*.tmp) cause 1 os 5 -> 1",
                                 "finished 0"}));
    EXPECT_TRUE(tree.Read("a") == BigContent("old"));
    EXPECT_TRUE(tree.Read("b") == BigContent("old"));
}

TEST(FaultTest, InterruptedAndShortWritesAreCarriedOnSilently) {
    TempTree tree;
    tree.Write("a", BigContent("old"));
    FaultySys sys;
    sys.Fail(Op::Write, EINTR, 3);
    sys.LimitWrites(4093);
    const Outcome run = Search(tree, sys, {});
    EXPECT_TRUE(tree.Read("a") == BigReplaced("new"));
    EXPECT_EQ(run.others, Lines{"finished 0"});
}

TEST(FaultTest, FailedFlushOrCloseIsAFullDiskWithoutRetry) {
    for (const Op op : {Op::Fsync, Op::CloseTemp, Op::Write}) {
        TempTree tree;
        tree.Write("a", "old");  // small: the only write is made when closing
        FaultySys sys;
        sys.Fail(op, EIO, 1);
        const Outcome run = Search(tree, sys, {STOP_FILE});
        EXPECT_EQ(tree.Read("a"), "old");
        EXPECT_EQ(run.found, Lines{"a"});
        EXPECT_EQ(run.others, (Lines{"noretry close the output file (pel*.tmp) cause 13 os 5 -> 2",
                                     "finished 0"}));
    }
}

TEST(FaultTest, CancelAfterAFailedCloseEndsTheSearch) {
    TempTree tree;
    tree.Write("a", "old");
    tree.Write("b", "old");
    FaultySys sys;
    sys.Fail(Op::Fsync, ENOSPC, -1);
    const Outcome run = Search(tree, sys, {STOP_SEARCH});
    EXPECT_EQ(run.found.size(), 1u);
    EXPECT_EQ(run.others, (Lines{"noretry close the output file (pel*.tmp) cause 13 os 28 -> 1",
                                 "finished 0"}));
    EXPECT_EQ(tree.Read("a"), "old");
    EXPECT_EQ(tree.Read("b"), "old");
}

TEST(FaultTest, AReplyOutsideTheChoicesActsAsSkip) {
    TempTree tree;
    tree.Write("a", "old");
    tree.Write("b", "old");
    FaultySys sys;
    sys.Fail(Op::CreateTemp, EIO, 1);
    const Outcome run = Search(tree, sys, {7});
    EXPECT_EQ(run.found.size(), 2u);
    EXPECT_EQ(run.others.back(), "finished 0");
}

TEST(FaultTest, FilesThatCannotBeOpenedOrReadAreSkippedWithoutAPrompt) {
    for (const Op op : {Op::Open, Op::Fstat, Op::Pread}) {
        TempTree tree;
        tree.Write("a", "old");
        FaultySys sys;
        sys.Fail(op, EIO, 1);
        const Outcome run = Search(tree, sys, {});
        EXPECT_EQ(run.found, Lines{});
        EXPECT_EQ(run.others, Lines{"finished 0"});
        EXPECT_EQ(tree.Read("a"), "old");
    }
    TempTree tree;
    tree.Write("big", BigContent("old") + std::string(5 << 20, 'y'));
    FaultySys sys;
    sys.Fail(Op::Mmap, ENOMEM, 1);
    const Outcome run = Search(tree, sys, {});
    EXPECT_EQ(run.found, Lines{});
}

TEST(FaultTest, FileShrinkingUnderTheScanIsSkippedAndTheSearchGoesOn) {
    TempTree tree;
    tree.Write("a-big", "old " + std::string(8 << 20, 'x') + " old");
    tree.Write("z/b", "old");  // in a subfolder: walked after the big file
    FaultySys sys;
    // Another program truncates the big file once its first match has been seen: the rest of
    // its mapping is gone.
    sys.Before(Op::CreateTemp, [&] {
        if (tree.Read("a-big").size() > 100) {
            ::truncate(tree.Path("a-big").c_str(), 4096);
        }
    });
    const Outcome run = Search(tree, sys, {});
    EXPECT_EQ(tree.Read("a-big"), "old " + std::string(4092, 'x'));
    EXPECT_EQ(tree.Read("z/b"), "new");
    EXPECT_EQ(run.found, Lines{"z/b"});
    EXPECT_EQ(run.others, Lines{"finished 0"});
}

}  // namespace
}  // namespace pellumar
