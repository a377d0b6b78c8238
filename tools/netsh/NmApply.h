#pragma once

#include "inventory/NmClient.h"
#include "netsh/Command.h"

namespace quorv::netsh {

// Carries out a command on a device NetworkManager manages. The settings connection itself is
// changed on disk, so the change outlives a reconnect, then reapplied (or activated when it is
// not active), and the device is waited for until it shows the new settings.
void ExecuteThroughNetworkManager(const inventory::NmClient& nm, NMDevice* device,
                                  const Command& command);

// ipconfig's /renew (activate again, wait for a lease) and /release (disconnect).
void RenewThroughNetworkManager(const inventory::NmClient& nm, NMDevice* device);
void ReleaseThroughNetworkManager(const inventory::NmClient& nm, NMDevice* device);

}  // namespace quorv::netsh
