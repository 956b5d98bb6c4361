// Replacing, the new files of a folder wait to be placed together, after one flush of their file
// system. None of it may show: the lines told and their order, the questions asked and what
// their answers do, what a stop leaves, every byte of every file, and what undo gives back must
// all be what placing each file at once gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <mutex>
#include <set>

#include "FaultySys.h"
#include "RecordingSink.h"
#include "TempTree.h"
#include "UndoStore.h"

namespace pellumar::test {
namespace {

namespace fs = std::filesystem;

// A folder of 70 files (more than two groups), one of 6, hard links within a folder and across
// folders, a link to a file of the folder, names of odd bytes, files without the text.
void MakeTree(const TempTree& tree) {
    for (int i = 0; i < 70; ++i) {
        const std::string name = "big/f" + std::to_string(i) + (i % 9 == 0 ? "\xfe" : "");
        tree.Write(name, i % 4 == 3 ? "hay" : "a needle, " + std::to_string(i) + " needle");
    }
    for (int i = 0; i < 6; ++i) {
        tree.Write("small/s" + std::to_string(i), "needle " + std::to_string(i));
    }
    fs::create_hard_link(tree.Path("big/f1"), tree.Path("big/hard1"));
    fs::create_hard_link(tree.Path("small/s2"), tree.Path("big/hard-s2"));
    fs::create_symlink("f2", tree.Path("big/soft2"));
}

struct Outcome {
    Lines lines;                                // every line told, in order
    std::map<std::string, std::string> files;   // every file with its bytes
    std::map<std::string, std::string> undone;  // the same once the run is taken back
    int flushes = 0;                            // of a whole file system
};

// What a case sets up before the run: failures, answers, stops, and what to do on each line.
struct Scenario {
    FaultySys& sys;
    RecordingSink& sink;
    CSearchThread& worker;
    std::function<void(const std::string&)> onLine;
};
using Arrange = std::function<void(Scenario&)>;

Outcome Replace(bool groups, const Arrange& arrange = {}) {
    TempTree tree;
    TempTree state;
    MakeTree(tree);
    FaultySys sys;
    sys.Fail(Op::Open, EACCES, -1, "f33");  // told amid the files of its folder that wait
    RecordingSink sink(tree.Root());
    Outcome outcome;
    Request request{tree.Root(), "*", "needle", "needle-and-thread"};
    request.undoFolder = state.Path("undo");
    request.keepUndo = true;
    request.countMatches = true;
    request.placementGroup = groups ? 32 : 1;
    {
        CSearchThread worker(&sink, request, sys);  // gone before the undo: it locks its run
        Scenario run{sys, sink, worker, {}};
        if (arrange) {
            arrange(run);
        }
        sink.OnEach([&outcome, &run](const std::string& line) {
            outcome.lines.push_back(line);
            if (run.onLine) {
                run.onLine(line);
            }
        });
        worker.Run();
    }
    outcome.files = tree.Contents();
    outcome.flushes = sys.Calls(Op::SyncFileSystem);
    EXPECT_EQ(tree.TemporaryFiles(), Lines{});
    UndoStore undo(request.undoFolder);
    if (const auto last = undo.LastToUndo()) {
        undo.Undo(last->id);
    }
    outcome.undone = tree.Contents();
    return outcome;
}

void ExpectSame(const Outcome& grouped, const Outcome& alone) {
    const auto differs = std::mismatch(grouped.lines.begin(), grouped.lines.end(),
                                       alone.lines.begin(), alone.lines.end());
    EXPECT_TRUE(differs.first == grouped.lines.end() && differs.second == alone.lines.end())
        << "line " << differs.first - grouped.lines.begin() << ": grouped \""
        << (differs.first != grouped.lines.end() ? *differs.first : "(end)") << "\", alone \""
        << (differs.second != alone.lines.end() ? *differs.second : "(end)") << "\"";
    EXPECT_TRUE(grouped.files == alone.files);
    EXPECT_TRUE(grouped.undone == alone.undone);
}

TEST(PlacementTest, GroupsLeaveWhatPlacingEachFileAtOnceLeaves) {
    struct Case {
        const char* name;
        Arrange arrange;
    };
    const std::vector<Case> cases = {
        {"nothing fails", {}},
        {"a rename fails, answered Ignore",
         [](Scenario& run) { run.sys.Fail(Op::Rename, EIO, 1, "f20"); }},
        {"the flush of the 11th new file of a folder fails",
         [](Scenario& run) { run.sys.FailLater(Op::Fsync, 10, EIO, "/big/pel"); }},
        // Asked in the midst of a file, with earlier files of its folder waiting: they are
        // placed and told first.
        {"a temporary file in the midst of a group, answered Retry then Ignore",
         [](Scenario& run) {
             run.sys.FailLater(Op::CreateTemp, 20, ENOSPC, "pel");
             run.sink.Reply({ErrorReply::Retry});
         }},
        {"a temporary file in the midst of a group, answered Abort",
         [](Scenario& run) {
             run.sys.FailLater(Op::CreateTemp, 20, ENOSPC, "pel");
             run.sink.Reply({ErrorReply::StopSearch});
         }},
        // A waiting file's rename fails and is answered Abort: the file in hand, whose question
        // made the group be placed, is never asked about.
        {"a waiting file's rename answered Abort",
         [](Scenario& run) {
             run.sys.FailLater(Op::Rename, 10, EIO);  // a file of the group before it
             run.sys.FailLater(Op::CreateTemp, 20, ENOSPC, "pel");
             run.sink.Reply({ErrorReply::StopSearch});
         }},
        {"the flush of the file system fails",
         [](Scenario& run) { run.sys.Fail(Op::SyncFileSystem, EIO, -1); }},
        {"stopped from the report of the 40th file",
         [](Scenario& run) {
             run.onLine = [found = 0,
                           stop = run.worker.GetStopHandle()](const std::string& line) mutable {
                 if (line.rfind("found", 0) == 0 && ++found == 40) {
                     stop.RequestStop();
                 }
             };
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Outcome alone = Replace(false, c.arrange);
        ASSERT_GT(alone.lines.size(), 10u);
        ExpectSame(Replace(true, c.arrange), alone);
    }
    // One flush of the file system serves each group: a folder's files go in groups of at most
    // 32, and a folder's last group is placed before the walk leaves it.
    const Outcome grouped = Replace(true);
    const auto groups = [&grouped](const std::string& folder) {
        return (std::count_if(grouped.lines.begin(), grouped.lines.end(),
                              [&](const std::string& line) { return line.starts_with(folder); }) +
                31) /
               32;
    };
    EXPECT_EQ(grouped.flushes, groups("found big/") + groups("found small/"));
    EXPECT_GT(groups("found big/"), 1);
}

// The names of the files of "big" that are replaced, in the order of the walk; only those whose
// name no other name contains, so that a fault can be aimed at one of them.
std::vector<std::string> ReplacedInBig(const Outcome& outcome) {
    std::vector<std::string> names;
    for (const std::string& line : outcome.lines) {
        const std::string prefix = "found big/f";
        if (line.rfind(prefix, 0) == 0 && line.size() == prefix.size() + 2) {
            names.push_back(line.substr(prefix.size() - 1));
        }
    }
    return names;
}

// Another program renames a file that waits in the run's group over another name of its folder
// (mv s_b s_d) just as the run reaches that name: the run, which holds the file's lock, never
// waits on it, asks nothing of the name that went, and replaces the file once, under the name
// it now has.
TEST(PlacementTest, AFileTheRunHoldsIsNeverWaitedForUnderAnotherName) {
    TempTree tree;
    TempTree state;
    constexpr int kPairs = 4;
    for (int i = 0; i < kPairs; ++i) {
        tree.Write("s" + std::to_string(i) + "_b", "needle b");
        tree.Write("s" + std::to_string(i) + "_d", "needle d");
    }
    FaultySys sys;
    RecordingSink sink(tree.Root());
    Request request{tree.Root(), "*", "needle", "pin"};
    request.undoFolder = state.Path("undo");
    request.keepUndo = true;
    request.searchAhead = false;  // the files are opened as the worker reaches them, in order
    std::mutex mutex;
    std::set<std::string> opened;  // guarded by mutex
    std::string moved;             // guarded by mutex: the pair whose "b" was moved over its "d"
    sys.BeforeEach(Op::Open, [&](const std::string& name) {
        const std::lock_guard lock(mutex);
        opened.insert(name);
        if (!moved.empty() || name.size() < 3 || name.substr(name.size() - 2) != "_d")
            return;
        const std::string pair = name.substr(0, name.size() - 2);
        if (opened.count(pair + "_b") != 0 &&
            ::rename(tree.Path(pair + "_b").c_str(), tree.Path(pair + "_d").c_str()) == 0)
            moved = pair;
    });
    const auto start = std::chrono::steady_clock::now();
    {
        CSearchThread worker(&sink, request, sys);
        worker.Run();
    }
    const auto took = std::chrono::steady_clock::now() - start;
    ASSERT_FALSE(moved.empty()) << "no b was reached before its d";
    EXPECT_LT(took, std::chrono::seconds(5));
    for (const std::string& line : sink.Others())
        EXPECT_EQ(line.find("noretry"), std::string::npos) << line;
    // The moved file was replaced once, under the name it now has.
    EXPECT_EQ(tree.Read(moved + "_d"), "pin b");
    const std::vector<std::string> found = sink.Found();
    EXPECT_EQ(std::count(found.begin(), found.end(), moved + "_d"), 1);
    EXPECT_EQ(std::count(found.begin(), found.end(), moved + "_b"), 0);
    EXPECT_EQ(tree.TemporaryFiles(), std::vector<std::string>{});
    for (int i = 0; i < kPairs; ++i) {
        const std::string pair = "s" + std::to_string(i);
        if (pair != moved) {
            EXPECT_EQ(tree.Read(pair + "_b") + "|" + tree.Read(pair + "_d"), "pin b|pin d");
        }
    }
}

// Another program renames each "b" of a group over its "d" (mv s_b s_d): before the group is
// placed, so that each "d", read again, leads to a file the group still holds, whichever comes
// first; or just after the "b" took its new content, so that the "d" leads to a file the run
// wrote. No lock of the run's own is waited for, and each moved file is changed once ("n" becomes
// "nn" once), under its new name.
TEST(PlacementTest, AFileMovedOverAnotherOfItsGroupIsChangedOnceUnderItsNewName) {
    constexpr int kPairs = 12;
    for (const bool afterPlacing : {false, true}) {
        SCOPED_TRACE(afterPlacing);
        TempTree tree;
        for (int i = 0; i < kPairs; ++i) {
            tree.Write("s" + std::to_string(i) + "_b", "n b");
            tree.Write("s" + std::to_string(i) + "_d", "n d");
        }
        const auto move = [&tree](const std::string& pair) {
            return ::rename(tree.Path(pair + "_b").c_str(), tree.Path(pair + "_d").c_str()) == 0;
        };
        FaultySys sys;
        if (afterPlacing) {
            sys.BeforeEach(Op::Rename, [&](const std::string& name) {
                if (name.ends_with("_b")) {
                    sys.AfterRename([&move, name] { move(name.substr(0, name.size() - 2)); });
                }
            });
        } else {
            sys.Before(Op::SyncFileSystem, [&] {
                for (int i = 0; i < kPairs; ++i) {
                    ASSERT_TRUE(move("s" + std::to_string(i)));
                }
            });
        }
        RecordingSink sink(tree.Root());
        const auto start = std::chrono::steady_clock::now();
        {
            CSearchThread worker(&sink, Request{tree.Root(), "*", "n", "nn"}, sys);
            worker.Run();
        }
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
        for (int i = 0; i < kPairs; ++i) {
            EXPECT_EQ(tree.Read("s" + std::to_string(i) + "_d"), "nn b") << i;
        }
        EXPECT_EQ(tree.TemporaryFiles(), Lines{});
        for (const std::string& line : sink.Others()) {
            EXPECT_EQ(line.find("locked"), std::string::npos) << line;
        }
    }
}

// Another program replaces a file between its reading and its rewrite, while earlier files of
// its folder wait: it is read again only once they are placed, and where placing them ends the
// search (a waiting file's rename fails, answered Abort), it is neither changed nor told.
TEST(PlacementTest, AFileChangedMeanwhileIsReadAgainAfterTheFilesBeforeIt) {
    const std::vector<std::string> names = ReplacedInBig(Replace(false));
    ASSERT_GT(names.size(), 12u);
    const std::string waiting = names[5];
    const std::string changed = names[11];
    for (const bool abort : {false, true}) {
        SCOPED_TRACE(abort);
        const Arrange arrange = [&](Scenario& run) {
            run.sys.Fail(Op::StatAt, ENOENT, 1, changed);  // its name no longer leads to it
            if (abort) {
                run.sys.Fail(Op::Rename, EIO, 1, waiting);
                run.sink.Reply({ErrorReply::StopSearch});
            }
        };
        const Outcome alone = Replace(false, arrange);
        ExpectSame(Replace(true, arrange), alone);
        const bool told = std::find(alone.lines.begin(), alone.lines.end(),
                                    "found big/" + changed) != alone.lines.end();
        EXPECT_EQ(told, !abort);
    }
}

// Stopped at any moment, before some open or some rename of the run: the files told are where
// the whole run begins, each of them holds its new content, every other file is as it was, and
// undo gives every file back.
TEST(PlacementTest, AStopAtAnyMomentLeavesWhatWasToldAndNothingElse) {
    const Outcome full = Replace(true);
    const Outcome before = Replace(true, [](Scenario& run) { run.worker.RequestStop(); });
    for (const Op op : {Op::Open, Op::Rename}) {
        for (const int at : {1, 7, 20, 33, 50}) {
            SCOPED_TRACE(std::to_string(static_cast<int>(op)) + " " + std::to_string(at));
            std::atomic<int> calls{0};
            const Outcome got = Replace(true, [&](Scenario& run) {
                run.sys.BeforeEach(op, [&, stop = run.worker.GetStopHandle()](const std::string&) {
                    if (++calls == at) {
                        stop.RequestStopNow();
                    }
                });
            });
            Lines told = got.lines;
            ASSERT_EQ(told.back(), "finished 0");
            told.pop_back();
            ASSERT_LE(told.size(), full.lines.size());
            EXPECT_EQ(told, Lines(full.lines.begin(),
                                  full.lines.begin() + static_cast<long>(told.size())));
            EXPECT_TRUE(got.undone == before.files);
            ASSERT_EQ(got.files.size(), full.files.size());
            for (const auto& [file, bytes] : got.files) {
                EXPECT_TRUE(bytes == before.files.at(file) || bytes == full.files.at(file)) << file;
            }
        }
    }
}

}  // namespace
}  // namespace pellumar::test
