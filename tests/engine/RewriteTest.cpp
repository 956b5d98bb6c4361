// Putting new content in place: atomic, permission bits kept, links, and files that changed.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "FaultySys.h"
#include "RecordingSink.h"
#include "TempTree.h"

namespace pellumar {
namespace {

using namespace test;

TEST(RewriteTest, KeepsPermissionBitsFlushesFirstAndTouchesOnlyMatchingFiles) {
    TempTree tree;
    tree.Write("script.sh", "#!/bin/sh\necho old\n", 0755);
    tree.Write("private", "old secret", 0600);
    tree.Write("untouched", "nothing to see", 0640);
    struct stat before, after;
    ASSERT_EQ(::stat(tree.Path("untouched").c_str(), &before), 0);
    FaultySys sys;
    bool flushed = false;
    sys.Before(Op::Fsync, [&] { flushed = true; });
    sys.Before(Op::Rename, [&] { EXPECT_TRUE(flushed); });
    RecordingSink sink(tree.Root());
    RunSearch({tree.Root(), "*.*", "old", "new"}, sink, sys);
    EXPECT_EQ(tree.Read("script.sh"), "#!/bin/sh\necho new\n");
    EXPECT_EQ(tree.Mode("script.sh"), 0755u);
    EXPECT_EQ(tree.Mode("private"), 0600u);
    EXPECT_EQ(sys.Calls(Op::CreateTemp), 2);
    ASSERT_EQ(::stat(tree.Path("untouched").c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
}

TEST(RewriteTest, LinkedFileIsRewrittenBesideItsTargetAndHardLinksKeepTheOldContent) {
    TempTree tree;
    tree.Write("real/target.txt", "old text");
    tree.Write("links/other", "");
    tree.Write("b/other", "");
    std::filesystem::create_symlink("../real/target.txt", tree.Path("links/link.txt"));
    ASSERT_EQ(::link(tree.Path("real/target.txt").c_str(), tree.Path("b/hard").c_str()), 0);
    FaultySys sys;
    Lines temporary;
    sys.Before(Op::Rename, [&] { temporary = tree.TemporaryFiles(); });
    RecordingSink sink(tree.Root());
    RunSearch({tree.Path("links"), "*.*", "old", "new"}, sink, sys);
    EXPECT_EQ(sink.Found(), Lines{"links/link.txt"});
    EXPECT_EQ(tree.Read("real/target.txt"), "new text");
    EXPECT_TRUE(std::filesystem::is_symlink(tree.Path("links/link.txt")));
    ASSERT_EQ(temporary.size(), 1u);
    EXPECT_EQ(temporary[0].rfind("real/pel", 0), 0u) << temporary[0];
    EXPECT_EQ(tree.Read("b/hard"), "old text");
}

TEST(RewriteTest, FileThatMayNotOrNeedNotBeReplacedStaysAsItIs) {
    const struct {
        const char* name;
        std::function<void(FaultySys&, const TempTree&)> arrange;
        std::string expectedContent, expectedPrompt;
    } cases[] = {
        {"write-protected", [](FaultySys& sys, const TempTree&) { sys.Fail(Op::Access, EACCES); },
         "old", "noretry replace the file (a) cause 5 os 13 -> 2"},
        {"appended meanwhile",
         [](FaultySys& sys, const TempTree& tree) {
             sys.Before(Op::Fsync, [&] { std::ofstream(tree.Path("a"), std::ios::app) << "+"; });
         },
         "old+", "noretry replace the file (a) cause 11 os -1 -> 2"},
        {"replaced meanwhile",
         [](FaultySys& sys, const TempTree& tree) {
             sys.Before(Op::Fsync, [&] {
                 tree.Write("theirs", "theirs");
                 ::rename(tree.Path("theirs").c_str(), tree.Path("a").c_str());
             });
         },
         "theirs", "noretry replace the file (a) cause 11 os -1 -> 2"},
        {"removed meanwhile",
         [](FaultySys& sys, const TempTree& tree) {
             sys.Before(Op::Fsync, [&] { ::unlink(tree.Path("a").c_str()); });
         },
         "<missing>", "noretry replace the file (a) cause 2 os 2 -> 2"},
        {"rename refused", [](FaultySys& sys, const TempTree&) { sys.Fail(Op::Rename, EXDEV); },
         "old", "noretry replace the file (a) cause 1 os 18 -> 2"},
    };
    for (const auto& c : cases) {
        TempTree tree;
        tree.Write("a", "old");
        tree.Write("sub/next", "old");
        FaultySys sys;
        c.arrange(sys, tree);
        RecordingSink sink(tree.Root());
        RunSearch({tree.Root(), "*.*", "old", "new"}, sink, sys);
        EXPECT_EQ(tree.Read("a"), c.expectedContent) << c.name;
        EXPECT_EQ(tree.Read("sub/next"), "new") << c.name;
        EXPECT_EQ(sink.Others(), (Lines{c.expectedPrompt, "finished 0"})) << c.name;
        EXPECT_EQ(sink.Found(), (Lines{"a", "sub/next"})) << c.name;
        EXPECT_EQ(tree.TemporaryFiles(), Lines{}) << c.name;
    }
}

}  // namespace
}  // namespace pellumar
