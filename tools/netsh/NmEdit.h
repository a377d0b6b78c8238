#pragma once

#include <string>
#include <vector>

#include "netsh/Command.h"
#include "netsh/NmSettings.h"

namespace quorv::netsh {

// How one command changes the IPv4 settings of a NetworkManager connection, with the same
// meaning the netlink backend gives it. inUseDns: the servers the device uses now, which
// `add dns` builds on while DNS is still automatic. NetworkManager itself judges the result
// when it is saved.
void EditIp4(NmSettings& settings, const Command& command,
             const std::vector<std::string>& inUseDns);

// Whether `add dns` would need the servers in use now.
bool NeedsInUseDns(const NmSettings& settings, const Command& command);

}  // namespace quorv::netsh
