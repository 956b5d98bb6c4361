#include "CliPlatform.h"

#include <io.h>

#include <csignal>
#include <cstdlib>
#include <initializer_list>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace pellumar::cli {

namespace {

void (*g_handler)(int) = nullptr;  // set once, before any signal can come

// The C library resets a handled signal to its default: the handler is set again for the next.
void OnSignal(int signal) {
    std::signal(signal, OnSignal);
    g_handler(signal);
}

}  // namespace

void InstallStopSignals(void (*handler)(int)) {
    g_handler = handler;
    for (int signal : {SIGINT, SIGTERM, SIGBREAK}) {
        std::signal(signal, OnSignal);
    }
}

void EndBySignal(int signal) {
    std::_Exit(128 + signal);
}

// The system runs each handler on a thread of its own: nothing to hold.
StopSignalsHeldForNewThreads::StopSignalsHeldForNewThreads() = default;
StopSignalsHeldForNewThreads::~StopSignalsHeldForNewThreads() = default;

long WriteSome(int fd, const char* data, size_t size) {
    return ::_write(fd, data, size > (1u << 30) ? (1u << 30) : static_cast<unsigned>(size));
}

size_t StandardErrorWidth() {
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info)) {
        return 80;
    }
    const int width = info.srWindow.Right - info.srWindow.Left + 1;
    return width > 0 ? static_cast<size_t>(width) : 80;
}

}  // namespace pellumar::cli
