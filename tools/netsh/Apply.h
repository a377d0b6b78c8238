#pragma once

#include "netsh/Command.h"

namespace quorv::netsh {

// Carries out a parsed command. Privilege and the interface are checked before the first change.
void Execute(const Command& command);

}  // namespace quorv::netsh
