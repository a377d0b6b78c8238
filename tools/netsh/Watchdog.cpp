#include "netsh/Watchdog.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/random.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "system/PendingProtocol.h"

namespace quorv::netsh {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// A client that says nothing holds the watchdog up this long at most.
constexpr auto kRequestWait = 1000ms;

volatile sig_atomic_t stopped = 0;

void OnStop(int) {
    stopped = 1;
}

std::string RandomId() {
    unsigned char bytes[16];
    std::size_t got = 0;
    while (got < sizeof bytes) {
        ssize_t n = getrandom(bytes + got, sizeof bytes - got, 0);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            throw NetshError(std::string("no random ID: ") + std::strerror(errno));
        }
        got += std::size_t(n);
    }
    std::string id;
    for (unsigned char b : bytes) {
        static const char* kHex = "0123456789abcdef";
        id += kHex[b >> 4];
        id += kHex[b & 15];
    }
    return id;
}

// Only under pkexec is the caller someone other than whoever runs netsh; an ordinary user
// cannot name someone else by setting PKEXEC_UID.
uid_t ApplyingUser() {
    const char* pkexec = std::getenv("PKEXEC_UID");
    if (getuid() == 0 && pkexec && *pkexec) {
        char* end = nullptr;
        unsigned long uid = std::strtoul(pkexec, &end, 10);
        if (*end == '\0' && uid < 0xffffffffUL) {
            return uid_t(uid);
        }
    }
    return getuid();
}

int Listen(const std::string& id) {
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        throw NetshError(std::string("no socket: ") + std::strerror(errno));
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string name = std::string(platform::kPendingSocketPrefix) + id;
    std::memcpy(address.sun_path + 1, name.data(), name.size());
    const auto length = socklen_t(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 || listen(fd, 8) != 0) {
        int error = errno;
        close(fd);
        throw NetshError(std::string("the watchdog's socket: ") + std::strerror(error));
    }
    return fd;
}

// Whatever was open in netsh (the caller's pipes, the parent's bus connection) is not the
// watchdog's: a pipe held open would keep the caller waiting for netsh's end.
void Detach(int keep, int alsoKeep) {
    setsid();
    if (chdir("/") != 0) {
        // Stays where it was; only unmounting that folder would notice.
    }
    int null = open("/dev/null", O_RDWR | O_CLOEXEC);
    if (null >= 0) {
        dup2(null, 0);
        dup2(null, 1);
        dup2(null, 2);
    }
    for (int fd = 3; fd < 1024; ++fd) {
        if (fd != keep && fd != alsoKeep) {
            close(fd);
        }
    }
    struct sigaction stop {};
    stop.sa_handler = OnStop;  // no SA_RESTART: the wait below must end
    sigaction(SIGTERM, &stop, nullptr);
    sigaction(SIGINT, &stop, nullptr);
    sigaction(SIGHUP, &stop, nullptr);
    signal(SIGPIPE, SIG_IGN);
}

std::string Restored(Snapshot& snapshot) {
    try {
        return "restored: " + snapshot.Restore();
    } catch (const std::exception& e) {
        return std::string("failed: ") + e.what();
    }
}

// True once the change is settled.
bool Answer(int client, Snapshot& snapshot, const std::string& ifname, uid_t owner,
            Clock::time_point deadline, const std::string& broken) {
    // The request is read first even from strangers: closing on a line unread would cut off
    // the answer before the client has finished writing.
    auto request = platform::ReadPendingLine(client, kRequestWait);
    if (!request) {
        return false;
    }
    ucred peer{};
    socklen_t size = sizeof peer;
    if (getsockopt(client, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 ||
        (peer.uid != 0 && peer.uid != owner)) {
        platform::WritePendingLine(client, "failed: not yours");
        return false;
    }
    if (*request == "status") {
        auto left = std::chrono::ceil<std::chrono::seconds>(deadline - Clock::now()).count();
        platform::WritePendingLine(client,
                                   "pending " + ifname + " " + std::to_string(left < 0 ? 0 : left));
        return false;
    }
    if (*request == "keep") {
        if (!broken.empty()) {
            platform::WritePendingLine(client, "failed: " + broken);
            return false;
        }
        try {
            snapshot.Drop();
        } catch (const std::exception& e) {
            // Still pending: the deadline or a later request settles it.
            platform::WritePendingLine(client, std::string("failed: ") + e.what());
            return false;
        }
        platform::WritePendingLine(client, "kept");
        return true;
    }
    if (*request == "restore") {
        platform::WritePendingLine(client,
                                   broken.empty() ? Restored(snapshot) : "failed: " + broken);
        return true;
    }
    platform::WritePendingLine(client, "failed: unknown request");
    return false;
}

[[noreturn]] void Serve(int listener, Snapshot& snapshot, const std::string& ifname, uid_t owner,
                        Clock::time_point deadline) {
    std::string broken;
    try {
        snapshot.Reopen();
    } catch (const std::exception& e) {
        broken = e.what();
    }
    for (;;) {
        auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (stopped || left.count() <= 0) {
            if (broken.empty()) {
                Restored(snapshot);
            }
            _exit(0);
        }
        pollfd p{listener, POLLIN, 0};
        if (poll(&p, 1, int(left.count())) <= 0) {
            continue;
        }
        int client = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) {
            continue;
        }
        timeval send{1, 0};
        setsockopt(client, SOL_SOCKET, SO_SNDTIMEO, &send, sizeof send);
        bool settled = Answer(client, snapshot, ifname, owner, deadline, broken);
        close(client);
        if (settled) {
            _exit(0);
        }
    }
}

}  // namespace

std::string LeaveWatchdog(Snapshot& snapshot, const std::string& ifname, int seconds) {
    const std::string id = RandomId();
    const int listener = Listen(id);
    const uid_t owner = ApplyingUser();
    const auto deadline = Clock::now() + std::chrono::seconds(seconds);
    // What the report has buffered must not be written twice.
    std::fflush(stdout);
    std::fflush(stderr);
    pid_t pid = fork();
    if (pid < 0) {
        int error = errno;
        close(listener);
        throw NetshError(std::string("no watchdog: ") + std::strerror(error));
    }
    if (pid == 0) {
        Detach(listener, snapshot.HeldDescriptor());
        Serve(listener, snapshot, ifname, owner, deadline);
    }
    close(listener);
    return id;
}

}  // namespace quorv::netsh
