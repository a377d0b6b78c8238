#include "system/ConnectionList.h"

#include <gtest/gtest.h>

namespace quorv::inventory {
namespace {

NetInterface Net(int index, const std::string& name, const std::string& kind = {},
                 const std::string& bus = {}) {
    NetInterface net;
    net.index = index;
    net.name = name;
    net.kind = kind;
    net.busInfo = bus;
    net.loopback = name == "lo";
    return net;
}

std::vector<std::string> Names(const std::vector<NetInterface>& list) {
    std::vector<std::string> names;
    for (const NetInterface& net : list) {
        names.push_back(net.name);
    }
    return names;
}

TEST(ConnectionList, PhysicalFirstThenVirtualWithoutInternalDevices) {
    const std::vector<NetInterface> all{
        Net(1, "lo"),
        Net(2, "br0", "bridge"),
        Net(3, "enp0s31f6", "", "0000:00:1f.6"),
        Net(4, "veth-lab", "veth"),
        Net(5, "ifb0", "ifb"),
        Net(6, "wlp2s0", "", "0000:02:00.0"),
        Net(7, "sit0", "sit"),
        Net(8, "tun0", "tun"),
        Net(9, "nlmon0", "nlmon"),
        Net(10, "gre0", "gre"),
        // A tunnel the user made is a connection like any other.
        Net(11, "gre-office", "gre"),
    };
    EXPECT_EQ(
        Names(ConnectionList(all)),
        (std::vector<std::string>{"enp0s31f6", "wlp2s0", "br0", "veth-lab", "tun0", "gre-office"}));
    EXPECT_TRUE(ConnectionList({Net(1, "lo")}).empty());
}

TEST(ConnectionList, TheDefaultRouteChoosesAmongTheListed) {
    std::vector<NetInterface> list = ConnectionList(
        {Net(4, "veth0", "veth"), Net(3, "eth0", "", "pci"), Net(5, "wg0", "wireguard")});
    EXPECT_EQ(DefaultRouteConnection(list), std::nullopt);
    list[2].gateways = {1};  // wg0
    EXPECT_EQ(DefaultRouteConnection(list), 2u);
    list[1].gateways = {1};  // veth0 has the lower index
    EXPECT_EQ(DefaultRouteConnection(list), 1u);
}

}  // namespace
}  // namespace quorv::inventory
