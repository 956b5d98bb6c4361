// The next files of a folder are searched on a second thread: searching only, what is reported,
// skipped and counted, and in which order, must be what one thread alone reports, whatever the
// second thread did first, and a stop leaves nothing reported after it; replacing, where it only
// tells the files that hold no match, every file must end as one thread alone leaves it.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <random>
#include <thread>

#include "FaultySys.h"
#include "FolderListing.h"
#include "RecordingSink.h"
#include "SearchAhead.h"
#include "TempTree.h"

namespace pellumar::test {
namespace {

// Three folders: one of 700 files (more than one run of entries), with names of odd bytes,
// files that hold the text or not, at their start, past their head or far into a large file,
// empty ones, and files whose open or read fails.
void MakeTree(TempTree& tree) {
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

struct Outcome {
    Lines lines;
    int result;
};

Outcome Search(const TempTree& tree, bool ahead, bool count) {
    FaultySys sys;
    sys.Fail(Op::Open, EACCES, -1, "locked");
    sys.Fail(Op::Pread, EIO, -1, "broken");
    RecordingSink sink(tree.Root());
    Request request{tree.Root(), "*", "needle", "", true, true};
    request.countMatches = count;
    request.searchAhead = ahead;
    CSearchThread worker(&sink, request, sys);
    const int result = worker.Run();
    Lines lines = sink.Found();
    const Lines others = sink.Others();
    lines.insert(lines.end(), others.begin(), others.end());
    return {lines, result};
}

TEST(SearchAheadTest, ReportsSkipsAndCountsComeAsOneThreadAloneGivesThem) {
    TempTree tree;
    MakeTree(tree);
    for (const bool count : {false, true}) {
        SCOPED_TRACE(count);
        const Outcome alone = Search(tree, false, count);
        ASSERT_GT(alone.lines.size(), 200u);
        for (int round = 0; round < 3; ++round) {
            const Outcome ahead = Search(tree, true, count);
            EXPECT_EQ(ahead.result, alone.result);
            ASSERT_EQ(ahead.lines, alone.lines);
        }
    }
}

// Found lines only, in order.
Lines FoundUntilStopped(const TempTree& tree, bool ahead, std::function<void(CSearchThread&)> stop,
                        RecordingSink& sink) {
    Request request{tree.Root(), "*", "needle", "", true, true};
    request.searchAhead = ahead;
    CSearchThread worker(&sink, request);
    stop(worker);
    worker.Run();
    return sink.Found();
}

TEST(SearchAheadTest, AStopLeavesNothingReportedAfterItAndWhatCameBeforeInOrder) {
    TempTree tree;
    for (int i = 0; i < 600; ++i) {
        tree.Write("d" + std::to_string(i % 3) + "/f" + std::to_string(i), "needle");
    }
    RecordingSink all(tree.Root());
    const Lines full = FoundUntilStopped(
        tree, false, [](CSearchThread&) {}, all);
    ASSERT_EQ(full.size(), 600u);
    // Stopped from the report of the 50th file: the walk ends before the next entry.
    RecordingSink sink(tree.Root());
    int found = 0;
    const Lines stopped = FoundUntilStopped(
        tree, true,
        [&](CSearchThread& worker) {
            sink.OnEach([&found, stop = worker.GetStopHandle()](const std::string& line) {
                if (line.rfind("found", 0) == 0 && ++found == 50) {
                    stop.RequestStop();
                }
            });
        },
        sink);
    EXPECT_EQ(stopped, Lines(full.begin(), full.begin() + 50));
    // Stopped from another thread at any moment: what came is where the whole search begins.
    std::mt19937 random(7);
    for (int round = 0; round < 20; ++round) {
        RecordingSink racing(tree.Root());
        std::thread stopper;
        const Lines got = FoundUntilStopped(
            tree, true,
            [&](CSearchThread& worker) {
                const auto delay = std::chrono::microseconds(random() % 3000);
                stopper = std::thread([delay, stop = worker.GetStopHandle()] {
                    std::this_thread::sleep_for(delay);
                    stop.RequestStopNow();
                });
            },
            racing);
        stopper.join();
        ASSERT_LE(got.size(), full.size());
        EXPECT_EQ(got, Lines(full.begin(), full.begin() + static_cast<long>(got.size())));
    }
}

// The same tree twice, replaced the same way with and without the second thread: the same lines
// told, the same bytes left. The replacement holds the text it replaces, hard links share a file,
// links lead to files of the folder, and opens, reads and temporary files fail, some of them
// asked about and answered Ignore while the second thread searches on.
struct Replaced {
    Lines lines;
    std::vector<std::string> files;
    std::vector<std::string> contents;
};

Replaced Replace(bool ahead, bool dryRun) {
    TempTree tree;
    MakeTree(tree);
    for (int i = 0; i < 40; ++i) {
        tree.Write("links/t" + std::to_string(i), i % 2 ? "in a needle" : "none");
    }
    for (int i = 0; i < 40; i += 3) {
        const std::string target = tree.Path("links/t" + std::to_string(i));
        std::filesystem::create_hard_link(target, tree.Path("links/hard" + std::to_string(i)));
        std::filesystem::create_symlink("t" + std::to_string(i + 1),
                                        tree.Path("links/soft" + std::to_string(i)));
    }
    FaultySys sys;
    sys.Fail(Op::Open, EACCES, -1, "locked");
    sys.Fail(Op::Pread, EIO, -1, "broken");
    sys.Fail(Op::CreateTemp, ENOSPC, 3);  // asked three times, each answered Ignore
    RecordingSink sink(tree.Root());
    Request request{tree.Root(), "*", "needle", "needle-and-thread"};
    request.dryRun = dryRun;
    request.countMatches = dryRun;
    request.searchAhead = ahead;
    CSearchThread worker(&sink, request, sys);
    worker.Run();
    Replaced replaced{sink.Found(), tree.Files(), {}};
    const Lines others = sink.Others();
    replaced.lines.insert(replaced.lines.end(), others.begin(), others.end());
    for (const std::string& file : replaced.files) {
        replaced.contents.push_back(tree.Read(file));
    }
    return replaced;
}

TEST(SearchAheadTest, ReplacingEveryFileEndsAsOneThreadAloneLeavesIt) {
    for (const bool dryRun : {false, true}) {
        SCOPED_TRACE(dryRun);
        const Replaced alone = Replace(false, dryRun);
        ASSERT_GT(alone.lines.size(), 200u);
        const Replaced ahead = Replace(true, dryRun);
        EXPECT_EQ(ahead.lines, alone.lines);
        ASSERT_EQ(ahead.files, alone.files);
        EXPECT_TRUE(ahead.contents == alone.contents);
    }
}

// What the second thread searched of the current run, for a worker that waits for it.
class HelpedFiles {
  public:
    void Reset(size_t size) {
        std::lock_guard lock(m_mutex);
        m_done.assign(size, false);
    }
    void Searched(size_t at) {
        {
            std::lock_guard lock(m_mutex);
            m_done[at] = true;
            ++m_nCount;
        }
        m_changed.notify_all();
    }
    bool WaitFor(size_t at) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(5), [&] { return m_done[at]; });
    }
    int Count() {
        std::lock_guard lock(m_mutex);
        return m_nCount;
    }

