// Taking back a replacement from the command line: --history, --undo, --no-undo.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include <optional>

#include "PellumarProcess.h"
#include "TempTree.h"
#include "TextShape.h"

namespace pellumar {
namespace {

using namespace test;

// Each case keeps its runs in a store of its own.
class CliUndoTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (const char* before = ::getenv("XDG_STATE_HOME")) {
            m_before = before;
        }
        ::setenv("XDG_STATE_HOME", state.Root().c_str(), 1);
        tree.Write("a.txt", "a needle\n");
        tree.Write("sub/b.txt", "needle\n", 0600);
        tree.Write("clean.txt", "hay\n");
    }
    void TearDown() override {
        m_before ? ::setenv("XDG_STATE_HOME", m_before->c_str(), 1) : ::unsetenv("XDG_STATE_HOME");
    }
    Result Replace(std::vector<std::string> more = {}) {
        std::vector<std::string> args{"--folder",  tree.Root(), "--search", "needle",
                                      "--replace", "pin",       "--yes"};
        args.insert(args.end(), more.begin(), more.end());
        return Pellumar(args);
    }

    TempTree tree, state;
    std::optional<std::string> m_before;
};

// Control bytes in names and typed texts reach no terminal raw: messages, prompts and the history
// show them escaped, as ls -b does; the list of files on standard output stays byte for byte.
TEST_F(CliUndoTest, ControlBytesAreShownEscapedOutsideTheListOfFiles) {
    const std::string odd = "e\033[31mred\a\r";
    tree.Write(odd + ".txt", "needle");
    tree.Write(odd + "/x", "needle");
    ::chmod(tree.Path(odd).c_str(), 0);  // named as it cannot be read
    const How asUser{-1, false, 0, "", true};
    const Result search = Pellumar({"--folder", tree.Root(), "--search", "needle"}, asUser);
    ::chmod(tree.Path(odd).c_str(), 0755);
    EXPECT_NE(search.out.find(tree.Path(odd + ".txt") + "\n"), std::string::npos);
    EXPECT_NE(
        search.err.find("pellumar: " + tree.Root() + "/e\\033[31mred\\a\\r: Permission denied\n"),
        std::string::npos)
        << search.err;
    ASSERT_EQ(Pellumar({"--folder", tree.Root(), "--filter", "*.txt", "--search", "needle",
                        "--replace", "x\033]0;title\a", "--yes"})
                  .status,
              0);
    const Result history = Pellumar({"--history"});
    EXPECT_EQ(history.out.find('\033'), std::string::npos) << history.out;
    EXPECT_NE(history.out.find("'needle' -> 'x\\033]0;title\\a'"), std::string::npos)
        << history.out;
    const Result undone = Pellumar({"--undo", "--yes"});
    EXPECT_EQ(undone.status, 0) << undone.err;
    for (const std::string& told : {search.err, history.out, undone.err}) {
        for (const char c : told)
            EXPECT_FALSE(static_cast<unsigned char>(c) < 0x20 && c != '\n') << told;
    }
}

TEST_F(CliUndoTest, AReplacementIsListedAndTakenBackOnce) {
    ASSERT_EQ(Replace().status, 0);
    const Result history = Pellumar({"--history"});
    EXPECT_EQ(history.status, 0);
    const std::string stamp = "1  ####-##-## ##:##:##  ";
    EXPECT_TRUE(MatchesShape(history.out.substr(0, stamp.size()), stamp)) << history.out;
    EXPECT_EQ(history.out.substr(std::min(history.out.size(), stamp.size())),
              tree.Root() + "  *.*  'needle' -> 'pin'  2 files\n");

    const Result refused = Pellumar({"--undo"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("add --yes to take it back"), std::string::npos);
    EXPECT_EQ(tree.Read("a.txt"), "a pin\n");

    const Result undone = Pellumar({"--undo", "--yes"});
    EXPECT_EQ(undone.status, 0);
    EXPECT_EQ(undone.err, "pellumar: Restored 2 files.\n");
    EXPECT_EQ(tree.Read("a.txt"), "a needle\n");
    EXPECT_EQ(tree.Read("sub/b.txt"), "needle\n");
    EXPECT_EQ(tree.Mode("sub/b.txt"), 0600u);
    EXPECT_NE(Pellumar({"--history"}).out.find("2 files  taken back\n"), std::string::npos);

    const Result again = Pellumar({"--undo", "--yes"});
    EXPECT_EQ(again.status, 1);
    EXPECT_EQ(again.err, "pellumar: no replacement is kept that was not taken back already\n");
}

TEST_F(CliUndoTest, AFileChangedSinceIsNamedAndTheStatusIsTwo) {
    ASSERT_EQ(Replace().status, 0);
    tree.Write("a.txt", "mine now\n");
    const Result result = Pellumar({"--undo", "1", "--yes"});
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.err, "pellumar: " + tree.Path("a.txt") +
                              ": left as it is: it changed since the replacement\n"
                              "pellumar: Restored 1 file. 1 file was left as it is, changed "
                              "since the replacement or out of reach.\n");
    EXPECT_EQ(tree.Read("a.txt"), "mine now\n");
    EXPECT_EQ(tree.Read("sub/b.txt"), "needle\n");
}

