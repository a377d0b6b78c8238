#pragma once

namespace quorv::inventory {

// Whether a system bus could be reached at all (its socket exists, or an address is set).
// Cheap, and free of any D-Bus library: where it says no, NetworkManager cannot run.
bool SystemBusPresent();

}  // namespace quorv::inventory
