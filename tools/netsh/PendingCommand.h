#pragma once

#include <string>
#include <vector>

namespace quorv::netsh {

// netsh --pending [keep|restore ID]: without more, one line "ID IFNAME SECONDS_LEFT" per
// change of this network namespace that waits for its answer and that this user may settle;
// with keep or restore, the watchdog's answer line ("kept", "restored: PARTS") and status 0,
// or "failed: REASON" and status 1. args: what follows --pending.
int RunPendingCommand(const std::vector<std::string>& args);

}  // namespace quorv::netsh
