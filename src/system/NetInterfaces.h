#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quorv::inventory {

struct InterfaceAddress {
    std::uint32_t address = 0;  // host byte order
    int prefix = 0;
    // Given with a lifetime (a DHCP lease), not for good.
    bool dynamic = false;
};

// One network interface of the current network namespace, as netlink and ethtool report it.
struct NetInterface {
    int index = 0;
    std::string name;
    std::string mac;  // aa:bb:cc:dd:ee:ff, empty when the link has none
    int arpType = 0;
    std::string kind;  // the link's type as netlink names it ("veth", "bridge"); empty for hardware
    bool up = false;
    bool carrier = false;
    bool loopback = false;
    bool wireless = false;
    std::string driver;                       // ethtool driver name
    std::string busInfo;                      // ethtool bus address; empty for virtual devices
    std::string model;                        // udev's hardware model, when udev knows the device
    std::optional<unsigned long long> speed;  // bits per second
    std::vector<InterfaceAddress> addresses;  // IPv4, in kernel order (primary first)
    std::vector<std::uint32_t> gateways;      // IPv4 default routes through this interface

    // What Windows calls the adapter's name: the hardware model, else the driver, else the name.
    std::string Description() const;
};

// Every interface, loopback included, ordered by index. Throws quorv::Exception when netlink
// cannot be read.
std::vector<NetInterface> ReadInterfaces();

}  // namespace quorv::inventory
