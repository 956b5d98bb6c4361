// Stopping a search: inside a file, between files, from another thread, after the end.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <set>
#include <thread>

#include "FaultySys.h"
#include "FileView.h"
#include "StopState.h"

namespace pellumar {
namespace {

using namespace test;

// A worker that replaces "old" by "new" in the scene's tree, through its system; new files are
// placed in groups of `group`.
std::unique_ptr<CSearchThread> Worker(Scene& s, size_t group = 32, bool searchOnly = false) {
    Request request{s.tree.Root(), "*.*", "old", "new", true, searchOnly};
    request.placementGroup = group;
    request.searchAhead = !searchOnly;  // the file in hand is the one the stop lands in
    return std::make_unique<CSearchThread>(&s.sink, request, s.sys);
}

// The stop lands while the scan goes on (the first match opens the temporary file), or while
// the new content is flushed, before it would take the file's place; or before the start. New
// files placed in groups or each alone. Searching only, a stop as the file is opened ends its
// scan before the text at its end.
TEST(StopTest, StopInsideAFileOrBeforeTheStartLeavesItUnchangedAndUnreported) {
    for (const Op moment : {Op::CreateTemp, Op::Fsync, Op::Open}) {
        for (const size_t size : {size_t{1000}, size_t{FileView::kReadLimit + 1000}}) {
            for (const size_t group : {size_t{32}, size_t{1}}) {
                const std::string content = "old " + std::string(size, '.') + " old";
                Scene s(content);
                auto worker = Worker(s, group);
                if (moment == Op::Open) {
                    worker->RequestStop();
                } else {
                    s.sys.Before(moment, [stop = worker->GetStopHandle()] { stop.RequestStop(); });
                }
                EXPECT_EQ(worker->Run(), 0);
                EXPECT_EQ(s.sink.Others(), Lines{"finished 0"});
                EXPECT_EQ(s.sink.Found(), Lines{});
                EXPECT_TRUE(s.tree.Read("a") == content);
                EXPECT_EQ(s.tree.TemporaryFiles(), Lines{});
            }
        }
    }
    // Another program changes the file as its new content is flushed; the stop lands as the new
    // content of its second reading is flushed: the other program's content stays.
    Scene changed("old");
    auto again = Worker(changed);
    changed.sys.Before(Op::Fsync, [&changed, stop = again->GetStopHandle()] {
        std::ofstream(changed.tree.Path("a"), std::ios::app) << " old";
        changed.sys.Before(Op::Fsync, [stop] { stop.RequestStopNow(); });
    });
    again->Run();
    EXPECT_EQ(changed.tree.Read("a"), "old old");
    EXPECT_EQ(changed.sink.Found(), Lines{});
    EXPECT_EQ(changed.tree.TemporaryFiles(), Lines{});
    Scene searched(std::string(FileView::kReadLimit * 4, '.') + "old");
    auto searching = Worker(searched, 32, true);
    searched.sys.Before(Op::Open, [stop = searching->GetStopHandle()] { stop.RequestStopNow(); });
    searching->Run();
    EXPECT_EQ(searched.sink.Found(), Lines{});
    // After the end, from a handle that outlived the worker, or from no worker at all: harmless.
    Scene s("old");
    auto worker = Worker(s);
    const SearchStopHandle stop = worker->GetStopHandle();
    std::thread thread = CSearchThread::Start(std::move(worker));
    thread.join();  // the worker has deleted itself
    stop.RequestStop();
    SearchStopHandle().RequestStop();
    EXPECT_EQ(s.sink.Found(), Lines{"a"});
}

// A stop between files ends the walk at the next entry of every level; a reply to a prompt
// never overwrites a stop requested while the prompt was up.
TEST(StopTest, StopBetweenFilesEndsTheWalkAndNoReplyOverwritesIt) {
    Scene s("old");
    const Lines files = {"a", "b", "d/e", "d/f/g", "d/f/h", "i/j"};
    for (const std::string& path : files) {
        s.tree.Write(path, "old");
    }
    auto worker = Worker(s);
    s.sink.OnEach([stop = worker->GetStopHandle()](const std::string& line) {
        if (line == "found d/f/g") {
            stop.RequestStopNow();
        }
    });
    worker->Run();
    const Lines found = s.sink.Found();
    EXPECT_EQ(found.back(), "d/f/g");
    EXPECT_EQ(s.sink.Others(), Lines{"finished 0"});
    for (const std::string& path : files) {  // nothing was processed after the stop
        const bool reported = std::count(found.begin(), found.end(), path) != 0;
        EXPECT_EQ(s.tree.Read(path), reported ? "new" : "old") << path;
    }

    Scene prompted("old");
    prompted.tree.Write("sub/b", "old");
    prompted.sys.Fail(Op::CreateTemp, EIO, 1);
    auto second = Worker(prompted);
    prompted.sink.Reply({ErrorReply::SkipFile});  // Ignore, but Stop was pressed meanwhile
    prompted.sink.OnEach(
        [stop = second->GetStopHandle()](const std::string&) { stop.RequestStopNow(); });
    second->Run();
    EXPECT_EQ(prompted.sink.Found(), Lines{"a"});
    EXPECT_EQ(prompted.tree.Read("sub/b"), "old");
}

TEST(StopTest, StopFromAnotherThreadAtAnyMomentLosesNoByte) {
    const std::string small = "old text " + std::string(2000, 'z') + " old\n";
    const std::string large = "old " + std::string(FileView::kReadLimit + 4096, 'q') + " old";
    Scene s(small);
    for (int i = 0; i < 150; ++i) {
        s.tree.Write("d" + std::to_string(i % 7) + "/f" + std::to_string(i),
                     i % 50 ? small : large);
    }
    const auto renewed = [](std::string text) {
        for (size_t at = 0; (at = text.find("old", at)) != std::string::npos; at += 3) {
            text.replace(at, 3, "new");
        }
        return text;
    };
    const std::set<std::string> whole = {small, large, renewed(small), renewed(large)};
    for (const int delay : {0, 300, 1500, 5000, 20000}) {
        RecordingSink sink(s.tree.Root());
        auto worker =
            std::make_unique<CSearchThread>(&sink, Request{s.tree.Root(), "*.*", "old", "new"});
        const SearchStopHandle stop = worker->GetStopHandle();
        std::thread thread = CSearchThread::Start(std::move(worker));
        std::this_thread::sleep_for(std::chrono::microseconds(delay));
        stop.RequestStop();
        thread.join();
        EXPECT_EQ(sink.Others(), Lines{"finished 0"});
        EXPECT_EQ(s.tree.TemporaryFiles(), Lines{});
        for (const std::string& file : s.tree.Files()) {
            EXPECT_TRUE(whole.count(s.tree.Read(file))) << file;
        }
    }
}

}  // namespace
}  // namespace pellumar
