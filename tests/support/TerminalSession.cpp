#include "TerminalSession.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

#include "ChildProcess.h"

namespace quorv::systest {

TerminalSession::TerminalSession(const std::vector<std::string>& argv,
                                 const std::vector<std::string>& extraEnv) {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) {
        throw std::runtime_error("no pty");
    }
    const std::string slave = ::ptsname(master_);
    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ < 0) {
        throw std::runtime_error("fork failed");
    }
    if (pid_ == 0) {
        ::setsid();
        const int fd = ::open(slave.c_str(), O_RDWR);
        if (fd < 0) {
            ::_exit(127);
        }
        ::ioctl(fd, TIOCSCTTY, 0);
        ::dup2(fd, 0);
        ::dup2(fd, 1);
        ::dup2(fd, 2);
        if (fd > 2) {
            ::close(fd);
        }
        for (const std::string& entry : extraEnv) {
            ::putenv(const_cast<char*>(entry.c_str()));
        }
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    reader_ = std::thread([this] { Read(); });
}

TerminalSession::~TerminalSession() {
    if (!reaped_) {
        ::kill(pid_, SIGKILL);
        Wait(5000);
    }
    ::close(master_);
    reader_.join();
}

void TerminalSession::Read() {
    char buffer[512];
    for (;;) {
        pollfd fd{master_, POLLIN, 0};
        if (::poll(&fd, 1, 100) < 0 && errno != EINTR) {
            return;
        }
        if ((fd.revents & POLLNVAL) != 0) {
            return;
        }
        if ((fd.revents & (POLLIN | POLLHUP | POLLERR)) == 0) {
            continue;
        }
        const ssize_t n = ::read(master_, buffer, sizeof buffer);
        if (n <= 0) {
            // EIO once the last holder of the terminal is gone.
            if (n < 0 && errno == EINTR) {
                continue;
            }
            return;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        transcript_.append(buffer, size_t(n));
    }
}

bool TerminalSession::WaitForText(const std::string& text, int timeoutMs) const {
    return WaitFor([&] { return Transcript().find(text) != std::string::npos; }, timeoutMs);
}

void TerminalSession::Type(const std::string& keys) const {
    [[maybe_unused]] ssize_t n = ::write(master_, keys.data(), keys.size());
}

int TerminalSession::Wait(int timeoutMs) {
    if (reaped_) {
        return status_;
    }
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(pid_, &status, WNOHANG);
        if (done == pid_) {
            reaped_ = true;
            status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            return status_;
        }
        if (std::chrono::steady_clock::now() >= until) {
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

std::string TerminalSession::Transcript() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return transcript_;
}

}  // namespace quorv::systest
