#include "EndSignals.h"

#include <QSocketNotifier>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#endif

namespace pellumar {

#ifndef _WIN32
namespace {

constexpr int kSignals[] = {SIGTERM, SIGHUP};
int g_pipe[2] = {-1, -1};  // written by the handler, read by the window's thread

void OnSignal(int signal) {
    const int saved = errno;
    const unsigned char number = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &number, 1);
    errno = saved;
}

}  // namespace

EndSignals::EndSignals(std::function<void(int)> onSignal, QObject* parent)
    : QObject(parent), m_onSignal(std::move(onSignal)) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_pipe) != 0) {
        return;  // then the signals keep their default actions
    }
    m_pNotifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(m_pNotifier, &QSocketNotifier::activated, this, &EndSignals::Read);
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = OnSignal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    for (int signal : kSignals) {
        sigaction(signal, &action, nullptr);
    }
}

EndSignals::~EndSignals() {
    for (int signal : kSignals) {
        std::signal(signal, SIG_DFL);
    }
    delete m_pNotifier;
    for (int& fd : g_pipe) {
        if (fd >= 0) {
            ::close(fd);
            fd = -1;
        }
    }
}

void EndSignals::Read() {
    unsigned char number = 0;
    while (::read(g_pipe[0], &number, 1) == 1) {
        if (m_nReceived == 0) {
            m_nReceived = number;
            m_onSignal(number);
        }
    }
}
#else
// The system ends a program that has no console with a window message, not a signal.
EndSignals::EndSignals(std::function<void(int)> onSignal, QObject* parent)
    : QObject(parent), m_onSignal(std::move(onSignal)) {}
EndSignals::~EndSignals() = default;
void EndSignals::Read() {}
#endif

}  // namespace pellumar
