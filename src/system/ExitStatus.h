#pragma once

#include <sys/wait.h>

namespace quorv::platform {

// netsh's status for "the netlink way needs CAP_NET_ADMIN, which this process lacks"
// (sysexits' EX_NOPERM). Nothing was changed, so the command may be run again with it.
inline constexpr int kExitNeedsPrivilege = 77;

// A waitpid status as one number: the exit code, 128 + n when signal n ended the
// process, -1 otherwise. Header-only, so the Qt-free tools can use it too.
inline int ExitCodeOf(int status) {
    if (WIFEXITED(status)) {
        return WEXITSTATUS(status);
    }
    if (WIFSIGNALED(status)) {
        return 128 + WTERMSIG(status);
    }
    return -1;
}

}  // namespace quorv::platform
