#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quorv::inventory {

// One adapter's IPv4 settings as they are now, in the terms a profile uses.
struct LiveAdapter {
    std::string name;
    bool carrier = false;
    bool dhcp = false;  // NetworkManager's method, else a kernel address with a lease lifetime
    struct Address {
        std::string address;
        std::string mask;
        bool operator==(const Address&) const = default;
    };
    std::vector<Address> addresses;  // kernel order, the primary first
    std::string gateway;             // the first default route through it; empty for none
    std::vector<std::string> dns;    // in the resolver's order
    // True when `dns` is this adapter's own (NetworkManager); false when it is the system
    // resolver's list, which holds every adapter's servers.
    bool dnsOwn = false;

    bool operator==(const LiveAdapter&) const = default;
};

struct LiveState {
    std::vector<LiveAdapter> adapters;  // loopback left out
    // The user's default printer; nothing when CUPS cannot be asked, "" when there is none.
    std::optional<std::string> defaultPrinter;

    const LiveAdapter* Find(const std::string& name) const;
    bool operator==(const LiveState&) const = default;
};

// Reads the interfaces (netlink), NetworkManager's view of the devices it manages, the
// resolver's servers and the default printer. Throws quorv::Exception when netlink cannot be
// read; the other sources are left out when they do not answer.
LiveState ReadLiveState();

// The same without asking CUPS (a second or more when the scheduler hangs): for readers that
// do not need the printer, such as a capture for another adapter.
LiveState ReadLiveNetwork();

}  // namespace quorv::inventory
