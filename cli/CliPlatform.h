#pragma once

#include <cstddef>

namespace pellumar::cli {

// What the command-line program needs of its platform beyond the engine.

// Sends the signals that ask a program to end (interrupt, termination, hang-up) to `handler`,
// every time. A closed output is an error, not a signal.
void InstallStopSignals(void (*handler)(int));

// Ends the process as the signal would have ended it, had it not been handled.
[[noreturn]] void EndBySignal(int signal);

// While it lives, threads started by this one receive no stop signal: the handler then always
// interrupts the thread that reads answers and writes the results.
class StopSignalsHeldForNewThreads {
  public:
    StopSignalsHeldForNewThreads();
    StopSignalsHeldForNewThreads(const StopSignalsHeldForNewThreads&) = delete;
    StopSignalsHeldForNewThreads& operator=(const StopSignalsHeldForNewThreads&) = delete;
    ~StopSignalsHeldForNewThreads();
};

// One write: how many bytes were taken, or -1 with the reason in errno.
long WriteSome(int fd, const char* data, size_t size);

// The width of the terminal on standard error, in columns; 80 when it is not known.
size_t StandardErrorWidth();

}  // namespace pellumar::cli
