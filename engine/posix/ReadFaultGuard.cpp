#include "ReadFaultGuard.h"

#include <pthread.h>

#include <atomic>
#include <csetjmp>
#include <csignal>
#include <cstring>
#include <mutex>

namespace pellumar {

namespace {

struct FaultScope {
    sigjmp_buf env;
    const char* begin;
    size_t length;
    FaultScope* outer;
};

// Written and read only by the thread that owns the scope, and read by its signal handler. It is
// volatile, and fenced, so that the compiler keeps every store to it where it is written: a
// guarded function it can see through (a plain copy) must not run before the scope is set.
thread_local FaultScope* volatile t_scope = nullptr;

struct sigaction g_previous;  // written once, under the call_once below

void OnBusError(int signal, siginfo_t* info, void* context) {
    FaultScope* scope = t_scope;
    const char* address = static_cast<const char*>(info->si_addr);
    if (scope != nullptr && address >= scope->begin && address < scope->begin + scope->length) {
        siglongjmp(scope->env, 1);
    }
    // Not ours: hand it on, or let the default action end the process.
    if (g_previous.sa_flags & SA_SIGINFO) {
        g_previous.sa_sigaction(signal, info, context);
    } else if (g_previous.sa_handler != SIG_DFL && g_previous.sa_handler != SIG_IGN) {
        g_previous.sa_handler(signal);
    } else {
        ::signal(signal, SIG_DFL);
    }
}

void InstallHandler() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction action;
        std::memset(&action, 0, sizeof action);
        action.sa_sigaction = OnBusError;
        action.sa_flags = SA_SIGINFO | SA_NODEFER;
        sigemptyset(&action.sa_mask);
        sigaction(SIGBUS, &action, &g_previous);
    });
}

}  // namespace

bool ReadFaultGuard::RunRaw(const void* begin, size_t length, void (*function)(void*),
                            void* context) {
    InstallHandler();
    // The thread's signal mask, read once: a jump out of the handler must give it back, as
    // whatever runs the handler (a sanitizer's wrapper, say) may block signals while it runs.
    // Saving it at every guard would cost a system call each.
    thread_local const sigset_t t_mask = [] {
        sigset_t mask;
        pthread_sigmask(SIG_BLOCK, nullptr, &mask);
        return mask;
    }();
    FaultScope scope;
    scope.begin = static_cast<const char*>(begin);
    scope.length = length;
    scope.outer = t_scope;
    if (sigsetjmp(scope.env, 0) != 0) {
        t_scope = scope.outer;
        pthread_sigmask(SIG_SETMASK, &t_mask, nullptr);
        return false;
    }
    t_scope = &scope;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    function(context);
    std::atomic_signal_fence(std::memory_order_seq_cst);
    t_scope = scope.outer;
    return true;
}

bool ReadFaultGuard::Copy(void* dest, const void* source, size_t size) {
    auto copy = [=] { std::memcpy(dest, source, size); };
    return Run(source, size, copy);
}

}  // namespace pellumar
