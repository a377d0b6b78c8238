#pragma once

#include <sys/wait.h>

namespace quorv::platform {

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
