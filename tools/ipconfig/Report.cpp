#include "Report.h"

namespace quorv::ipconfig {
namespace {

constexpr std::size_t kLabelWidth = 34;

// "   Subnet Mask . . . . . . . . . . . : value": dots on every other column after the label.
std::string Label(const std::string& label) {
    std::string out = "   " + label;
    for (std::size_t col = label.size(); col < kLabelWidth; ++col) {
        out += (col % 2 == 0) ? '.' : ' ';
    }
    return out + ": ";
}

void Line(std::string& out, const std::string& label, const std::string& value) {
    out += Label(label) + value + "\n";
}

void Lines(std::string& out, const std::string& label, const std::vector<std::string>& values) {
    if (values.empty()) {
        out += Label(label) + "\n";
        return;
    }
    out += Label(label) + values.front() + "\n";
    for (std::size_t i = 1; i < values.size(); ++i) {
        out += std::string(3 + kLabelWidth + 2, ' ') + values[i] + "\n";
    }
}

void Adapter(std::string& out, const AdapterModel& a, bool all) {
    out += "\n" + a.kind + " adapter " + a.name + ":\n\n";
    if (!a.connected) {
        Line(out, "Media State", "Media disconnected");
    }
    Line(out, "Connection-specific DNS Suffix  ", a.dnsSuffix);
    if (all) {
        Line(out, "Description", a.description);
        Line(out, "Physical Address", a.physicalAddress);
        Line(out, "DHCP Enabled", a.dhcpEnabled ? "Yes" : "No");
    }
    if (!a.connected) {
        return;
    }
    for (const auto& [address, mask] : a.addresses) {
        Line(out, "IPv4 Address", all ? address + "(Preferred)" : address);
        Line(out, "Subnet Mask", mask);
    }
    if (all && a.dhcpEnabled && !a.leaseObtained.empty()) {
        Line(out, "Lease Obtained", a.leaseObtained);
        Line(out, "Lease Expires", a.leaseExpires);
    }
    Lines(out, "Default Gateway", a.gateways);
    if (all) {
        if (a.dhcpEnabled && !a.dhcpServer.empty()) {
            Line(out, "DHCP Server", a.dhcpServer);
        }
        Lines(out, "DNS Servers", a.dnsServers);
    }
}

}  // namespace

std::string FormatIpConfig(const IpConfigModel& model, bool all) {
    std::string out = "\nLinux IP Configuration\n\n";
    if (all) {
        Line(out, "Host Name", model.hostName);
        Lines(out, "DNS Servers", model.dnsServers);
    } else {
        out += "\n";
    }
    bool first = true;
    for (const auto& adapter : model.adapters) {
        std::string block;
        Adapter(block, adapter, all);
        // The short form has no blank line between header and first adapter beyond its own.
        out += (!all && first) ? block.substr(1) : block;
        first = false;
    }
    return out;
}

}  // namespace quorv::ipconfig
