#pragma once

#include <functional>
#include <optional>
#include <string>

namespace quorv::netsh {

using Environment = std::function<std::optional<std::string>(const std::string&)>;

// The dhclient script: applies what the client reports (reason and new_/old_ variables) through
// netlink and the resolver. Returns the exit status dhclient expects.
int RunDhcpHook(const Environment& env);

}  // namespace quorv::netsh
