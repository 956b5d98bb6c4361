// The pellumar command run as users run it: arguments, output, exit status, signals.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <regex>
#include <thread>

#include "TempTree.h"

namespace pellumar {
namespace {

using test::TempTree;
using Lines = std::vector<std::string>;

struct Result {
    int status = -1;
    std::string out;
    std::string err;
};

// Starts pellumar with standard input from /dev/null and its output on pipes.
class Process {
  public:
    explicit Process(const std::vector<std::string>& args, bool closeOutput = false) {
        int out[2], err[2];
        if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) {
            throw std::runtime_error("pipe");
        }
        m_pid = ::fork();
        if (m_pid == 0) {
            const int null = ::open("/dev/null", O_RDONLY);
            ::dup2(null, 0);
            ::dup2(out[1], 1);
            ::dup2(err[1], 2);
            std::vector<char*> argv{const_cast<char*>(PELLUMAR_BINARY)};
            for (const std::string& arg : args) {
                argv.push_back(const_cast<char*>(arg.c_str()));
            }
            argv.push_back(nullptr);
            ::execv(PELLUMAR_BINARY, argv.data());
            ::_exit(127);
        }
        ::close(out[1]);
        ::close(err[1]);
        m_out = out[0];
        m_err = err[0];
        if (closeOutput) {
            ::close(m_out);
            m_out = -1;
        }
    }

    void Signal(int signal) const { ::kill(m_pid, signal); }

    Result Wait() {
        Result result;
        Drain(result);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 1000 + WTERMSIG(status);
        return result;
    }

  private:
    void Drain(Result& result) {
        std::vector<pollfd> fds;
        for (int fd : {m_out, m_err}) {
            if (fd >= 0) {
                fds.push_back({fd, POLLIN, 0});
            }
        }
        char buffer[65536];
        while (!fds.empty()) {
            ::poll(fds.data(), fds.size(), -1);
            for (size_t i = 0; i < fds.size(); ++i) {
                if (fds[i].revents == 0) {
                    continue;
                }
                const ssize_t got = ::read(fds[i].fd, buffer, sizeof buffer);
                if (got <= 0) {
                    ::close(fds[i].fd);
                    fds.erase(fds.begin() + static_cast<long>(i));
                    break;
                }
                (fds[i].fd == m_out ? result.out : result.err)
                    .append(buffer, static_cast<size_t>(got));
            }
        }
    }

    pid_t m_pid;
    int m_out;
    int m_err;
};

Result RunPellumar(const std::vector<std::string>& args) {
    return Process(args).Wait();
}

TEST(CliRunTest, WrongInputGetsTheDialogsMessagesAndStatusTwo) {
    TempTree tree;
    const auto expectMessage = [](const Result& result, const std::string& message) {
        EXPECT_EQ(result.status, 2);
        EXPECT_EQ(result.err, "pellumar: " + message + "\n");
        EXPECT_EQ(result.out, "");
    };
    expectMessage(RunPellumar({"--folder", tree.Root(), "--filter", "", "--search", "x"}),
                  "Please type in a filter.");
    expectMessage(RunPellumar({"--search", "x"}), "Please type in a folder to search in.");
    expectMessage(RunPellumar({"--folder", tree.Path("missing"), "--search", "x"}),
                  "Cannot find or access the specified folder. Please type in a correct folder.");
    expectMessage(RunPellumar({"--folder", tree.Root(), "--replace", "x"}),
                  "The \"search for\" text box is empty. Please type in text that you want to "
                  "find.");
    EXPECT_EQ(RunPellumar({"--bogus"}).status, 2);
}

TEST(CliRunTest, ReplacingWithoutATerminalOrYesChangesNothing) {
    TempTree tree;
    tree.Write("a", "old");
    const Result result =
        RunPellumar({"--folder", tree.Root(), "--search", "old", "--replace", "new"});
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.err.find("--yes"), std::string::npos);
    EXPECT_EQ(tree.Read("a"), "old");
}

TEST(CliRunTest, ReportsPathsExitsZeroOrOneAndReplacesWithYes) {
    TempTree tree;
    tree.Write("a.txt", "Hello");
    tree.Write("b.txt", "nothing");
    Result result = RunPellumar({"--folder", tree.Root(), "--search", "hello"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, tree.Path("a.txt") + "\n");
    EXPECT_EQ(RunPellumar({"--folder", tree.Root(), "--search", "hello", "--match-case"}).status,
              1);

    result = RunPellumar({"--folder", tree.Root(), "--search", "hello", "--replace", "", "--yes"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(tree.Read("a.txt"), "");
    EXPECT_EQ(tree.TemporaryFiles(), Lines{});
}

TEST(CliRunTest, NullTerminatedAndLongOutputKeepNamesByteForByte) {
    TempTree tree;
    tree.Write("odd\nname\xff", "x");
    tree.Write("empty", "");
    Result result = RunPellumar({"--folder", tree.Root(), "--filter", "odd*", "--null"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, tree.Path("odd\nname\xff") + std::string(1, '\0'));

    result = RunPellumar({"--folder", tree.Root(), "--filter", "empty", "--long"});
    const std::regex line("0b\t[0-9]{2}/[0-9]{2}/[0-9]{2} [0-9]{2}:[0-9]{2}[AP]M\t(.*)\n");
    std::smatch match;
    ASSERT_TRUE(std::regex_match(result.out, match, line)) << result.out;
    EXPECT_EQ(match[1], tree.Path("empty"));
}

TEST(CliRunTest, InterruptStopsCleanlyLeavingEachFileOldOrNew) {
    TempTree tree;
    const std::string chunk = std::string(4000, 'z') + "old\n";
    std::string content;
    for (int i = 0; i < 64; ++i) {
        content += chunk;
    }
    for (int i = 0; i < 400; ++i) {
        tree.Write("d" + std::to_string(i % 9) + "/f" + std::to_string(i), content);
    }
    std::string replaced = content;
    for (size_t at = 0; (at = replaced.find("old", at)) != std::string::npos; at += 3) {
        replaced.replace(at, 3, "new");
    }
    Process process({"--folder", tree.Root(), "--search", "old", "--replace", "new", "--yes"});
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    process.Signal(SIGINT);
    const Result result = process.Wait();
    EXPECT_TRUE(result.status == 130 || result.status == 0) << result.status << result.err;
    EXPECT_EQ(tree.TemporaryFiles(), Lines{});
    int changed = 0;
    for (const std::string& entry : tree.List()) {
        if (entry.find("/f") != std::string::npos) {
            const std::string now = tree.Read(entry);
            ASSERT_TRUE(now == content || now == replaced) << entry;
            changed += now == replaced;
        }
    }
    if (result.status == 130) {
        EXPECT_LT(changed, 400);
    }
}

TEST(CliRunTest, ClosedOutputEndsTheSearchWithoutLeavingAnything) {
    TempTree tree;
    for (int i = 0; i < 3000; ++i) {
        tree.Write("f" + std::to_string(i), "old");
    }
    const Result result =
        Process({"--folder", tree.Root(), "--search", "old", "--replace", "new", "--yes"}, true)
            .Wait();
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(tree.TemporaryFiles(), Lines{});
}

}  // namespace
}  // namespace pellumar
