// Putting new content in place: atomic, permission bits kept, links, and files that changed.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "FaultySys.h"
#include "RecordingSink.h"
#include "SearchRunner.h"
#include "TempTree.h"

namespace pellumar {
namespace {

using test::FaultySys;
using test::Op;
using test::RecordingSink;
using test::Request;
using test::TempTree;
using Lines = std::vector<std::string>;

TEST(RewriteTest, PermissionBitsAreKeptAndFilesWithoutMatchesAreNeverWritten) {
    TempTree tree;
    tree.Write("script.sh", "#!/bin/sh\necho old\n", 0755);
    tree.Write("private", "old secret", 0600);
    tree.Write("untouched", "nothing to see", 0640);
    struct stat before;
    ASSERT_EQ(::stat(tree.Path("untouched").c_str(), &before), 0);
    FaultySys sys;
    RecordingSink sink(tree.Root());
    test::RunSearch({tree.Root(), "*.*", "old", "new"}, sink, sys);
    EXPECT_EQ(tree.Read("script.sh"), "#!/bin/sh\necho new\n");
    EXPECT_EQ(tree.Mode("script.sh"), 0755u);
    EXPECT_EQ(tree.Read("private"), "new secret");
    EXPECT_EQ(tree.Mode("private"), 0600u);
    EXPECT_EQ(sys.Calls(Op::CreateTemp), 2);
    struct stat after;
    ASSERT_EQ(::stat(tree.Path("untouched").c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(tree.TemporaryFiles(), Lines{});
}

TEST(RewriteTest, NewContentIsFlushedBeforeItTakesThePlace) {
    TempTree tree;
    tree.Write("a", "old");
    FaultySys sys;
    bool flushed = false;
    sys.Before(Op::Fsync, [&] { flushed = true; });
    sys.Before(Op::Rename, [&] { EXPECT_TRUE(flushed); });
    RecordingSink sink(tree.Root());
    test::RunSearch({tree.Root(), "*.*", "old", "new"}, sink, sys);
    EXPECT_EQ(sys.Calls(Op::Rename), 1);
    EXPECT_EQ(tree.Read("a"), "new");
}

TEST(RewriteTest, LinkedFileIsRewrittenBesideItsTargetAndTheLinkStays) {
    TempTree tree;
    tree.Write("real/target.txt", "old text");
    tree.Symlink("../real/target.txt", "links/link.txt");
    std::string temporaryFolder;
    FaultySys sys;
    sys.Before(Op::Rename, [&] { temporaryFolder = tree.TemporaryFiles().at(0); });
    RecordingSink sink(tree.Root());
    Request request{tree.Path("links"), "*.*", "old", "new"};
    test::RunSearch(request, sink, sys);
    EXPECT_EQ(sink.Found(), Lines{"links/link.txt"});
    EXPECT_EQ(tree.Read("real/target.txt"), "new text");
    struct stat st;
    ASSERT_EQ(::lstat(tree.Path("links/link.txt").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(temporaryFolder.rfind("real/pel", 0), 0u) << temporaryFolder;
}

TEST(RewriteTest, HardLinkedFileGetsItsOwnNewCopyTheOtherNameKeepsTheOld) {
    TempTree tree;
    tree.Write("a/one", "old");
    tree.Mkdir("b");
    ASSERT_EQ(::link(tree.Path("a/one").c_str(), tree.Path("b/two").c_str()), 0);
    RecordingSink sink(tree.Root());
    test::RunSearch({tree.Path("a"), "*.*", "old", "new"}, sink);
    EXPECT_EQ(tree.Read("a/one"), "new");
    EXPECT_EQ(tree.Read("b/two"), "old");
}

TEST(RewriteTest, WriteProtectedFileStaysAndIsToldWithoutRetry) {
    TempTree tree;
    tree.Write("locked", "old", 0444);
    tree.Write("next", "old");
    FaultySys sys;  // root may write anything: the check is made to fail as for a user
    sys.Fail(Op::Access, EACCES, 1, "/locked");
    RecordingSink sink(tree.Root());
    test::RunSearch({tree.Root(), "*.*", "old", "new"}, sink, sys);
    EXPECT_EQ(tree.Read("locked"), "old");
    EXPECT_EQ(tree.Read("next"), "new");
    EXPECT_EQ(tree.Mode("locked"), 0444u);
    const Lines others = sink.Others();
    ASSERT_EQ(others.size(), 2u);
    EXPECT_EQ(others[0], "noretry replace the file (locked) cause 5 os 13 -> 2");
    EXPECT_EQ(others[1], "finished 0");
    EXPECT_EQ(sink.Found().size(), 2u);  // a match was accepted in both
    EXPECT_EQ(tree.TemporaryFiles(), Lines{});
}

TEST(RewriteTest, FileChangedByAnotherProgramMeanwhileIsLeftAsThatProgramMadeIt) {
    TempTree tree;
    tree.Write("a", "old content");
    FaultySys sys;
    sys.Before(Op::Fsync,
               [&] { std::ofstream(tree.Path("a"), std::ios::app) << " appended elsewhere"; });
    RecordingSink sink(tree.Root());
    test::RunSearch({tree.Root(), "*.*", "old", "new"}, sink, sys);
    EXPECT_EQ(tree.Read("a"), "old content appended elsewhere");
    EXPECT_EQ(sink.Others(),
              (Lines{"noretry replace the file (a) cause 11 os -1 -> 2", "finished 0"}));
    EXPECT_EQ(tree.TemporaryFiles(), Lines{});
}

TEST(RewriteTest, FileReplacedOrRemovedMeanwhileIsNotOverwritten) {
    TempTree tree;
    tree.Write("swapped", "old");
    tree.Write("removed", "old");
    FaultySys sys;
    sys.Before(Op::Fsync, [&] {
        if (tree.Read("swapped") == "old") {
            tree.Write("swapped.new", "theirs");
            ::rename(tree.Path("swapped.new").c_str(), tree.Path("swapped").c_str());
        }
        ::unlink(tree.Path("removed").c_str());
    });
    RecordingSink sink(tree.Root());
    sink.Reply({}, STOP_FILE);
    test::RunSearch({tree.Root(), "*.*", "old", "new"}, sink, sys);
    EXPECT_EQ(tree.Read("swapped"), "theirs");
    EXPECT_EQ(tree.Read("removed"), "<missing>");
    EXPECT_EQ(tree.TemporaryFiles(), Lines{});
}

TEST(RewriteTest, RenameFailureKeepsTheFileAndRemovesTheTemporary) {
    TempTree tree;
    tree.Write("a", "old");
    FaultySys sys;
    sys.Fail(Op::Rename, EXDEV);
    RecordingSink sink(tree.Root());
    test::RunSearch({tree.Root(), "*.*", "old", "new"}, sink, sys);
    EXPECT_EQ(tree.Read("a"), "old");
    EXPECT_EQ(sink.Others(),
              (Lines{"noretry replace the file (a) cause 1 os 18 -> 2", "finished 0"}));
    EXPECT_EQ(tree.TemporaryFiles(), Lines{});
}

}  // namespace
}  // namespace pellumar
