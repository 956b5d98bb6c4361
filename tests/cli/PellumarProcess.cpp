#include "PellumarProcess.h"

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "TempTree.h"

namespace pellumar::test {

namespace {

// Runs the program whose path is the first argument.
[[noreturn]] void Exec(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
}

void DropToNobody() {
    if (::geteuid() == 0 &&
        (::setgroups(0, nullptr) != 0 || ::setresgid(kNobody, kNobody, kNobody) != 0 ||
         ::setresuid(kNobody, kNobody, kNobody) != 0))
        ::_exit(126);
}

// Every run of the program under test keeps its undo copies in a store of the test run's own,
// never in the user's.
const TempTree kStateHome;
[[maybe_unused]] const int kStateHomeSet = ::setenv("XDG_STATE_HOME", kStateHome.Root().c_str(), 1);

}  // namespace

Result Pellumar(std::vector<std::string> args, const How& how) {
    TempTree io;
    io.Write("in", how.input);
    args.insert(args.begin(), PELLUMAR_BINARY);
    if (how.unread) {
        args.insert(args.begin(),
                    {"/bin/bash", "-c", "\"$0\" \"$@\" | true; exit ${PIPESTATUS[0]}"});
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::freopen(how.input.empty() ? "/dev/null" : io.Path("in").c_str(), "r", stdin);
        if (how.fileSizeLimit) {
            const struct rlimit limit = {how.fileSizeLimit, how.fileSizeLimit};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            ::signal(SIGXFSZ, SIG_IGN);
        }
        std::freopen(how.output.empty() ? io.Path("out").c_str() : how.output.c_str(), "w", stdout);
        std::freopen(io.Path("err").c_str(), "w", stderr);
        if (!how.stateHome.empty())
            ::setenv("XDG_STATE_HOME", how.stateHome.c_str(), 1);
        if (how.asNobody)
            DropToNobody();
        Exec(args);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), io.Read("out"),
            io.Read("err")};
}

pid_t StartPellumar(std::vector<std::string> args, int& output) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(fds[1], STDOUT_FILENO);  // the pipe's own ends close as the program starts
        std::freopen("/dev/null", "r", stdin);
        std::freopen("/dev/null", "w", stderr);
        args.insert(args.begin(), PELLUMAR_BINARY);
        Exec(std::move(args));
    }
    ::close(fds[1]);
    output = fds[0];
    return pid;
}

Lines Sorted(const std::string& text) {
    Lines lines;
    for (size_t at = 0, next; at < text.size(); at = next) {
        next = std::min(text.find('\n', at), text.size() - 1) + 1;
        lines.push_back(text.substr(at, next - at));
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

}  // namespace pellumar::test
