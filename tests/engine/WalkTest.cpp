// The folder walk: order, filter, hidden files, links, odd names, folders that cannot be entered.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "FaultySys.h"
#include "RecordingSink.h"
#include "TempTree.h"

namespace pellumar {
namespace {

using namespace test;
namespace fs = std::filesystem;

Lines Sorted(Lines lines) {
    std::sort(lines.begin(), lines.end());
    return lines;
}

// Lists (search text empty, search only) and checks that nothing but the end was told.
Lines List(const TempTree& tree, Request request, Sys& sys = DefaultSys()) {
    RecordingSink sink(tree.Root());
    request.folder = tree.Root();
    request.searchOnly = true;
    EXPECT_EQ(RunSearch(request, sink, sys), 0);
    EXPECT_EQ(sink.Others(), Lines{"finished 0"});
    return sink.Found();
}

TEST(WalkTest, FilesComeBeforeSubfoldersAndEachSubtreeIsWalkedWhole) {
    TempTree tree;
    for (const char* path : {"r1", "r2", "A/a1", "A/B/b1", "A/B/D/d1", "C/c1", "C/E/e1"}) {
        tree.Write(path, "");
    }
    const Lines found = List(tree, {});
    ASSERT_EQ(found.size(), 7u);
    const auto at = [&](const char* path) {
        return std::find(found.begin(), found.end(), path) - found.begin();
    };
    EXPECT_LT(std::max(at("r1"), at("r2")), 2);
    EXPECT_LT(at("A/a1"), at("A/B/b1"));
    EXPECT_LT(at("A/B/b1"), at("A/B/D/d1"));
    EXPECT_LT(at("C/c1"), at("C/E/e1"));
    EXPECT_TRUE(at("A/a1") == 2 ? at("C/c1") == 5 : at("A/a1") == 4);  // subtrees contiguous
}

TEST(WalkTest, FilterHiddenFilesAndSubfoldersDecideWhatIsListed) {
    TempTree tree;
    for (const char* path : {"empty.txt", "b.dat", ".profile", "sub/c.TXT", ".cfg/in.txt",
                             ".cfg/.deep", "inc/a.h", "lib/inc/b.h", "lib/b.h"}) {
        tree.Write(path, "");
    }
    Request noHidden{"", "*.*"};
    noHidden.hidden = false;
    Request noSub{"", "*.txt"};
    noSub.subfolders = false;
    EXPECT_EQ(Sorted(List(tree, {"", "*.txt"})), (Lines{".cfg/in.txt", "empty.txt", "sub/c.TXT"}));
    EXPECT_EQ(List(tree, noSub), Lines{"empty.txt"});
    EXPECT_EQ(Sorted(List(tree, noHidden)), (Lines{".cfg/in.txt", "b.dat", "empty.txt", "inc/a.h",
                                                   "lib/b.h", "lib/inc/b.h", "sub/c.TXT"}));
    EXPECT_EQ(Sorted(List(tree, {"", "inc/*.h"})), (Lines{"inc/a.h", "lib/inc/b.h"}));
    EXPECT_EQ(List(tree, {"", "*.c;*.h"}), Lines{});
}

TEST(WalkTest, OddNamesAreFoundAndRewrittenByteForByte) {
    TempTree tree;
    const Lines names = {"d/with space", "d/new\nline", "d/bad\xff\xfe", "d/-dash",
                         "d/\xE2\x80\xAE"};
    for (const std::string& name : names) {
        tree.Write(name, "needle");
    }
    RecordingSink sink(tree.Root());
    RunSearch({tree.Root(), "*.*", "needle", "pin"}, sink);
    EXPECT_EQ(Sorted(sink.Found()), Sorted(names));
    for (const std::string& name : names) {
        EXPECT_EQ(tree.Read(name), "pin") << name;
    }
}

TEST(WalkTest, FifosDanglingLinksAndLinkCyclesAreHarmless) {
    TempTree tree;
    tree.Write("top/a", "");
    tree.Write("other/b", "");
    ASSERT_EQ(::mkfifo(tree.Path("top/pipe").c_str(), 0644), 0);  // opening it would hang
    fs::create_symlink("pipe", tree.Path("top/to-pipe"));
    fs::create_symlink("nowhere", tree.Path("top/dangling"));
    fs::create_symlink("..", tree.Path("top/up"));
    fs::create_symlink(".", tree.Path("top/self"));
    fs::create_symlink("../other", tree.Path("top/side"));
    EXPECT_EQ(Sorted(List(tree, {"", "*"})), (Lines{"other/b", "top/a", "top/side/b"}));
    // Handed over by path, as a file replaced by one of these between listing and opening
    // would be: a pipe fails to read, devices that read like files are never reported.
    RecordingSink sink(tree.Root());
    CSearchThread worker(&sink, tree.Root(), "*", std::string(1, 0), "", true, true, true, false);
    EXPECT_NE(worker.ProcessFile(tree.Path("top/pipe")), 0);
    for (const char* device : {"/dev/null", "/dev/zero"})
        EXPECT_EQ(worker.ProcessFile(device), 0);
    EXPECT_EQ(sink.Found(), Lines{});
}

TEST(WalkTest, StartingFolderIsResolvedOnceOrFinishesWithOneWhenGone) {
    TempTree tree;
    tree.Write("rel/a", "");
    RecordingSink gone;
    EXPECT_EQ(RunSearch({tree.Path("gone"), "*.*", "x"}, gone), 1);
    EXPECT_EQ(gone.Others(), Lines{"finished 1"});
    ASSERT_EQ(::chdir(tree.Root().c_str()), 0);
    RecordingSink relative(tree.Root());
    RunSearch({"rel/", "*.*", "", "", true, true}, relative);
    EXPECT_EQ(relative.Found(), Lines{"rel/a"});  // absolute, and no double slash
}

TEST(WalkTest, FoldersAndFilesThatCannotBeOpenedAreSkippedSilently) {
    TempTree tree;
    for (const char* path :
         {"a/x", "locked/y", "locked/deep/z", "b/w", "b/unreadable", "b/theirs"}) {
        tree.Write(path, "");
    }
    // Files are listed without being opened: their owner's read bit, or the system, decides.
    ASSERT_EQ(::chmod(tree.Path("b/unreadable").c_str(), 0200), 0);
    struct stat st;
    ASSERT_EQ(::stat(tree.Path("b/w").c_str(), &st), 0);
    FaultySys sys;
    sys.ActAs(st.st_uid == 0 ? 4242 : st.st_uid);
    if (st.st_uid == 0) {  // as the superuser, hand the files to the user acted as
        for (const char* path : {"a/x", "b/w", "b/unreadable"})
            ASSERT_EQ(::chown(tree.Path(path).c_str(), 4242, 4242), 0);
    }
    sys.Fail(Op::Chdir, EACCES, -1, "/locked");
    sys.Fail(Op::Access, EACCES, -1, "theirs");
    EXPECT_EQ(Sorted(List(tree, {}, sys)), (Lines{"a/x", "b/w"}));
    EXPECT_EQ(sys.Calls(Op::Access), 1);  // only about the file of another user
    FaultySys superuser;
    superuser.ActAs(0);
    EXPECT_EQ(List(tree, {}, superuser).size(), 6u);
    FaultySys unlisted;
    unlisted.Fail(Op::Opendir, EMFILE, 1);  // the first folder cannot be listed
    EXPECT_EQ(List(tree, {"", "*", "", "", false}, unlisted), Lines{});
}

}  // namespace
}  // namespace pellumar
