// Failures on the temporary file, and what each answer makes of the file and the search; a real
// full disk: a small tmpfs, mounted by the test, holding files larger than its free space; and
// what a killed run leaves: each temporary file it named before making it is deleted by the next
// run, and nothing else is: not a user's file of such a name, not a file that had to stay, not a
// file that a run still going holds.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <thread>

#include "FaultySys.h"
#include "TempRecord.h"
#include "TextShape.h"

namespace pellumar::test {
namespace {

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
    {Op::Access, false, "noretry", "replace the file", std::nullopt},
};

// Every step failing once or every time, with each error and each answer: each file ends old or
// new, never partial, no temporary file stays (though its first delete fails), every prompt names
// the step and its cause, a file left old is named as not changed, and the answer decides what
// comes next.
TEST(FaultTest, EveryStepEveryErrorEveryAnswerEndsOldOrNew) {
    const std::pair<int, FileCause> errors[] = {{EIO, FileCause::HardIo},
                                                {ENOSPC, FileCause::DiskFull},
                                                {EACCES, FileCause::AccessDenied},
                                                {EINTR, FileCause::Generic}};
    const ErrorReply answers[] = {ErrorReply::Retry, ErrorReply::StopSearch, ErrorReply::SkipFile};
    for (size_t run = 0; run < std::size(kSteps) * 24; ++run) {
        const Step& step = kSteps[run / 24];
        const auto [error, errorCause] = errors[run / 6 % 4];
        const int times = run / 3 % 2 == 0 ? 1 : -1;
        const ErrorReply answer = answers[run % 3];
        SCOPED_TRACE(std::to_string(static_cast<int>(step.op)) + " " + std::strerror(error) + " " +
                     std::to_string(times) + " " + std::to_string(static_cast<int>(answer)));
        const std::string old = step.big ? kBig : "old";
        const std::string fresh = step.big ? kBigNew : "new";
        Scene s(old);
        s.tree.Write("sub/next", "old");
        s.sys.Fail(step.op, error, times);
        s.sys.Fail(Op::Unlink, EBUSY);
        s.sys.LimitWrites(step.big ? 4093 : 0);  // short writes are carried on
        s.sink.Reply({answer, answer, answer});  // then Ignore: a retry is not endless
        s.Run();
        Lines others, notChanged;
        for (const std::string& line : s.sink.Others()) {
            (line.rfind("not changed ", 0) == 0 ? notChanged : others).push_back(line);
        }
        const bool prompted = others.size() > 1;
        // A passing interruption of a write or a lock is carried on without a word.
        const bool silent =
            error == EINTR && times == 1 && (step.op == Op::Write || step.op == Op::Lock);
        EXPECT_EQ(prompted, !silent);
        // A write that fails for a full disk says so; any other failed write is unspecified.
        const bool full = step.cause == FileCause::Generic && error == ENOSPC;
        const int cause =
            static_cast<int>(full ? FileCause::DiskFull : step.cause.value_or(errorCause));
        const std::string prompt = std::string(step.kind) + " " + step.prompt;
        const std::string tail =
            " cause " + std::to_string(cause) + " os " + std::to_string(error) + " -> ";
        for (size_t i = 0; i + 1 < others.size(); ++i) {
            if (others[i].find("(sub/") == std::string::npos) {  // the next file, small, may
                EXPECT_EQ(others[i].rfind(prompt, 0), 0u) << others[i];  // fail at another step
                EXPECT_NE(others[i].find(tail), std::string::npos) << others[i];
            }
        }
        EXPECT_EQ(others.back(), "finished 0");
        const std::string a = s.tree.Read("a");
        const bool retried =
            times == 1 && std::string(step.kind) == "error" && answer == ErrorReply::Retry;
        EXPECT_TRUE(a == (silent || retried ? fresh : old));
        EXPECT_EQ(!notChanged.empty() && notChanged[0].rfind("not changed a: ", 0) == 0, a == old);
        // The next file meets the fault again when it lasts, unless the search ended.
        const bool aborted = prompted && answer == ErrorReply::StopSearch;
        EXPECT_EQ(s.tree.Read("sub/next"), aborted || (times < 0 && !silent) ? "old" : "new");
        EXPECT_EQ(s.tree.TemporaryFiles(), Lines{});
    }
}

// Whether a file is reported after a write failed depends on whether the scan had a position
// left to look at: after "aba", the scan moves on by two. A write that fails after a short one
// and is retried goes on from the first byte that did not reach the file: nothing is written
// twice, nothing left out.
TEST(FaultTest, WriteGivenUpIsReportedOnlyWithNoPositionLeftAndARetryWritesEachByteOnce) {
    const std::string head(300 << 10, 'x');
    const struct {
        std::string content, search;
        bool reported;
    } cases[] = {
        {kBig + " and a tail", "old", false},
        {head + "aba" + "y", "aba", true},
        {head + "aba" + "yy", "aba", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.content.substr(c.content.size() - 5));
        Scene s(c.content);
        s.sys.Fail(Op::Write, EIO, -1);
        s.Run({"", "*.*", c.search, "X"});
        EXPECT_EQ(s.sink.Found(), c.reported ? Lines{"a"} : Lines{});
        EXPECT_TRUE(s.tree.Read("a") == c.content);
    }
    Scene s(kBig);
    s.sys.LimitWrites(4093);
    s.sys.FailLater(Op::Write, 1, ENOSPC);
    s.sink.Reply({ErrorReply::Retry});
    s.Run();
    EXPECT_TRUE(s.tree.Read("a") == kBigNew);
    EXPECT_EQ(s.sink.Found(), Lines{"a"});
}

// A file that cannot be opened, told about or read is named without a prompt, and the search
// goes on; so is one read in parts (its head, then the rest) that cannot be read to its end,
// whether its first match was in the head or not, or that another program shortens: between the
// two reads, or, mapped, while the scan looks for the text in it or while the bytes before a
// match are copied out of it.
TEST(FaultTest, FilesThatCannotBeReadAreNamedWithoutAPromptAndLeftAsTheyWere) {
    for (const Op op : {Op::Open, Op::Fstat, Op::Pread, Op::Mmap}) {
        Scene s(op == Op::Mmap ? kBig + std::string(5 << 20, 'y') : "old");
        s.sys.FailLater(op, op == Op::Fstat ? 1 : 0, EIO);  // the first status is the folder's
        s.Run();
        EXPECT_EQ(s.sink.Others(), (Lines{"skipped a: Input/output error", "finished 0"}));
        EXPECT_EQ(s.sink.Found(), Lines{});
    }
    const std::string tail(100 << 10, 't'), mapped(8 << 20, 'x');
    const struct {
        std::string content;
        std::optional<Op> shortened;  // before which call; none: the second read fails
    } cases[] = {
        {"old " + tail + " old", std::nullopt},     {"x " + tail + " old", std::nullopt},
        {"old " + tail + " old", Op::Pread},        {"x " + tail + " old", Op::Pread},
        {"old " + mapped + " old", Op::CreateTemp}, {"xxx " + mapped + " old", Op::Write},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.content.substr(0, 4) + std::to_string(c.content.size()));
        Scene s(c.content);
        s.searchAhead = false;  // the reads counted are the rewrite's own
        s.tree.Write("sub/b", "old");
        const size_t kept = c.shortened == Op::Pread ? 70 << 10 : 4096;
        const auto shorten = [&] { ::truncate(s.tree.Path("a").c_str(), kept); };
        if (!c.shortened) {
            s.sys.FailLater(Op::Pread, 1, EIO);
        } else if (c.shortened == Op::Pread) {
            s.sys.Before(Op::Pread, [&] { s.sys.Before(Op::Pread, shorten); });  // after the head
        } else {
            s.sys.Before(*c.shortened, shorten);
        }
        s.Run();
        const std::string reason =
            c.shortened ? "became shorter while it was read" : "Input/output error";
        EXPECT_EQ(s.sink.Others(), (Lines{"skipped a: " + reason, "finished 0"}));
        EXPECT_EQ(s.sink.Found(), Lines{"sub/b"});
        EXPECT_EQ(s.tree.Read("sub/b"), "new");
        EXPECT_TRUE(s.tree.Read("a") == (c.shortened ? c.content.substr(0, kept) : c.content));
        EXPECT_EQ(s.tree.TemporaryFiles(), Lines{});
    }
    // A search that finds the text in a file's head reads no further.
    Scene s("needle" + std::string(1 << 20, 'x'));
    s.Run({"", "*.*", "needle", "", true, true});
    EXPECT_EQ(s.sink.Found(), Lines{"a"});
    EXPECT_EQ(s.sys.Calls(Op::Pread), 1);
}

