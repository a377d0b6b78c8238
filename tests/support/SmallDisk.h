#pragma once

#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

namespace quorv::testing {

// Runs `body` in a child process that sees `folder` as a 64 KiB disk of its own (a tmpfs in
// a private mount namespace, so nothing else sees it) and returns what body returned.
// Needs root; "setup failed" when the disk could not be made.
inline std::string OnSmallDisk(const std::string& folder,
                               const std::function<std::string()>& body) {
    int fds[2];
    if (::pipe(fds) != 0) {
        return "setup failed";
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        std::string report = "setup failed";
        if (::unshare(CLONE_NEWNS) == 0 &&
            ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
            ::mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=64k") == 0) {
            report = body();
        }
        [[maybe_unused]] ssize_t n = ::write(fds[1], report.data(), report.size());
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string report;
    char buffer[512];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) {
        report.append(buffer, static_cast<size_t>(n));
    }
    ::close(fds[0]);
    if (child > 0) {
        ::waitpid(child, nullptr, 0);
    }
    return report;
}

}  // namespace quorv::testing
