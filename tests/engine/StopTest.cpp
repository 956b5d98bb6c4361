// Stopping a search: inside a file, between files, after the end. Stops at any moment of a whole
// run are in PlacementTest and SearchAheadTest.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <thread>

#include "FaultySys.h"
#include "FileView.h"

namespace pellumar::test {
namespace {

// A worker that replaces "old" by "new" in the scene's tree, through its system; new files are
// placed in groups of `group`.
std::unique_ptr<CSearchThread> Worker(Scene& s, size_t group = 32, bool searchOnly = false) {
    Request request{s.tree.Root(), "*.*", "old", "new", true, searchOnly};
    request.placementGroup = group;
    request.searchAhead = !searchOnly;  // the file in hand is the one the stop lands in
    return std::make_unique<CSearchThread>(&s.sink, request, s.sys);
}

// The stop lands while the scan goes on (the first match opens the temporary file), while
// another program holds the file's lock (it comes as the lock is found held), or while the new
// content is flushed, before it would take the file's place; or before the start. New files
// placed in groups or each alone. Searching only, a stop as the file is opened ends its scan
// before the text at its end.
TEST(StopTest, StopInsideAFileOrBeforeTheStartLeavesItUnchangedAndUnreported) {
    for (const Op moment : {Op::CreateTemp, Op::Lock, Op::Fsync, Op::Open}) {
        for (const size_t size : {size_t{1000}, size_t{FileView::kReadLimit + 1000}}) {
            for (const size_t group : {size_t{32}, size_t{1}}) {
                const std::string content = "old " + std::string(size, '.') + " old";
                Scene s(content);
                const int held = ::open(s.tree.Path("a").c_str(), O_RDONLY);
                ASSERT_EQ(::flock(held, moment == Op::Lock ? LOCK_EX : LOCK_UN), 0);
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
                ::close(held);
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

}  // namespace
}  // namespace pellumar::test
