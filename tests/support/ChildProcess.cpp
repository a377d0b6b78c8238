#include "ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <linux/capability.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace quorv::systest {
namespace {

std::vector<char*> Pointers(const std::vector<std::string>& items) {
    std::vector<char*> out;
    for (const auto& s : items) {
        out.push_back(const_cast<char*>(s.c_str()));
    }
    out.push_back(nullptr);
    return out;
}

int Decode(int status) {
    if (WIFEXITED(status)) {
        return WEXITSTATUS(status);
    }
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
}

// In the child, between fork and exec: only async-signal-safe calls.
[[noreturn]] void ExecChild(const std::vector<std::string>& argv,
                            const std::vector<std::string>& env, bool dropNetAdmin) {
    if (dropNetAdmin) {
        prctl(PR_CAPBSET_DROP, CAP_NET_ADMIN, 0, 0, 0);
    }
    auto args = Pointers(argv);
    for (const auto& e : env) {
        putenv(const_cast<char*>(e.c_str()));
    }
    execv(args[0], args.data());
    _exit(127);
}

}  // namespace

Result Run(const std::vector<std::string>& argv, const RunOptions& options) {
    Result result;
    int outPipe[2], errPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0) {
        return result;
    }
    pid_t pid = fork();
    if (pid == 0) {
        int devnull = open("/dev/null", O_RDONLY);
        dup2(devnull, 0);
        dup2(outPipe[1], 1);
        dup2(errPipe[1], 2);
        ExecChild(argv, options.extraEnv, options.dropNetAdmin);
    }
    close(outPipe[1]);
    close(errPipe[1]);
    if (pid < 0) {
        close(outPipe[0]);
        close(errPipe[0]);
        return result;
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(options.timeoutMs);
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    int open = 2;
    bool killed = false;
    while (open > 0) {
        int ready = poll(fds, 2, 100);
        if (ready > 0) {
            for (int i = 0; i < 2; ++i) {
                if (fds[i].fd >= 0 && (fds[i].revents & (POLLIN | POLLHUP))) {
                    char buffer[4096];
                    ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
                    if (n > 0) {
                        sinks[i]->append(buffer, std::size_t(n));
                    } else {
                        close(fds[i].fd);
                        fds[i].fd = -1;
                        --open;
                    }
                }
            }
        }
        if (!killed && std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            killed = true;
        }
        // A daemon that inherited the pipes would hold them open: stop once the child is gone.
        siginfo_t info{};
        if (killed ||
            (ready == 0 && waitid(P_PID, id_t(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
             info.si_pid == pid)) {
            break;
        }
    }
    for (auto& fd : fds) {
        if (fd.fd >= 0) {
            close(fd.fd);
        }
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    result.status = Decode(status);
    result.maxRssKb = usage.ru_maxrss;
    return result;
}

Child::Child(const std::vector<std::string>& argv, const std::string& logPath,
             const std::vector<std::string>& extraEnv) {
    pid_ = fork();
    if (pid_ == 0) {
        setpgid(0, 0);
        int devnull = open("/dev/null", O_RDONLY);
        int log = open(logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        dup2(devnull, 0);
        dup2(log, 1);
        dup2(log, 2);
        ExecChild(argv, extraEnv, false);
    }
}

Child::~Child() {
    if (pid_ <= 0) {
        return;
    }
    kill(pid_, SIGTERM);
    bool gone = WaitFor([&] { return waitpid(pid_, nullptr, WNOHANG) == pid_; }, 3000, 20);
    if (!gone) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

bool Child::Running() {
    return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0;
}

bool WaitFor(const std::function<bool()>& condition, int timeoutMs, int stepMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (true) {
        if (condition()) {
            return true;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(stepMs));
    }
}

bool IsLive(pid_t pid) {
    std::string stat = ReadFile("/proc/" + std::to_string(pid) + "/stat");
    auto close = stat.rfind(')');
    return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] != 'Z' &&
           stat[close + 2] != 'X';
}

std::string BinDir() {
    return QUORV_BIN_DIR;
}

std::string CopyForOtherUsers(const std::string& program, const std::string& folder) {
    namespace fs = std::filesystem;
    fs::create_directories(folder);
    chmod(folder.c_str(), 0755);
    const std::string copy = folder + "/" + fs::path(program).filename().string();
    fs::copy_file(program, copy, fs::copy_options::overwrite_existing);
    chmod(copy.c_str(), 0755);
    return copy;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
}

}  // namespace quorv::systest
