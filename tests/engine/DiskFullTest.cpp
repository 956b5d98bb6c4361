// A real full disk: a small tmpfs, mounted by the test, holding files larger than its free space.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <memory>

#include "RecordingSink.h"

namespace pellumar::test {
namespace {

TEST(DiskFullTest, FilesLargerThanTheFreeSpaceStayAsTheyWereAndTheSearchGoesOn) {
    TempTree tree;
    const std::string disk = tree.Path("disk");
    std::filesystem::create_directories(disk);
    // Never passes without having run: where mounting is refused, this is a failure.
    ASSERT_EQ(::mount("pellumar-test", disk.c_str(), "tmpfs", 0, "size=1m,mode=0755"), 0)
        << "cannot mount a tmpfs for the full-disk test: " << std::strerror(errno)
        << " (run the tests as root, as CI does)";
    const std::shared_ptr<void> unmount(nullptr, [&](void*) {
        ::chdir("/");
        ::umount2(disk.c_str(), MNT_DETACH);
    });
    const auto free = [&] {
        struct statvfs st;
        return ::statvfs(disk.c_str(), &st) == 0 ? uint64_t{st.f_bavail} * st.f_frsize : 0;
    };
    const std::string big = "old " + std::string(200 << 10, 'x') + " old";
    tree.Write("disk/a", big);
    tree.Write("disk/sub/b", big);
    tree.Write("disk/sub/tiny", "old");
    // Leave less room than either file needs, more than the tiny one does.
    const uint64_t room = 100 << 10;
    ASSERT_GT(free(), room);
    tree.Write("disk/filler", std::string(free() - room, 'f'));
    ASSERT_LT(free(), big.size());

    const Heard sink(tree, {"disk", "*.*", "old", "new"});  // Ignore every prompt
    const std::string full = " cause 13 os 28 -> 2";
    EXPECT_EQ(sink.Others(),
              (Lines{"noretry close the output file (disk/pel*.tmp)" + full,
                     "not changed disk/a: No space left on device",
                     "noretry close the output file (disk/sub/pel*.tmp)" + full,
                     "not changed disk/sub/b: No space left on device", "finished 0"}));
    EXPECT_TRUE(tree.Read("disk/a") == big);
    EXPECT_TRUE(tree.Read("disk/sub/b") == big);
    EXPECT_EQ(tree.Read("disk/sub/tiny"), "new");  // the search went on after each Ignore
    // Every file that holds the text is found, rewritten or not.
    EXPECT_EQ(Sorted(sink.Found()), (Lines{"disk/a", "disk/sub/b", "disk/sub/tiny"}));
    EXPECT_EQ(tree.TemporaryFiles(), Lines{});
}

}  // namespace
}  // namespace pellumar::test