// Another program truncates, appends to or replaces the file while it is scanned, read or
// mapped, searched or rewritten: the file ends as that program made it, with the text replaced
// in what it made when that can still be read whole.
TEST(FaultTest, FileChangedByAnotherProgramDuringTheScanEndsAsThatProgramMadeIt) {
    enum Change { kTruncate, kAppend, kReplace };
    for (int run = 0; run < 12; ++run) {
        const bool mapped = run / 6, searchOnly = run % 2;
        const Change change = Change(run / 2 % 3);
        SCOPED_TRACE(std::to_string(mapped) + std::to_string(change) + std::to_string(searchOnly));
        // Rewriting, a match comes before the change; searching, none does.
        const std::string content = (searchOnly ? "xxx " : "old ") +
                                    std::string(mapped ? 20 << 20 : 100 << 10, 'x') + " old";
        Scene s(content);
        std::string made;
        const auto act = [&] {
            const std::string path = s.tree.Path("a");
            if (change == kTruncate) {
                ASSERT_EQ(::truncate(path.c_str(), 1000), 0);
                made = content.substr(0, 1000);
            } else if (change == kAppend) {
                std::ofstream(path, std::ios::app) << "more";
                made = content + "more";
            } else {
                s.tree.Write("elsewhere/other", "other old");
                ASSERT_EQ(::rename(s.tree.Path("elsewhere/other").c_str(), path.c_str()), 0);
                made = "other old";
            }
        };
        if (mapped && !searchOnly) {
            s.sys.Before(Op::Madvise, act);  // the scan is 8 MB in
        } else if (mapped) {
            // A large file searched only is read through a window: the change comes after the
            // head and two slides of it.
            s.sys.Before(Op::Pread,
                         [&] { s.sys.Before(Op::Pread, [&] { s.sys.Before(Op::Pread, act); }); });
        } else {
            s.sys.Before(Op::Pread, [&] { s.sys.Before(Op::Pread, act); });  // after the head
        }
        s.Run({"", "*.*", "old", "new", true, searchOnly});
        EXPECT_FALSE(made.empty());
        if (!searchOnly && change != kTruncate) {
            made = ReplaceAll(made, "old", "new");
        }
        EXPECT_TRUE(s.tree.Read("a") == made);
        EXPECT_EQ(s.tree.TemporaryFiles(), Lines{});
    }
}

