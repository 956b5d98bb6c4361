// The walk on Windows: the system matches the filter, attributes decide which files are
// processed, and a file that another program holds without sharing is passed over.
#include <gtest/gtest.h>

#include <string>

#include "RecordingSink.h"
#include "TempTree.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace pellumar {
namespace {

using namespace test;

Lines Listed(const TempTree& tree, const std::string& filter, bool subfolders = true,
             bool hidden = true) {
    RecordingSink sink(tree.Root());
    RunSearch({tree.Root(), filter, "", "", subfolders, false, hidden}, sink);
    Lines found = sink.Found();
    std::sort(found.begin(), found.end());
    return found;
}

void SetAttributes(const TempTree& tree, const std::string& relative, DWORD attributes) {
    ASSERT_TRUE(SetFileAttributesA(tree.Path(relative).c_str(), attributes)) << relative;
}

TEST(Win32WalkTest, FilesComeBeforeSubfoldersAndPathsUseTheBackslash) {
    TempTree tree;
    tree.Write("sub/deep/c.txt", "");
    tree.Write("sub/b.txt", "");
    tree.Write("a.txt", "");
    RecordingSink sink;
    RunSearch({tree.Root(), "*.txt"}, sink);
    EXPECT_EQ(sink.Found(),
              (Lines{tree.Path("a.txt"), tree.Path("sub/b.txt"), tree.Path("sub/deep/c.txt")}));
    EXPECT_EQ(tree.Path("sub/b.txt").find('/'), std::string::npos);
}

TEST(Win32WalkTest, TheSystemMatchesTheFilter) {
    TempTree tree;
    for (const char* name : {"a.c", "B.C", "a.cc", "c", "noext", "x;y.c", "a.txt", "ab.txt"}) {
        tree.Write(name, "");
    }
    tree.Write("sub/s.c", "");
    EXPECT_EQ(Listed(tree, "*.c"), (Lines{"B.C", "a.c", "sub/s.c", "x;y.c"}));
    EXPECT_EQ(Listed(tree, "*.*").size(), 9u);  // names without a dot too
    EXPECT_EQ(Listed(tree, "?.txt"), Lines{"a.txt"});
    EXPECT_EQ(Listed(tree, "*.c;*.txt"), Lines{});  // one pattern, the semicolon in it
    EXPECT_EQ(Listed(tree, "sub\\*.c", false), Lines{"sub/s.c"});
    EXPECT_EQ(Listed(tree, std::string(260, '*')), Lines{});
}

TEST(Win32WalkTest, HiddenAndSystemFilesOnlyWithTheOptionTheirFoldersAlways) {
    TempTree tree;
    tree.Write("hidden", "");
    tree.Write("system", "");
    tree.Write("plain", "");
    tree.Write("folder/inside", "");
    SetAttributes(tree, "hidden", FILE_ATTRIBUTE_HIDDEN);
    SetAttributes(tree, "system", FILE_ATTRIBUTE_SYSTEM);
    SetAttributes(tree, "folder", FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(Listed(tree, "*.*", true, false), (Lines{"folder/inside", "plain"}));
    EXPECT_EQ(Listed(tree, "*.*", true, true).size(), 4u);
}

TEST(Win32WalkTest, AFileHeldWithoutSharingIsPassedOverWithoutAPromptAndNamed) {
    TempTree tree;
    tree.Write("held.txt", "old");
    tree.Write("free.txt", "old");
    const HANDLE held = CreateFileA(tree.Path("held.txt").c_str(), GENERIC_READ, 0, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    RecordingSink sink(tree.Root());
    RunSearch({tree.Root(), "*.txt", "old", "new"}, sink);
    EXPECT_EQ(Listed(tree, "*.txt"), Lines{"free.txt"});
    CloseHandle(held);
    EXPECT_EQ(sink.Found(), Lines{"free.txt"});
    EXPECT_EQ(
        sink.Others(),
        (Lines{"skipped held.txt: Sharing violation: a shared region was locked", "finished 0"}));
    EXPECT_EQ(tree.Read("held.txt"), "old");
    EXPECT_EQ(tree.Read("free.txt"), "new");
}

}  // namespace
}  // namespace pellumar
