#include "CliPlatform.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <initializer_list>

namespace pellumar::cli {

void InstallStopSignals(void (*handler)(int)) {
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = handler;
    action.sa_flags = SA_RESETHAND;  // no restart: a waiting read ends; a second signal kills
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigaction(signal, &action, nullptr);
    }
    std::signal(SIGPIPE, SIG_IGN);  // a closed output ends the search cleanly, not the process
}

size_t StandardErrorWidth() {
    struct winsize size {};
    return (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) ? size.ws_col : 80;
}

}  // namespace pellumar::cli
