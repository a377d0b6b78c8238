#include "system/Subprocess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>
#include <thread>
#include <utility>

#include "system/ExitStatus.h"

extern char** environ;

namespace quorv::platform {

namespace {

// How long one wait lasts before the waiting work gets its turn.
constexpr int kWorkSliceMs = 15;
// Without a pidfd the end of the child is noticed by polling this often.
constexpr int kExitPollMs = 10;

thread_local const WhileWaiting* tInnermost = nullptr;

void Close(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

// Our end does not block; the child's end blocks like an ordinary standard stream.
bool OpenPipe(int ends[2]) {
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) {
        return false;
    }
    ::fcntl(ends[1], F_SETFL, 0);
    return true;
}

void Connect(posix_spawn_file_actions_t& actions, Sink sink, int pipeEnd, int target) {
    switch (sink) {
        case Sink::Discard:
            posix_spawn_file_actions_addopen(&actions, target, "/dev/null", O_WRONLY, 0);
            break;
        case Sink::Capture:
        case Sink::JoinStdout:
            posix_spawn_file_actions_adddup2(&actions, pipeEnd, target);
            break;
        case Sink::Inherit:
            break;
    }
}

// A caller that no longer waits must still collect the exit status.
void ReapLater(pid_t pid) noexcept {
    try {
        std::thread([pid] {
            int status = 0;
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
        }).detach();
    } catch (const std::system_error&) {
        // No thread to spare: a zombie until this program ends beats ending it now.
    }
}

// An anonymous file holding `text`, read from its start.
bool InputFile(const std::string& text, int& fd) {
    fd = ::memfd_create("stdin", MFD_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    for (size_t written = 0; written < text.size();) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        written += static_cast<size_t>(n);
    }
    return ::lseek(fd, 0, SEEK_SET) == 0;
}

int MillisecondsUntil(Subprocess::Clock::time_point until) {
    if (until == Subprocess::Clock::time_point::max()) {
        return -1;
    }
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(until - Subprocess::Clock::now())
            .count();
    return static_cast<int>(std::clamp<long long>(left, 0, 1 << 30));
}

int Shorter(int timeout, int limit) {
    return timeout < 0 ? limit : std::min(timeout, limit);
}

}  // namespace

Subprocess::Subprocess(const SpawnRequest& request) : keepBytes_(request.keepBytes) {
    if (request.args.empty() || request.args[0].empty()) {
        startError_ = "empty command line";
        return;
    }
    int out[2] = {-1, -1};
    int err[2] = {-1, -1};
    if ((request.output == Sink::Capture && !OpenPipe(out)) ||
        (request.errors == Sink::Capture && !OpenPipe(err))) {
        startError_ = std::strerror(errno);
        for (int* fd : {&out[0], &out[1], &err[0], &err[1]}) {
            Close(*fd);
        }
        return;
    }

    int input = -1;
    if (!request.input.empty() && !InputFile(request.input, input)) {
        startError_ = std::strerror(errno);
        for (int* fd : {&out[0], &out[1], &err[0], &err[1], &input}) {
            Close(*fd);
        }
        return;
    }

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (input >= 0) {
        posix_spawn_file_actions_adddup2(&actions, input, 0);
    } else {
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    }
    Connect(actions, request.output, out[1], 1);
    Connect(actions, request.errors, request.errors == Sink::JoinStdout ? 1 : err[1], 2);
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);

    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &all);
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    if (request.ownSession) {
        flags |= POSIX_SPAWN_SETSID;
    }
    posix_spawnattr_setflags(&attr, flags);

    std::vector<std::string> copies = request.args;
    std::vector<char*> argv;
    for (std::string& a : copies) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);

    pid_t pid = -1;
    const int rc = ::posix_spawn(&pid, argv[0], &actions, &attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    Close(out[1]);
    Close(err[1]);
    Close(input);
    output_.fd = out[0];
    errors_.fd = err[0];
    if (rc != 0) {
        startError_ = std::strerror(rc);
        Close(output_.fd);
        Close(errors_.fd);
        return;
    }
    pid_ = pid;
    pidFd_ = static_cast<int>(::syscall(SYS_pidfd_open, pid_, 0));
}

Subprocess::~Subprocess() {
    Close(output_.fd);
    Close(errors_.fd);
    Close(pidFd_);
    if (Started() && !ended_) {
        ReapLater(pid_);
    }
}

void Subprocess::Read(Pipe& pipe) {
    char chunk[65536];
    while (pipe.fd >= 0) {
        const ssize_t n = ::read(pipe.fd, chunk, sizeof chunk);
        if (n > 0) {
            const size_t room = keepBytes_ - std::min(keepBytes_, pipe.text.size());
            pipe.text.append(chunk, std::min(static_cast<size_t>(n), room));
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            if (n == 0 || errno != EAGAIN) {
                Close(pipe.fd);
            }
            return;
        }
    }
}

void Subprocess::TakeAvailable() {
    Read(output_);
    Read(errors_);
}

bool Subprocess::Reap() {
    int status = 0;
    pid_t done;
    do {
        done = ::waitpid(pid_, &status, WNOHANG);
    } while (done < 0 && errno == EINTR);
    if (done == pid_) {
        exitCode_ = ExitCodeOf(status);
        ended_ = true;
    } else if (done < 0) {
        // ECHILD: somebody else collected it; it has ended all the same.
        ended_ = true;
    }
    return ended_;
}

bool Subprocess::WaitUntil(Clock::time_point until, const std::function<bool()>& enough) {
    if (!Started() || ended_) {
        return ended_;
    }
    const std::function<void()>* work = WhileWaiting::Current();
    for (;;) {
        pollfd fds[3];
        nfds_t count = 0;
        for (int fd : {output_.fd, errors_.fd, pidFd_}) {
            if (fd >= 0) {
                fds[count++] = {fd, POLLIN, 0};
            }
        }
        int timeout = MillisecondsUntil(until);
        if (work != nullptr) {
            timeout = Shorter(timeout, kWorkSliceMs);
        }
        if (pidFd_ < 0) {
            timeout = Shorter(timeout, kExitPollMs);
        }
        // Interruptions and errors only end this slice; waitpid decides.
        (void)::poll(fds, count, timeout);
        TakeAvailable();
        if (work != nullptr) {
            (*work)();
        }
        if (Reap()) {
            return true;
        }
        if ((enough && enough()) || Clock::now() >= until) {
            return false;
        }
    }
}

int Subprocess::Wait() {
    WaitUntil(Clock::time_point::max());
    return exitCode_;
}

void Subprocess::Kill() {
    if (!Started() || ended_) {
        return;
    }
    ::kill(pid_, SIGKILL);
    int status = 0;
    pid_t done;
    do {
        done = ::waitpid(pid_, &status, 0);
    } while (done < 0 && errno == EINTR);
    exitCode_ = done == pid_ ? ExitCodeOf(status) : -1;
    ended_ = true;
}

WhileWaiting::WhileWaiting(std::function<void()> work)
    : work_(std::move(work)), outer_(tInnermost) {
    tInnermost = this;
}

WhileWaiting::~WhileWaiting() {
    tInnermost = outer_;
}

const std::function<void()>* WhileWaiting::Current() {
    return tInnermost != nullptr && tInnermost->work_ ? &tInnermost->work_ : nullptr;
}

}  // namespace quorv::platform
