// What a killed run leaves: each temporary file it named before making it is deleted by the next
// run, and nothing else is: not a user's file of such a name, not a file that had to stay, not a
// file that a run still going holds.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "TempRecord.h"
#include "TempTree.h"

namespace pellumar::test {
namespace {

// Names a file in the record, makes it, and says what came of it, as a replacement does.
void Make(TempRecord& record, int folder, const std::string& path, const std::string& name) {
    record.Making(folder, path, name);
    const int fd = ::openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    struct stat st;
    if (fd >= 0 && ::fstat(fd, &st) == 0) {
        record.Made(folder, path, name, st.st_dev, st.st_ino);
    } else if (errno == EEXIST) {
        record.Taken(folder, path, name);
    }
    if (fd >= 0) {
        ::close(fd);
    }
}

TEST(LeftoverTest, WhatAKilledRunLeftIsDeletedByTheNextRunAndNothingElse) {
    TempTree tree, state;
    const std::string store = state.Path("undo");
    tree.Write("pel0001.tmp", "the user's own");
    std::this_thread::sleep_for(std::chrono::milliseconds(30));  // older than any record's line
    const int deep = tree.MakeDeep("deep", 100);
    std::string deepPath = tree.Path("deep");
    for (int level = 0; level < 100; ++level) {
        deepPath += "/" + std::string(49, 'd');
    }
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {  // a run that is killed: its record is never taken away
        TempRecord record(DefaultSys(), store);
        const int root = ::open(tree.Root().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        Make(record, root, tree.Root(), "pel0001.tmp");  // taken already: the run went on
        Make(record, root, tree.Root(), "pel0002.tmp");
        Make(record, root, tree.Root(), "pel0003.tmp");
        Make(record, deep, deepPath, "pel0006.tmp");
        record.Keeping(root, tree.Root(), "pel0003.tmp");  // its folder named again
        Make(record, root, tree.Root(), "pel0004.tmp");
        record.Making(root, tree.Root(), "pel0005.tmp");  // killed before it could say more
        ::close(::openat(root, "pel0005.tmp", O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_EQ(status, 0);
    ASSERT_EQ(::chmod(tree.Path("pel0001.tmp").c_str(), 0640), 0);  // the user's, touched since
    // A run still going holds its own record and its temporary file.
    TempRecord going(DefaultSys(), store);
    const int root = ::open(tree.Root().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    Make(going, root, tree.Root(), "pel0007.tmp");
    const int held = ::open(tree.Path("pel0004.tmp").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);

    EXPECT_EQ(TempRecord::CleanUp(DefaultSys(), store), 3u);
    EXPECT_EQ(tree.TemporaryFiles(), (std::vector<std::string>{"pel0001.tmp", "pel0003.tmp",
                                                               "pel0004.tmp", "pel0007.tmp"}));
    EXPECT_EQ(tree.Read("pel0001.tmp"), "the user's own");
    EXPECT_EQ(::faccessat(deep, "pel0006.tmp", F_OK, 0), -1) << "far below, beyond a path's length";
    // The dead run's record went with what it left; the next one finds nothing to do.
    EXPECT_EQ(TempRecord::CleanUp(DefaultSys(), store), 0u);
    ::close(held);
    ::close(root);
    ::close(deep);
}

}  // namespace
}  // namespace pellumar::test
