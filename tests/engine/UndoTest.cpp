// Taking back a replacement: the tree as it was, files changed since left and named, undos that
// stop part way and are run again, copies where no link can be made, and what the store keeps.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <thread>

#include "FaultySys.h"
#include "TextShape.h"
#include "UndoStore.h"
#include "UndoText.h"

namespace pellumar::test {
namespace {

namespace fs = std::filesystem;

// Every entry below a folder, links not followed: its bytes or link text, mode and times.
std::map<std::string, std::string> Snapshot(const std::string& root) {
    std::map<std::string, std::string> entries;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        struct stat st;
        EXPECT_EQ(::lstat(entry.path().c_str(), &st), 0);
        std::string what = std::to_string(st.st_mode) + " " + std::to_string(st.st_mtim.tv_sec);
        if (entry.is_symlink()) {
            what += " -> " + fs::read_symlink(entry.path()).string();
        } else if (entry.is_regular_file()) {
            what += " " + std::to_string(st.st_size);
        }
        entries[fs::relative(entry.path(), root).string()] = what;
    }
    return entries;
}

// The folders of the runs a store holds.
long UndoRunFolders(const std::string& store) {
    return std::count_if(fs::directory_iterator(store), {}, [](const fs::directory_entry& entry) {
        return entry.path().filename().string().find_first_not_of("0123456789") ==
               std::string::npos;
    });
}

// A tree with a store of its own beside it.
struct UndoCase : Scene {
    // Replaces with undo kept, through the case's system, answering the questions with
    // `replies`: the lines told but the found ones.
    Lines Replace(std::string search, std::string replace,
                  std::initializer_list<ErrorReply> replies = {}) {
        const Heard told(tree, KeepingUndo({"", "*.*", std::move(search), std::move(replace)}), sys,
                         replies);
        return told.Others();
    }
    UndoOutcome UndoLast(Sys& through = DefaultSys()) {
        UndoStore undo(store, through);
        const auto run = undo.LastToUndo();
        EXPECT_TRUE(run.has_value());
        return run ? undo.Undo(run->id) : UndoOutcome{};
    }
};

void WriteSample(const TempTree& tree) {
    tree.Write("a.txt", "one needle here\n");
    tree.Write("private/b.txt", "needle, needle\n", 0600);
    tree.Write("script.sh", "#!/bin/sh\necho needle\n", 0755);
    tree.Write("clean.txt", "nothing to see\n");
    tree.Write("odd\xff name.txt", "needle\n");
    fs::create_symlink("a.txt", tree.Path("link.txt"));
    fs::create_symlink("private", tree.Path("folder-link"));
}

// Taken back, the tree is as it was: bytes, modes, times, links. Where the old file cannot be
// linked into the store, its bytes are copied there, the copy is told once, and it goes back as
// a new file: the same bytes and access rights, not the same times. Nothing is left to take back.
TEST(UndoTest, ReplaceThenUndoGivesTheTreeBackAsItWas) {
    for (const bool copy : {false, true}) {
        SCOPED_TRACE(copy);
        UndoCase c;
        WriteSample(c.tree);
        ::sleep(!copy);  // so that a file written again would show another time
        const auto before = Snapshot(c.tree.Root());
        c.sys.Fail(Op::Link, EXDEV, copy ? -1 : 0);
        struct CopySink : RecordingSink {
            using RecordingSink::RecordingSink;
            void OnUndoKept(uint64_t, uint64_t bytes) override { copied = bytes; }
            uint64_t copied = 0;
        } sink(c.tree.Root());
        RunSearch(c.KeepingUndo({c.tree.Root(), "*.*", "needle", "pin"}), sink, c.sys);
        EXPECT_EQ(sink.copied, copy ? 16u + 15 + 22 + 7 : 0u);
        ASSERT_EQ(c.tree.Read("private/b.txt"), "pin, pin\n");
        ASSERT_NE(Snapshot(c.tree.Root()), before);

        const UndoOutcome outcome = c.UndoLast(c.sys);
        EXPECT_EQ(outcome.error, 0);
        EXPECT_EQ(outcome.restored, 4u);
        EXPECT_TRUE(outcome.left.empty());
        for (const auto& [path, what] : Snapshot(c.tree.Root())) {
            const size_t compared = copy ? what.find(' ') : std::string::npos;
            EXPECT_EQ(what.substr(0, compared), before.at(path).substr(0, compared)) << path;
        }
        EXPECT_EQ(c.tree.Read("private/b.txt"), "needle, needle\n");
        EXPECT_TRUE(c.tree.TemporaryFiles().empty());
        UndoStore store(c.store);
        EXPECT_FALSE(store.LastToUndo().has_value());
        ASSERT_EQ(store.History().size(), 1u);
        EXPECT_TRUE(store.History()[0].undone);
        EXPECT_EQ(store.History()[0].files, 4u);
    }
}

// Any change since the replacement leaves a file as it is, named, however it was made: new
// content, its removal, its access rights, an edit with its time put back, a second name. The
// rest comes back.
TEST(UndoTest, EveryKindOfChangeSinceIsLeftAndNamedAndTheRestComesBack) {
    UndoCase c;
    WriteSample(c.tree);
    for (const char* name : {"mode.txt", "edit.txt", "linked.txt"}) {
        c.tree.Write(name, "needle\n");
    }
    c.Replace("needle", "pin");
    c.tree.Write("a.txt", "written by someone else\n");
    ASSERT_EQ(::unlink(c.tree.Path("script.sh").c_str()), 0);
    ASSERT_EQ(::chmod(c.tree.Path("mode.txt").c_str(), 0600), 0);
    const auto time = fs::last_write_time(c.tree.Path("edit.txt"));
    c.tree.Write("edit.txt", "PIN\n");
    fs::last_write_time(c.tree.Path("edit.txt"), time);
    ASSERT_EQ(::link(c.tree.Path("linked.txt").c_str(), c.tree.Path("second name").c_str()), 0);

    const UndoOutcome outcome = c.UndoLast();
    std::map<std::string, std::string> left;
    for (const UndoLeft& file : outcome.left) {
        left[file.path.substr(c.tree.Root().size() + 1)] = file.reason;
    }
    const std::string changed = "it changed since the replacement";
    EXPECT_EQ(left, (std::map<std::string, std::string>{{"a.txt", changed},
                                                        {"edit.txt", changed},
                                                        {"linked.txt", changed},
                                                        {"mode.txt", changed},
                                                        {"script.sh", "it is no longer there"}}));
    EXPECT_EQ(outcome.restored, 2u);
    EXPECT_NE(UndoOutcomeText(outcome).find("5 files were left as they are"), std::string::npos);
    EXPECT_EQ(c.tree.Read("a.txt") + c.tree.Read("script.sh"),
              "written by someone else\n<missing>");
    EXPECT_EQ(c.tree.Read("mode.txt") + c.tree.Read("edit.txt") + c.tree.Read("linked.txt"),
              "pin\nPIN\npin\n");
    EXPECT_EQ(c.tree.Mode("mode.txt"), 0600u);
    EXPECT_EQ(c.tree.Read("private/b.txt"), "needle, needle\n");
}

// An undo stopped or failing part way finishes when run again, and two undos of the run at once
// lose nothing: files already back count as restored. Lines of long paths fill the room of zeros
// written ahead of them and more room is written: the history and the undo read every line,
// however many blocks and rooms they span.
TEST(UndoTest, AnUndoStoppedOrFailingPartWayFinishesWhenRunAgain) {
    UndoCase c;
    std::string folder;
    for (const char letter : {'a', 'b', 'c', 'd'}) {
        folder += std::string(240, letter) + "/";
    }
    constexpr size_t kFiles = 1200;  // some 1,000 bytes a line: beyond the 1 MiB room
    for (size_t i = 0; i < kFiles; ++i) {
        c.tree.Write(folder + std::to_string(i),
                     std::string(5000, 'x') + "old " + std::to_string(i));
    }
    const auto before = c.tree.Contents();
    c.Replace("old", "new");
    const auto history = UndoStore(c.store).History();
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0].files, kFiles);
    const uint64_t run = history[0].id;

    // Stopped after two files: those are back, the rest as the replacement left them.
    int asked = 0;
    UndoOutcome outcome = UndoStore(c.store).Undo(run, [&] { return ++asked > 2; });
    EXPECT_TRUE(outcome.stopped);
    EXPECT_EQ(outcome.restored, 2u);
    EXPECT_EQ(UndoStore(c.store).LastToUndo()->id, run);
    // A rename that fails leaves that one file.
    FaultySys sys;
    sys.FailLater(Op::Rename, 1, EIO);
    outcome = UndoStore(c.store, sys).Undo(run);
    EXPECT_EQ(outcome.restored, kFiles - 1);
    ASSERT_EQ(outcome.left.size(), 1u);
    EXPECT_EQ(outcome.left[0].reason, "Input/output error");
    // Writes that a signal interrupts every time are given up, not tried forever.
    FaultySys interrupted;
    interrupted.Fail(Op::Write, EINTR, -1);
    EXPECT_EQ(UndoStore(c.store, interrupted).Undo(run).left.size(), 1u);
    outcome = UndoStore(c.store).Undo(run);
    EXPECT_EQ(outcome.restored, kFiles);
    EXPECT_TRUE(c.tree.Contents() == before);
    // Replaced again, then taken back twice at once.
    c.Replace("old", "new");
    const uint64_t again = UndoStore(c.store).LastToUndo()->id;
    std::thread other([&] { outcome = UndoStore(c.store).Undo(again); });
    const UndoOutcome first = UndoStore(c.store).Undo(again);
    other.join();
    for (const UndoOutcome& each : {first, outcome}) {
        EXPECT_EQ(each.restored, kFiles);
        EXPECT_TRUE(each.left.empty());
    }
    EXPECT_TRUE(c.tree.Contents() == before);
    EXPECT_TRUE(c.tree.TemporaryFiles().empty());
}

