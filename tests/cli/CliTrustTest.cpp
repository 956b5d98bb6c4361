// pellumar on ordinary Linux trees: what it could not read or change is named and ends the run
// with 2, dot-folders are left out when asked, and a second interrupt loses no line of output. What
// the engine does with links, attributes and deep folders is tested on the engine itself.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>
#include <utility>

#include "PellumarProcess.h"
#include "TempTree.h"

namespace pellumar {
namespace {

using namespace test;
namespace fs = std::filesystem;

// Whether the process has not ended; it is left to be waited for.
bool StillRunning(pid_t pid) {
    siginfo_t ended{};
    return ::waitid(P_PID, static_cast<id_t>(pid), &ended, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           ended.si_pid == 0;
}

// Whether a thread of the process sleeps in a write to a pipe, as the kernel names where it waits.
bool SleepsInAPipeWrite(pid_t pid) {
    const fs::path tasks = fs::path("/proc") / std::to_string(pid) / "task";
    std::error_code error;
    for (const auto& task : fs::directory_iterator(tasks, error)) {
        std::string where;
        std::ifstream(task.path() / "wchan") >> where;
        if (where.find("pipe_write") != std::string::npos) {
            return true;
        }
    }
    return false;
}

Lines SortedLines(const std::string& text) {
    Lines lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

TEST(CliTrustTest, WhatCannotBeReadIsNamedAsGrepNamesItAndTheRunEndsWithTwo) {
    TempTree tree;
    tree.Write("a/x", "needle");
    tree.Write("unreadable", "needle", 0);
    tree.Write("locked/y", "needle");  // may be entered, not listed
    tree.Write("noexec/z", "needle");  // may be listed, not entered
    tree.Write("start/w", "needle");
    ::chmod(tree.Path("locked").c_str(), 0311);
    ::chmod(tree.Path("noexec").c_str(), 0644);
    ::chmod(tree.Path("start").c_str(), 0311);
    fs::create_symlink("nowhere", tree.Path("dangling"));
    ASSERT_EQ(::mkfifo(tree.Path("fifo").c_str(), 0644), 0);  // passed over without a word

    const How asUser{-1, false, 0, "", true};
    const Result result =
        Pellumar({"--folder", tree.Root(), "--search", "needle", "--match-case"}, asUser);
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.out, tree.Path("a/x") + "\n");
    EXPECT_EQ(SortedLines(result.err),
              (Lines{"pellumar: " + tree.Path("dangling") + ": No such file or directory",
                     "pellumar: " + tree.Path("locked") + ": Permission denied",
                     "pellumar: " + tree.Path("noexec") + ": Permission denied",
                     "pellumar: " + tree.Path("start") + ": Permission denied",
                     "pellumar: " + tree.Path("unreadable") + ": Permission denied"}));

    const Result quiet = Pellumar(
        {"--folder", tree.Root(), "--search", "needle", "--no-messages", "--quiet"}, asUser);
    EXPECT_EQ(quiet.status, 2);
    EXPECT_EQ(quiet.err, "");
    EXPECT_EQ(quiet.out, result.out);
    // A starting folder that may be entered but not listed.
    const Result start = Pellumar({"--folder", tree.Path("start"), "--search", "x"}, asUser);
    EXPECT_EQ(start.status, 2);
    EXPECT_EQ(start.err, "pellumar: " + tree.Path("start") + ": Permission denied\n");
    for (const char* folder : {"locked", "noexec", "start"}) {
        ::chmod(tree.Path(folder).c_str(), 0755);
    }
}

// Files that hold the text but cannot be changed are named and not listed; a replacement that
// would change nothing leaves its file as it is, and lists it.
TEST(CliTrustTest, FileThatCannotBeChangedIsNamedNotListed) {
    TempTree tree;
    tree.Write("same", "keep v1");
    tree.Write("changes/frozen", "v1");
    tree.Write("changes/plain", "v1");
    struct stat before, after;
    ASSERT_EQ(::stat(tree.Path("same").c_str(), &before), 0);
    const int frozen = ::open(tree.Path("changes/frozen").c_str(), O_RDONLY);
    int flags = 0;
    const bool immutable =
        ::ioctl(frozen, FS_IOC_GETFLAGS, &flags) == 0 &&
        (flags |= FS_IMMUTABLE_FL, ::ioctl(frozen, FS_IOC_SETFLAGS, &flags) == 0);
    const Result same = Pellumar({"--folder", tree.Root(), "--filter", "same", "--search", "v1",
                                  "--replace", "v1", "--yes"});
    EXPECT_EQ(same.status, 0);
    EXPECT_EQ(same.out, tree.Path("same") + "\n");
    ASSERT_EQ(::stat(tree.Path("same").c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    if (!immutable) {
        ::close(frozen);
        GTEST_SKIP() << "no immutable files here (needs root on ext4)";
    }
    const std::vector<std::string> args = {"--folder", tree.Path("changes"), "--search",
                                           "v1",       "--replace",          "v2",
                                           "--yes",    "--on-error",         "skip"};
    std::vector<std::string> quietArgs = args;
    quietArgs.push_back("--no-messages");
    const Result quiet = Pellumar(quietArgs);
    // Answered without asking, and with no word asked for: silent, but the status tells.
    EXPECT_EQ(quiet.status, 2);
    EXPECT_EQ(quiet.err, "");
    tree.Write("changes/plain", "v1");
    const Result result = Pellumar(args);
    flags &= ~FS_IMMUTABLE_FL;
    ::ioctl(frozen, FS_IOC_SETFLAGS, &flags);
    ::close(frozen);
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(result.out, tree.Path("changes/plain") + "\n");
    EXPECT_EQ(result.err,
              "pellumar: Cannot replace the file (" + tree.Path("changes/frozen") +
                  "): The file could not be accessed. It may be in use by another program or it "
                  "may be write-protected. OK to skip this file and continue this search or "
                  "Cancelit?\npellumar: answered OK\npellumar: " +
                  tree.Path("changes/frozen") + ": not changed: Operation not permitted\n");
    EXPECT_EQ(tree.Read("changes/frozen"), "v1");
    EXPECT_EQ(tree.Read("changes/plain"), "v2");
    EXPECT_EQ(tree.TemporaryFiles(), Lines{});
}

// Output that cannot be written ends the search at once, and says why unless nobody reads it.
TEST(CliTrustTest, OutputThatCannotBeWrittenEndsTheRunAndSaysWhy) {
    TempTree tree;
    for (int i = 0; i < 50; ++i) {
        tree.Write("f" + std::to_string(i), "foo");
    }
    const std::string command = std::string(PELLUMAR_BINARY) + " --folder " + tree.Root() +
                                " --search foo --replace bar --yes > /dev/full 2> " +
                                tree.Path("err");
    EXPECT_EQ(WEXITSTATUS(std::system(command.c_str())), 2);
    EXPECT_EQ(tree.Read("err"), "pellumar: write error: No space left on device\n");
    int changed = 0;
    for (int i = 0; i < 50; ++i) {
        changed += tree.Read("f" + std::to_string(i)) == "bar";
    }
    EXPECT_LT(changed, 50);  // it stopped
}

// A replacement of many files whose output goes into a pipe that nobody reads: started, and
// waited for until it waits to write out its lines.
pid_t StartWaitingToWrite(const TempTree& tree, int& output) {
    for (int i = 0; i < 3000; ++i) {
        tree.Write("d" + std::to_string(i % 7) + "/" + std::string(100, 'f') + std::to_string(i),
                   "old");
    }
    const pid_t pid = StartPellumar(
        {"--folder", tree.Root(), "--search", "old", "--replace", "new", "--yes"}, output);
    // Once the pipe is full, the program waits to write out its lines: a thread of it sleeps in a
    // pipe write and what lies in the pipe stops growing. A full pipe holds less than its 64 KiB
    // where writes ended part way into a page, so its content alone does not tell.
    bool waiting = false;
    for (int pending = 0, before = -1, polls = 0; !waiting && polls < 1000; ++polls) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        before = std::exchange(pending, 0);
        ::ioctl(output, FIONREAD, &pending);
        EXPECT_TRUE(StillRunning(pid)) << "pellumar ended before its output was read";
        waiting = pending > 0 && pending == before && SleepsInAPipeWrite(pid);
    }
    EXPECT_TRUE(waiting) << "pellumar never waited to write its output";
    return pid;
}

// Three interrupts while the output waits for a reader that never comes: the third ends the
// program at once.
TEST(CliTrustTest, ThirdInterruptEndsTheRunAtOnce) {
    TempTree tree;
    int output = -1;
    const pid_t pid = StartWaitingToWrite(tree, output);
    for (int i = 0; i < 3; ++i) {
        ::kill(pid, SIGINT);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    int status = 0;
    pid_t ended = 0;
    for (int polls = 0; ended == 0 && polls < 100; ++polls) {
        ended = ::waitpid(pid, &status, WNOHANG);
        if (ended == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (ended == 0) {
        ADD_FAILURE() << "the third interrupt did not end it";
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
    } else {
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
    }
    ::close(output);
    EXPECT_EQ(tree.TemporaryFiles(), Lines{});
}

// The output goes into a pipe that is not read while two interrupts come: the first stops the
// search, the second ends the program, but only once every line reported so far is written.
TEST(CliTrustTest, SecondInterruptLosesNoLineOfOutput) {
    TempTree tree;
    int output = -1;
    const pid_t pid = StartWaitingToWrite(tree, output);
    ::kill(pid, SIGINT);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    ::kill(pid, SIGINT);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    std::string out;
    char buffer[65536];
    for (ssize_t got; (got = ::read(output, buffer, sizeof buffer)) > 0;) {
        out.append(buffer, static_cast<size_t>(got));
    }
    ::close(output);
    int status = 0;
    ::waitpid(pid, &status, 0);
    // Ended by the second interrupt, or by the first when the last lines were still being written.
    EXPECT_TRUE(WIFSIGNALED(status) ? WTERMSIG(status) == SIGINT : WEXITSTATUS(status) == 130)
        << status;
    std::set<std::string> rewritten;
    for (const std::string& file : tree.Files()) {
        if (tree.Read(file) == "new") {
            rewritten.insert(tree.Path(file));
        }
    }
    const Lines listed = SortedLines(out);
    std::vector<std::string> unlisted, unchanged;
    std::set_difference(rewritten.begin(), rewritten.end(), listed.begin(), listed.end(),
                        std::back_inserter(unlisted));
    std::set_difference(listed.begin(), listed.end(), rewritten.begin(), rewritten.end(),
                        std::back_inserter(unchanged));
    EXPECT_EQ(unlisted, Lines{});
    EXPECT_EQ(unchanged, Lines{});
}

}  // namespace
}  // namespace pellumar
