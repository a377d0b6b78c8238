#pragma once

#include <string>
#include <vector>

namespace quorv::platform {

// A change that netsh made with --keep-within and whose watchdog still waits to be told to
// keep it; without word by its deadline the watchdog restores what was there before. Watchdogs
// listen on abstract unix sockets, which belong to one network namespace as the device does,
// and answer the user who applied the change and root only.
struct PendingChange {
    std::string id;         // as netsh reported it: "pending: ID SECONDS"
    std::string interface;  // the device it changed
    int secondsLeft = 0;
};

// What a watchdog said to keep or restore.
struct PendingAnswer {
    bool done = false;     // kept, or restored
    std::string restored;  // restore: the parts that came back, "address gateway dns"
    std::string error;     // not done: why, one line
};

// The pending changes in this network namespace that this user may settle.
std::vector<PendingChange> ListPendingChanges();

// The new settings stay; the snapshot is dropped.
PendingAnswer KeepPendingChange(const std::string& id);

// Back to the settings before the change, now.
PendingAnswer RestorePendingChange(const std::string& id);

}  // namespace quorv::platform
