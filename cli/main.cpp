#include <string>
#include <vector>

#include "CliRun.h"

int main(int argc, char** argv) {
    return pellumar::cli::RunCli(std::vector<std::string>(argv + 1, argv + argc));
}
