#include "netsh/DhcpHook.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <sstream>
#include <vector>

#include "core/ProfileChecks.h"
#include "netsh/Command.h"
#include "netsh/InterfaceState.h"
#include "netsh/Netlink.h"
#include "netsh/Resolver.h"

namespace quorv::netsh {
namespace {

// DHCP options come from the network: they pass the checks netsh applies to the same values.
std::vector<std::string> AddressList(const std::optional<std::string>& text, bool (*usable)(Ipv4),
                                     std::size_t limit = SIZE_MAX) {
    std::vector<std::string> out;
    if (!text) {
        return out;
    }
    std::istringstream in(*text);
    std::string item;
    while (out.size() < limit && in >> item) {
        auto address = ParseIpv4(item);
        if (address && usable(*address)) {
            out.push_back(item);
        }
    }
    return out;
}

bool AnyAddress(Ipv4) {
    return true;
}

// A new address must be one netsh would set; an old one only has to be found for removal.
std::optional<AddressEntry> Address(const Environment& env, const std::string& prefix) {
    auto address = ParseIpv4(env(prefix + "ip_address").value_or(""));
    auto mask = ParseIpv4(env(prefix + "subnet_mask").value_or(""));
    std::optional<int> length = mask ? apply::SubnetPrefix(*mask) : std::nullopt;
    if (!address || !length) {
        return std::nullopt;
    }
    bool fresh = prefix == "new_";
    if (fresh && (!apply::IsHostAddress(*address) || !apply::IsHostInSubnet(*address, *length))) {
        return std::nullopt;
    }
    return AddressEntry{*address, *length};
}

std::string CleanDomain(const std::optional<std::string>& text) {
    std::string out;
    for (char c : text.value_or("")) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
            c == '.' || c == '-') {
            out += c;
        } else if (c == ' ') {
            break;
        }
    }
    return out;
}

void RemoveDefaultRoutes(RouteSocket& sock, int ifindex, const std::vector<std::string>& routers) {
    for (const auto& route : sock.DefaultRoutes()) {
        for (const auto& router : routers) {
            if (route.ifindex == ifindex && route.gateway == ParseIpv4(router)) {
                sock.DeleteDefaultRoute(route);
            }
        }
    }
}

int Bound(const Environment& env, RouteSocket& sock, int ifindex, const InterfaceState& state) {
    auto fresh = Address(env, "new_");
    auto offered = OfferedLease(env);
    if (!fresh || !offered) {
        return 1;
    }
    const Lease& lease = *offered;
    auto old = Address(env, "old_");
    if (old && (old->address != fresh->address || old->prefix != fresh->prefix)) {
        sock.DeleteAddress(ifindex, *old);
    }
    // The lease's lifetime marks the address as leased for every reader (ip shows "dynamic"),
    // and the kernel drops it when the lease runs out with no client left to renew it.
    const long long seconds = lease.expires > lease.obtained ? lease.expires - lease.obtained : 0;
    sock.AddAddress(ifindex, *fresh, true,
                    static_cast<std::uint32_t>(std::min<long long>(seconds, 0xfffffffe)));
    sock.SetLinkUp(ifindex);

    if (!lease.routers.empty()) {
        if (old) {
            auto oldRouters = AddressList(env("old_routers"), AnyAddress);
            RemoveDefaultRoutes(sock, ifindex, oldRouters);
        }
        try {
            sock.ReplaceDefaultRoute({ifindex, *ParseIpv4(lease.routers.front()), 0});
        } catch (const NetshError& e) {
            // An off-link router is the server's mistake; the address itself is still good.
            std::fprintf(stderr, "quorv-dhclient-hook: %s\n", e.what());
        }
    }
    state.WriteLease(lease);
    if (!state.StaticDns()) {
        SelectResolver()->SetServers(state.Interface(), lease.dns);
    }
    return 0;
}

int Unbound(const Environment& env, RouteSocket& sock, int ifindex, const InterfaceState& state) {
    if (auto old = Address(env, "old_")) {
        RemoveDefaultRoutes(sock, ifindex, AddressList(env("old_routers"), AnyAddress));
        sock.DeleteAddress(ifindex, *old);
    }
    bool hadLease = state.ReadLease().has_value();
    state.ClearLease();
    if (hadLease && !state.StaticDns()) {
        SelectResolver()->SetServers(state.Interface(), {});
    }
    return 0;
}

}  // namespace

std::optional<Lease> OfferedLease(const Environment& env) {
    auto fresh = Address(env, "new_");
    if (!fresh) {
        return std::nullopt;
    }
    Lease lease;
    lease.address = FormatIpv4(fresh->address);
    lease.mask = FormatIpv4(PrefixToMask(fresh->prefix));
    lease.routers = AddressList(env("new_routers"), apply::IsHostAddress);
    // The resolver uses no more; the rest would only crowd out other interfaces' servers.
    lease.dns = AddressList(env("new_domain_name_servers"), apply::IsDnsServerAddress,
                            apply::kMaxDnsServers);
    auto server = AddressList(env("new_dhcp_server_identifier"), AnyAddress);
    lease.server = server.empty() ? "" : server.front();
    lease.domain = CleanDomain(env("new_domain_name"));
    lease.obtained = std::time(nullptr);
    long long seconds = 0;
    try {
        seconds = std::stoll(env("new_dhcp_lease_time").value_or("0"));
    } catch (...) {
    }
    lease.expires = seconds > 0 ? lease.obtained + seconds : 0;
    return lease;
}

int RunDhcpHook(const Environment& env) {
    std::string reason = env("reason").value_or("");
    std::string ifname = env("interface").value_or("");
    if (!IsPlausibleInterfaceName(ifname)) {
        return 1;
    }
    try {
        RouteSocket sock;
        auto ifindex = sock.LinkIndex(ifname);
        if (!ifindex) {
            return 1;
        }
        InterfaceState state(ifname);
        if (reason == "PREINIT") {
            sock.SetLinkUp(*ifindex);
            return 0;
        }
        if (reason == "BOUND" || reason == "RENEW" || reason == "REBIND" || reason == "REBOOT") {
            return Bound(env, sock, *ifindex, state);
        }
        if (reason == "EXPIRE" || reason == "FAIL" || reason == "RELEASE" || reason == "STOP") {
            return Unbound(env, sock, *ifindex, state);
        }
        // TIMEOUT: an old lease is not tried without a server; dhclient keeps asking instead.
        return reason == "TIMEOUT" ? 1 : 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "quorv-dhclient-hook: %s\n", e.what());
        return 1;
    }
}

}  // namespace quorv::netsh
