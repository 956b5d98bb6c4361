// The next files of a folder are searched on a second thread: searching only, what is reported,
// skipped and counted, and in which order, must be what one thread alone reports, whatever the
// second thread did first, and a stop leaves nothing reported after it; replacing, where it only
// tells the files that hold no match, every file must end as one thread alone leaves it.
#include <gtest/gtest.h>

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

namespace pellumar::test {
namespace {

// Three folders: one of 700 files (more than one run of entries), with names of odd bytes,
// files that hold the text or not, at their start, past their head or far into a large file,
// empty ones, and files whose open or read fails.
void MakeTree(const TempTree& tree) {
    for (int i = 0; i < 700; ++i) {
        const std::string name = "many/f" + std::to_string(i) + (i % 7 == 0 ? "\xff\t" : "") +
                                 (i % 50 == 3   ? "-locked"
                                  : i % 50 == 4 ? "-broken"
                                                : "");
        std::string content = i % 3 == 0 ? "needle" : "hay";
        if (i % 11 == 0) {
            content = std::string(100 << 10, 'h') + (i % 2 ? "needle" : "");
        }
        tree.Write(name, i % 13 == 0 ? "" : content);
    }
    tree.Write("large/one", std::string(6 << 20, '.') + "needle");
    tree.Write("large/two", std::string(5 << 20, '.'));
    tree.Write("few/a", "needle needle");
    tree.Write("few/b-locked", "needle");
}

// The same tree, searched, counted, replaced as a dry run and replaced, each with and without the
// second thread: the same lines told in the same order, the same result, the same bytes left.
// Hard links share a file, links lead to files of the folder, and opens, reads and temporary
// files fail, some of them asked about and answered Ignore while the second thread searches on.
struct Outcome {
    Lines lines;
    int result;
    std::map<std::string, std::string> files;
    bool operator==(const Outcome&) const = default;
};

Outcome RunTree(bool ahead, int mode) {  // search, search and count, dry run, replace
    Scene s;
    MakeTree(s.tree);
    for (int i = 0; i < 40; ++i) {
        s.tree.Write("links/t" + std::to_string(i), i % 2 ? "in a needle" : "none");
    }
    for (int i = 0; i < 40; i += 3) {
        const std::string target = s.tree.Path("links/t" + std::to_string(i));
        std::filesystem::create_hard_link(target, s.tree.Path("links/hard" + std::to_string(i)));
        std::filesystem::create_symlink("t" + std::to_string(i + 1),
                                        s.tree.Path("links/soft" + std::to_string(i)));
    }
    s.sys.Fail(Op::Open, EACCES, -1, "locked");
    s.sys.Fail(Op::Pread, EIO, -1, "broken");
    s.sys.Fail(Op::CreateTemp, ENOSPC, 3);  // asked three times, each answered Ignore
    Request request{"", "*", "needle", "needle-and-thread", true, mode < 2};
    request.countMatches = mode == 1 || mode == 2;
    request.dryRun = mode == 2;
    request.searchAhead = ahead;
    const int result = s.Run(request);
    return {s.sink.Told(), result, s.tree.Contents()};
}

TEST(SearchAheadTest, EveryRunEndsAndIsToldAsOneThreadAloneGivesIt) {
    for (const int mode : {0, 1, 2, 3}) {
        SCOPED_TRACE(mode);
        const Outcome alone = RunTree(false, mode);
        ASSERT_GT(alone.lines.size(), 200u);
        for (int round = 0; round < 2; ++round) {
            EXPECT_TRUE(RunTree(true, mode) == alone);
        }
    }
}

// Found lines only, in order, of a search of 600 files in three folders that `arrange` stops.
using Arrange = std::function<void(Scene&, SearchStopHandle)>;
Lines FoundUntilStopped(bool ahead, const Arrange& arrange = {}) {
    Scene s;
    for (int i = 0; i < 600; ++i) {
        s.tree.Write("d" + std::to_string(i % 3) + "/f" + std::to_string(i), "needle");
    }
    s.searchAhead = ahead;
    s.Run({"", "*", "needle", "", true, true}, [&](SearchStopHandle stop) {
        if (arrange) {
            arrange(s, stop);
        }
    });
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
            std::vector<std::string> names;
            for (int i = 0; i < size; ++i) {
                names.push_back(std::to_string(i));
            }
            named += size;
            helpedBefore += helped.size();
            helped.clear();
            ahead.Begin(listing, names);
            for (int i = 0; i < size; ++i) {
                std::unique_lock lock(mutex);
                ASSERT_TRUE(i + 1 == size ||
                            changed.wait_for(lock, std::chrono::seconds(5),
                                             [&] { return helped.count(i + 1) != 0; }))
                    << "run of " << size << ", file " << i + 1;
                lock.unlock();
                FileJob result;
                ASSERT_TRUE(ahead.Take(names[i].c_str(), result));
                EXPECT_EQ(result.matches, static_cast<uint64_t>(i));
                std::this_thread::sleep_for(std::chrono::microseconds(i % 8 == 0 ? 2000 : 200));
            }
            FileJob none;
            EXPECT_FALSE(ahead.Take("0", none));
            ahead.End();
        }
        EXPECT_EQ(searched, named);
        EXPECT_EQ(helpedBefore + helped.size(), static_cast<size_t>(named - 5));  // 5 runs
    }
    fs.CloseFolder(folder);
}

}  // namespace
}  // namespace pellumar::test
