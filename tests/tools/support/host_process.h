// Runs pofhost as a separate process and collects what it writes.
#pragma once

#include <string>
#include <vector>

namespace host_tests {

struct HostRun {
    int exitCode = -1;  // -1: did not exit normally
    std::string out;
    std::string err;
};

// Runs the program at `program` with `arguments` in the directory `directory`.
HostRun runProgram(const std::string& program, const std::vector<std::string>& arguments,
                   const std::string& directory);

}  // namespace host_tests
