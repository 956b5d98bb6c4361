// Stopping a search: inside a file, between files, from another thread, after the end.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "CSearchThread.h"
#include "FaultySys.h"
#include "FileView.h"
#include "RecordingSink.h"
#include "SearchRunner.h"
#include "TempTree.h"

namespace pellumar {
namespace {

using test::FaultySys;
using test::Op;
using test::RecordingSink;
using test::TempTree;
using Lines = std::vector<std::string>;

std::unique_ptr<CSearchThread> Worker(RecordingSink& sink, const std::string& folder,
                                      const std::string& search, const std::string& replace,
                                      Sys& sys = DefaultSys()) {
    return std::make_unique<CSearchThread>(&sink, folder, "*.*", search, replace, true, false, true,
                                           false, sys);
}

TEST(StopTest, StopInsideAFileLeavesItUnchangedAndUnreported) {
    for (const size_t size : {size_t{1000}, size_t{FileView::kReadLimit + 1000}}) {
        TempTree tree;
        const std::string content = "old " + std::string(size, '.') + " old";
        tree.Write("a", content);
        RecordingSink sink(tree.Root());
        FaultySys sys;
        auto worker = Worker(sink, tree.Root(), "old", "new", sys);
        const SearchStopHandle stop = worker->GetStopHandle();
        // The first match opens the temporary file; the stop lands while the scan goes on.
        sys.Before(Op::CreateTemp, [&] { stop.RequestStop(); });
        EXPECT_EQ(worker->Run(), 0);
        EXPECT_EQ(sink.Lines(), Lines{"finished 0"});
        EXPECT_TRUE(tree.Read("a") == content);
        EXPECT_EQ(tree.TemporaryFiles(), Lines{});
    }
}

TEST(StopTest, StopBetweenFilesEndsTheWalkAtTheNextEntryOfEveryLevel) {
    TempTree tree;
    for (const char* path : {"a", "b", "c", "d/e", "d/f/g", "h/i"}) {
        tree.Write(path, "needle");
    }
    RecordingSink sink(tree.Root());
    auto worker = Worker(sink, tree.Root(), "needle", "pin");
    const SearchStopHandle stop = worker->GetStopHandle();
    sink.OnEach([&](const std::string& line) {
        if (line == "found d/f/g") {
            stop.RequestStopNow();
        }
    });
    worker->Run();
    const Lines found = sink.Found();
    ASSERT_FALSE(found.empty());
    EXPECT_EQ(sink.Others(), Lines{"finished 0"});
    EXPECT_EQ(found.back(), "d/f/g");
    // Nothing was processed after the stop: every file not reported is untouched.
    for (const char* path : {"a", "b", "c", "d/e", "h/i"}) {
        const bool reported = std::find(found.begin(), found.end(), path) != found.end();
        EXPECT_EQ(tree.Read(path), reported ? "pin" : "needle") << path;
    }
}

TEST(StopTest, StopBeforeTheWalkFindsNothingButStillFinishesOnce) {
    TempTree tree;
    tree.Write("a", "needle");
    RecordingSink sink(tree.Root());
    auto worker = Worker(sink, tree.Root(), "needle", "pin");
    worker->RequestStop();
    EXPECT_EQ(worker->Run(), 0);
    EXPECT_EQ(sink.Lines(), Lines{"finished 0"});
    EXPECT_EQ(tree.Read("a"), "needle");
}

TEST(StopTest, AReplyNeverOverwritesAStopRequestedMeanwhile) {
    TempTree tree;
    tree.Write("a", "old");
    tree.Write("b", "old");
    FaultySys sys;
    sys.Fail(Op::CreateTemp, EIO, 1);
    RecordingSink sink(tree.Root());
    auto worker = Worker(sink, tree.Root(), "old", "new", sys);
    const SearchStopHandle stop = worker->GetStopHandle();
    sink.Reply({STOP_FILE});
    sink.OnEach([&](const std::string& line) {
        if (line.rfind("error", 0) == 0) {
            stop.RequestStopNow();  // the user pressed Stop while the prompt was up
        }
    });
    worker->Run();
    EXPECT_EQ(sink.Found().size(), 1u);  // the second file was never reached
    EXPECT_EQ(tree.Read("a"), "old");
    EXPECT_EQ(tree.Read("b"), "old");
}

TEST(StopTest, StopAfterTheWorkerHasEndedTouchesNothingFreed) {
    TempTree tree;
    tree.Write("a", "needle");
    RecordingSink sink(tree.Root());
    auto worker = Worker(sink, tree.Root(), "needle", "");
    const SearchStopHandle stop = worker->GetStopHandle();
    std::thread thread = CSearchThread::Start(std::move(worker));
    thread.join();  // the worker has deleted itself
    stop.RequestStop();
    stop.RequestStop();
    EXPECT_EQ(sink.Lines(), (Lines{"found a", "finished 0"}));
    SearchStopHandle().RequestStop();  // no worker at all: nothing happens
}

TEST(StopTest, StopFromAnotherThreadAtAnyMomentLosesNoByte) {
    TempTree tree;
    const std::string small = "old text " + std::string(2000, 'z') + " old\n";
    const std::string large = "old " + std::string(FileView::kReadLimit + 4096, 'q') + " old";
    for (int i = 0; i < 150; ++i) {
        tree.Write("d" + std::to_string(i % 7) + "/f" + std::to_string(i), i % 50 ? small : large);
    }
    const auto replaced = [](std::string text) {
        for (size_t at = 0; (at = text.find("old", at)) != std::string::npos; at += 3) {
            text.replace(at, 3, "new");
        }
        return text;
    };
    for (const int delayMicros : {0, 300, 1500, 5000, 20000}) {
        RecordingSink sink(tree.Root());
        auto worker = Worker(sink, tree.Root(), "old", "new");
        const SearchStopHandle stop = worker->GetStopHandle();
        std::thread thread = CSearchThread::Start(std::move(worker));
        std::this_thread::sleep_for(std::chrono::microseconds(delayMicros));
        stop.RequestStop();
        thread.join();
        const Lines lines = sink.Lines();
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back(), "finished 0");
        EXPECT_EQ(sink.Others(), Lines{"finished 0"});
        EXPECT_EQ(tree.TemporaryFiles(), Lines{});
        for (const std::string& entry : tree.List()) {
            if (entry.find("/f") == std::string::npos) {
                continue;
            }
            const std::string now = tree.Read(entry);
            const std::string old =
                now.size() > 10000 || now.find('q') != std::string::npos ? large : small;
            const bool isOld = now == old || now == replaced(old);
            EXPECT_TRUE(isOld) << entry;
        }
    }
}

}  // namespace
}  // namespace pellumar
