// The folder walk: order, filter, hidden files, links, odd names, folders that cannot be entered.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <set>

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
using Names = std::vector<std::string>;

Names Sorted(Names names) {
    std::sort(names.begin(), names.end());
    return names;
}

Names ListOnly(const TempTree& tree, Request request, Sys& sys = DefaultSys()) {
    RecordingSink sink(tree.Root());
    request.folder = tree.Root();
    request.searchOnly = true;
    EXPECT_EQ(test::RunSearch(request, sink, sys), 0);
    EXPECT_EQ(sink.Others(), Names{"finished 0"});
    return sink.Found();
}

size_t IndexOf(const Names& names, const std::string& name) {
    return static_cast<size_t>(std::find(names.begin(), names.end(), name) - names.begin());
}

TEST(WalkTest, FilesComeBeforeSubfoldersAndEachSubtreeIsWalkedWhole) {
    TempTree tree;
    for (const char* path : {"r1", "r2", "A/a1", "A/a2", "A/B/b1", "A/B/D/d1", "C/c1", "C/E/e1"}) {
        tree.Write(path, "x");
    }
    const Names found = ListOnly(tree, {});
    ASSERT_EQ(found.size(), 8u);
    EXPECT_LT(std::max(IndexOf(found, "r1"), IndexOf(found, "r2")), 2u);
    EXPECT_LT(std::max(IndexOf(found, "A/a1"), IndexOf(found, "A/a2")), IndexOf(found, "A/B/b1"));
    EXPECT_LT(IndexOf(found, "A/B/b1"), IndexOf(found, "A/B/D/d1"));
    EXPECT_LT(IndexOf(found, "C/c1"), IndexOf(found, "C/E/e1"));
    // Subtrees are contiguous: A's four files, then C's two, or the other way round.
    const size_t a = IndexOf(found, "A/a1"), c = IndexOf(found, "C/c1");
    EXPECT_TRUE((a < c && c == 6) || (c < a && a >= 4)) << a << " " << c;
}

TEST(WalkTest, ListOnlyReportsEveryFilePassingTheFilterEmptyOnesIncluded) {
    TempTree tree;
    tree.Write("empty.txt", "");
    tree.Write("a.txt", "some text");
    tree.Write("b.dat", "x");
    tree.Write("sub/c.TXT", "");
    EXPECT_EQ(Sorted(ListOnly(tree, {"", "*.txt"})), (Names{"a.txt", "empty.txt", "sub/c.TXT"}));
    Request noSub{"", "*.txt"};
    noSub.subfolders = false;
    EXPECT_EQ(Sorted(ListOnly(tree, noSub)), (Names{"a.txt", "empty.txt"}));
}

TEST(WalkTest, HiddenFilesOnlyWhenAskedHiddenFoldersAlwaysEntered) {
    TempTree tree;
    tree.Write(".profile", "x");
    tree.Write("seen", "x");
    tree.Write(".config/inside", "x");
    tree.Write(".config/.deeper", "x");
    Request request;
    request.hidden = false;
    EXPECT_EQ(Sorted(ListOnly(tree, request)), (Names{".config/inside", "seen"}));
    request.hidden = true;
    EXPECT_EQ(Sorted(ListOnly(tree, request)),
              (Names{".config/.deeper", ".config/inside", ".profile", "seen"}));
}

TEST(WalkTest, FilterWithAFolderPartNamesFilesBelowEachWalkedFolder) {
    TempTree tree;
    tree.Write("inc/a.h", "x");
    tree.Write("inc/a.c", "x");
    tree.Write("lib/inc/b.h", "x");
    tree.Write("lib/b.h", "x");
    EXPECT_EQ(Sorted(ListOnly(tree, {"", "inc/*.h"})), (Names{"inc/a.h", "lib/inc/b.h"}));
}

TEST(WalkTest, SemicolonFilterFindsNeitherPattern) {
    TempTree tree;
    tree.Write("main.c", "x");
    tree.Write("main.h", "x");
    EXPECT_EQ(ListOnly(tree, {"", "*.c;*.h"}), Names{});
}

