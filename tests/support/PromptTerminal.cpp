#include "PromptTerminal.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>

#include <stdexcept>

namespace quorv::systest {

PromptTerminal::PromptTerminal(std::string reply) : reply_(std::move(reply)) {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
        throw std::runtime_error("no pseudo-terminal");
    }
    path_ = ptsname(master_);
    slave_ = open(path_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave_ < 0) {
        throw std::runtime_error("cannot open " + path_);
    }
    thread_ = std::thread([this] { Serve(); });
}

PromptTerminal::~PromptTerminal() {
    stop_ = true;
    thread_.join();
    close(slave_);
    close(master_);
}

int PromptTerminal::Count(const std::string& text, const std::string& what) {
    int count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) {
        ++count;
    }
    return count;
}

int PromptTerminal::Authentications() const {
    return Count(Transcript(), "==== AUTHENTICATING FOR");
}

int PromptTerminal::PasswordPrompts() const {
    return Count(Transcript(), "Password:");
}

std::string PromptTerminal::Transcript() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return transcript_;
}

void PromptTerminal::WaitForEchoOff() const {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    termios mode{};
    while (tcgetattr(slave_, &mode) == 0 && (mode.c_lflag & ECHO) != 0 &&
           std::chrono::steady_clock::now() < end) {
        usleep(10000);
    }
}

void PromptTerminal::Serve() {
    int answered = 0;
    while (!stop_) {
        pollfd fd{master_, POLLIN, 0};
        if (poll(&fd, 1, 100) <= 0 || (fd.revents & POLLIN) == 0) {
            continue;
        }
        char buffer[1024];
        const ssize_t n = read(master_, buffer, sizeof buffer);
        if (n <= 0) {
            continue;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        transcript_.append(buffer, static_cast<size_t>(n));
        for (int prompts = Count(transcript_, "Password:"); answered < prompts; ++answered) {
            // Typed before the agent turns echo off, the reply would be flushed with it.
            WaitForEchoOff();
            if (write(master_, reply_.data(), reply_.size()) < 0) {
                break;
            }
        }
    }
}

}  // namespace quorv::systest
