#pragma once

#include <string>
#include <vector>

#include "inventory/NmClient.h"
#include "netsh/Command.h"

namespace quorv::netsh {

// How one command changes the IPv4 settings of a NetworkManager connection, with the same
// meaning the netlink backend gives it. inUseDns: the servers the device uses now, which
// `add dns` builds on while DNS is still automatic. Throws NetshError on settings that
// NetworkManager would not accept.
void EditIp4(NMConnection* connection, const Command& command,
             const std::vector<std::string>& inUseDns);

}  // namespace quorv::netsh
