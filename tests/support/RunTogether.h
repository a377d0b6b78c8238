#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <thread>
#include <vector>

namespace quorv::testing {

// Starts `count` children that wait at one gate, opened for all at the same moment;
// each is given its number. Returns their exit codes (98: the child threw).
inline std::vector<int> RunTogether(int count, const std::function<int(int)>& child) {
    int gate[2];
    if (pipe(gate) != 0) {
        return {};
    }
    std::vector<pid_t> pids;
    for (int i = 0; i < count; ++i) {
        const pid_t pid = fork();
        if (pid == 0) {
            close(gate[1]);
            char c;
            (void)!read(gate[0], &c, 1);
            int code = 99;
            try {
                code = child(i);
            } catch (...) {
                code = 98;
            }
            _exit(code);
        }
        pids.push_back(pid);
    }
    close(gate[0]);
    // Let every child reach the gate.
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    close(gate[1]);
    std::vector<int> codes;
    for (pid_t pid : pids) {
        int status = 0;
        waitpid(pid, &status, 0);
        codes.push_back(WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    }
    return codes;
}

}  // namespace quorv::testing