// Any change since the replacement leaves a file as it is, however it was made: its access
// rights, an edit with its time put back, a second name. A file far below the folder, beyond the
// longest path the system takes, is put back like any other.
TEST_F(CliUndoTest, EveryKindOfChangeSinceIsLeftAndNamedAndNoDepthIsABar) {
    for (const char* name : {"mode.txt", "edit.txt", "linked.txt"}) {
        tree.Write(name, "needle\n");
    }
    const int deep = tree.MakeDeep("deep", 90);
    const auto deepFile = [deep](const char* text) {
        const int fd = ::openat(deep, "f.txt", O_RDWR | O_CREAT | (text ? O_TRUNC : 0), 0644);
        std::string bytes(64, '\0');
        if (text) {
            EXPECT_EQ(::write(fd, text, std::strlen(text)),
                      static_cast<ssize_t>(std::strlen(text)));
        } else {
            bytes.resize(static_cast<size_t>(std::max<ssize_t>(0, ::read(fd, bytes.data(), 64))));
        }
        ::close(fd);
        return bytes;
    };
    deepFile("deep needle\n");
    ASSERT_EQ(Replace().status, 0);
    EXPECT_EQ(deepFile(nullptr), "deep pin\n");

    ASSERT_EQ(::chmod(tree.Path("mode.txt").c_str(), 0600), 0);
    struct stat before;
    ASSERT_EQ(::stat(tree.Path("edit.txt").c_str(), &before), 0);
    const int edit = ::open(tree.Path("edit.txt").c_str(), O_WRONLY);
    ASSERT_EQ(::write(edit, "PIN\n", 4), 4);
    const struct timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(::futimens(edit, times), 0);
    ::close(edit);
    ASSERT_EQ(::link(tree.Path("linked.txt").c_str(), tree.Path("second name").c_str()), 0);

    const Result result = Pellumar({"--undo", "--yes"});
    EXPECT_EQ(result.status, 2);
    for (const char* name : {"mode.txt", "edit.txt", "linked.txt"}) {
        EXPECT_NE(result.err.find(tree.Path(name) + ": left as it is: it changed since"),
                  std::string::npos)
            << name << "\n"
            << result.err;
    }
    EXPECT_EQ(tree.Read("mode.txt") + tree.Read("edit.txt") + tree.Read("linked.txt"),
              "pin\nPIN\npin\n");
    EXPECT_EQ(tree.Mode("mode.txt") & 0777, 0600u);
    EXPECT_EQ(deepFile(nullptr), "deep needle\n");
    EXPECT_EQ(tree.Read("a.txt"), "a needle\n");
    ::close(deep);
}

TEST_F(CliUndoTest, NoUndoKeepsNothingAndUnknownRunsAreRefused) {
    ASSERT_EQ(Replace({"--no-undo"}).status, 0);
    EXPECT_EQ(Pellumar({"--history"}).out, "");
    EXPECT_EQ(Pellumar({"--undo", "--yes"}).status, 1);
    const Result unknown = Pellumar({"--undo=7", "--yes"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_EQ(unknown.err, "pellumar: no run 7 is kept; pellumar --history lists the kept runs\n");
    EXPECT_EQ(Pellumar({"--undo=x"}).status, 2);
    EXPECT_EQ(tree.Read("a.txt"), "a pin\n");
}

// Without a store, a replacement is refused unless errors are to be skipped: then every file is
// replaced, the lack of undo is said once, and the status tells that something was left undone.
TEST_F(CliUndoTest, WithoutAStoreTheRunStopsOrGoesOnWithoutUndoAsToldOnce) {
    state.Write("pellumar", "not a folder");
    const Result stopped = Replace();
    EXPECT_EQ(stopped.status, 2);
    EXPECT_EQ(tree.Read("a.txt") + tree.Read("sub/b.txt"), "a needle\nneedle\n");

    const Result skipped = Replace({"--on-error", "skip"});
    EXPECT_EQ(skipped.status, 2);
    EXPECT_EQ(tree.Read("a.txt") + tree.Read("sub/b.txt"), "a pin\npin\n");
    EXPECT_EQ(skipped.out, tree.Path("a.txt") + "\n" + tree.Path("sub/b.txt") + "\n");
    size_t told = 0;
    for (size_t at = 0; (at = skipped.err.find("keep the old content", at)) != std::string::npos;
         ++at) {
        ++told;
    }
    EXPECT_EQ(told, 1u) << skipped.err;
}

}  // namespace
}  // namespace pellumar
