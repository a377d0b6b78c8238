#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quorv::netsh {

struct RunResult {
    int status = -1;     // exit code, 128 + signal, or -1 when the program could not be started
    std::string output;  // stdout and stderr together, when captured
};

// Runs argv[0] (an absolute path) with the given arguments and no shell. stdin is /dev/null.
// A program that daemonizes is not waited for beyond its first process; timeoutMs < 0 waits
// without bound, otherwise the program is killed when the time is up.
RunResult RunProgram(const std::vector<std::string>& argv, bool capture, int timeoutMs = -1);

// Looks for an executable in fixed system folders, never in $PATH: these tools run as root.
std::optional<std::string> FindSystemProgram(const std::string& name);

// Folder of the running executable.
std::string ProgramDir();

}  // namespace quorv::netsh
