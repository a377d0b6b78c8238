#include "netsh/SafeApply.h"

#include <cstdio>

#include "netsh/Privilege.h"
#include "netsh/Watchdog.h"
#include "system/PendingChange.h"

namespace quorv::netsh {
namespace {

// A NetworkManager change may wait this long for the device before the script ends; its
// checkpoint must not roll back meanwhile. Once the script has run the deadline is moved.
constexpr int kScriptAllowance = 30;
// NetworkManager's own rollback comes this much after the watchdog's.
constexpr int kGrace = 2;

void SnapshotFailed(const std::string& reason) {
    std::printf("snapshot: failed: %s\n", reason.c_str());
    std::fflush(stdout);
}

}  // namespace

std::optional<int> ParseKeepWithin(const std::string& text) {
    if (text.empty() || text.size() > 3 || text[0] == '0') {
        return std::nullopt;
    }
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    if (value > kMaxKeepWithin) {
        return std::nullopt;
    }
    return value;
}

std::unique_ptr<Snapshot> SnapshotBeforeChange(const BackendChoice& backend,
                                               const std::string& ifname, int seconds,
                                               int& status) {
    status = 1;
    for (const platform::PendingChange& pending : platform::ListPendingChanges()) {
        if (pending.interface == ifname) {
            SnapshotFailed("a change of " + Printable(ifname) +
                           " is still waiting to be kept or restored");
            return nullptr;
        }
    }
    try {
        if (backend.networkManager) {
            return TakeNmSnapshot(backend, seconds + kGrace + kScriptAllowance);
        }
        return TakeNetlinkSnapshot(ifname);
    } catch (const inventory::NmError& e) {
        if (e.PermissionDenied()) {
            status = kExitNeedsPrivilege;
        }
        SnapshotFailed(e.what());
    } catch (const std::exception& e) {
        SnapshotFailed(e.what());
    }
    return nullptr;
}

bool LeaveForAnswer(std::unique_ptr<Snapshot> snapshot, const std::string& ifname, int seconds) {
    snapshot->Arm(seconds);
    try {
        std::string id = LeaveWatchdog(*snapshot, ifname, seconds);
        std::printf("pending: %s %d\n", id.c_str(), seconds);
        std::fflush(stdout);
        return true;
    } catch (const std::exception& e) {
        // Nobody would be left to undo it later.
        try {
            snapshot->Restore();
        } catch (const std::exception&) {
            // NetworkManager's checkpoint still rolls back by itself.
        }
        std::printf("pending: failed: %s\n", e.what());
        std::fflush(stdout);
        return false;
    }
}

}  // namespace quorv::netsh
