#include "tools/support/host_process.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace host_tests {

namespace {

std::string readWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

}  // namespace

HostRun runProgram(const std::string& program, const std::vector<std::string>& arguments,
                   const std::string& directory) {
    // Output goes to files beside the run, so neither stream can block the other.
    const std::string outPath = directory + "/.host-stdout";
    const std::string errPath = directory + "/.host-stderr";
    std::vector<std::string> words = {program};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);

    std::fflush(nullptr);
    HostRun run;
    const pid_t child = fork();
    if (child == 0) {
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || err < 0 || chdir(directory.c_str()) != 0) _exit(127);
        dup2(out, STDOUT_FILENO);
        dup2(err, STDERR_FILENO);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    if (child < 0) return run;
    int status = 0;
    if (waitpid(child, &status, 0) == child && WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
    run.out = readWhole(outPath);
    run.err = readWhole(errPath);
    std::remove(outPath.c_str());
    std::remove(errPath.c_str());
    return run;
}

}  // namespace host_tests
