// The walk on two threads against the walk on one: whatever the second thread searches ahead, in
// whatever folder, every run tells the same lines in the same order and leaves the same files,
// and a stop at any report lands where it lands on one thread.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <thread>

#include "FaultySys.h"

namespace pellumar::test {
namespace {
namespace fs = std::filesystem;

// A tree drawn from `seed`: folders of none to 300 files, nested four deep, some hidden; files
// of every size from empty to past the size that is mapped, with the text or without it, in
// CRLF or not; links to files and folders (one that leads back up), a dangling link, names of
// odd bytes, and a file whose opens fail.
void Grow(const TempTree& tree, unsigned seed) {
    std::mt19937 random(seed);
    const auto pick = [&](int most) { return static_cast<int>(random() % (most + 1)); };
    std::vector<std::string> folders = {""};
    for (int i = 0; i < 40; ++i) {
        const std::string& parent = folders[random() % folders.size()];
        const std::string name =
            (i % 9 == 4 ? ".d" : "d") + std::to_string(i) + (i % 7 == 3 ? "\xfe\x01" : "");
        folders.push_back(parent.empty() ? name : parent + "/" + name);
        fs::create_directories(tree.Path(folders.back()));
    }
    for (const std::string& folder : folders) {
        const int files = pick(9) == 0 ? 300 : pick(12);
        for (int i = 0; i < files; ++i) {
            const int size = pick(11) == 0 ? pick(150000) : pick(3000);
            std::string text(size, 'x');
            for (int at = pick(3); at-- > 0 && size > 10;) {
                text.replace(random() % (size - 6), 6, pick(1) ? "needle" : "NEEDLE");
            }
            if (pick(3) == 0) {
                text += "\r\nneedle\r\n";
            }
            const std::string name =
                (i % 13 == 5 ? ".f" : "f") + std::to_string(i) + (i % 3 == 0 ? ".txt" : ".dat");
            tree.Write(folder.empty() ? name : folder + "/" + name, text);
        }
    }
    tree.Write("d1/huge.txt", std::string((5 << 20) - 3, 'y') + "needle");
    tree.Write("unreadable.txt", "needle");
    fs::create_symlink(tree.Path("d1/huge.txt"), tree.Path(folders[5] + "/to-huge.txt"));
    fs::create_symlink(tree.Root(), tree.Path(folders[9] + "/up"));
    fs::create_symlink(tree.Path(folders[3]), tree.Path("across"));
    fs::create_symlink("nowhere.txt", tree.Path(folders[7] + "/dangling.txt"));
}

// What one run told, and the tree it left where it writes.
struct Ran {
    Lines told;
    std::map<std::string, std::string> left;
};

bool Writes(const Request& request) {
    return !request.search.empty() && !request.searchOnly && !request.dryRun;
}

// Runs `request` in the tree, stopping once `stopAt` files are found (never when negative).
Ran RunIn(const TempTree& tree, Request request, bool twoThreads, int stopAt = -1) {
    FaultySys sys;
    sys.Fail(Op::Open, EACCES, -1, "unreadable");
    request.folder = tree.Root();
    request.searchAhead = twoThreads;
    RecordingSink sink(tree.Root());
    CSearchThread worker(&sink, request, sys);
    int found = 0;
    sink.OnEach([&, stop = worker.GetStopHandle()](const std::string& line) {
        if (line.rfind("found ", 0) == 0 && ++found == stopAt) {
            stop.RequestStop();
        }
    });
    worker.Run();
    return {sink.Told(), Writes(request) ? tree.Contents() : std::map<std::string, std::string>{}};
}

// The request run on one thread and on two, each in the tree grown from `seed` (a tree of its
// own where the request writes).
std::pair<Ran, Ran> OneAndTwo(const TempTree& grown, unsigned seed, const Request& request,
                              int stopAt = -1) {
    if (!Writes(request)) {
        return {RunIn(grown, request, false, stopAt), RunIn(grown, request, true, stopAt)};
    }
    TempTree one(TempTree::MemoryFolder()), two(TempTree::MemoryFolder());
    Grow(one, seed);
    Grow(two, seed);
    return {RunIn(one, request, false, stopAt), RunIn(two, request, true, stopAt)};
}

// Listing (with each file's information or the names alone: the second thread reads the folders
// ahead), searching (without hidden files, without hidden folders, counting), a dry run
// with its changes, replacing a text and a pattern.
std::vector<Request> Requests() {
    return {
        {.filter = "*", .searchOnly = true},
        {.filter = "*", .searchOnly = true, .fileInformation = false},
        {.filter = "*.txt", .searchOnly = true, .hiddenFolders = false, .fileInformation = false},
        {.filter = "*", .search = "needle", .searchOnly = true},
        {.filter = "*.txt", .search = "needle", .searchOnly = true, .hidden = false},
        {.filter = "*", .search = "needle", .searchOnly = true, .hiddenFolders = false},
        {.filter = "*",
         .search = "needle",
         .searchOnly = true,
         .ignoreCase = true,
         .countMatches = true},
        {.filter = "*",
         .search = "needle",
         .replace = "pin\n",
         .ignoreCase = true,
         .dryRun = true,
         .changes = true},
        {.filter = "*",
         .search = "needle",
         .replace = "pin",
         .ignoreCase = true,
         .countMatches = true},
        {.filter = "*", .search = "ne+dle\\r?$", .replace = "[$0]", .regex = true},
    };
}

TEST(TwoThreadWalkTest, EveryRunTellsAndLeavesWhatItDoesOnOneThread) {
    for (const unsigned seed : {1u, 2u}) {
        TempTree grown(TempTree::MemoryFolder());  // in memory: only the walk is compared
        Grow(grown, seed);
        for (const Request& request : Requests()) {
            const auto [one, two] = OneAndTwo(grown, seed, request);
            ASSERT_GT(one.told.size(), 20u) << "seed " << seed << ", '" << request.search << "'";
            EXPECT_EQ(two.told, one.told) << "seed " << seed << ", '" << request.search << "'";
            EXPECT_TRUE(two.left == one.left) << "seed " << seed << ", '" << request.search << "'";
        }
    }
}

// A stop at the first report, amid a folder, at a folder's end and near the end of the walk.
TEST(TwoThreadWalkTest, AStopAtAnyReportLandsWhereItLandsOnOneThread) {
    TempTree grown(TempTree::MemoryFolder());
    Grow(grown, 4);
    std::vector<Request> requests = Requests();
    requests.pop_back();  // the pattern's replacement stops as the text's does
    for (const Request& request : requests) {
        const Lines whole = RunIn(grown, request, false).told;
        const auto found =
            static_cast<int>(std::count_if(whole.begin(), whole.end(), [](const std::string& line) {
                return line.rfind("found ", 0) == 0;
            }));
        for (const int stopAt : {1, 7, 41, found - 3}) {
            const auto [one, two] = OneAndTwo(grown, 4, request, stopAt);
            EXPECT_EQ(two.told, one.told) << "stop at " << stopAt << ", '" << request.search << "'";
            EXPECT_TRUE(two.left == one.left) << "stop at " << stopAt;
            EXPECT_EQ(one.told.back(), "finished 0");
        }
    }
}

// Folders are held open while they are listed ahead, never so many that a process allowed few
// open files runs out of them: with a limit of 24, 300 folders of one file each are all searched;
// and a folder that cannot be opened for want of a handle, while others are held, is opened
// once they are done with.
TEST(TwoThreadWalkTest, FewOpenFilesAllowedStillReachEveryFile) {
    TempTree tree(TempTree::MemoryFolder());
    Lines expected;
    for (int i = 0; i < 300; ++i) {
        const std::string name = "d" + std::to_string(i) + (i % 2 ? "/e/f" : "/f");
        tree.Write(name, "needle");
        expected.push_back(name);
    }
    const Request request{.filter = "*", .search = "needle", .searchOnly = true};
    rlimit was{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &was), 0);
    rlimit few = was;
    few.rlim_cur = 24;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &few), 0);
    const Ran one = RunIn(tree, request, false);
    const Ran two = RunIn(tree, request, true);
    ::setrlimit(RLIMIT_NOFILE, &was);
    Lines found;
    for (const std::string& line : two.told) {
        if (line.rfind("found ", 0) == 0) {
            found.push_back(line.substr(6));
        }
    }
    EXPECT_EQ(Sorted(found), Sorted(expected));
    EXPECT_EQ(two.told, one.told);

    FaultySys sys;
    sys.FailLater(Op::OpenFolder, 40, EMFILE);
    Heard heard(tree, request, sys);
    EXPECT_EQ(Sorted(heard.Found()), Sorted(expected));
}

