#pragma once

#include <string>
#include <vector>

namespace quorv::netsh {

// netsh where a system bus runs: each command goes to NetworkManager when it manages the
// device, else through netlink as everywhere else. The exit status.
int RunWithSystemBus(const std::vector<std::string>& args);

}  // namespace quorv::netsh
