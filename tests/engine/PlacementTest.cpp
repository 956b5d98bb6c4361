// Replacing, the new files of a folder wait to be placed together, after one flush of their file
// system. None of it may show: the lines told and their order, the questions asked and what
// their answers do, what a stop leaves, every byte of every file, and what undo gives back must
// all be what placing each file at once gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <set>

#include "FaultySys.h"
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

// What a case sets up before the run: failures, answers, stops.
using Arrange = std::function<void(Scene&, SearchStopHandle)>;

Outcome Replace(bool groups, const Arrange& arrange = {}) {
    Scene s;
    MakeTree(s.tree);
    s.sys.Fail(Op::Open, EACCES, -1, "f33");  // told amid the files of its folder that wait
    Request request = s.KeepingUndo({"", "*", "needle", "needle-and-thread"});
    request.countMatches = true;
    request.placementGroup = groups ? 32 : 1;
    s.Run(request, [&](SearchStopHandle stop) {
        if (arrange) {
            arrange(s, stop);
        }
    });
    EXPECT_EQ(s.tree.TemporaryFiles(), Lines{});
    Outcome outcome{s.sink.Told(), s.tree.Contents(), {}, s.sys.Calls(Op::SyncFileSystem)};
    UndoStore undo(s.store);  // the worker, which locks its run, is gone
    if (const auto last = undo.LastToUndo()) {
        undo.Undo(last->id);
    }
    outcome.undone = s.tree.Contents();
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
    Lines names;  // of "big", replaced, in the order of the walk, and part of no other name
    for (const std::string& line : Replace(false).lines) {
        if (line.starts_with("found big/f") && line.size() == 13) {
            names.push_back(line.substr(10));
        }
    }
    ASSERT_GT(names.size(), 12u);
    const std::string waiting = names[5], changed = names[11];
    const std::pair<const char*, Arrange> cases[] = {
        {"nothing fails", {}},
        {"a rename fails, answered Ignore",
         [](Scene& s, SearchStopHandle) { s.sys.Fail(Op::Rename, EIO, 1, "f20"); }},
        {"the flush of the 11th new file of a folder fails",
         [](Scene& s, SearchStopHandle) { s.sys.FailLater(Op::Fsync, 10, EIO, "/big/pel"); }},
        // Asked in the midst of a file, with earlier files of its folder waiting: they are
        // placed and told first.
        {"a temporary file in the midst of a group, answered Retry then Ignore",
         [](Scene& s, SearchStopHandle) {
             s.sys.FailLater(Op::CreateTemp, 20, ENOSPC, "pel");
             s.sink.Reply({ErrorReply::Retry});
         }},
        {"a temporary file in the midst of a group, answered Abort",
         [](Scene& s, SearchStopHandle) {
             s.sys.FailLater(Op::CreateTemp, 20, ENOSPC, "pel");
             s.sink.Reply({ErrorReply::StopSearch});
         }},
        // A waiting file's rename fails and is answered Abort: the file in hand, whose question
        // made the group be placed, is never asked about.
        {"a waiting file's rename answered Abort",
         [](Scene& s, SearchStopHandle) {
             s.sys.FailLater(Op::Rename, 10, EIO);  // a file of the group before it
             s.sys.FailLater(Op::CreateTemp, 20, ENOSPC, "pel");
             s.sink.Reply({ErrorReply::StopSearch});
         }},
        // Another program replaces a file between its reading and its rewrite, while earlier
        // files of its folder wait: it is read again only once they are placed, and not at all
        // where placing them ends the search.
        {"a file changed meanwhile",
         [&](Scene& s, SearchStopHandle) {
             s.sys.Fail(Op::StatAt, ENOENT, 1, changed);  // its name no longer leads to it
         }},
        {"a file changed meanwhile after a waiting file's rename answered Abort",
         [&](Scene& s, SearchStopHandle) {
             s.sys.Fail(Op::StatAt, ENOENT, 1, changed);
             s.sys.Fail(Op::Rename, EIO, 1, waiting);
             s.sink.Reply({ErrorReply::StopSearch});
         }},
        {"the flush of the file system fails",
         [](Scene& s, SearchStopHandle) { s.sys.Fail(Op::SyncFileSystem, EIO, -1); }},
        {"stopped from the report of the 40th file",
         [](Scene& s, SearchStopHandle stop) {
             s.sink.OnEach([found = 0, stop](const std::string& line) mutable {
                 if (line.starts_with("found") && ++found == 40) {
                     stop.RequestStop();
                 }
             });
         }},
    };
    for (const auto& [name, arrange] : cases) {
        SCOPED_TRACE(name);
        const Outcome alone = Replace(false, arrange);
        ASSERT_GT(alone.lines.size(), 10u);
        ExpectSame(Replace(true, arrange), alone);
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

// Another program renames a "b" over the "d" of its folder (mv s_b s_d) while the run holds the
// "b": as the worker, one thread alone, first reaches a "d" with its "b" waiting in the group; just
// before the group is placed, so that each "d", read again, leads to a file the group still
// holds, whichever comes first; or just after the "b" took its new content, so that the "d" leads
// to a file the run wrote. The run never waits on a lock of its own, asks nothing of the name
// that went, and changes each moved file once ("n" becomes "nn" once), under its new name.
TEST(PlacementTest, AFileMovedOverAnotherOfItsGroupIsChangedOnceUnderItsNewName) {
    constexpr int kPairs = 12;
    enum Moment { kReached, kBeforePlacing, kAfterPlacing };
    for (const Moment moment : {kReached, kBeforePlacing, kAfterPlacing}) {
        SCOPED_TRACE(moment);
        Scene s;
        for (int i = 0; i < kPairs; ++i) {
            s.tree.Write("s" + std::to_string(i) + "_b", "n b");
            s.tree.Write("s" + std::to_string(i) + "_d", "n d");
        }
        std::mutex mutex;
        std::set<std::string> opened, moved;  // guarded by mutex
        const auto move = [&](const std::string& pair) {
            if (::rename(s.tree.Path(pair + "_b").c_str(), s.tree.Path(pair + "_d").c_str()) == 0) {
                moved.insert(pair);
            }
        };
        if (moment == kReached) {
            s.searchAhead = false;  // the files are opened as the worker reaches them, in order
            s.sys.BeforeEach(Op::Open, [&](const std::string& name) {
                const std::lock_guard lock(mutex);
                opened.insert(name);
                const std::string pair = name.substr(0, name.size() - 2);
                if (moved.empty() && name.ends_with("_d") && opened.count(pair + "_b") != 0) {
                    move(pair);
                }
            });
        } else if (moment == kBeforePlacing) {
            s.sys.Before(Op::SyncFileSystem, [&] {
                const std::lock_guard lock(mutex);
                for (int i = 0; i < kPairs; ++i) {
                    move("s" + std::to_string(i));
                }
            });
        } else {
            s.sys.BeforeEach(Op::Rename, [&](const std::string& name) {
                if (name.ends_with("_b")) {
                    s.sys.AfterRename([&, name] {
                        const std::lock_guard lock(mutex);
                        move(name.substr(0, name.size() - 2));
                    });
                }
            });
        }
        const auto start = std::chrono::steady_clock::now();
        const Request request{"", "*", "n", "nn"};
        s.Run(moment == kReached ? s.KeepingUndo(request) : request);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
        ASSERT_FALSE(moved.empty()) << "no b was reached before its d";
        EXPECT_TRUE(moment == kReached || moved.size() == kPairs);
        EXPECT_EQ(s.sink.Others(), Lines{"finished 0"});
        const Lines found = s.sink.Found();
        for (int i = 0; i < kPairs; ++i) {
            const std::string pair = "s" + std::to_string(i);
            const bool wasMoved = moved.count(pair) != 0;
            EXPECT_EQ(s.tree.Read(pair + "_b") + "|" + s.tree.Read(pair + "_d"),
                      wasMoved ? "<missing>|nn b" : "nn b|nn d");
            if (moment != kAfterPlacing) {  // else each name as it was when placed
                EXPECT_EQ(std::count(found.begin(), found.end(), pair + "_b"), !wasMoved) << pair;
                EXPECT_EQ(std::count(found.begin(), found.end(), pair + "_d"), 1) << pair;
            }
        }
        EXPECT_EQ(s.tree.TemporaryFiles(), Lines{});
    }
}

// Stopped at any moment, before some open or some rename of the run: the files told are where
// the whole run begins, each of them holds its new content, every other file is as it was, and
// undo gives every file back.
TEST(PlacementTest, AStopAtAnyMomentLeavesWhatWasToldAndNothingElse) {
    const Outcome full = Replace(true);
    const Outcome before = Replace(true, [](Scene&, SearchStopHandle stop) { stop.RequestStop(); });
    for (const Op op : {Op::Open, Op::Rename}) {
        for (const int at : {1, 7, 20, 33, 50}) {
            SCOPED_TRACE(std::to_string(static_cast<int>(op)) + " " + std::to_string(at));
            std::atomic<int> calls{0};
            const Outcome got = Replace(true, [&](Scene& s, SearchStopHandle stop) {
                s.sys.BeforeEach(op, [&, stop](const std::string&) {
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