// Listing, the folders are read ahead on the second thread; one replaced after it was read and
// before the walk enters it is listed as the walk finds it, the entries read of the folder gone
// never told.
TEST(TwoThreadWalkTest, AFolderReplacedAfterItWasReadAheadIsListedAsTheWalkFindsIt) {
    TempTree tree(TempTree::MemoryFolder());
    for (const char* file : {"a/x", "b/old", "b/d/older", "c/z"}) {
        tree.Write(file, "");
    }
    // Once "b" was read to its end by another thread, another folder takes its name just before
    // the walk, which read the top folder, enters it.
    class ReplacingSys : public FaultySys {
      public:
        ReplacingSys(std::string top, std::string folder)
            : m_strTop(std::move(top)), m_strFolder(std::move(folder)) {}
        size_t OpenFileLimit() override { return 4096; }
        ssize_t Getdents(int fd, void* buffer, size_t size) override {
            const ssize_t got = FaultySys::Getdents(fd, buffer, size);
            std::error_code error;
            const fs::path read = fs::read_symlink("/proc/self/fd/" + std::to_string(fd), error);
            const std::lock_guard lock(m_mutex);
            if (read == m_strTop) {
                m_walk = std::this_thread::get_id();
            } else if (read == m_strFolder && got == 0 && m_walk != std::this_thread::get_id()) {
                m_bReadAhead = true;
            }
            return got;
        }
        int OpenAt(int dirfd, const char* name, int flags, mode_t mode) override {
            if (std::string_view(name) == "b" && IsWalk()) {
                const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
                while (!ReadAhead() && std::chrono::steady_clock::now() < until) {
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                }
                fs::rename(m_strFolder, m_strFolder + "-gone");
                fs::create_directory(m_strFolder);
                std::ofstream(m_strFolder + "/new").flush();
            }
            return FaultySys::OpenAt(dirfd, name, flags, mode);
        }

        bool ReadAhead() {
            const std::lock_guard lock(m_mutex);
            return m_bReadAhead;
        }

      private:
        bool IsWalk() {
            const std::lock_guard lock(m_mutex);
            return m_walk == std::this_thread::get_id();
        }
        const std::string m_strTop, m_strFolder;
        std::mutex m_mutex;
        std::thread::id m_walk;     // guarded by m_mutex: the thread that read the top folder
        bool m_bReadAhead = false;  // guarded by m_mutex: another thread read "b" whole
    };
    ReplacingSys sys(fs::canonical(tree.Root()).string(), fs::canonical(tree.Path("b")).string());
    Request request{.filter = "*", .searchOnly = true, .fileInformation = false};
    request.folder = tree.Root();
    RecordingSink sink(tree.Root());
    CSearchThread(&sink, request, sys).Run();
    ASSERT_TRUE(sys.ReadAhead());
    EXPECT_EQ(Sorted(sink.Found()), (Lines{"a/x", "b/new", "c/z"}));
    EXPECT_EQ(sink.Others(), Lines{"finished 0"});
}

}  // namespace
}  // namespace pellumar::test