// Where the old content cannot be kept, the question is asked once: Ignore replaces without a
// copy, Abort leaves the file, and Retry makes the run's journal again. A run that could not begin
// leaves no folder behind, and nothing stays at a temporary name.
TEST(UndoTest, OldContentThatCannotBeKeptIsAskedAboutOnce) {
    const auto asked = [](const Lines& told) {
        return std::count_if(told.begin(), told.end(), [](const std::string& line) {
            return line.find("keep the old content for undo") != std::string::npos;
        });
    };
    for (const ErrorReply reply : {ErrorReply::SkipFile, ErrorReply::StopSearch}) {
        SCOPED_TRACE(static_cast<int>(reply));
        const std::string text = reply == ErrorReply::SkipFile ? "new text" : "old text";
        // Where no link can be made, a copy that does not fit.
        UndoCase c;
        c.tree.Write("a.txt", "old text");
        c.sys.BeforeEach(Op::Link, [&c](const std::string& name) {
            if (name == UndoEntryName(1)) {  // the old file, linked into the store
                c.sys.Fail(Op::Link, EXDEV);
                c.sys.Fail(Op::Write, ENOSPC);
            }
        });
        EXPECT_EQ(asked(c.Replace("old", "new", {reply})), 1);
        EXPECT_EQ(c.tree.Read("a.txt"), text);
        EXPECT_FALSE(UndoStore(c.store).LastToUndo().has_value());
        EXPECT_TRUE(c.tree.TemporaryFiles().empty());
    }
    // A run whose journal cannot be made, retried.
    UndoCase c;
    c.tree.Write("a.txt", "old text");
    c.tree.Write("b.txt", "old text");
    c.sys.Fail(Op::CreateTemp, ENOSPC, 1, "journal");
    const Lines told = c.Replace("old", "new", {ErrorReply::Retry});
    EXPECT_EQ(told.size(), 2u);  // the question, then the end
    EXPECT_EQ(asked(told), 1);
    EXPECT_EQ(c.tree.Read("a.txt") + c.tree.Read("b.txt"), "new textnew text");
    EXPECT_EQ(UndoRunFolders(c.store), 1);
    EXPECT_EQ(c.UndoLast().restored, 2u);
    EXPECT_EQ(c.tree.Read("a.txt") + c.tree.Read("b.txt"), "old textold text");
}

