#include "Snapshot.h"

#include <linux/if_arp.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <ctime>

#include "netsh/AddressParsing.h"
#include "netsh/InterfaceState.h"
#include "netsh/Netlink.h"
#include "netsh/Resolver.h"
#include "system/NetInterfaces.h"
#include "system/NmDevices.h"

namespace quorv::ipconfig {
namespace {

std::string LeaseTime(long long seconds) {
    if (seconds <= 0) {
        return "";
    }
    std::time_t t = static_cast<std::time_t>(seconds);
    std::tm local{};
    localtime_r(&t, &local);
    char buffer[64];
    std::strftime(buffer, sizeof buffer, "%A, %d %B %Y %H:%M:%S", &local);
    return buffer;
}

std::string PhysicalAddress(const std::string& mac) {
    std::string out = mac;
    std::replace(out.begin(), out.end(), ':', '-');
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return char(std::toupper(c)); });
    return out;
}

}  // namespace

IpConfigModel ReadSystemModel() {
    IpConfigModel model;
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    model.hostName = host;
    model.dnsServers = netsh::SystemNameservers();
    const auto managed = inventory::ReadNmDevices();

    for (const auto& net : inventory::ReadInterfaces()) {
        if (net.loopback) {
            continue;
        }
        AdapterModel a;
        a.name = net.name;
        a.kind =
            net.wireless ? "Wireless LAN" : (net.arpType == ARPHRD_ETHER ? "Ethernet" : "Tunnel");
        a.description = net.Description();
        a.physicalAddress = PhysicalAddress(net.mac);
        a.connected = net.up && net.carrier;
        for (const auto& addr : net.addresses) {
            a.addresses.emplace_back(netsh::FormatIpv4(addr.address),
                                     netsh::FormatIpv4(netsh::PrefixToMask(addr.prefix)));
        }
        for (auto gateway : net.gateways) {
            a.gateways.push_back(netsh::FormatIpv4(gateway));
        }
        if (const auto* nm = inventory::FindNmDevice(managed, net.name)) {
            // NetworkManager runs its own DHCP client: our state files say nothing here.
            a.dhcpEnabled = nm->dhcpEnabled;
            a.dnsServers = nm->dnsServers;
            a.dhcpServer = nm->dhcpServer;
            a.dnsSuffix = nm->domain;
            a.leaseObtained = LeaseTime(nm->leaseObtained);
            a.leaseExpires = LeaseTime(nm->leaseExpires);
        } else if (netsh::IsPlausibleInterfaceName(net.name)) {
            netsh::InterfaceState state(net.name);
            a.dhcpEnabled = state.DhcpEnabled();
            a.dnsServers = state.EffectiveDns();
            if (auto lease = state.ReadLease(); lease && a.dhcpEnabled) {
                a.dhcpServer = lease->server;
                a.dnsSuffix = lease->domain;
                a.leaseObtained = LeaseTime(lease->obtained);
                a.leaseExpires = LeaseTime(lease->expires);
            }
        }
        model.adapters.push_back(std::move(a));
    }
    return model;
}

}  // namespace quorv::ipconfig
