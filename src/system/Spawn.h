#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "system/Process.h"

namespace quorv::platform {

// A command line made ready to start: args[0] is the file found for its program name.
struct ResolvedCommand {
    std::vector<std::string> args;
    std::string error;  // why there is nothing to start; empty when args can be started
};

// Splits the line with the Windows rules and looks its program up in the program
// folder (options.programFolder, else ProgramFolder()), then on PATH.
ResolvedCommand ResolveCommandLine(const std::string& commandLine, const LaunchOptions& options);

// Starts args hidden: stdin from /dev/null, stdout and stderr onto the given
// descriptors (-1: /dev/null), no other descriptor of ours, default signal handling.
// Returns the child's pid, or -errno when it could not be started.
pid_t SpawnHidden(const std::vector<std::string>& args, int stdoutFd, int stderrFd);

}  // namespace quorv::platform
