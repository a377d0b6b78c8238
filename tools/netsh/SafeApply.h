#pragma once

#include <memory>
#include <optional>
#include <string>

#include "netsh/Backend.h"
#include "netsh/Snapshot.h"

namespace quorv::netsh {

// The longest a change may wait for its keep-or-restore answer, in seconds.
inline constexpr int kMaxKeepWithin = 600;

// The SECONDS of --keep-within: a whole number from 1 to kMaxKeepWithin, nothing else.
std::optional<int> ParseKeepWithin(const std::string& text);

// What was in force on ifname before a --keep-within change, taken through the backend that will
// change it. When none can be made, "snapshot: failed: REASON" is on stdout, nothing is
// returned and status holds netsh's exit status: kExitNeedsPrivilege when polkit refused the
// checkpoint (the caller may run the script again through pkexec), else 1. A device with a
// change still waiting for its answer is refused in the same way.
std::unique_ptr<Snapshot> SnapshotBeforeChange(const BackendChoice& backend,
                                               const std::string& ifname, int seconds, int& status);

// After the script ran: leaves the watchdog and prints "pending: ID SECONDS" as the last
// report line. When no watchdog can be left, the change is undone at once and
// "pending: failed: REASON" printed; false then.
bool LeaveForAnswer(std::unique_ptr<Snapshot> snapshot, const std::string& ifname, int seconds);

}  // namespace quorv::netsh
