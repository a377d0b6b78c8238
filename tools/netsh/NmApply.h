#pragma once

#include <string>

#include "netsh/Command.h"
#include "system/NmBus.h"

namespace quorv::netsh {

// Carries out a command on a device NetworkManager manages (device: its object path). The
// settings connection itself is changed on disk, so the change outlives a reconnect, then
// reapplied (or activated when it is not active), and the device is waited for until it shows
// the new settings.
// deviceProperties: the device's a{sv}, as the backend choice read them.
void ExecuteThroughNetworkManager(inventory::NmBus& bus, const std::string& device,
                                  const inventory::DbusValue& deviceProperties,
                                  const Command& command);

// ipconfig's /renew (activate again, wait for a lease) and /release (disconnect).
void RenewThroughNetworkManager(inventory::NmBus& bus, const std::string& device);
void ReleaseThroughNetworkManager(inventory::NmBus& bus, const std::string& device);

}  // namespace quorv::netsh
