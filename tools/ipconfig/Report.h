#pragma once

#include <string>
#include <utility>
#include <vector>

namespace quorv::ipconfig {

struct AdapterModel {
    std::string name;
    std::string kind;  // "Ethernet", "Wireless LAN", "Tunnel"
    std::string description;
    std::string physicalAddress;  // AA-BB-CC-DD-EE-FF
    std::string dnsSuffix;
    bool connected = false;
    bool dhcpEnabled = false;
    std::vector<std::pair<std::string, std::string>> addresses;  // address, mask
    std::vector<std::string> gateways;
    std::vector<std::string> dnsServers;
    std::string dhcpServer;
    std::string leaseObtained;  // already formatted; empty when there is no lease
    std::string leaseExpires;
};

struct IpConfigModel {
    std::string hostName;
    std::vector<std::string> dnsServers;
    std::vector<AdapterModel> adapters;  // loopback never appears
};

// The report in the layout of the Windows tool: the short form, or every detail with all.
std::string FormatIpConfig(const IpConfigModel& model, bool all);

}  // namespace quorv::ipconfig
