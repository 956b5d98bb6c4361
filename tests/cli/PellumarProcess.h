#pragma once

#include <sys/resource.h>
#include <sys/types.h>

#include <string>
#include <vector>

namespace pellumar::test {

using Lines = std::vector<std::string>;

struct Result {
    int status;  // the exit status, or 128 + the signal that ended it
    std::string out, err;
};

struct How {
    bool unread = false;       // the output goes into a pipe that nobody reads
    rlim_t fileSizeLimit = 0;  // writes beyond it fail, even for root
    std::string input;         // standard input; empty: /dev/null
    bool asNobody = false;     // as the superuser, run as nobody, whom permissions bind
    std::string stateHome;     // where the undo store lies; empty: the test run's own
    std::string output;        // where standard output goes; empty: into Result::out
};

// Runs the pellumar under test with the arguments and waits for it to end.
Result Pellumar(std::vector<std::string> args, const How& how = {});

// Starts it with its standard output going into a pipe that the caller reads (`output`);
// standard error is dropped.
pid_t StartPellumar(std::vector<std::string> args, int& output);

// The lines of a text, each with its end, in name order: the walk follows the folders' own order.
Lines Sorted(const std::string& text);

// The user "nobody", whom tests run as where permissions must bind.
constexpr uid_t kNobody = 65534;

}  // namespace pellumar::test
