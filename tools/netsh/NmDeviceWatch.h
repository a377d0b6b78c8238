#pragma once

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "netsh/Command.h"
#include "system/NmBus.h"

namespace quorv::netsh {

// What the device runs with now.
struct DeviceNow {
    std::uint32_t state = 0;
    std::uint32_t reason = 0;
    std::string activation = "/";
    std::set<std::string> addresses;  // "a.b.c.d/prefix"
    std::string gateway;
    std::vector<std::string> dns;
    std::string leased;  // address of the DHCP lease
    std::vector<std::string> leaseDns;
};

// The objects that hold a device's IPv4 state. They are asked for together with the device on
// the guess that they are still those it had, which saves a round trip whenever it holds.
struct ConfigPaths {
    std::string ip4 = "/";
    std::string dhcp = "/";
};

// The interface name as messages show it.
std::string Quoted(const std::string& ifname);

// The one word for NetworkManager going away in the middle of a change.
[[noreturn]] void Stopped(const std::string& ifname);

DeviceNow ReadDevice(inventory::NmBus& bus, const std::string& device);

// The device did not get there in time.
class WaitTimedOut : public NetshError {
  public:
    using NetshError::NetshError;
};

// Polls the device until `reached`, with a clear word when NetworkManager goes away, the
// activation fails or 20 s have passed. The bus must watch for changes (WatchChanges).
// paths: where the device's configuration was last seen.
void WaitForDevice(inventory::NmBus& bus, const std::string& device, const std::string& ifname,
                   const std::function<bool(const DeviceNow&)>& reached, bool activating,
                   ConfigPaths paths = {});

}  // namespace quorv::netsh
