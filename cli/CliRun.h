#pragma once

#include <string>
#include <vector>

namespace pellumar::cli {

// Runs one search request from the command line; returns the exit status.
int RunCli(const std::vector<std::string>& args);

}  // namespace pellumar::cli
