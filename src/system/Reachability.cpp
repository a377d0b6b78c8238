#include "system/Reachability.h"

#include <arpa/inet.h>
#include <linux/neighbour.h>
#include <netinet/in.h>
#include <netinet/ip_icmp.h>
#include <netlink/cache.h>
#include <netlink/netlink.h>
#include <netlink/route/neighbour.h>
#include <poll.h>
#include <sys/random.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>
#include <utility>

#include "system/DnsQuery.h"

namespace quorv::platform {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// The neighbour table is read again this often while an address is being resolved.
constexpr milliseconds kNeighbourPoll{50};
constexpr std::uint16_t kDiscardPort = 9;
constexpr std::uint16_t kDnsPort = 53;

class Fd {
  public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Fd& operator=(Fd&& other) noexcept {
        std::swap(fd_, other.fd_);
        return *this;
    }
    ~Fd() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    int get() const { return fd_; }

  private:
    int fd_ = -1;
};

enum class Way { Ping, Neighbour, Dns };

struct Probe {
    Way way = Way::Dns;
    in_addr address{};
    Fd fd;
    std::uint16_t tag = 0;  // the echo's sequence number or the query's id
    bool settled = false;
    bool answers = false;

    void Settle(bool yes) {
        settled = true;
        answers = yes;
    }
};

std::uint16_t RandomTag() {
    std::uint16_t tag = 0;
    if (getrandom(&tag, sizeof tag, GRND_NONBLOCK) != sizeof tag) {
        tag = std::uint16_t(Clock::now().time_since_epoch().count());
    }
    return tag;
}

sockaddr_in SocketAddress(in_addr address, std::uint16_t port) {
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr = address;
    sa.sin_port = htons(port);
    return sa;
}

// A connected socket hears only its own target; an error on it is the target's.
Fd Connected(int type, int protocol, in_addr address, std::uint16_t port) {
    Fd fd(socket(AF_INET, type | SOCK_NONBLOCK | SOCK_CLOEXEC, protocol));
    if (fd.get() < 0) {
        return fd;
    }
    sockaddr_in sa = SocketAddress(address, port);
    if (connect(fd.get(), reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
        return Fd();
    }
    return fd;
}

bool SendAll(const Fd& fd, const void* data, size_t size) {
    return fd.get() >= 0 && send(fd.get(), data, size, MSG_NOSIGNAL) == ssize_t(size);
}

// An unprivileged ping socket, or the reason it was refused.
Fd PingSocket(in_addr address, int& error) {
    Fd fd(socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_ICMP));
    error = fd.get() < 0 ? errno : 0;
    if (fd.get() < 0) {
        return fd;
    }
    sockaddr_in sa = SocketAddress(address, 0);
    if (connect(fd.get(), reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
        error = errno;
        return Fd();
    }
    return fd;
}

bool PingRefused(int error) {
    return error == EACCES || error == EPERM || error == EPROTONOSUPPORT || error == EAFNOSUPPORT ||
           error == ESOCKTNOSUPPORT;
}

void StartGateway(Probe& probe) {
    int error = 0;
    probe.fd = PingSocket(probe.address, error);
    if (probe.fd.get() >= 0) {
        probe.way = Way::Ping;
        probe.tag = RandomTag();
        // The kernel fills in the identifier and the checksum of a ping socket's echo.
        icmphdr echo{};
        echo.type = ICMP_ECHO;
        echo.un.echo.sequence = htons(probe.tag);
        if (!SendAll(probe.fd, &echo, sizeof echo)) {
            probe.Settle(false);
        }
        return;
    }
    if (!PingRefused(error)) {
        probe.Settle(false);
        return;
    }
    // Any datagram makes the kernel resolve the address; the table then tells whether it did.
    probe.way = Way::Neighbour;
    Fd udp = Connected(SOCK_DGRAM, 0, probe.address, kDiscardPort);
    const char nothing = 0;
    if (!SendAll(udp, &nothing, 1)) {
        probe.Settle(false);
    }
}

void StartDns(Probe& probe) {
    probe.way = Way::Dns;
    probe.tag = RandomTag();
    probe.fd = Connected(SOCK_DGRAM, 0, probe.address, kDnsPort);
    const std::vector<std::uint8_t> query = DnsRootQuery(probe.tag);
    if (!SendAll(probe.fd, query.data(), query.size())) {
        probe.Settle(false);
    }
}

bool IsEchoReply(const std::uint8_t* data, size_t size, std::uint16_t sequence) {
    icmphdr reply{};
    if (size < sizeof reply) {
        return false;
    }
    std::memcpy(&reply, data, sizeof reply);
    return reply.type == ICMP_ECHOREPLY && reply.code == 0 &&
           ntohs(reply.un.echo.sequence) == sequence;
}

// Everything waiting on the probe's socket; malformed and foreign datagrams are dropped.
void Drain(Probe& probe) {
    std::uint8_t buffer[1500];
    while (!probe.settled) {
        const ssize_t n = recv(probe.fd.get(), buffer, sizeof buffer, 0);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            if (errno != EAGAIN && errno != EWOULDBLOCK) {
                probe.Settle(false);  // refused or unreachable
            }
            return;
        }
        const bool matches = probe.way == Way::Ping ? IsEchoReply(buffer, size_t(n), probe.tag)
                                                    : IsDnsReplyTo(buffer, size_t(n), probe.tag);
        if (matches) {
            probe.Settle(true);
        }
    }
}

struct SockFree {
    void operator()(nl_sock* s) const { nl_socket_free(s); }
};
struct CacheFree {
    void operator()(nl_cache* c) const { nl_cache_free(c); }
};

// The kernel's IPv4 neighbour table, read afresh on each Refresh.
class NeighbourTable {
  public:
    bool Refresh() {
        if (!sock_) {
            sock_.reset(nl_socket_alloc());
            if (!sock_ || nl_connect(sock_.get(), NETLINK_ROUTE) < 0) {
                return false;
            }
        }
        if (!cache_) {
            nl_cache* raw = nullptr;
            if (rtnl_neigh_alloc_cache(sock_.get(), &raw) < 0) {
                return false;
            }
            cache_.reset(raw);
            return true;
        }
        return nl_cache_refill(sock_.get(), cache_.get()) >= 0;
    }