TEST(DiskFullTest, FilesLargerThanTheFreeSpaceStayAsTheyWereAndTheSearchGoesOn) {
    TempTree tree;
    const std::string disk = tree.Path("disk");
    std::filesystem::create_directories(disk);
    // Never passes without having run: where mounting is refused, this is a failure.
    ASSERT_EQ(::mount("pellumar-test", disk.c_str(), "tmpfs", 0, "size=256k,mode=0755"), 0)
        << "cannot mount a tmpfs for the full-disk test: " << std::strerror(errno)
        << " (run the tests as root, as CI does)";
    const std::shared_ptr<void> unmount(nullptr, [&](void*) {
        ::chdir("/");
        ::umount2(disk.c_str(), MNT_DETACH);
    });
    // Once the files are on the disk of 256 KiB, less room is left than either large file needs,
    // more than the tiny one does.
    const std::string big = "old " + std::string(100 << 10, 'x') + " old";
    tree.Write("disk/a", big);
    tree.Write("disk/sub/b", big);
    tree.Write("disk/sub/tiny", "old");

    const Heard sink(tree, {"disk", "*.*", "old", "new"});  // Ignore every prompt
    const std::string full = " cause 13 os 28 -> 2";
    EXPECT_EQ(sink.Others(),
              (Lines{"noretry close the output file (disk/pel*.tmp)" + full,
                     "not changed disk/a: No space left on device",
                     "noretry close the output file (disk/sub/pel*.tmp)" + full,
                     "not changed disk/sub/b: No space left on device", "finished 0"}));
    EXPECT_TRUE(tree.Read("disk/a") == big);
    EXPECT_TRUE(tree.Read("disk/sub/b") == big);
    EXPECT_EQ(tree.Read("disk/sub/tiny"), "new");  // the search went on after each Ignore
    // Every file that holds the text is found, rewritten or not.
    EXPECT_EQ(Sorted(sink.Found()), (Lines{"disk/a", "disk/sub/b", "disk/sub/tiny"}));
    EXPECT_EQ(tree.TemporaryFiles(), Lines{});
}

