#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quorv::inventory {

// What NetworkManager knows of one device it manages.
struct NmDeviceView {
    std::string interface;
    std::string connection;  // id of the settings connection active on it; empty when none
    bool dhcpEnabled = false;
    std::vector<std::string> dnsServers;  // in use now: the static ones or the lease's
    std::string dhcpServer;
    std::string domain;
    long long leaseObtained = 0;  // seconds since the epoch; 0 without a lease
    long long leaseExpires = 0;
};

// Every device NetworkManager manages; nothing when it does not run. Never throws: readers
// fall back to the kernel's view.
std::vector<NmDeviceView> ReadNmDevices();

const NmDeviceView* FindNmDevice(const std::vector<NmDeviceView>& devices,
                                 const std::string& interface);

}  // namespace quorv::inventory
