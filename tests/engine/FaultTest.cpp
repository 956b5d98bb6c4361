// Failures on the temporary file, and what each answer makes of the file and the search.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <optional>
#include <regex>

#include "FaultySys.h"
#include "RecordingSink.h"
#include "TempTree.h"

namespace pellumar {
namespace {

using namespace test;

// Larger than the temporary file's buffer, so that writes reach the system before the close.
const std::string kBig = "old " + std::string(600 * 1024, 'x') + " old";
const std::string kBigNew = "new " + std::string(600 * 1024, 'x') + " new";

// One step of putting new content in place, and how its failure is told.
struct Step {
    Op op;
    bool big;            // the file outgrows the write buffer, so writes fail during the scan
    const char* kind;    // "error" may be retried, "noretry" may not
    const char* prompt;  // the operation named in the notification
    std::optional<FileCause> cause;  // the cause reported, when not that of the error itself
};

const Step kSteps[] = {
    {Op::CreateTemp, false, "error", "open the temporary file", std::nullopt},
    {Op::Fchmod, false, "error", "open the temporary file", std::nullopt},
    {Op::Write, true, "error", "write to the temporary file", FileCause::Generic},
    {Op::Write, false, "noretry", "close the output file", FileCause::DiskFull},
    {Op::Fsync, false, "noretry", "close the output file", FileCause::DiskFull},
    {Op::Rename, false, "noretry", "replace the file", std::nullopt},
    {Op::PermCopy, false, "error", "open the temporary file", std::nullopt},
    {Op::AttrCopy, false, "error", "open the temporary file", std::nullopt},
    {Op::Lock, false, "noretry", "replace the file", std::nullopt},
};

// Every step failing once or every time, with each error and each answer: each file ends old or
// new, never partial, no temporary file stays, every prompt names the step and its cause, a file
// left old is named as not changed, and the answer decides what comes next.
TEST(FaultTest, EveryStepEveryErrorEveryAnswerEndsOldOrNew) {
    int runs = 0;
    for (const Step& step : kSteps) {
        for (const int error : {EIO, ENOSPC, EACCES, EINTR}) {
            for (const int times : {1, -1}) {
                for (const ErrorReply answer :
                     {ErrorReply::Retry, ErrorReply::StopSearch, ErrorReply::SkipFile}) {
                    const std::string old = step.big ? kBig : "old";
                    const std::string fresh = step.big ? kBigNew : "new";
                    TempTree tree;
                    tree.Write("a", old);
                    tree.Write("sub/next", "old");
                    FaultySys sys;
                    sys.Fail(step.op, error, times);
                    sys.LimitWrites(step.big ? 4093 : 0);  // short writes are carried on
                    RecordingSink sink(tree.Root());
                    sink.Reply({answer, answer, answer},
                               ErrorReply::SkipFile);  // a retry is not endless
                    RunSearch({tree.Root(), "*.*", "old", "new"}, sink, sys);
                    ++runs;
                    const std::string where = std::to_string(static_cast<int>(step.op)) + " " +
                                              std::strerror(error) + " " + std::to_string(times) +
                                              " " + std::to_string(static_cast<int>(answer));
                    Lines others, notChanged;
                    for (const std::string& line : sink.Others()) {
                        (line.rfind("not changed ", 0) == 0 ? notChanged : others).push_back(line);
                    }
                    const bool prompted = others.size() > 1;
                    // A passing interruption of a write or a lock is carried on without a word.
                    const bool silent = error == EINTR && times == 1 &&
                                        (step.op == Op::Write || step.op == Op::Lock);
                    EXPECT_EQ(prompted, !silent) << where;
                    const int cause = static_cast<int>(step.cause.value_or(CauseFromErrno(error)));
                    const std::string prompt = std::string(step.kind) + " " + step.prompt;
                    const std::string tail =
                        " cause " + std::to_string(cause) + " os " + std::to_string(error) + " -> ";
                    for (size_t i = 0; i + 1 < others.size(); ++i) {
                        if (others[i].find("(sub/") != std::string::npos) {
                            continue;  // the next file, small, may fail at another step
                        }
                        EXPECT_EQ(others[i].rfind(prompt, 0), 0u) << where << others[i];
                        EXPECT_NE(others[i].find(tail), std::string::npos) << where << others[i];
                    }
                    EXPECT_EQ(others.back(), "finished 0") << where;
                    const std::string a = tree.Read("a");
                    EXPECT_TRUE(a == old || a == fresh) << where;
                    const bool named =
                        !notChanged.empty() && notChanged[0].rfind("not changed a: ", 0) == 0;
                    EXPECT_EQ(named, a == old) << where;
                    const bool retryable = std::string(step.kind) == "error";
                    if (silent || (times == 1 && retryable && answer == ErrorReply::Retry)) {
                        EXPECT_TRUE(a == fresh) << where;
                    } else {
                        EXPECT_TRUE(a == old) << where;
                    }
                    // The next file meets the fault again when it lasts, unless the search ended.
                    const bool aborted = prompted && answer == ErrorReply::StopSearch;
                    const bool failsAgain = times < 0 && !silent;
                    EXPECT_EQ(tree.Read("sub/next"), aborted || failsAgain ? "old" : "new")
                        << where;
                    EXPECT_EQ(tree.TemporaryFiles(), Lines{}) << where;
                }
            }
        }
    }
    EXPECT_EQ(runs, 216);
}

// The temporary file is deleted after a failure even when the delete fails once; should it
// fail every time, the file stays behind, but the user's file is untouched.
TEST(FaultTest, TemporaryFileIsDeletedDespiteAPassingFailure) {
    for (const int times : {1, -1}) {
        TempTree tree;
        tree.Write("a", "old");
        FaultySys sys;
        sys.Fail(Op::Fsync, EIO, 1);
        sys.Fail(Op::Unlink, EBUSY, times);
        RecordingSink sink(tree.Root());
        RunSearch({tree.Root(), "*.*", "old", "new"}, sink, sys);
        EXPECT_EQ(tree.Read("a"), "old");
        EXPECT_EQ(tree.TemporaryFiles().size(), times == 1 ? 0u : 1u);
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

// Whether a file is reported after a write failed at its last match depends on whether the scan
// had a position left to look at: after "aba", the scan moves on by two.
TEST(FaultTest, WriteGivenUpAtTheLastMatchIsReportedOnlyWithNoPositionLeft) {
    for (const auto& [tail, reported] : {std::pair<const char*, bool>{"y", true}, {"yy", false}}) {
        TempTree tree;
        const std::string content = std::string(300 << 10, 'x') + "aba" + tail;
        tree.Write("a", content);
        FaultySys sys;
        sys.Fail(Op::Write, EIO);
        RecordingSink sink(tree.Root());
        sink.Reply({ErrorReply::SkipFile});
        RunSearch({tree.Root(), "*.*", "aba", "X"}, sink, sys);
        EXPECT_EQ(sink.Found(), reported ? Lines{"a"} : Lines{}) << tail;
        EXPECT_TRUE(tree.Read("a") == content);
    }
}

TEST(FaultTest, FilesThatCannotBeReadAreNamedWithoutAPrompt) {
    for (const Op op : {Op::Open, Op::Fstat, Op::Pread, Op::Mmap}) {
        TempTree tree;
        tree.Write("a", op == Op::Mmap ? kBig + std::string(5 << 20, 'y') : "old");
        FaultySys sys;
        sys.FailLater(op, op == Op::Fstat ? 1 : 0, EIO);  // the first status is the folder's
        RecordingSink sink(tree.Root());
        RunSearch({tree.Root(), "*.*", "old", "new"}, sink, sys);
        EXPECT_EQ(sink.Others(), (Lines{"skipped a: Input/output error", "finished 0"}));
        EXPECT_EQ(sink.Found(), Lines{});
    }
}

// A write that fails after a short one is retried from the first byte that did not reach the
// file: nothing is written twice, nothing left out.
TEST(FaultTest, AWriteRetriedAfterAShortOneWritesEachByteOnce) {
    TempTree tree;
    tree.Write("a", kBig);
    FaultySys sys;
    sys.LimitWrites(4093);
    sys.FailLater(Op::Write, 1, ENOSPC);
    RecordingSink sink(tree.Root());
    sink.Reply({ErrorReply::Retry});
    RunSearch({tree.Root(), "*.*", "old", "new"}, sink, sys);
    EXPECT_TRUE(tree.Read("a") == kBigNew);
    EXPECT_EQ(sink.Found(), Lines{"a"});
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
            const std::string reason =
                shrink ? "became shorter while it was read" : "Input/output error";
            EXPECT_EQ(sink.Others(), (Lines{"skipped a: " + reason, "finished 0"}));
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

// Another program truncates, appends to or replaces the file while it is scanned, read or
// mapped, searched or rewritten: the file ends as that program made it, with the text replaced
// in what it made when that can still be read whole.
TEST(FaultTest, FileChangedByAnotherProgramDuringTheScanEndsAsThatProgramMadeIt) {
    enum Change { kTruncate, kAppend, kReplace };
    for (const bool mapped : {false, true}) {
        for (const Change change : {kTruncate, kAppend, kReplace}) {
            for (const bool searchOnly : {false, true}) {
                TempTree tree;
                // Rewriting, a match comes before the change; searching, none does.
                const std::string content = (searchOnly ? "xxx " : "old ") +
                                            std::string(mapped ? 20 << 20 : 100 << 10, 'x') +
                                            " old";
                tree.Write("a", content);
                std::string made;
                const auto act = [&] {
                    const std::string path = tree.Path("a");
                    if (change == kTruncate) {
                        ASSERT_EQ(::truncate(path.c_str(), 1000), 0);
                        made = content.substr(0, 1000);
                    } else if (change == kAppend) {
                        std::ofstream(path, std::ios::app) << "more";
                        made = content + "more";
                    } else {
                        tree.Write("elsewhere/other", "other old");
                        ASSERT_EQ(::rename(tree.Path("elsewhere/other").c_str(), path.c_str()), 0);
                        made = "other old";
                    }
                };
                FaultySys sys;
                if (mapped) {
                    sys.Before(Op::Madvise, act);  // the scan is 8 MB in
                } else {
                    sys.Before(Op::Pread, [&] { sys.Before(Op::Pread, act); });  // after the head
                }
                RecordingSink sink(tree.Root());
                RunSearch({tree.Root(), "*.*", "old", "new", true, searchOnly}, sink, sys);
                const std::string where =
                    std::to_string(mapped) + std::to_string(change) + std::to_string(searchOnly);
                EXPECT_FALSE(made.empty()) << where;
                if (!searchOnly && change != kTruncate) {
                    made = std::regex_replace(made, std::regex("old"), "new");
                }
                EXPECT_TRUE(tree.Read("a") == made) << where;
                EXPECT_EQ(tree.TemporaryFiles(), Lines{}) << where;
            }
        }
    }
}

// Another program truncates the mapped file while the scan looks for the text in it, or while
// the bytes before a match are copied out of it.
TEST(FaultTest, FileShrinkingUnderTheScanIsSkippedAndTheSearchGoesOn) {
    for (const Op moment : {Op::CreateTemp, Op::Write}) {
        const std::string first = moment == Op::CreateTemp ? "old " : "xxx ";
        const std::string content = first + std::string(8 << 20, 'x') + " old";
        TempTree tree;
        tree.Write("big", content);
        tree.Write("sub/b", "old");  // walked after the big file
        FaultySys sys;
        sys.Before(moment, [&] { ::truncate(tree.Path("big").c_str(), 4096); });
        RecordingSink sink(tree.Root());
        RunSearch({tree.Root(), "*.*", "old", "new"}, sink, sys);
        EXPECT_EQ(tree.Read("big"), content.substr(0, 4096));
        EXPECT_EQ(tree.Read("sub/b"), "new");
        EXPECT_EQ(sink.Found(), Lines{"sub/b"});
        EXPECT_EQ(sink.Others(),
                  (Lines{"skipped big: became shorter while it was read", "finished 0"}));
        EXPECT_EQ(tree.TemporaryFiles(), Lines{});
    }
}

}  // namespace
}  // namespace pellumar
