#include "system/PendingProtocol.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <sstream>

namespace quorv::platform {

bool IsPendingId(std::string_view id) {
    return id.size() == 32 && std::all_of(id.begin(), id.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

std::vector<std::string> PendingIdsIn(std::string_view text) {
    // Only listening sockets count: a watchdog's accepted connections carry its name too.
    constexpr unsigned long kAcceptCon = 0x10000;
    std::vector<std::string> ids;
    std::istringstream in{std::string(text)};
    std::string line;
    std::getline(in, line);  // the column names
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string slot, refs, protocol, flags, type, state, inode, path;
        if (!(fields >> slot >> refs >> protocol >> flags >> type >> state >> inode >> path)) {
            continue;
        }
        unsigned long bits = 0;
        auto [end, error] = std::from_chars(flags.data(), flags.data() + flags.size(), bits, 16);
        if (error != std::errc() || end != flags.data() + flags.size() || !(bits & kAcceptCon)) {
            continue;
        }
        const std::string prefix = "@" + std::string(kPendingSocketPrefix);
        if (path.rfind(prefix, 0) != 0) {
            continue;
        }
        std::string id = path.substr(prefix.size());
        if (IsPendingId(id) && std::find(ids.begin(), ids.end(), id) == ids.end()) {
            ids.push_back(id);
        }
    }
    return ids;
}

std::optional<PendingChange> ParseStatus(const std::string& id, std::string_view line) {
    std::istringstream in{std::string(line)};
    std::string word, ifname, seconds, extra;
    if (!(in >> word >> ifname >> seconds) || (in >> extra) || word != "pending") {
        return std::nullopt;
    }
    PendingChange change{id, ifname, 0};
    auto [end, error] =
        std::from_chars(seconds.data(), seconds.data() + seconds.size(), change.secondsLeft);
    if (error != std::errc() || end != seconds.data() + seconds.size() || change.secondsLeft < 0) {
        return std::nullopt;
    }
    return change;
}

PendingAnswer ParseAnswer(std::string_view line) {
    PendingAnswer answer;
    constexpr std::string_view kRestored = "restored: ";
    constexpr std::string_view kFailed = "failed: ";
    if (line == "kept") {
        answer.done = true;
    } else if (line.substr(0, kRestored.size()) == kRestored) {
        answer.done = true;
        answer.restored = std::string(line.substr(kRestored.size()));
    } else if (line == "restored:") {
        answer.done = true;  // nothing came back, yet the watchdog is done
    } else if (line.substr(0, kFailed.size()) == kFailed && line.size() > kFailed.size()) {
        answer.error = std::string(line.substr(kFailed.size()));
    } else {
        answer.error =
            "the watchdog gave an answer of another kind: " + std::string(line.substr(0, 64));
    }
    return answer;
}

std::optional<std::string> ReadPendingLine(int fd, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::string line;
    for (;;) {
        // Rounded up, so that a wait never ends before its deadline.
        auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline -
                                                                 std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return std::nullopt;
        }
        pollfd p{fd, POLLIN, 0};
        int r = poll(&p, 1, int(left.count()));
        if (r < 0 && errno == EINTR) {
            continue;
        }
        if (r <= 0) {
            return std::nullopt;
        }
        // Byte by byte, so that nothing after the line is taken from the socket.
        char c = 0;
        ssize_t n = recv(fd, &c, 1, MSG_DONTWAIT);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
            continue;
        }
        if (n <= 0) {
            return std::nullopt;
        }
        if (c == '\n') {
            return line;
        }
        if (line.size() >= kPendingLineMax) {
            return std::nullopt;
        }
        line += c;
    }
}

bool WritePendingLine(int fd, const std::string& text) {
    std::string all = text + "\n";
    std::size_t sent = 0;
    while (sent < all.size()) {
        ssize_t n = send(fd, all.data() + sent, all.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        sent += std::size_t(n);
    }
    return true;
}

}  // namespace quorv::platform
