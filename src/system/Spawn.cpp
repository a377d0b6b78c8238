#include "system/Spawn.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>

#include "system/CommandLine.h"
#include "system/ProgramFolder.h"
#include "system/ProgramLookup.h"

extern char** environ;

namespace quorv::platform {

ResolvedCommand ResolveCommandLine(const std::string& commandLine, const LaunchOptions& options) {
    ResolvedCommand r;
    r.args = SplitCommandLine(commandLine);
    if (r.args.empty() || r.args[0].empty()) {
        r.error = "empty command line";
        return r;
    }
    const std::string folder =
        options.programFolder.empty() ? ProgramFolder() : options.programFolder;
    std::string path = FindProgram(r.args[0], folder);
    if (path.empty()) {
        r.error = "program not found: " + r.args[0];
        return r;
    }
    r.args[0] = path;
    return r;
}

pid_t SpawnHidden(const std::vector<std::string>& args, int stdoutFd, int stderrFd) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (stdoutFd >= 0) {
        posix_spawn_file_actions_adddup2(&actions, stdoutFd, 1);
    } else {
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    }
    if (stderrFd >= 0) {
        posix_spawn_file_actions_adddup2(&actions, stderrFd, 2);
    } else {
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    }
    // No handle of ours (the data file above all) leaks into the child.
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);

    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &all);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::vector<std::string> copies = args;
    std::vector<char*> argv;
    for (std::string& a : copies) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);

    pid_t pid = -1;
    const int rc = ::posix_spawn(&pid, argv[0], &actions, &attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    return rc == 0 ? pid : -rc;
}

}  // namespace quorv::platform
