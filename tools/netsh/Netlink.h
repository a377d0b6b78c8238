#pragma once

#include <optional>
#include <string>
#include <vector>

#include "netsh/AddressParsing.h"

struct nl_sock;
struct nlmsgerr;
struct sockaddr_nl;

namespace quorv::netsh {

struct AddressEntry {
    Ipv4 address = 0;
    int prefix = 0;
};

struct RouteEntry {
    int ifindex = 0;
    Ipv4 gateway = 0;
    unsigned metric = 0;
    bool onlink = false;   // the gateway is reached on the link, outside every subnet
    Ipv4 destination = 0;  // with prefix 0: the default route
    int prefix = 0;
    unsigned char scope = 0;     // RT_SCOPE_UNIVERSE; a route without a gateway may be link-scoped
    bool byKernel = false;       // made by the kernel for an address, and gone or back with it
    bool multipath = false;      // more next hops than this entry holds
    unsigned char protocol = 0;  // who made it; 0: set by hand (static)
};

// Route-netlink changes for one command. Kernel refusals become NetshError with the kernel's own
// words (errno text and, where the kernel gives one, its extended-ack message).
class RouteSocket {
  public:
    RouteSocket();
    ~RouteSocket();
    RouteSocket(const RouteSocket&) = delete;
    RouteSocket& operator=(const RouteSocket&) = delete;

    // Nothing when no interface has that name (names the kernel could never accept included).
    std::optional<int> LinkIndex(const std::string& name, bool* loopback = nullptr);
    void SetLinkUp(int ifindex, bool up = true);
    // The administrative state, as "ip link set up/down" leaves it.
    bool LinkIsUp(int ifindex);

    std::vector<AddressEntry> Ipv4Addresses(int ifindex);
    // lifetimeSeconds: 0 for good; else the kernel drops the address when it runs out, and
    // readers see it as leased rather than set by hand.
    void AddAddress(int ifindex, AddressEntry entry, bool replace,
                    std::uint32_t lifetimeSeconds = 0);
    void DeleteAddress(int ifindex, AddressEntry entry);

    // IPv4 unicast routes of the main table; of a multipath route only the first next hop.
    std::vector<RouteEntry> Ipv4Routes();
    // Only those of Ipv4Routes to 0.0.0.0/0.
    std::vector<RouteEntry> DefaultRoutes();
    // Adds or replaces the route to route.destination/prefix with its metric.
    void ReplaceRoute(const RouteEntry& route);
    // A route already gone is no error.
    void DeleteRoute(const RouteEntry& route);
    // As set by hand, whoever made the route given.
    void ReplaceDefaultRoute(RouteEntry route);
    void DeleteDefaultRoute(RouteEntry route);

  private:
    static int OnError(sockaddr_nl*, nlmsgerr* err, void* self);
    [[noreturn]] void Fail(int nlError);
    void ResetError();

    nl_sock* sock_ = nullptr;
    int kernelErrno_ = 0;
    std::string kernelMessage_;
};

// True when the interface name is one the kernel could hold at all.
bool IsPlausibleInterfaceName(const std::string& name);

}  // namespace quorv::netsh
