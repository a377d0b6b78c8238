#include "netsh/Apply.h"

#include <algorithm>

#include "core/ProfileChecks.h"
#include "netsh/DhcpClient.h"
#include "netsh/InterfaceState.h"
#include "netsh/Netlink.h"
#include "netsh/Privilege.h"
#include "netsh/Resolver.h"

namespace quorv::netsh {
namespace {

void SetAddressDhcp(RouteSocket& sock, int ifindex, const InterfaceState& state) {
    DhcpClient client(state);
    client.CheckInstalled();
    client.Stop();
    state.ClearLease();
    for (const auto& entry : sock.Ipv4Addresses(ifindex)) {
        sock.DeleteAddress(ifindex, entry);
    }
    for (const auto& route : sock.DefaultRoutes()) {
        if (route.ifindex == ifindex) {
            sock.DeleteDefaultRoute(route);
        }
    }
    sock.SetLinkUp(ifindex);
    state.SetDhcpEnabled(true);
    client.Start();
}

void SetAddressStatic(RouteSocket& sock, int ifindex, const InterfaceState& state,
                      AddressEntry wanted) {
    DhcpClient(state).Stop();
    // Servers that came with the lease go with it; static ones stay.
    if (state.ReadLease() && !state.StaticDns()) {
        SelectResolver()->SetServers(state.Interface(), {});
    }
    state.SetDhcpEnabled(false);
    state.ClearLease();
    // Add first so that a refusal leaves the old addresses in place.
    sock.AddAddress(ifindex, wanted, true);
    for (const auto& entry : sock.Ipv4Addresses(ifindex)) {
        if (entry.address != wanted.address || entry.prefix != wanted.prefix) {
            sock.DeleteAddress(ifindex, entry);
        }
    }
    // Removing an old primary in the same subnet also removes its secondaries, ours included.
    auto now = sock.Ipv4Addresses(ifindex);
    bool present = std::any_of(now.begin(), now.end(), [&](const AddressEntry& e) {
        return e.address == wanted.address && e.prefix == wanted.prefix;
    });
    if (!present) {
        sock.AddAddress(ifindex, wanted, true);
    }
    sock.SetLinkUp(ifindex);
}

// Beside a /31 or /32 address no subnet holds the gateway, so the kernel is told it is on
// the link, as the profile checks allow; otherwise an unreachable gateway stays refused.
bool GatewayOnLink(RouteSocket& sock, int ifindex, Ipv4 gateway) {
    std::vector<std::pair<Ipv4, int>> subnets;
    for (const auto& entry : sock.Ipv4Addresses(ifindex)) {
        subnets.emplace_back(entry.address, entry.prefix);
    }
    const bool narrow = std::any_of(subnets.begin(), subnets.end(),
                                    [](const auto& subnet) { return subnet.second >= 31; });
    const bool inside = std::any_of(subnets.begin(), subnets.end(), [&](const auto& subnet) {
        const Ipv4 mask = PrefixToMask(subnet.second);
        return (subnet.first & mask) == (gateway & mask);
    });
    return narrow && !inside;
}

void SetGateway(RouteSocket& sock, int ifindex, Ipv4 gateway, unsigned metric) {
    RouteEntry wanted{ifindex, gateway, metric, GatewayOnLink(sock, ifindex, gateway)};
    sock.ReplaceDefaultRoute(wanted);
    for (const auto& route : sock.DefaultRoutes()) {
        if (route.ifindex == ifindex && (route.gateway != gateway || route.metric != metric)) {
            sock.DeleteDefaultRoute(route);
        }
    }
}

std::vector<std::string> LeaseDns(const InterfaceState& state) {
    if (auto lease = state.ReadLease(); lease && state.DhcpEnabled()) {
        return lease->dns;
    }
    return {};
}

void ApplyDns(const InterfaceState& state,
              const std::optional<std::vector<std::string>>& staticServers) {
    // The DHCP hook stores a lease before it looks at this choice, so the choice goes first
    // and the lease is read after it: a lease arriving meanwhile is seen by one of the two.
    state.SetStaticDns(staticServers);
    const std::vector<std::string> servers = staticServers ? *staticServers : LeaseDns(state);
    SelectResolver()->SetServers(state.Interface(), servers);
    if (!staticServers) {
        // The hook may have written its servers just before ours replaced them.
        if (std::vector<std::string> again = LeaseDns(state); again != servers) {
            SelectResolver()->SetServers(state.Interface(), again);
        }
    }
}

}  // namespace

void Execute(const Command& cmd) {
    if (!HasNetAdmin()) {
        throw NeedsPrivilege();
    }
    RouteSocket sock;
    bool loopback = false;
    auto ifindex = sock.LinkIndex(cmd.name, &loopback);
    if (!ifindex) {
        throw NetshError("There is no interface named \"" + Printable(cmd.name) + "\".");
    }
    // Windows lists no loopback connection; replacing 127.0.0.1 would cut the machine off itself.
    if (loopback) {
        throw NetshError("The loopback interface \"" + Printable(cmd.name) +
                         "\" cannot be configured.");
    }
    InterfaceState state(cmd.name);
    switch (cmd.action) {
        case Action::SetAddressDhcp:
            SetAddressDhcp(sock, *ifindex, state);
            break;
        case Action::SetAddressStatic:
            SetAddressStatic(sock, *ifindex, state, {cmd.address, cmd.prefix});
            break;
        case Action::AddAddress:
            sock.AddAddress(*ifindex, {cmd.address, cmd.prefix}, false);
            break;
        case Action::SetGateway:
            SetGateway(sock, *ifindex, cmd.gateway, cmd.metric);
            break;
        case Action::SetDnsDhcp:
            ApplyDns(state, std::nullopt);
            break;
        case Action::SetDnsStatic:
            ApplyDns(state, std::vector<std::string>{FormatIpv4(cmd.dns)});
            break;
        case Action::AddDns: {
            ApplyDns(state, WithAddedDns(state.EffectiveDns(), cmd));
            break;
        }
    }
}

}  // namespace quorv::netsh