// Records the flushes and renames of the runs through `sys`, one line each: "line" where a
// journal line went to the disk (written out ahead, or flushed on its own), "file" where the new
// file was flushed, "rename".
void RecordFlushes(FaultySys& sys, std::mutex& mutex, std::string& order) {
    sys.BeforeEach(Op::Fsync, [&](const std::string& step) {
        const bool journal = step.find("/journal") != std::string::npos;
        const std::lock_guard lock(mutex);  // the journal is flushed from a thread of its own
        if (journal && !step.starts_with("fsync ")) {
            order += step.starts_with("write out") ? "line written out\n" : "line flushed\n";
        } else if (!journal) {
            order += "file flushed\n";
        }
    });
    sys.BeforeEach(Op::Rename, [&](const std::string&) {
        const std::lock_guard lock(mutex);
        order += "rename\n";
    });
}

// Each file's journal line reaches the disk before the file is replaced. Where the file system
// keeps overwritten data in place (ext4), the lines of the files placed together are written
// out first and go to the disk with the new files' own flushes; elsewhere each line is flushed
// on its own. A line that cannot reach the disk leaves its file as it was, and is told: written
// out together, every file of the group.
TEST(UndoTest, EachLineReachesTheDiskBeforeItsFileIsReplaced) {
    constexpr long kExt4 = 0xEF53, kXfs = 0x58465342;
    for (const long type : {kExt4, kXfs}) {
        SCOPED_TRACE(type);
        UndoCase c;
        c.tree.Write("a.txt", "old a");
        c.tree.Write("b.txt", "old b");
        c.sys.SayFileSystem(type);
        std::mutex mutex;
        std::string order;  // guarded by mutex
        RecordFlushes(c.sys, mutex, order);
        c.Replace("old", "new");
        const std::string file = "file flushed\nline flushed\nrename\n";
        if (type == kXfs) {  // the two flushes run side by side
            order = ReplaceAll(order, "line flushed\nfile flushed", "file flushed\nline flushed");
        }
        // Placed together, the two new files are flushed one after the other, then renamed.
        const std::string together =
            "line written out\nfile flushed\nfile flushed\nrename\nrename\n";
        EXPECT_EQ(order, type == kExt4 ? together : file + file);

        c.tree.Write("a.txt", "old a");
        c.tree.Write("b.txt", "old b");
        c.sys.FailLater(Op::Fsync, 1, EIO, "/journal");  // the header's flush goes through
        const Heard failing(c.tree, c.KeepingUndo({"", "*.*", "old", "new"}), c.sys);
        // Flushed on its own, the first file walked is the one whose line fails; written out
        // together, both are. Each is reported, but not changed.
        const size_t failed = type == kExt4 ? 2 : 1;
        const Lines found = failing.Found();
        ASSERT_EQ(found.size(), 2u);
        EXPECT_EQ(c.tree.Read(found[0]).substr(0, 4) + c.tree.Read(found[1]).substr(0, 4),
                  failed == 2 ? "old old " : "old new ");
        ASSERT_EQ(failing.Others().size(), 2 * failed + 1);
        for (size_t i = 0; i < failed; ++i) {
            EXPECT_NE(failing.Others()[2 * i].find("keep the old content for undo"),
                      std::string::npos);
            EXPECT_EQ(failing.Others()[2 * i + 1],
                      "not changed " + found[i] + ": Input/output error");
        }
        EXPECT_EQ(c.UndoLast().restored, 2 - failed);
        EXPECT_EQ(c.tree.Read("a.txt") + c.tree.Read("b.txt"), "old aold b");
    }
}

