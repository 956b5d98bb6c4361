#include "CliPlatform.h"

#include <pthread.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <initializer_list>

namespace pellumar::cli {

namespace {

// Ctrl-\\ (SIGQUIT) stops a run as cleanly as Ctrl-C: a core dump would leave a temporary file.
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

sigset_t StopSignalSet() {
    sigset_t set;
    sigemptyset(&set);
    for (int signal : kStopSignals) {
        sigaddset(&set, signal);
    }
    return set;
}

}  // namespace

// No restart: a waiting read ends. The handler never runs twice at once.
void InstallStopSignals(void (*handler)(int)) {
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = handler;
    action.sa_mask = StopSignalSet();
    for (int signal : kStopSignals) {
        sigaction(signal, &action, nullptr);
    }
    std::signal(SIGPIPE, SIG_IGN);  // a closed output ends the search cleanly, not the process
}

void EndBySignal(int signal) {
    if (signal == SIGQUIT) {
        ::_exit(128 + signal);  // ended as asked, without the core dump its default would make
    }
    std::signal(signal, SIG_DFL);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signal);
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    std::raise(signal);
    ::_exit(128 + signal);
}

StopSignalsHeldForNewThreads::StopSignalsHeldForNewThreads() {
    const sigset_t set = StopSignalSet();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

StopSignalsHeldForNewThreads::~StopSignalsHeldForNewThreads() {
    const sigset_t set = StopSignalSet();
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
}

long WriteSome(int fd, const char* data, size_t size) {
    return ::write(fd, data, size);
}

size_t StandardErrorWidth() {
    struct winsize size {};
    return (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) ? size.ws_col : 80;
}

}  // namespace pellumar::cli
