#include "system/LiveState.h"

#include <arpa/inet.h>

#include "system/DefaultPrinter.h"
#include "system/NetInterfaces.h"
#include "system/NmDevices.h"
#include "system/ResolverServers.h"

namespace quorv::inventory {
namespace {

std::string DottedQuad(std::uint32_t hostOrder) {
    in_addr address{htonl(hostOrder)};
    char buffer[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address, buffer, sizeof buffer);
    return buffer;
}

std::uint32_t MaskOf(int prefix) {
    return prefix <= 0 ? 0 : prefix >= 32 ? 0xffffffffu : ~((1u << (32 - prefix)) - 1);
}

}  // namespace

const LiveAdapter* LiveState::Find(const std::string& name) const {
    for (const LiveAdapter& adapter : adapters) {
        if (adapter.name == name) {
            return &adapter;
        }
    }
    return nullptr;
}

LiveState ReadLiveNetwork() {
    LiveState state;
    const std::vector<NmDeviceView> managed = ReadNmDevices();
    const std::vector<std::string> resolver = ResolverNameservers();
    for (const NetInterface& net : ReadInterfaces()) {
        if (net.loopback) {
            continue;
        }
        LiveAdapter adapter;
        adapter.name = net.name;
        adapter.carrier = net.up && net.carrier;
        for (const InterfaceAddress& entry : net.addresses) {
            adapter.addresses.push_back(
                {DottedQuad(entry.address), DottedQuad(MaskOf(entry.prefix))});
            adapter.dhcp = adapter.dhcp || entry.dynamic;
        }
        if (!net.gateways.empty()) {
            adapter.gateway = DottedQuad(net.gateways.front());
        }
        if (const NmDeviceView* nm = FindNmDevice(managed, net.name)) {
            // NetworkManager's method holds even while no lease has come yet.
            adapter.dhcp = nm->dhcpEnabled;
            adapter.dns = nm->dnsServers;
            adapter.dnsOwn = true;
        } else {
            adapter.dns = resolver;
        }
        state.adapters.push_back(std::move(adapter));
    }
    return state;
}

LiveState ReadLiveState() {
    LiveState state = ReadLiveNetwork();
    state.defaultPrinter = apply::ReadDefaultPrinter();
    return state;
}

}  // namespace quorv::inventory
