// The Windows layer. The walk: the system matches the filter, attributes decide which files are
// processed, and a file that another program holds without sharing is passed over. Rewriting: the
// system names the temporary file, the Win32 error of a failed step gives the prompt its cause,
// and the new content replaces the file without ever losing it.
#include <gtest/gtest.h>

#include <string>

#include "FaultyWin32Sys.h"
#include "RecordingSink.h"
#include "SearchRule.h"
#include "TextShape.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace pellumar::test {
namespace {

Lines Listed(const TempTree& tree, const std::string& filter, bool subfolders = true,
             bool hidden = true) {
    return Sorted(Heard(tree, {"", filter, "", "", subfolders, false, hidden}).Found());
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
    // This build has no pattern library: a pattern is refused before anything is read.
    Request pattern{tree.Root(), "*.*", "a.c"};
    pattern.regex = true;
    RuleProblem problem;
    EXPECT_EQ(MakeSearchRule(pattern, problem).matcher, nullptr);
    EXPECT_EQ(RuleProblemText(problem), "regular expressions are not available in this build");
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
    const Heard sink(tree, {"", "*.txt", "old", "new"});
    EXPECT_EQ(Listed(tree, "*.txt"), Lines{"free.txt"});
    CloseHandle(held);
    EXPECT_EQ(sink.Found(), Lines{"free.txt"});
    EXPECT_EQ(
        sink.Others(),
        (Lines{"skipped held.txt: Sharing violation: a shared region was locked", "finished 0"}));
    EXPECT_EQ(tree.Read("held.txt"), "old");
    EXPECT_EQ(tree.Read("free.txt"), "new");
}

std::string LeafOf(const std::string& path) {
    return path.substr(path.find_last_of('\\') + 1);
}

// The system names the temporary file, in the file's folder; none is made for a file without a
// match, and a read-only file is left as it is and named.
TEST(Win32RewriteTest, TheSystemNamesTheTemporaryFileInTheFilesFolder) {
    TempTree tree;
    tree.Write("top.txt", "old");
    tree.Write("sub/low.txt", "old old");
    tree.Write("sub/none.txt", "nothing");
    tree.Write("sub/zlocked.txt", "old", 0444);
    FaultyWin32Sys sys;
    const Heard sink(tree, {"", "*.*", "old", "new"}, sys);
    EXPECT_EQ(tree.Read("top.txt") + tree.Read("sub/low.txt"), "newnew new");
    ASSERT_EQ(sys.TempNames().size(), 3u);  // the read-only file's is given back
    EXPECT_TRUE(IsTemporaryName(LeafOf(sys.TempNames()[0]))) << sys.TempNames()[0];
    EXPECT_EQ(sys.TempNames()[1].rfind(tree.Path("sub\\pel"), 0), 0u) << sys.TempNames()[1];
    EXPECT_EQ(tree.Read("sub/zlocked.txt"), "old");
    ASSERT_EQ(sink.Others().size(), 3u);  // the prompt, "not changed", the end
    EXPECT_EQ(sink.Others()[0], "noretry replace the file (sub/zlocked.txt) cause 5 os 5 -> 2");
    EXPECT_EQ(Sorted(sink.Found()), (Lines{"sub/low.txt", "sub/zlocked.txt", "top.txt"}));
    EXPECT_EQ(tree.TemporaryFiles(), Lines{});
}

TEST(Win32RewriteTest, AFailedOpenOfTheTemporaryFileIsPromptedWithTheCauseOfItsCode) {
    const std::pair<DWORD, int> cases[] = {
        {ERROR_SHARING_VIOLATION, 11}, {ERROR_DISK_FULL, 13},          {ERROR_ACCESS_DENIED, 5},
        {ERROR_PATH_NOT_FOUND, 3},     {ERROR_TOO_MANY_OPEN_FILES, 4}, {ERROR_INVALID_FUNCTION, 1},
    };
    for (const auto& [code, cause] : cases) {
        TempTree tree;
        tree.Write("f.txt", "old");
        FaultyWin32Sys sys;
        sys.Fail(WinOp::CreateTemp, code);
        const Heard sink(tree, {"", "*.*", "old", "new"}, sys, {ErrorReply::SkipFile});
        EXPECT_EQ(sink.Others()[0], "error open the temporary file (pel*.tmp) cause " +
                                        std::to_string(cause) + " os " + std::to_string(code) +
                                        " -> 2");
        EXPECT_EQ(tree.Read("f.txt"), "old");
        EXPECT_EQ(tree.TemporaryFiles(), Lines{});  // the name it reserved is given back
    }
}

// Writes are buffered: a file larger than the buffer meets the failed write, a small one meets
// it when the rest is flushed at the close.
TEST(Win32RewriteTest, FailedWritesAndFlushesLeaveTheFileAndNoTemporaryFile) {
    const std::string large = "old" + std::string(600 << 10, '.') + "old";
    for (const bool bLarge : {true, false}) {
        TempTree tree;
        tree.Write("f.txt", bLarge ? large : "old");
        FaultyWin32Sys sys;
        sys.Fail(WinOp::Write, ERROR_DISK_FULL);
        const Heard sink(tree, {"", "*.*", "old", "new"}, sys, {ErrorReply::StopSearch});
        // A full disk is told as one, whether the write or the close meets it.
        const std::string prompt = bLarge ? "error write to the temporary file (pel*.tmp) cause 13"
                                          : "noretry close the output file (pel*.tmp) cause 13";
        EXPECT_EQ(sink.Others()[0].rfind(prompt + " os 112 -> 1", 0), 0u) << sink.Others()[0];
        EXPECT_EQ(tree.Read("f.txt"), bLarge ? large : "old");
        EXPECT_EQ(tree.TemporaryFiles(), Lines{});
    }
}

// The system may take the old file away and then fail to move the new one in: the move is made
// again, and when that fails too, the temporary file is the content and stays.
TEST(Win32RewriteTest, NewContentThatCouldNotBeMovedInIsNeverLost) {
    for (const bool moveFails : {false, true}) {
        TempTree tree;
        tree.Write("f.txt", "old");
        FaultyWin32Sys sys;
        sys.Before(WinOp::Replace, [&] { DeleteFileA(tree.Path("f.txt").c_str()); });
        sys.Fail(WinOp::Replace, ERROR_UNABLE_TO_MOVE_REPLACEMENT);
        if (moveFails) {
            sys.Fail(WinOp::Move, ERROR_ACCESS_DENIED);
        }
        const Heard sink(tree, {"", "*.*", "old", "new"}, sys);
        if (moveFails) {
            ASSERT_EQ(tree.TemporaryFiles().size(), 1u);
            EXPECT_EQ(tree.Read(tree.TemporaryFiles()[0]), "new");
            // The prompt names the file that now holds the content.
            EXPECT_EQ(sink.Others()[0], "noretry replace the file (pel*.tmp) cause 5 os 5 -> 2");
        } else {
            EXPECT_EQ(tree.Read("f.txt"), "new");
            EXPECT_EQ(tree.TemporaryFiles(), Lines{});
        }
    }
}

}  // namespace
}  // namespace pellumar::test
