// Failures on the temporary file, and what each answer makes of the file and the search.
#include <gtest/gtest.h>
#include <unistd.h>

#include "FaultySys.h"
#include "RecordingSink.h"
#include "TempTree.h"

namespace pellumar {
namespace {

using namespace test;

// Larger than the temporary file's buffer, so that writes reach the system before the close.
const std::string kBig = "old " + std::string(600 * 1024, 'x') + " old";
const std::string kBigNew = "new " + std::string(600 * 1024, 'x') + " new";

struct Case {
    Op op;
    int error;
    int times;
    bool big;
    std::initializer_list<int> replies;
    const char* prompt;  // repeated for each reply
    const char* cause;
    bool rewritten;  // every failure came at the file's last match: it is reported either way
};

TEST(FaultTest, EachFailingStepAndEachAnswerEndOldOrNewNeverPartial) {
    const char* open = "error open the temporary file (pel*.tmp)";
    const char* write = "error write to the temporary file (pel*.tmp)";
    const char* close = "noretry close the output file (pel*.tmp)";
    // clang-format off
    const Case cases[] = {
        {Op::CreateTemp, EIO,    1, false, {STOP_NONE},                       open,  "10 os 5",  true},
        {Op::CreateTemp, ENOSPC, 1, false, {STOP_FILE},                       open,  "13 os 28", false},
        {Op::CreateTemp, EACCES, 2, false, {STOP_NONE, STOP_FILE},            open,  "5 os 13",  false},
        {Op::Fchmod,     EPERM,  1, false, {STOP_FILE},                       open,  "5 os 1",   false},
        {Op::Write,      EIO,    1, true,  {STOP_NONE},                       write, "1 os 5",   true},
        {Op::Write,      ENOSPC, 3, true,  {STOP_NONE, STOP_NONE, STOP_FILE}, write, "1 os 28",  false},
        {Op::Write,      EIO,    1, false, {STOP_FILE},                       close, "13 os 5",  false},
        {Op::Fsync,      EIO,    1, false, {STOP_FILE},                       close, "13 os 5",  false},
        {Op::CloseTemp,  ENOSPC, 1, true,  {STOP_FILE},                       close, "13 os 28", false},
        {Op::Write,      EINTR,  3, true,  {},                                "",    "",         true},
    };
    // clang-format on
    for (const Case& c : cases) {
        TempTree tree;
        tree.Write("a", c.big ? kBig : "old");
        tree.Write("sub/next", "old");
        FaultySys sys;
        sys.Fail(c.op, c.error, c.times);
        sys.LimitWrites(c.big ? 4093 : 0);  // short writes must be carried on, too
        RecordingSink sink(tree.Root());
        sink.Reply(c.replies, STOP_FILE);
        RunSearch({tree.Root(), "*.*", "old", "new"}, sink, sys);
        Lines expected;
        for (const int reply : c.replies) {
            expected.push_back(std::string(c.prompt) + " cause " + c.cause + " -> " +
                               std::to_string(reply));
        }
        expected.push_back("finished 0");
        const std::string old = c.big ? kBig : "old";
        EXPECT_EQ(sink.Others(), expected) << c.prompt;
        EXPECT_TRUE(tree.Read("a") == (c.rewritten ? (c.big ? kBigNew : "new") : old)) << c.prompt;
        EXPECT_EQ(sink.Found(), (Lines{"a", "sub/next"}));
        EXPECT_EQ(tree.Read("sub/next"), "new");  // a skip lasts for one file only
        EXPECT_EQ(tree.TemporaryFiles(), Lines{});
    }
}

TEST(FaultTest, WriteGivenUpWithPositionsLeftIsNotReported) {
    TempTree tree;
    tree.Write("a", kBig + " and a tail");
    FaultySys sys;
    sys.Fail(Op::Write, EIO, -1);
    RecordingSink sink(tree.Root());
    RunSearch({tree.Root(), "*.*", "old", "new"}, sink, sys);
    EXPECT_EQ(sink.Found(), Lines{});
    EXPECT_TRUE(tree.Read("a") == kBig + " and a tail");
}

TEST(FaultTest, AbortOrCancelEndsTheWholeSearch) {
    for (const Op op : {Op::CreateTemp, Op::Write, Op::Fsync}) {
        TempTree tree;
        tree.Write("a", kBig);
        tree.Write("sub/b", "old");
        FaultySys sys;
        sys.Fail(op, EIO, -1);
        RecordingSink sink(tree.Root());
        sink.Reply({STOP_SEARCH});
        RunSearch({tree.Root(), "*.*", "old", "new"}, sink, sys);
        EXPECT_EQ(sink.Others().size(), 2u);
        EXPECT_TRUE(tree.Read("a") == kBig);
        EXPECT_EQ(tree.Read("sub/b"), "old");
        EXPECT_EQ(tree.TemporaryFiles(), Lines{});
    }
}

TEST(FaultTest, FilesThatCannotBeReadAreSkippedWithoutAPrompt) {
    for (const Op op : {Op::Open, Op::Fstat, Op::Pread, Op::Mmap}) {
        TempTree tree;
        tree.Write("a", op == Op::Mmap ? kBig + std::string(5 << 20, 'y') : "old");
        FaultySys sys;
        sys.Fail(op, EIO, 1);
        RecordingSink sink(tree.Root());
        RunSearch({tree.Root(), "*.*", "old", "new"}, sink, sys);
        EXPECT_EQ(sink.Others(), Lines{"finished 0"});
        EXPECT_EQ(sink.Found(), Lines{});
    }
}

// A file read in parts (its head, then the rest) that cannot be read to its end, whether its
// first match was in the head or not, or that another program shortens between the two reads.
TEST(FaultTest, FileWhoseRestCannotBeReadIsLeftAsItWas) {
    const std::string tail(100 << 10, 't');
    for (const std::string& content : {"old " + tail + " old", "x " + tail + " old"}) {
        for (const bool shrink : {false, true}) {
            TempTree tree;
            tree.Write("a", content);
            tree.Write("sub/b", "old");
            FaultySys sys;
            if (shrink) {
                sys.Before(Op::Pread, [&] {
                    sys.Before(Op::Pread, [&] { ::truncate(tree.Path("a").c_str(), 70 << 10); });
                });
            } else {
                sys.FailLater(Op::Pread, 1, EIO);
            }
            RecordingSink sink(tree.Root());
            RunSearch({tree.Root(), "*.*", "old", "new"}, sink, sys);
            EXPECT_EQ(sink.Others(), Lines{"finished 0"});
            EXPECT_EQ(sink.Found(), Lines{"sub/b"});
            EXPECT_TRUE(tree.Read("a") == (shrink ? content.substr(0, 70 << 10) : content));
            EXPECT_EQ(tree.TemporaryFiles(), Lines{});
        }
    }
}

// A search that finds the text in a file's head reads no further.
TEST(FaultTest, SearchFoundInTheHeadReadsOnlyTheHead) {
    TempTree tree;
    tree.Write("a", "needle" + std::string(1 << 20, 'x'));
    FaultySys sys;
    RecordingSink sink(tree.Root());
    RunSearch({tree.Root(), "*.*", "needle", "", true, true}, sink, sys);
    EXPECT_EQ(sink.Found(), Lines{"a"});
    EXPECT_EQ(sys.Calls(Op::Pread), 1);
}

TEST(FaultTest, FileShrinkingUnderTheScanIsSkippedAndTheSearchGoesOn) {
    TempTree tree;
    tree.Write("big", "old " + std::string(8 << 20, 'x') + " old");
    tree.Write("sub/b", "old");  // walked after the big file
    FaultySys sys;
    // Another program truncates the mapped file once its first match has been seen.
    sys.Before(Op::CreateTemp, [&] { ::truncate(tree.Path("big").c_str(), 4096); });
    RecordingSink sink(tree.Root());
    RunSearch({tree.Root(), "*.*", "old", "new"}, sink, sys);
    EXPECT_EQ(tree.Read("big"), "old " + std::string(4092, 'x'));
    EXPECT_EQ(tree.Read("sub/b"), "new");
    EXPECT_EQ(sink.Found(), Lines{"sub/b"});
    EXPECT_EQ(sink.Others(), Lines{"finished 0"});
    EXPECT_EQ(tree.TemporaryFiles(), Lines{});
}

}  // namespace
}  // namespace pellumar
