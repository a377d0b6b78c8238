#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/Profile.h"

namespace quorv::apply {

// One netsh command of an apply run. It is started from args, so every value reaches
// netsh as exactly one argument whatever it holds; line is the same command as the user
// reads it (failure list, qic apply --dry-run), in the Windows command-line form that
// gives args back when split.
struct NetshCommand {
    std::vector<std::string> args;  // "netsh", then its parameters
    std::string line;
    std::string input;  // its standard input: a script for netsh -f -
};

// The commands as one script for netsh -f -, a line each, in order.
NetshCommand NetshScript(const std::vector<NetshCommand>& commands);

// Whether the command can stand on a line of a script: no line break or NUL in a value.
bool FitsOnScriptLine(const NetshCommand& command);

// The seven "netsh interface ip" commands. In the line the connection name stands between
// double quotes, and a value that would not be one argument there (a quote, blank or tab
// inside it, or backslashes before a quote) is escaped with the command-line rules;
// ordinary values appear exactly as they are.
NetshCommand SetDhcpAddressCommand(std::string_view connection);
NetshCommand SetStaticAddressCommand(std::string_view connection, std::string_view address,
                                     std::string_view mask);
NetshCommand AddAddressCommand(std::string_view connection, std::string_view address,
                               std::string_view mask);
NetshCommand SetGatewayCommand(std::string_view connection, std::string_view gateway);
NetshCommand SetDhcpDnsCommand(std::string_view connection);
NetshCommand SetStaticDnsCommand(std::string_view connection, std::string_view dns);
NetshCommand AddDnsCommand(std::string_view connection, std::string_view dns);

// The three command groups of a run, each in the order it is run.
std::vector<NetshCommand> AddressCommands(const Profile& profile);
std::vector<NetshCommand> GatewayCommands(const Profile& profile);
std::vector<NetshCommand> DnsCommands(const Profile& profile);

// All of them: addresses, gateway, DNS.
std::vector<NetshCommand> NetshCommands(const Profile& profile);

}  // namespace quorv::apply