// Names a file in the record, makes it, and says what came of it, as a replacement does.
void Make(TempRecord& record, int folder, const std::string& path, const std::string& name) {
    record.Making(folder, path, name);
    const int fd = ::openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    struct stat st;
    if (fd >= 0 && ::fstat(fd, &st) == 0) {
        record.Made(folder, path, name, st.st_dev, st.st_ino);
    } else if (errno == EEXIST) {
        record.Taken(folder, path, name);
    }
    if (fd >= 0) {
        ::close(fd);
    }
}

TEST(LeftoverTest, WhatAKilledRunLeftIsDeletedByTheNextRunAndNothingElse) {
    TempTree tree, state;
    const std::string store = state.Path("undo");
    tree.Write("pel0001.tmp", "the user's own");
    std::this_thread::sleep_for(std::chrono::milliseconds(30));  // older than any record's line
    const int deep = tree.MakeDeep("deep", 100);
    std::string deepPath = tree.Path("deep");
    for (int level = 0; level < 100; ++level) {
        deepPath += "/" + std::string(49, 'd');
    }
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {  // a run that is killed: its record is never taken away
        TempRecord record(DefaultSys(), store);
        const int root = ::open(tree.Root().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        Make(record, root, tree.Root(), "pel0001.tmp");  // taken already: the run went on
        Make(record, root, tree.Root(), "pel0002.tmp");
        Make(record, root, tree.Root(), "pel0003.tmp");
        Make(record, deep, deepPath, "pel0006.tmp");
        record.Keeping(root, tree.Root(), "pel0003.tmp");  // its folder named again
        Make(record, root, tree.Root(), "pel0004.tmp");
        record.Making(root, tree.Root(), "pel0005.tmp");  // killed before it could say more
        ::close(::openat(root, "pel0005.tmp", O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_EQ(status, 0);
    ASSERT_EQ(::chmod(tree.Path("pel0001.tmp").c_str(), 0640), 0);  // the user's, touched since
    // A run still going holds its own record and its temporary file.
    TempRecord going(DefaultSys(), store);
    const int root = ::open(tree.Root().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    Make(going, root, tree.Root(), "pel0007.tmp");
    const int held = ::open(tree.Path("pel0004.tmp").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);

    EXPECT_EQ(TempRecord::CleanUp(DefaultSys(), store), 3u);
    EXPECT_EQ(tree.TemporaryFiles(), (std::vector<std::string>{"pel0001.tmp", "pel0003.tmp",
                                                               "pel0004.tmp", "pel0007.tmp"}));
    EXPECT_EQ(tree.Read("pel0001.tmp"), "the user's own");
    EXPECT_EQ(::faccessat(deep, "pel0006.tmp", F_OK, 0), -1) << "far below, beyond a path's length";
    // The dead run's record went with what it left; the next one finds nothing to do.
    EXPECT_EQ(TempRecord::CleanUp(DefaultSys(), store), 0u);
    ::close(held);
    ::close(root);
    ::close(deep);
}

// Runs begin while others clean up after the dead: a run must not take a record that another run
// is cleaning up for a live run's, or what the dead run left would outlast the run that ends.
TEST(LeftoverTest, ARunBeginningWhileAnotherCleansUpDeletesWhatTheKilledRunLeft) {
    TempTree tree, state;
    const std::string store = state.Path("undo");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        TempRecord record(DefaultSys(), store);
        const int root = ::open(tree.Root().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        Make(record, root, tree.Root(), "pel0002.tmp");
        record.Making(root, tree.Root(), "pel0005.tmp");
        ::close(::openat(root, "pel0005.tmp", O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_EQ(status, 0);
    FaultySys slow;  // a run that has the dead run's record in hand and has not yet read it
    size_t deletedMeanwhile = 0;
    std::vector<std::string> leftMeanwhile;
    slow.Before(Op::Pread, [&] {
        deletedMeanwhile = TempRecord::CleanUp(DefaultSys(), store);
        leftMeanwhile = tree.TemporaryFiles();
    });
    EXPECT_EQ(TempRecord::CleanUp(slow, store), 0u);
    EXPECT_EQ(deletedMeanwhile, 2u);
    EXPECT_EQ(leftMeanwhile, std::vector<std::string>{});
    EXPECT_EQ(TempRecord::CleanUp(DefaultSys(), store), 0u) << "the record went with the files";
}

}  // namespace
}  // namespace pellumar::test
