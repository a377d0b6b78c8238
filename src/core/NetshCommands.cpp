#include "core/NetshCommands.h"

#include "system/CommandLine.h"

namespace quorv::apply {

namespace {

constexpr std::string_view kSetAddress = "netsh interface ip set address name=\"";
constexpr std::string_view kAddAddress = "netsh interface ip add address name=\"";
constexpr std::string_view kSetDns = "netsh interface ip set dns name=\"";
constexpr std::string_view kAddDns = "netsh interface ip add dns name=\"";

std::string Name(std::string_view connection) {
    return platform::EscapeInsideQuotes(connection);
}

std::string Value(std::string_view value) {
    // An empty value stays empty: netsh then sees "addr=" and refuses it itself.
    return value.empty() ? std::string() : platform::QuoteArgument(value);
}

std::string Concat(std::initializer_list<std::string_view> pieces) {
    std::string line;
    for (std::string_view piece : pieces) {
        line += piece;
    }
    return line;
}

}  // namespace

std::string SetDhcpAddressCommand(std::string_view connection) {
    return Concat({kSetAddress, Name(connection), "\" source=DHCP"});
}

std::string SetStaticAddressCommand(std::string_view connection, std::string_view address,
                                    std::string_view mask) {
    return Concat({kSetAddress, Name(connection), "\" source=static addr=", Value(address),
                   " mask=", Value(mask)});
}

std::string AddAddressCommand(std::string_view connection, std::string_view address,
                              std::string_view mask) {
    return Concat(
        {kAddAddress, Name(connection), "\" addr=", Value(address), " mask=", Value(mask)});
}

std::string SetGatewayCommand(std::string_view connection, std::string_view gateway) {
    return Concat({kSetAddress, Name(connection), "\" gateway=", Value(gateway), " gwmetric=0"});
}

std::string SetDhcpDnsCommand(std::string_view connection) {
    return Concat({kSetDns, Name(connection), "\" source=DHCP"});
}

std::string SetStaticDnsCommand(std::string_view connection, std::string_view dns) {
    return Concat(
        {kSetDns, Name(connection), "\" source=static addr=", Value(dns), " register=PRIMARY"});
}

std::string AddDnsCommand(std::string_view connection, std::string_view dns) {
    return Concat({kAddDns, Name(connection), "\" addr=", Value(dns), " index=2"});
}

std::vector<std::string> AddressCommands(const Profile& profile) {
    std::vector<std::string> commands;
    if (profile.IsDhcp()) {
        commands.push_back(SetDhcpAddressCommand(profile.Interface));
        return commands;
    }
    const std::vector<std::string> addresses = profile.Addresses();
    const std::vector<std::string> masks = profile.Masks();
    // An address without a mask item of its own is skipped.
    for (size_t i = 0; i < addresses.size() && i < masks.size(); ++i) {
        commands.push_back(i == 0
                               ? SetStaticAddressCommand(profile.Interface, addresses[i], masks[i])
                               : AddAddressCommand(profile.Interface, addresses[i], masks[i]));
    }
    return commands;
}

std::vector<std::string> GatewayCommands(const Profile& profile) {
    if (profile.Gateway.empty()) {
        return {};
    }
    return {SetGatewayCommand(profile.Interface, profile.Gateway)};
}

std::vector<std::string> DnsCommands(const Profile& profile) {
    if (profile.DNS1.empty()) {
        return {SetDhcpDnsCommand(profile.Interface)};
    }
    std::vector<std::string> commands{SetStaticDnsCommand(profile.Interface, profile.DNS1)};
    if (!profile.DNS2.empty()) {
        commands.push_back(AddDnsCommand(profile.Interface, profile.DNS2));
    }
    return commands;
}

std::vector<std::string> NetshCommands(const Profile& profile) {
    std::vector<std::string> all = AddressCommands(profile);
    for (auto* group : {&GatewayCommands, &DnsCommands}) {
        std::vector<std::string> part = group(profile);
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

}  // namespace quorv::apply
