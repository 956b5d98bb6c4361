#pragma once

#include <cstddef>

namespace pellumar::cli {

// What the command-line program needs of its platform beyond the engine.

// Sends the signals that ask a program to end (interrupt, termination, hang-up) to `handler`,
// once each: a second one ends the process. A closed output is an error, not a signal.
void InstallStopSignals(void (*handler)(int));

// The width of the terminal on standard error, in columns; 80 when it is not known.
size_t StandardErrorWidth();

}  // namespace pellumar::cli
