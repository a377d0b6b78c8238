#include "system/PendingChange.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <fstream>
#include <sstream>

#include "system/PendingProtocol.h"

namespace quorv::platform {
namespace {

using namespace std::chrono_literals;

// A restore may wait for a DHCP lease or for NetworkManager to bring the device back.
constexpr auto kStatusWait = 2s;
constexpr auto kKeepWait = 30s;
constexpr auto kRestoreWait = 90s;

class Connection {
  public:
    ~Connection() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    int fd_ = -1;
};

// The watchdog's answer to one request; error set when there was none to trust.
std::string Ask(const std::string& id, const std::string& request, std::chrono::milliseconds wait,
                std::string& error) {
    if (!IsPendingId(id)) {
        error = "\"" + id.substr(0, 40) + "\" is not the ID of a pending change";
        return {};
    }
    Connection c;
    c.fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (c.fd_ < 0) {
        error = std::strerror(errno);
        return {};
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string name = std::string(kPendingSocketPrefix) + id;
    std::memcpy(address.sun_path + 1, name.data(), name.size());
    const auto length = socklen_t(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    if (connect(c.fd_, reinterpret_cast<sockaddr*>(&address), length) != 0) {
        error = errno == ECONNREFUSED || errno == ENOENT
                    ? "no change " + id + " is waiting to be kept or restored"
                    : std::string(std::strerror(errno));
        return {};
    }
    // Anyone may bind a name like ours; only root's or our own watchdog is believed.
    ucred peer{};
    socklen_t size = sizeof peer;
    if (getsockopt(c.fd_, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 ||
        (peer.uid != 0 && peer.uid != getuid())) {
        error = "the socket of change " + id + " belongs to another user";
        return {};
    }
    // A watchdog that already answered and left is still heard out.
    const bool sent = WritePendingLine(c.fd_, request);
    auto line = ReadPendingLine(c.fd_, wait);
    if (!line && !sent) {
        error = "the watchdog of change " + id + " went away";
        return {};
    }
    if (!line) {
        error = "the watchdog of change " + id + " did not answer";
        return {};
    }
    return *line;
}

PendingAnswer Settle(const std::string& id, const std::string& request,
                     std::chrono::milliseconds wait) {
    std::string error;
    std::string line = Ask(id, request, wait, error);
    if (!error.empty()) {
        return PendingAnswer{false, {}, error};
    }
    return ParseAnswer(line);
}

}  // namespace

std::vector<PendingChange> ListPendingChanges() {
    std::ifstream file("/proc/net/unix");
    std::stringstream text;
    text << file.rdbuf();
    std::vector<PendingChange> out;
    for (const std::string& id : PendingIdsIn(text.str())) {
        std::string error;
        std::string line = Ask(id, "status", kStatusWait, error);
        if (error.empty()) {
            // Another user's watchdog says "failed: not yours" and is left out.
            if (auto change = ParseStatus(id, line)) {
                out.push_back(*change);
            }
        }
    }
    return out;
}

PendingAnswer KeepPendingChange(const std::string& id) {
    return Settle(id, "keep", kKeepWait);
}

PendingAnswer RestorePendingChange(const std::string& id) {
    return Settle(id, "restore", kRestoreWait);
}

}  // namespace quorv::platform
