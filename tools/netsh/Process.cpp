#include "netsh/Process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <climits>

#include "system/ExitStatus.h"

extern char** environ;

namespace quorv::netsh {

RunResult RunProgram(const std::vector<std::string>& argv, bool capture, int timeoutMs) {
    RunResult result;
    if (argv.empty()) {
        return result;
    }
    std::vector<char*> args;
    for (const auto& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);

    int pipeFds[2] = {-1, -1};
    if (capture && pipe2(pipeFds, O_CLOEXEC) != 0) {
        return result;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (capture) {
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);
    } else {
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    }
    pid_t pid = -1;
    int rc = posix_spawn(&pid, argv[0].c_str(), &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (capture) {
        close(pipeFds[1]);
    }
    if (rc != 0) {
        if (capture) {
            close(pipeFds[0]);
        }
        return result;
    }

    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    bool exited = false;
    bool open = capture;
    int status = 0;
    while (!exited) {
        if (open) {
            pollfd pfd{pipeFds[0], POLLIN, 0};
            if (poll(&pfd, 1, 20) > 0) {
                char buffer[4096];
                ssize_t n = read(pipeFds[0], buffer, sizeof buffer);
                if (n > 0) {
                    if (result.output.size() < 65536) {
                        result.output.append(buffer, std::size_t(n));
                    }
                } else if (n == 0 || errno != EINTR) {
                    open = false;
                }
            }
        } else {
            usleep(5000);
        }
        pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            exited = true;
        } else if (timeoutMs >= 0 && std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            exited = true;
        }
    }
    if (open) {
        // A daemon may hold the pipe open; take what is there and stop.
        fcntl(pipeFds[0], F_SETFL, O_NONBLOCK);
        char buffer[4096];
        ssize_t n;
        while ((n = read(pipeFds[0], buffer, sizeof buffer)) > 0 && result.output.size() < 65536) {
            result.output.append(buffer, std::size_t(n));
        }
    }
    if (capture) {
        close(pipeFds[0]);
    }
    result.status = platform::ExitCodeOf(status);
    return result;
}

std::optional<std::string> FindSystemProgram(const std::string& name) {
    for (const char* dir : {"/usr/sbin", "/sbin", "/usr/bin", "/bin"}) {
        std::string path = std::string(dir) + "/" + name;
        if (access(path.c_str(), X_OK) == 0) {
            return path;
        }
    }
    return std::nullopt;
}

std::string ProgramDir() {
    char buffer[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) {
        return ".";
    }
    std::string path(buffer, std::size_t(n));
    auto slash = path.rfind('/');
    return slash == std::string::npos ? "." : path.substr(0, slash == 0 ? 1 : slash);
}

}  // namespace quorv::netsh
