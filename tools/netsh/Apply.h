#pragma once

#include "netsh/Command.h"
#include "netsh/Privilege.h"

namespace quorv::netsh {

// Carries out a parsed command. Privilege and the interface are checked before the first change:
// without CAP_NET_ADMIN it raises NeedsPrivilege.
void Execute(const Command& command);

}  // namespace quorv::netsh
