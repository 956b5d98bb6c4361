// Stopping a search: inside a file, between files, from another thread, after the end.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <set>
#include <thread>

#include "FaultySys.h"
#include "FileView.h"
#include "RecordingSink.h"
#include "TempTree.h"

namespace pellumar {
namespace {

using namespace test;

std::unique_ptr<CSearchThread> Worker(RecordingSink& sink, const TempTree& tree,
                                      Sys& sys = DefaultSys()) {
    return std::make_unique<CSearchThread>(&sink, Request{tree.Root(), "*.*", "old", "new"}, sys);
}

// The stop lands while the scan goes on (the first match opens the temporary file), or while
// the new content is flushed, before it would take the file's place.
TEST(StopTest, StopInsideAFileLeavesItUnchangedAndUnreported) {
    for (const Op moment : {Op::CreateTemp, Op::Fsync}) {
        for (const size_t size : {size_t{1000}, size_t{FileView::kReadLimit + 1000}}) {
            TempTree tree;
            const std::string content = "old " + std::string(size, '.') + " old";
            tree.Write("a", content);
            RecordingSink sink(tree.Root());
            FaultySys sys;
            auto worker = Worker(sink, tree, sys);
            sys.Before(moment, [stop = worker->GetStopHandle()] { stop.RequestStop(); });
            EXPECT_EQ(worker->Run(), 0);
            EXPECT_EQ(sink.Others(), Lines{"finished 0"});
            EXPECT_EQ(sink.Found(), Lines{});
            EXPECT_TRUE(tree.Read("a") == content);
            EXPECT_EQ(tree.TemporaryFiles(), Lines{});
        }
    }
}

TEST(StopTest, StopBetweenFilesEndsTheWalkAtTheNextEntryOfEveryLevel) {
    TempTree tree;
    const Lines files = {"a", "b", "d/e", "d/f/g", "d/f/h", "i/j"};
    for (const std::string& path : files) {
        tree.Write(path, "old");
    }
    RecordingSink sink(tree.Root());
    auto worker = Worker(sink, tree);
    sink.OnEach([stop = worker->GetStopHandle()](const std::string& line) {
        if (line == "found d/f/g") {
            stop.RequestStopNow();
        }
    });
    worker->Run();
    const Lines found = sink.Found();
    EXPECT_EQ(found.back(), "d/f/g");
    EXPECT_EQ(sink.Others(), Lines{"finished 0"});
    for (const std::string& path : files) {  // nothing was processed after the stop
        const bool reported = std::count(found.begin(), found.end(), path) != 0;
        EXPECT_EQ(tree.Read(path), reported ? "new" : "old") << path;
    }
}

TEST(StopTest, AReplyNeverOverwritesAStopRequestedMeanwhile) {
    TempTree tree;
    tree.Write("a", "old");
    tree.Write("sub/b", "old");
    FaultySys sys;
    sys.Fail(Op::CreateTemp, EIO, 1);
    RecordingSink sink(tree.Root());
    auto worker = Worker(sink, tree, sys);
    sink.Reply(
        {ErrorReply::SkipFile});  // Ignore, but the user pressed Stop while the prompt was up
    sink.OnEach([stop = worker->GetStopHandle()](const std::string&) { stop.RequestStopNow(); });
    worker->Run();
    EXPECT_EQ(sink.Found(), Lines{"a"});
    EXPECT_EQ(tree.Read("sub/b"), "old");
}

TEST(StopTest, StopBeforeTheStartOrAfterTheEndIsHarmless) {
    TempTree tree;
    tree.Write("a", "old");
    RecordingSink early(tree.Root());
    auto first = Worker(early, tree);
    first->RequestStop();
    EXPECT_EQ(first->Run(), 0);
    EXPECT_EQ(early.Others(), Lines{"finished 0"});
    EXPECT_EQ(early.Found(), Lines{});

    RecordingSink late(tree.Root());
    auto second = Worker(late, tree);
    const SearchStopHandle stop = second->GetStopHandle();
    std::thread thread = CSearchThread::Start(std::move(second));
    thread.join();  // the worker has deleted itself
    stop.RequestStop();
    SearchStopHandle().RequestStop();
    EXPECT_EQ(late.Found(), Lines{"a"});
}

TEST(StopTest, StopFromAnotherThreadAtAnyMomentLosesNoByte) {
    TempTree tree;
    const std::string small = "old text " + std::string(2000, 'z') + " old\n";
    const std::string large = "old " + std::string(FileView::kReadLimit + 4096, 'q') + " old";
    for (int i = 0; i < 150; ++i) {
        tree.Write("d" + std::to_string(i % 7) + "/f" + std::to_string(i), i % 50 ? small : large);
    }
    const auto renewed = [](std::string text) {
        for (size_t at = 0; (at = text.find("old", at)) != std::string::npos; at += 3) {
            text.replace(at, 3, "new");
        }
        return text;
    };
    const std::set<std::string> whole = {small, large, renewed(small), renewed(large)};
    for (const int delay : {0, 300, 1500, 5000, 20000}) {
        RecordingSink sink(tree.Root());
        auto worker = Worker(sink, tree);
        const SearchStopHandle stop = worker->GetStopHandle();
        std::thread thread = CSearchThread::Start(std::move(worker));
        std::this_thread::sleep_for(std::chrono::microseconds(delay));
        stop.RequestStop();
        thread.join();
        EXPECT_EQ(sink.Others(), Lines{"finished 0"});
        EXPECT_EQ(tree.TemporaryFiles(), Lines{});
        for (const std::string& file : tree.Files()) {
            EXPECT_TRUE(whole.count(tree.Read(file))) << file;
        }
    }
}

}  // namespace
}  // namespace pellumar