  private:
    std::mutex m_mutex;  // guards the fields below: written by the second thread
    std::condition_variable m_changed;
    std::vector<bool> m_done;
    int m_nCount = 0;
};

// A worker slower than the second thread, as one that rewrites files, lets it fall asleep
// between its turns. Each time, it must be woken again in time to search the file after the
// worker's next, in long runs and in runs of one, two and three files: the worker then searches
// only the first file of each run itself, and takes every result once, in the order of the names.
TEST(SearchAheadTest, ASecondThreadThatSleepsIsWokenAgainAndEveryFileIsTakenOnceInOrder) {
    TempTree tree;
    tree.Write("a", "");
    Sys sys;
    FileSystem fs(sys);
    FolderState folder;
    FileId id;
    ASSERT_EQ(fs.OpenFolder(nullptr, tree.Root(), tree.Root(), folder, id), 0);
    {
        FolderListing listing(fs, folder, nullptr, false);
        HelpedFiles helped;
        std::atomic<int> searched{0};
        SearchAhead ahead(
            [&](int helper, const FolderListing&, const std::string& name, FileJob& got) {
                ++searched;
                got.matches = std::stoull(name);
                got.found = true;
                if (helper != 0) {
                    helped.Searched(got.matches);
                }
            },
            8);
        int named = 0;
        int runs = 0;
        for (const int size : {64, 1, 2, 3, 40}) {
            std::vector<std::string> names;
            for (int i = 0; i < size; ++i) {
                names.push_back(std::to_string(i));
            }
            named += size;
            ++runs;
            helped.Reset(names.size());
            ahead.Begin(listing, names);
            for (int i = 0; i < size; ++i) {
                if (i + 1 < size) {
                    ASSERT_TRUE(helped.WaitFor(i + 1)) << "run of " << size << ", file " << i + 1;
                }
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
        EXPECT_EQ(helped.Count(), named - runs);
    }
    fs.CloseFolder(folder);
}

}  // namespace
}  // namespace pellumar::test