    // True: resolved; false: resolution failed; nothing: not decided yet.
    std::optional<bool> Resolved(in_addr address) const {
        bool failed = false;
        for (nl_object* obj = nl_cache_get_first(cache_.get()); obj; obj = nl_cache_get_next(obj)) {
            auto* neigh = reinterpret_cast<rtnl_neigh*>(obj);
            nl_addr* dst = rtnl_neigh_get_dst(neigh);
            if (rtnl_neigh_get_family(neigh) != AF_INET || !dst ||
                nl_addr_get_len(dst) != sizeof address ||
                std::memcmp(nl_addr_get_binary_addr(dst), &address, sizeof address) != 0) {
                continue;
            }
            const int state = rtnl_neigh_get_state(neigh);
            // A static entry is never probed; it is taken at its word.
            if (state & (NUD_REACHABLE | NUD_STALE | NUD_DELAY | NUD_PROBE | NUD_PERMANENT)) {
                return true;
            }
            failed = failed || (state & NUD_FAILED) != 0;
        }
        if (failed) {
            return false;
        }
        return std::nullopt;
    }

  private:
    std::unique_ptr<nl_sock, SockFree> sock_;
    std::unique_ptr<nl_cache, CacheFree> cache_;
};

}  // namespace

std::vector<ReachResult> CheckReachable(const std::vector<ReachTarget>& targets,
                                        std::chrono::milliseconds timeout) {
    const Clock::time_point deadline = Clock::now() + std::max(timeout, milliseconds(0));
    std::vector<Probe> probes(targets.size());
    for (size_t i = 0; i < targets.size(); ++i) {
        Probe& probe = probes[i];
        if (inet_pton(AF_INET, targets[i].address.c_str(), &probe.address) != 1) {
            probe.Settle(false);
        } else if (targets[i].kind == ReachTarget::Kind::Gateway) {
            StartGateway(probe);
        } else {
            StartDns(probe);
        }
    }

    NeighbourTable table;
    for (;;) {
        const auto open = [](const Probe& p) { return !p.settled; };
        const Clock::time_point now = Clock::now();
        if (std::none_of(probes.begin(), probes.end(), open) || now >= deadline) {
            break;
        }
        std::vector<pollfd> fds;
        std::vector<Probe*> owners;
        bool resolving = false;
        for (Probe& probe : probes) {
            if (probe.settled) {
                continue;
            }
            if (probe.way == Way::Neighbour) {
                resolving = true;
            } else {
                fds.push_back({probe.fd.get(), POLLIN, 0});
                owners.push_back(&probe);
            }
        }
        auto wait = std::chrono::duration_cast<milliseconds>(deadline - now) + milliseconds(1);
        if (resolving) {
            wait = std::min(wait, kNeighbourPoll);
        }
        if (poll(fds.data(), fds.size(), int(wait.count())) < 0 && errno != EINTR) {
            break;
        }
        for (size_t i = 0; i < fds.size(); ++i) {
            if (fds[i].revents != 0) {
                Drain(*owners[i]);
            }
        }
        if (resolving && table.Refresh()) {
            for (Probe& probe : probes) {
                if (!probe.settled && probe.way == Way::Neighbour) {
                    if (std::optional<bool> resolved = table.Resolved(probe.address)) {
                        probe.Settle(*resolved);
                    }
                }
            }
        }
    }

    std::vector<ReachResult> results;
    results.reserve(targets.size());
    for (size_t i = 0; i < targets.size(); ++i) {
        results.push_back({targets[i], probes[i].answers});
    }
    return results;
}

}  // namespace quorv::platform
