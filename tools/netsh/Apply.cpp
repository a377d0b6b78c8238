#include "netsh/Apply.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <thread>

#include "core/ProfileChecks.h"
#include "netsh/DhcpClient.h"
#include "netsh/InterfaceState.h"
#include "netsh/Netlink.h"
#include "netsh/Privilege.h"
#include "netsh/Resolver.h"
#include "netsh/Script.h"

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

// keepResolver: a later step of the same run writes the resolver anyway. True when the lease's
// servers are left in the resolver for that step to replace.
bool SetAddressStatic(RouteSocket& sock, int ifindex, const InterfaceState& state,
                      AddressEntry wanted, bool keepResolver) {
    DhcpClient(state).Stop();
    // Servers that came with the lease go with it; static ones stay.
    bool leaseDns = state.ReadLease() && !state.StaticDns();
    if (leaseDns && !keepResolver) {
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
    return leaseDns && keepResolver;
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

// The DNS lines of a run in a row: worked out in memory, then the resolver is written once.
// Unset: no DNS line yet; nullopt inside: the servers come from DHCP.
using PendingDns = std::optional<std::optional<std::vector<std::string>>>;

std::vector<std::string> DnsBase(const InterfaceState& state, const PendingDns& pending) {
    if (!pending) {
        return state.EffectiveDns();
    }
    return *pending ? **pending : LeaseDns(state);
}

// As long as NetworkManager's way waits for a device to show its lease.
constexpr auto kLeaseWait = std::chrono::seconds(20);

// True once the DHCP client's hook has recorded a lease for the interface.
bool WaitForLease(const InterfaceState& state) {
    const auto deadline = std::chrono::steady_clock::now() + kLeaseWait;
    while (!state.ReadLease()) {
        if (std::chrono::steady_clock::now() > deadline || !DhcpClient(state).RunningPid()) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

}  // namespace

void Execute(const Command& cmd) {
    ExecuteSteps(
        {cmd}, [](std::size_t) {}, false);
}

void ExecuteSteps(const std::vector<Command>& steps, const std::function<void(std::size_t)>& done,
                  bool waitForLease) {
    if (steps.empty()) {
        return;
    }
    if (!HasNetAdmin()) {
        throw NeedsPrivilege();
    }
    const std::string& name = steps.front().name;
    RouteSocket sock;
    bool loopback = false;
    auto ifindex = sock.LinkIndex(name, &loopback);
    if (!ifindex) {
        throw NetshError("There is no interface named \"" + Printable(name) + "\".");
    }
    // Windows lists no loopback connection; replacing 127.0.0.1 would cut the machine off itself.
    if (loopback) {
        throw NetshError("The loopback interface \"" + Printable(name) +
                         "\" cannot be configured.");
    }
    InterfaceState state(name);
    PendingDns dns;
    std::vector<std::size_t> dnsSteps;   // waiting for the resolver to be written
    bool leaseDnsOwed = false;           // the lease's servers are still to be dropped
    std::optional<std::size_t> noLease;  // an automatic address whose lease did not come
    auto writeDns = [&] {
        if (dns) {
            ApplyDns(state, *dns);
            leaseDnsOwed = false;
            for (std::size_t i : dnsSteps) {
                done(i);
            }
        }
        dns.reset();
        dnsSteps.clear();
    };
    auto finish = [&] {
        writeDns();
        if (leaseDnsOwed) {
            SelectResolver()->SetServers(state.Interface(), {});
        }
    };
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const Command& cmd = steps[i];
        bool dnsStep = cmd.action == Action::SetDnsDhcp || cmd.action == Action::SetDnsStatic ||
                       cmd.action == Action::AddDns;
        try {
            if (!dnsStep) {
                writeDns();
            }
            switch (cmd.action) {
                case Action::SetAddressDhcp:
                    SetAddressDhcp(sock, *ifindex, state);
                    // Waited for here, so that a gateway after it finds the lease's subnet.
                    if (waitForLease && !WaitForLease(state)) {
                        noLease = i;
                        continue;  // the steps after it run all the same
                    }
                    break;
                case Action::SetAddressStatic: {
                    bool laterDns = std::any_of(steps.begin() + std::ptrdiff_t(i), steps.end(),
                                                [](const Command& c) {
                                                    return c.action == Action::SetDnsDhcp ||
                                                           c.action == Action::SetDnsStatic;
                                                });
                    leaseDnsOwed = SetAddressStatic(sock, *ifindex, state,
                                                    {cmd.address, cmd.prefix}, laterDns) ||
                                   leaseDnsOwed;
                    break;
                }
                case Action::AddAddress:
                    sock.AddAddress(*ifindex, {cmd.address, cmd.prefix}, false);
                    break;
                case Action::SetGateway:
                    SetGateway(sock, *ifindex, cmd.gateway, cmd.metric);
                    break;
                case Action::SetDnsDhcp:
                    dns.emplace(std::nullopt);
                    break;
                case Action::SetDnsStatic:
                    dns.emplace(std::vector<std::string>{FormatIpv4(cmd.dns)});
                    break;
                case Action::AddDns:
                    dns.emplace(WithAddedDns(DnsBase(state, dns), cmd));
                    break;
            }
        } catch (const NetshError& e) {
            // What the lines before this one did to the resolver is written all the same.
            finish();
            throw StepError(i, e.what());
        }
        if (dnsStep) {
            dnsSteps.push_back(i);
        } else {
            done(i);
        }
    }
    finish();
    if (noLease) {
        throw NoLease("No address was obtained from a DHCP server on \"" + Printable(name) +
                      "\" yet.");
    }
}

}  // namespace quorv::netsh
