// The folder walk: order, filter, hidden files and folders, links, odd names, deep trees, and
// folders and files that cannot be read.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "FaultySys.h"
#include "TextShape.h"
#include "UndoStore.h"

namespace pellumar::test {
namespace {
namespace fs = std::filesystem;

// Lists (search text empty, search only) in the folder given relative to the root, and checks
// that nothing but `told` and the end was told, in any order; returns what was found, sorted.
Lines List(const TempTree& tree, Request request, Sys& sys = DefaultSys(), Lines told = {}) {
    request.searchOnly = true;
    const Heard heard(tree, request, sys);
    EXPECT_EQ(heard.result, 0);
    told.push_back("finished 0");
    EXPECT_EQ(Sorted(heard.Others()), Sorted(told));
    return Sorted(heard.Found());
}

// Files come before subfolders and each subtree is walked whole. The filter, hidden files, hidden
// folders and subfolders decide what is listed; a filter's folder part names folders below the
// walked one, never above it or elsewhere.
TEST(WalkTest, FilterHiddenFilesHiddenFoldersAndSubfoldersDecideWhatIsListed) {
    TempTree tree;
    for (const char* path : {"empty.txt", "b.dat", ".profile", "sub/c.TXT", ".cfg/in.txt",
                             ".cfg/.deep", "sub/.cache/x", "inc/a.h", "lib/inc/b.h", "lib/b.h"}) {
        tree.Write(path, "");
    }
    const Lines walked = Heard(tree, {"", "*", "", "", true, true}).Found();
    const auto at = [&](const char* path) {
        return std::find(walked.begin(), walked.end(), path) - walked.begin();
    };
    EXPECT_LT(std::max({at("empty.txt"), at("b.dat"), at(".profile")}), 3);
    EXPECT_EQ(at("sub/.cache/x") - at("sub/c.TXT"), 1);
    EXPECT_EQ(at("lib/inc/b.h") - at("lib/b.h"), 1);
    EXPECT_EQ(std::abs(at(".cfg/.deep") - at(".cfg/in.txt")), 1);
    const Lines visible = {"b.dat", "empty.txt", "inc/a.h", "lib/b.h", "lib/inc/b.h", "sub/c.TXT"};
    Lines noHiddenFiles = visible;
    noHiddenFiles.insert(noHiddenFiles.begin(), ".cfg/in.txt");
    noHiddenFiles.insert(noHiddenFiles.end() - 1, "sub/.cache/x");
    const struct {
        Request request;
        Lines expected;
    } cases[] = {
        {{"", "*.txt"}, {".cfg/in.txt", "empty.txt", "sub/c.TXT"}},
        {{.filter = "*.txt", .subfolders = false}, {"empty.txt"}},
        {{.hidden = false}, noHiddenFiles},
        {{.hidden = false, .hiddenFolders = false}, visible},
        {{"", "inc/*.h"}, {"inc/a.h", "lib/inc/b.h"}},
        {{"", "*.c;*.h"}, {}},
        {{"lib", "../*.txt"}, {}},
        {{"lib", "inc/../../*.txt"}, {}},
        {{"lib", "/etc/host*"}, {}},
        {{"lib", "//etc/*"}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.request.folder + " " + c.request.filter + " " +
                     std::to_string(c.request.hidden + 2 * c.request.hiddenFolders));
        EXPECT_EQ(List(tree, c.request), c.expected);
    }
}

TEST(WalkTest, StartingFolderIsResolvedOnceOrFinishesWithOneWhenGone) {
    TempTree tree;
    tree.Write("rel/a", "");
    RecordingSink gone(tree.Root());
    EXPECT_EQ(RunSearch({tree.Path("gone"), "*.*", "x"}, gone), 1);
    EXPECT_EQ(gone.Others(), (Lines{"skipped gone: No such file or directory", "finished 1"}));
    // Absolute, as the text reads: no "." or ".." part and no double slash is reported.
    for (const std::string folder : {"rel/", "./rel", "rel/../rel/.", "rel//", "x/../rel"}) {
        ASSERT_EQ(::chdir(tree.Root().c_str()), 0);  // the walk leaves it in the folder
        RecordingSink relative(tree.Root());
        RunSearch({folder, "*.*", "", "", true, true}, relative);
        EXPECT_EQ(relative.Found(), Lines{"rel/a"}) << folder;
    }
}

// Folders the system refuses, files whose owner's read bit is off and files of another user that
// the system refuses are skipped and named; files are listed without being opened. The superuser
// is refused none, and asks the system nothing of the plain files listed where a listing needs
// nothing of them (pellumar without --long): either way it lists and names the same files.
TEST(WalkTest, WhatCannotBeOpenedIsSkippedAndNamedWhateverTheListingNeeds) {
    TempTree tree;
    for (const char* path :
         {"a/x", "locked/y", "locked/deep/z", "b/w", "b/unreadable", "b/theirs", "b/pel0001.tmp"}) {
        tree.Write(path, "");
    }
    ASSERT_EQ(::chmod(tree.Path("b/unreadable").c_str(), 0200), 0);
    ASSERT_EQ(::mkfifo(tree.Path("a/pipe").c_str(), 0644), 0);
    fs::create_symlink("x", tree.Path("a/alias"));
    fs::create_symlink("nowhere", tree.Path("a/dangling"));
    struct stat st;
    ASSERT_EQ(::stat(tree.Path("b/w").c_str(), &st), 0);
    const uid_t owner = st.st_uid == 0 ? 4242 : st.st_uid;
    if (st.st_uid == 0) {  // as the superuser, hand the files but one to the user acted as
        for (const char* path : {"a/x", "b/w", "b/unreadable", "b/pel0001.tmp"})
            ASSERT_EQ(::chown(tree.Path(path).c_str(), owner, owner), 0);
    }
    for (const uid_t user : {owner, uid_t{0}}) {
        SCOPED_TRACE(user);
        Lines told = {"skipped a/dangling: No such file or directory",
                      "skipped locked: Permission denied"};
        if (user != 0) {
            told.insert(told.end(), {"skipped b/unreadable: Permission denied",
                                     "skipped b/theirs: Permission denied"});
        }
        Lines found[2];
        int stats[2];
        for (const bool information : {false, true}) {
            FaultySys sys;
            sys.ActAs(user);
            sys.Fail(Op::OpenFolder, EACCES, -1, "locked");
            sys.Fail(Op::Access, EACCES, -1, "theirs");
            found[information] = List(tree, {.fileInformation = information}, sys, told);
            stats[information] = sys.Calls(Op::StatAt);
            EXPECT_EQ(sys.Calls(Op::Access), user == 0 ? 0 : 1);  // of the other user's file
        }
        EXPECT_EQ(found[0], found[1]);
        EXPECT_EQ(found[0].size(), user == 0 ? 6u : 4u);  // the temporary file is no other run's
        // The superuser's listing asks only what the two links lead to, then about the linked
        // file as it is listed, the pipe and the temporary file.
        EXPECT_EQ(stats[0], user == 0 ? 5 : stats[1]);
    }
    // The starting folder may be entered but not listed.
    FaultySys unlisted;
    unlisted.Fail(Op::List, EIO, 1);
    EXPECT_EQ(List(tree, {"", "*", "", "", false}, unlisted,
                   {"skipped " + tree.Root() + ": Input/output error"}),
              Lines{});
}

// Searching, every name of a file is reported, but a folder is walked under one name: its own,
// not a link's; links that lead nowhere or in a cycle are named, and links that fan out without a
// cycle (each level two links to the next, 2^24 paths) cost no more than the folders they reach.
// Replacing, each file is rewritten once: "v1.1" never becomes "v1.1.1"; each hard link gets the
// new content from the old, as a file of its own, and odd names are rewritten byte for byte.
TEST(WalkTest, EachFolderAndFileIsReachedOnceWhateverLinksLeadThere) {
    TempTree tree;
    std::map<std::string, std::string> replaced;
    const auto write = [&](const std::string& path, const std::string& text) {
        tree.Write(path, text);
        replaced[path] = ReplaceAll(text, "v1", "v1.1");
    };
    write("real.txt", "version=v1\n");
    write("lib/conf.txt", "v1\n");
    fs::create_symlink("real.txt", tree.Path("alias.txt"));
    fs::create_symlink("lib", tree.Path("alias_dir"));
    fs::create_symlink("lib", tree.Path("a_dir"));
    ASSERT_EQ(::link(tree.Path("lib/conf.txt").c_str(), tree.Path("hard.txt").c_str()), 0);
    replaced["hard.txt"] = "v1.1\n";
    for (const char* name :
         {"d/with space", "d/new\nline", "d/bad\xff\xfe", "d/-dash", "d/\xE2\x80\xAE"}) {
        write(name, "v1");
    }
    constexpr int kLevels = 24;
    for (int level = 0; level < kLevels; ++level) {
        const std::string name = "fan/l" + std::to_string(level);
        write(name + "/f.txt", "v1");
        if (level + 1 < kLevels) {
            const std::string next = "../l" + std::to_string(level + 1);
            fs::create_symlink(next, tree.Path(name + "/a"));
            fs::create_symlink(next, tree.Path(name + "/b"));
        }
    }
    // Pipes, links that lead nowhere, up, to themselves or in a cycle are harmless.
    write("top/a", "v1");
    ASSERT_EQ(::mkfifo(tree.Path("top/pipe").c_str(), 0644), 0);  // opening it would hang
    for (const auto& [link, target] : {std::pair{"to-pipe", "pipe"},
                                       {"dangling", "nowhere"},
                                       {"up", ".."},
                                       {"self", "."},
                                       {"loop", "loop"}}) {
        fs::create_symlink(target, tree.Path("top/") + link);
    }
    const Lines broken = {"finished 0", "skipped top/dangling: No such file or directory",
                          "skipped top/loop: Too many levels of symbolic links"};
    Lines files;
    for (const auto& [file, text] : replaced) {
        files.push_back(file);
    }
    FaultySys sys;
    files.push_back("alias.txt");
    EXPECT_EQ(List(tree, {"", "*.*", "v1"}, sys, {broken[1], broken[2]}), Sorted(files));
    EXPECT_LE(sys.Calls(Op::OpenFolder), 4 * kLevels);
    files.pop_back();
    const Heard replace(tree, {"", "*.*", "v1", "v1.1"});
    EXPECT_EQ(tree.Contents(), replaced);
    EXPECT_EQ(Sorted(replace.Found()), files);
    EXPECT_TRUE(fs::is_symlink(tree.Path("alias.txt")));
    EXPECT_EQ(Sorted(replace.Others()), broken);
    // Handed over by path, as a file replaced by one of these between listing and opening
    // would be: a pipe fails to read, devices that read like files are never reported.
    RecordingSink sink(tree.Root());
    CSearchThread worker(&sink, {tree.Root(), "*", std::string(1, 0), "", true, true});
    EXPECT_NE(worker.ProcessFile(tree.Path("top/pipe")), 0);
    for (const char* device : {"/dev/null", "/dev/zero"})
        EXPECT_EQ(worker.ProcessFile(device), 0);
    EXPECT_EQ(sink.Found(), Lines{});
}

// Folders nested beyond the longest path the system takes, with a link inside that leads up: the
// files are rewritten, the link's target once, and undo gives them back.
TEST(WalkTest, FoldersDeeperThanTheLongestPathAreWalkedAndRewritten) {
    Scene s;
    s.tree.Write("deep/top.txt", "old");
    const int fd = s.tree.MakeDeep("deep", 90);
    const std::string deep = "/proc/self/fd/" + std::to_string(fd) + "/";
    std::ofstream(deep + "needle.txt") << "old";
    std::string up;
    for (int level = 0; level < 90; ++level) {
        up += "../";
    }
    ASSERT_EQ(::symlinkat((up + "top.txt").c_str(), fd, "up.txt"), 0);
    s.Run(s.KeepingUndo({"deep", "*.txt", "old", "new"}));
    EXPECT_EQ(s.sink.Found().size(), 2u);  // the link's target is rewritten once, as top.txt
    EXPECT_EQ(s.sink.Others(), Lines{"finished 0"});
    const auto texts = [&] {
        std::ostringstream bytes;
        bytes << std::ifstream(deep + "needle.txt").rdbuf() << s.tree.Read("deep/top.txt");
        return bytes.str();
    };
    EXPECT_EQ(texts(), "newnew");
    EXPECT_TRUE(fs::is_symlink(deep + "up.txt"));
    UndoStore undo(s.store);
    EXPECT_EQ(undo.Undo(undo.LastToUndo()->id).restored, 2u);
    EXPECT_EQ(texts(), "oldold");
    ::close(fd);
}

}  // namespace
}  // namespace pellumar::test