// The store is never walked: a replacement through it would destroy what it keeps. It keeps the
// newest twenty runs.
TEST(UndoTest, TheStoreIsPassedOverByTheWalkAndKeepsTwentyRuns) {
    UndoCase c;
    c.store = c.tree.Path(".local/state/pellumar/undo");
    c.tree.Write("a.txt", "0");
    for (int i = 0; i < 22; ++i) {
        const Heard sink(c.tree,
                         c.KeepingUndo({"", "*.*", std::to_string(i), std::to_string(i + 1)}));
        EXPECT_EQ(sink.Found(), Lines{"a.txt"});
    }
    EXPECT_EQ(c.tree.Read("a.txt"), "22");
    const auto history = UndoStore(c.store).History();
    ASSERT_EQ(history.size(), 20u);
    EXPECT_EQ(history.front().header.search, "21");
    EXPECT_EQ(history.back().header.search, "2");
    struct stat st;
    ASSERT_EQ(::stat(c.store.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    // Taking back the runs newest first walks the file back through its history.
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(c.UndoLast().restored, 1u);
    }
    EXPECT_EQ(c.tree.Read("a.txt"), "2");
    // Retention drops the oldest runs first, beyond twenty runs or beyond the bytes allowed.
    const uint64_t gib = uint64_t{1} << 30;
    EXPECT_EQ(RunsToPrune({}, 20, 2 * gib), 0u);
    EXPECT_EQ(RunsToPrune(std::vector<uint64_t>(19, 0), 20, 2 * gib), 0u);
    EXPECT_EQ(RunsToPrune(std::vector<uint64_t>(25, 0), 20, 2 * gib), 6u);
    EXPECT_EQ(RunsToPrune({gib, gib, gib}, 20, 2 * gib), 1u);
    EXPECT_EQ(RunsToPrune({3 * gib, 0, 0}, 20, 2 * gib), 1u);
    EXPECT_EQ(RunsToPrune({0, 0, 3 * gib}, 20, 2 * gib), 3u);
}

TEST(UndoTest, TheJournalKeepsEveryByteOfAPathAndSurvivesACutLine) {
    UndoFileRecord record{7, true, {1, 2, 3, 4}, {5, 6, 7, 8}, "/a\tb\nc\\d\xff"};
    UndoRunHeader header{99, "/x", "*.c", "line\none", "tab\there"};
    const std::string whole = JournalHeaderText(header) + JournalFileLine(record);
    const auto journal = ParseJournal(whole + JournalFileLine(record).substr(0, 20));
    ASSERT_TRUE(journal.has_value());
    ASSERT_EQ(journal->files.size(), 1u);
    EXPECT_EQ(journal->files[0].path, record.path);
    EXPECT_EQ(journal->files[0].after, record.after);
    EXPECT_TRUE(journal->files[0].copied);
    EXPECT_EQ(journal->header.search, "line\none");
    EXPECT_EQ(journal->header.replace, "tab\there");
    EXPECT_TRUE(ParseJournal(whole + JournalWithdrawnLine(7))->files.empty());
    EXPECT_FALSE(ParseJournal("not a journal\n").has_value());
    // The line told once the file is in place comes after; a journal without one, as older
    // versions wrote and as a run killed between the two leaves, is read all the same.
    EXPECT_FALSE(journal->files[0].placed.has_value());
    const UndoPlaced placed{123456789012345678, 0100600, 1000, 100, 1};
    const auto told = ParseJournal(whole + JournalPlacedLine(7, placed) + JournalPlacedLine(8, {}));
    ASSERT_EQ(told->files.size(), 1u);
    EXPECT_EQ(told->files[0].placed, placed);
    EXPECT_EQ(ShortenedForListing("a\nb", 10), "a b");
    EXPECT_EQ(ShortenedForListing("a\xc3\xa9\xc3\xa9\xc3\xa9", 5), "a...");
}

}  // namespace
}  // namespace pellumar::test