TEST(WalkTest, OddNamesAreReportedByteForByte) {
    TempTree tree;
    const std::string names[] = {"with space.txt", "new\nline", "bad\xff\xfe utf8",
                                 "tab\there",      "-dash",     "\xE2\x80\xAE"};
    for (const std::string& name : names) {
        tree.Write("d/" + name, "needle");
    }
    RecordingSink sink(tree.Root());
    test::RunSearch({tree.Root(), "*.*", "needle", "pin"}, sink);
    Names expected;
    for (const std::string& name : names) {
        expected.push_back("d/" + name);
        EXPECT_EQ(tree.Read("d/" + name), "pin") << name;
    }
    EXPECT_EQ(Sorted(sink.Found()), Sorted(expected));
    EXPECT_TRUE(tree.TemporaryFiles().empty());
}

TEST(WalkTest, FifosAndDanglingLinksAreNeverOpened) {
    TempTree tree;
    tree.Fifo("pipe");
    tree.Symlink("nowhere", "dangling");
    tree.Symlink("pipe", "to-pipe");
    tree.Write("real", "needle");
    RecordingSink sink(tree.Root());
    test::RunSearch({tree.Root(), "*", "needle", "", true, true}, sink);  // would hang on a FIFO
    EXPECT_EQ(sink.Found(), Names{"real"});
}

TEST(WalkTest, LinkCyclesEndAndLinkedFoldersAreEntered) {
    TempTree tree;
    tree.Write("top/a", "x");
    tree.Symlink("..", "top/up");
    tree.Symlink(".", "top/self");
    tree.Write("other/b", "x");
    tree.Symlink("../other", "top/side");
    EXPECT_EQ(Sorted(ListOnly(tree, {})), (Names{"other/b", "top/a", "top/side/b"}));
}

TEST(WalkTest, StartingFolderThatVanishedFinishesWithOne) {
    TempTree tree;
    RecordingSink sink;
    EXPECT_EQ(test::RunSearch({tree.Path("gone"), "*.*", "x"}, sink), 1);
    EXPECT_EQ(sink.Lines(), Names{"finished 1"});
}

TEST(WalkTest, RelativeStartingFolderIsResolvedOnce) {
    TempTree tree;
    tree.Write("rel/a", "x");
    ASSERT_EQ(::chdir(tree.Root().c_str()), 0);
    RecordingSink sink(tree.Root());
    test::RunSearch({"rel", "*.*", "", "", true, true}, sink);
    EXPECT_EQ(sink.Found(), Names{"rel/a"});
}

TEST(WalkTest, FolderThatCannotBeEnteredIsSkippedWithEverythingBelow) {
    TempTree tree;
    tree.Write("a/x", "x");
    tree.Write("locked/y", "x");
    tree.Write("locked/deep/z", "x");
    tree.Write("b/w", "x");
    FaultySys sys;
    sys.Fail(Op::Chdir, EACCES, -1, "/locked");
    EXPECT_EQ(Sorted(ListOnly(tree, {}, sys)), (Names{"a/x", "b/w"}));
}

TEST(WalkTest, UnreadableFolderYieldsNoFilesButTheSearchGoesOn) {
    TempTree tree;
    tree.Write("f", "x");
    tree.Write("sub/g", "x");
    FaultySys sys;
    sys.Fail(Op::Opendir, EMFILE, 1);
    EXPECT_EQ(ListOnly(tree, {}, sys), Names{});  // the root could not even be listed
    FaultySys second;
    second.Fail(Op::Open, EACCES, -1, "/f");
    EXPECT_EQ(ListOnly(tree, {}, second), Names{"sub/g"});
}

TEST(WalkTest, TrailingSlashOnTheStartingFolderGivesNoDoubleSlash) {
    // "/" as the starting folder gives "/name", never "//name".
    RecordingSink sink;
    TempTree tree;
    tree.Write("probe-file", "x");
    test::RunSearch({tree.Root() + "/", "probe-file", "", "", false, true}, sink);
    ASSERT_EQ(sink.Found().size(), 1u);
    EXPECT_EQ(sink.Found()[0], tree.Root() + "/probe-file");
}

}  // namespace
}  // namespace pellumar
