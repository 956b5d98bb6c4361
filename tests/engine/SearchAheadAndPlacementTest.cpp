// How the work is shared out, which must never show. Searching, the next files of a folder are
// searched on a second thread: what is reported, skipped and counted, and in which order, must be
// what one thread alone reports, whatever the second thread did first, and a stop leaves nothing
// reported after it; replacing, where it only tells the files that hold no match, every file must
// end as one thread alone leaves it. Replacing, the new files of a folder wait to be placed
// together, after one flush of their file system: the lines told and their order, the questions
// asked and what their answers do, what a stop leaves, every byte of every file, and what undo
// gives back must all be what placing each file at once gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <set>
#include <thread>

#include "FaultySys.h"
#include "FolderListing.h"
#include "SearchAhead.h"
#include "UndoStore.h"

namespace pellumar::test {
namespace {

namespace fs = std::filesystem;

// What a whole run left: every line told, in order, its result, every file with its bytes, the
// same once the run is taken back, and the flushes of a whole file system.
struct Outcome {
    Lines lines;
    int result = 0;
    std::map<std::string, std::string> files, undone;
    int flushes = 0;
};

// Runs the request in a tree that `make` fills, with what `arrange` sets up; then takes it back.
Outcome RunOn(void (*make)(Scene&), Request request, const Arrange& arrange = {}) {
    Scene s;
    make(s);
    const int result = s.Run(request.keepUndo ? s.KeepingUndo(request) : request, arrange);
    EXPECT_EQ(s.tree.TemporaryFiles(), Lines{});
    Outcome outcome{s.sink.Told(), result, s.tree.Contents(), {}, s.sys.Calls(Op::SyncFileSystem)};
    UndoStore undo(s.store);  // the worker, which locks its run, is gone
    if (const auto last = undo.LastToUndo()) {
        undo.Undo(last->id);
    }
    outcome.undone = s.tree.Contents();
    return outcome;
}

// Four folders: one of 700 files (more than one run of entries), with names of odd bytes, files
// that hold the text or not, at their start, past their head or far into a large file, empty
// ones, and files whose open or read fails; one of hard links that share a file and links to
// files of the folder. Temporary files fail, asked about and answered Ignore while the second
// thread searches on.
void MakeMany(Scene& s) {
    for (int i = 0; i < 700; ++i) {
        const std::string name = "many/f" + std::to_string(i) + (i % 7 == 0 ? "\xff\t" : "") +
                                 (i % 50 == 3   ? "-locked"
                                  : i % 50 == 4 ? "-broken"
                                                : "");
        std::string content = i % 3 == 0 ? "needle" : "hay";
        if (i % 11 == 0) {
            content = std::string(100 << 10, 'h') + (i % 2 ? "needle" : "");
        }
        s.tree.Write(name, i % 13 == 0 ? "" : content);
    }
    s.tree.Write("large/one", std::string(6 << 20, '.') + "needle");
    s.tree.Write("large/two", std::string(5 << 20, '.'));
    s.tree.Write("few/a", "needle needle");
    s.tree.Write("few/b-locked", "needle");
    for (int i = 0; i < 40; ++i) {
        s.tree.Write("links/t" + std::to_string(i), i % 2 ? "in a needle" : "none");
    }
    for (int i = 0; i < 40; i += 3) {
        const std::string target = s.tree.Path("links/t" + std::to_string(i));
        fs::create_hard_link(target, s.tree.Path("links/hard" + std::to_string(i)));
        fs::create_symlink("t" + std::to_string(i + 1),
                           s.tree.Path("links/soft" + std::to_string(i)));
    }
    s.sys.Fail(Op::Open, EACCES, -1, "locked");
    s.sys.Fail(Op::Pread, EIO, -1, "broken");
    s.sys.Fail(Op::CreateTemp, ENOSPC, 3);  // asked three times, each answered Ignore
}

// The same tree, searched, counted, replaced as a dry run and replaced, each with and without the
// second thread: the same lines told in the same order, the same result, the same bytes left.
Outcome RunMany(bool ahead, int mode) {  // search, search and count, dry run, replace
    Request request{"", "*", "needle", "needle-and-thread", true, mode < 2};
    request.countMatches = mode == 1 || mode == 2;
    request.dryRun = mode == 2;
    request.searchAhead = ahead;
    return RunOn(MakeMany, request);
}

TEST(SearchAheadTest, EveryRunEndsAndIsToldAsOneThreadAloneGivesIt) {
    for (const int mode : {0, 1, 2, 3}) {
        SCOPED_TRACE(mode);
        const Outcome alone = RunMany(false, mode);
        ASSERT_GT(alone.lines.size(), 200u);
        for (int round = 0; round < 2; ++round) {
            const Outcome ahead = RunMany(true, mode);
            EXPECT_TRUE(ahead.lines == alone.lines && ahead.files == alone.files);
            EXPECT_EQ(ahead.result, alone.result);
        }
    }
}

// Found lines only, in order, of a search of 600 files in three folders that `arrange` stops.
Lines FoundUntilStopped(bool ahead, const Arrange& arrange = {}) {
    Scene s;
    for (int i = 0; i < 600; ++i) {
        s.tree.Write("d" + std::to_string(i % 3) + "/f" + std::to_string(i), "needle");
    }
    s.searchAhead = ahead;
    s.Run({"", "*", "needle", "", true, true}, arrange);
    return s.sink.Found();
}

TEST(SearchAheadTest, AStopLeavesNothingReportedAfterItAndWhatCameBeforeInOrder) {
    const Lines full = FoundUntilStopped(false);
    ASSERT_EQ(full.size(), 600u);
    // Stopped from the report of the 50th file: the walk ends before the next entry, and one
    // thread alone opens no file after it.
    for (const bool ahead : {true, false}) {
        int found = 0;
        std::atomic<int> opens{0};
        int opened = -1;  // when the stop came
        const Lines stopped = FoundUntilStopped(ahead, [&](Scene& s, SearchStopHandle stop) {
            s.sys.BeforeEach(Op::Open, [&opens](const std::string&) { ++opens; });
            s.sink.OnEach([&, stop](const std::string& line) {
                if (line.rfind("found", 0) == 0 && ++found == 50) {
                    stop.RequestStop();
                    opened = opens;
                }
            });
        });
        EXPECT_EQ(stopped, Lines(full.begin(), full.begin() + 50));
        EXPECT_TRUE(ahead || opens == opened) << opens << " files opened, " << opened << " before";
    }
    // Stopped before some open, on either thread: what came is where the whole search begins.
    for (const int at : {1, 2, 30, 99, 250, 420}) {
        std::atomic<int> opens{0};
        const Lines got = FoundUntilStopped(true, [&](Scene& s, SearchStopHandle stop) {
            s.sys.BeforeEach(Op::Open, [&opens, at, stop](const std::string&) {
                if (++opens == at) {
                    stop.RequestStopNow();
                }
            });
        });
        ASSERT_LE(got.size(), full.size());
        EXPECT_EQ(got, Lines(full.begin(), full.begin() + static_cast<long>(got.size()))) << at;
    }
}

// A worker slower than the second thread, as one that rewrites files, lets it fall asleep
// between its turns. Each time, it must be woken again in time to search the file after the
// worker's next, in long runs and in runs of one, two and three files: the worker then searches
// only the first file of each run itself, and takes every result once, in the order of the names.
TEST(SearchAheadTest, ASecondThreadThatSleepsIsWokenAgainAndEveryFileIsTakenOnceInOrder) {
    TempTree tree;
    Sys sys;
    FileSystem fs(sys);
    FolderState folder;
    FileId id;
    ASSERT_EQ(fs.OpenFolder(nullptr, tree.Root(), tree.Root(), folder, id), 0);
    {
        FolderListing listing(fs, folder, nullptr, false);
        std::mutex mutex;
        std::condition_variable changed;
        std::set<uint64_t> helped;  // guarded by mutex: what the second thread searched of a run
        int searched = 0;           // guarded by mutex
        size_t helpedBefore = 0;
        SearchAhead ahead(
            [&](int helper, const FolderListing&, const std::string& name, FileJob& got) {
                got.matches = std::stoull(name);
                got.found = true;
                const std::lock_guard lock(mutex);
                ++searched;
                if (helper != 0) {
                    helped.insert(got.matches);
                    changed.notify_all();
                }
            },
            8);
        int named = 0;
        for (const int size : {64, 1, 2, 3, 40}) {
            std::vector<std::string> names(size);
            std::generate(names.begin(), names.end(),
                          [i = 0]() mutable { return std::to_string(i++); });
            named += size;
            helpedBefore += helped.size();
            helped.clear();
            for (const std::string& name : names) {
                ahead.Add(listing, name);
            }
            for (int i = 0; i < size; ++i) {
                std::unique_lock lock(mutex);
                ASSERT_TRUE(i + 1 == size ||
                            changed.wait_for(lock, std::chrono::seconds(5),
                                             [&] { return helped.count(i + 1) != 0; }))
                    << "run of " << size << ", file " << i + 1;
                lock.unlock();
                FileJob result;
                EXPECT_FALSE(ahead.Take(nullptr, names[i].c_str(), result));  // another listing
                ASSERT_TRUE(ahead.Take(&listing, names[i].c_str(), result));
                EXPECT_EQ(result.matches, static_cast<uint64_t>(i));
                std::this_thread::sleep_for(std::chrono::microseconds(i % 8 == 0 ? 2000 : 200));
            }
            FileJob none;
            EXPECT_FALSE(ahead.Take(&listing, "0", none));
            ahead.End();
        }
        EXPECT_EQ(searched, named);
        EXPECT_EQ(helpedBefore + helped.size(), static_cast<size_t>(named - 5));  // 5 runs
    }
    fs.CloseFolder(folder);
}

// A folder of 70 files (more than two groups), one of 6, hard links within a folder and across
// folders, a link to a file of the folder, names of odd bytes, files without the text; one file
// cannot be opened, and is told amid the files of its folder that wait.
void MakeGroups(Scene& s) {
    for (int i = 0; i < 70; ++i) {
        const std::string name = "big/f" + std::to_string(i) + (i % 9 == 0 ? "\xfe" : "");
        s.tree.Write(name, i % 4 == 3 ? "hay" : "a needle, " + std::to_string(i) + " needle");
    }
    for (int i = 0; i < 6; ++i) {
        s.tree.Write("small/s" + std::to_string(i), "needle " + std::to_string(i));
    }
    fs::create_hard_link(s.tree.Path("big/f1"), s.tree.Path("big/hard1"));
    fs::create_hard_link(s.tree.Path("small/s2"), s.tree.Path("big/hard-s2"));
    fs::create_symlink("f2", s.tree.Path("big/soft2"));
    s.sys.Fail(Op::Open, EACCES, -1, "f33");
}

Outcome Replace(bool groups, const Arrange& arrange = {}) {
    Request request{"", "*", "needle", "needle-and-thread"};
    request.keepUndo = true;
    request.countMatches = true;
    request.placementGroup = groups ? 32 : 1;
    return RunOn(MakeGroups, request, arrange);
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

// A flush of the whole file system is trusted with a group's new files only where it takes them
// to the disk and tells of any write that failed (ext4, XFS and Btrfs, on kernels from 5.8 on):
// there they are not flushed again one by one. Anywhere else a new file whose own flush fails
// is left as it was, as placing it alone leaves it, though the file system's flush succeeded.
TEST(PlacementTest, OnlyAFileSystemFlushThatTellsEveryFailureSparesTheNewFilesTheirOwn) {
    constexpr long kExt4 = 0xEF53, kXfs = 0x58465342, kBtrfs = 0x9123683E, kFuse = 0x65735546,
                   kNfs = 0x6969;
    struct Case {
        const char* kernel;
        long type;
        bool trusted;
    };
    for (const Case& c :
         {Case{"6.1.0-18-amd64", kExt4, true}, Case{"5.8.0", kXfs, true},
          Case{"6.12.3", kBtrfs, true}, Case{"5.7.19", kExt4, false}, Case{"4.19.0", kXfs, false},
          Case{"6.1.0", kFuse, false}, Case{"6.1.0", kNfs, false}, Case{"unknown", kExt4, false}}) {
        SCOPED_TRACE(std::string(c.kernel) + " " + std::to_string(c.type));
        int ownFlushes = 0;
        const Outcome flushed = Replace(true, [&](Scene& s, SearchStopHandle) {
            s.sys.SayKernel(c.kernel);
            s.sys.SayFileSystem(c.type);
            s.sys.BeforeEach(Op::Fsync, [&](const std::string& step) {
                ownFlushes += step.find("/pel") != std::string::npos;
            });
        });
        // A file placed alone still has its own; keeping undo, only ext4 groups them.
        const auto found =
            std::count_if(flushed.lines.begin(), flushed.lines.end(),
                          [](const std::string& line) { return line.starts_with("found"); });
        EXPECT_EQ(ownFlushes * 10 < found, c.trusted && c.type == kExt4)
            << ownFlushes << " of " << found;
        EXPECT_TRUE(c.trusted || ownFlushes >= found) << ownFlushes << " of " << found;
        ExpectSame(flushed, Replace(false));
        // A disk that fails to write the 11th new file of a folder fails the flushes of its file
        // system too.
        const Arrange failing = [&](Scene& s, SearchStopHandle) {
            s.sys.SayKernel(c.kernel);
            s.sys.SayFileSystem(c.type);
            s.sys.FailLater(Op::Fsync, 10, EIO, "/big/pel");
            if (c.trusted) {
                s.sys.Fail(Op::SyncFileSystem, EIO, -1);
            }
        };
        ExpectSame(Replace(true, failing), Replace(false, failing));
    }
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
