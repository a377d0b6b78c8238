#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/Profile.h"

namespace quorv::apply {

// The seven "netsh interface ip" command lines of an apply run. The connection name
// stands between double quotes; any value that would not reach netsh as exactly one
// argument (a quote, blank or tab inside it, or backslashes before a quote) is escaped
// with the command-line rules, so a record can never smuggle in further arguments.
// Ordinary values appear exactly as they are.
std::string SetDhcpAddressCommand(std::string_view connection);
std::string SetStaticAddressCommand(std::string_view connection, std::string_view address,
                                    std::string_view mask);
std::string AddAddressCommand(std::string_view connection, std::string_view address,
                              std::string_view mask);
std::string SetGatewayCommand(std::string_view connection, std::string_view gateway);
std::string SetDhcpDnsCommand(std::string_view connection);
std::string SetStaticDnsCommand(std::string_view connection, std::string_view dns);
std::string AddDnsCommand(std::string_view connection, std::string_view dns);

// The three command groups of a run, each in the order it is run.
std::vector<std::string> AddressCommands(const Profile& profile);
std::vector<std::string> GatewayCommands(const Profile& profile);
std::vector<std::string> DnsCommands(const Profile& profile);

// All of them: addresses, gateway, DNS.
std::vector<std::string> NetshCommands(const Profile& profile);

}  // namespace quorv::apply
