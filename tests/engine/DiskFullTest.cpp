// A real full disk: a small tmpfs, mounted by the test, holding files larger than its free space.
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/statvfs.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "RecordingSink.h"
#include "TempTree.h"

namespace pellumar {
namespace {

using namespace test;

// A tmpfs of one megabyte, unmounted when done.
class SmallDisk {
  public:
    explicit SmallDisk(std::string path) : m_path(std::move(path)) {
        std::filesystem::create_directories(m_path);
        m_mounted = ::mount("pellumar-test", m_path.c_str(), "tmpfs", 0, "size=1m,mode=0755") == 0;
        m_error = m_mounted ? 0 : errno;
    }
    ~SmallDisk() {
        if (m_mounted) {
            ::chdir("/");
            ::umount2(m_path.c_str(), MNT_DETACH);
        }
    }
    bool Mounted() const { return m_mounted; }
    int Error() const { return m_error; }
    uint64_t Free() const {
        struct statvfs st;
        return ::statvfs(m_path.c_str(), &st) == 0 ? uint64_t{st.f_bavail} * st.f_frsize : 0;
    }

  private:
    std::string m_path;
    bool m_mounted = false;
    int m_error = 0;
};

TEST(DiskFullTest, FilesLargerThanTheFreeSpaceStayAsTheyWereAndTheSearchGoesOn) {
    TempTree tree;
    const SmallDisk disk(tree.Path("disk"));
    // Never passes without having run: where mounting is refused, this is a failure.
    ASSERT_TRUE(disk.Mounted()) << "cannot mount a tmpfs for the full-disk test: "
                                << std::strerror(disk.Error())
                                << " (run the tests as root, as CI does)";
    const std::string big = "old " + std::string(200 << 10, 'x') + " old";
    tree.Write("disk/a", big);
    tree.Write("disk/sub/b", big);
    tree.Write("disk/sub/tiny", "old");
    // Leave less room than either file needs, more than the tiny one does.
    const uint64_t room = 100 << 10;
    ASSERT_GT(disk.Free(), room);
    tree.Write("disk/filler", std::string(disk.Free() - room, 'f'));
    ASSERT_LT(disk.Free(), big.size());

    RecordingSink sink(tree.Root());
    sink.Reply({}, ErrorReply::SkipFile);  // Ignore every prompt
    RunSearch({tree.Path("disk"), "*.*", "old", "new"}, sink);

    const std::string prompt = "noretry close the output file (disk/pel*.tmp) cause 13 os 28 -> 2";
    const std::string promptSub =
        "noretry close the output file (disk/sub/pel*.tmp) cause 13 os 28 -> 2";
    EXPECT_EQ(sink.Others(),
              (Lines{prompt, "not changed disk/a: No space left on device", promptSub,
                     "not changed disk/sub/b: No space left on device", "finished 0"}));
    EXPECT_TRUE(tree.Read("disk/a") == big);
    EXPECT_TRUE(tree.Read("disk/sub/b") == big);
    EXPECT_EQ(tree.Read("disk/sub/tiny"), "new");  // the search went on after each Ignore
    Lines found = sink.Found();  // every file that holds the text, rewritten or not
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, (Lines{"disk/a", "disk/sub/b", "disk/sub/tiny"}));
    EXPECT_EQ(tree.TemporaryFiles(), Lines{});
}

}  // namespace
}  // namespace pellumar
