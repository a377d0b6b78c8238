#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace quorv::platform {

// Whether the gateway and DNS servers of newly applied settings answer. Unprivileged: no raw
// sockets, no root.
struct ReachTarget {
    enum class Kind { Gateway, Dns };
    Kind kind = Kind::Gateway;
    std::string address;  // dotted quad
};

struct ReachResult {
    ReachTarget target;
    bool answers = false;
};

// Asks every target at once, one question each (a gateway: an ICMP echo where unprivileged
// ping sockets are allowed, else whether the neighbour table resolves it; a DNS server: one
// UDP query); returns once all answered or timeout passed, in the order given.
std::vector<ReachResult> CheckReachable(const std::vector<ReachTarget>& targets,
                                        std::chrono::milliseconds timeout);

}  // namespace quorv::platform
