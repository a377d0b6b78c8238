#pragma once

#include <memory>
#include <string>

#include "netsh/Backend.h"
#include "netsh/Command.h"

namespace quorv::netsh {

// What was in force on one device before a script changed it, and the way back to it. Taken
// before the first change; kept in memory by the watchdog that netsh leaves behind.
class Snapshot {
  public:
    virtual ~Snapshot() = default;
    // Puts the recorded settings back. The parts that came back, as "address gateway dns";
    // throws NetshError when the device could not be restored.
    virtual std::string Restore() = 0;
    // The new settings stay; frees what the snapshot holds (a checkpoint, a record).
    virtual void Drop() = 0;
    // After a fork: connections the parent made (the system bus) are not the child's.
    virtual void Reopen() {}
    // A descriptor the watchdog keeps open for as long as it holds the snapshot (the device's
    // lock); -1 for none.
    virtual int HeldDescriptor() const { return -1; }
    // The script has run: the time to answer starts now and lasts seconds (NetworkManager's own
    // deadline follows it).
    virtual void Arm(int seconds) { (void)seconds; }
};

// NetworkManager keeps the device's old settings in a checkpoint and rolls back by itself
// after rollbackSeconds, even when nobody is left to ask it to. Throws inventory::NmError
// (PermissionDenied() when polkit refused the checkpoint).
std::unique_ptr<Snapshot> TakeNmSnapshot(const BackendChoice& backend, int rollbackSeconds);

// Addresses, routes, the interface's resolver servers and its DHCP client state, read before
// the change; the watchdog restores them. Holds the device's lock, so that no second change
// of it can wait beside this one. Throws NetshError when the device cannot be read or is
// locked.
std::unique_ptr<Snapshot> TakeNetlinkSnapshot(const std::string& ifname);

}  // namespace quorv::netsh
