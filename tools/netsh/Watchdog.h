#pragma once

#include <memory>
#include <string>

#include "netsh/Snapshot.h"

namespace quorv::netsh {

// Leaves a process of its own session behind (same credentials, stdio on /dev/null) that
// holds the snapshot and listens on the abstract socket "quorv-netsh/pending/ID" of this
// network namespace, bound before this returns, so a client may connect at once. It answers
// one request line per connection: "status" -> "pending IFNAME SECONDS_LEFT"; "keep" ->
// "kept" (snapshot dropped); "restore" -> "restored: PARTS" or "failed: REASON" (snapshot
// restored). Only root and the user who applied (PKEXEC_UID under pkexec, else the real
// uid) are answered; others get "failed: not yours". After keep or restore it exits; without
// either within seconds, or on SIGTERM, SIGINT or SIGHUP, it restores and exits.
// The ID (32 hex digits); throws NetshError when no watchdog could be left. The snapshot stays
// the caller's, who must neither restore nor drop it once a watchdog holds it.
std::string LeaveWatchdog(Snapshot& snapshot, const std::string& ifname, int seconds);

}  // namespace quorv::netsh
