#pragma once

#include <functional>
#include <string>
#include <vector>

#include "netsh/Command.h"
#include "netsh/Script.h"
#include "system/NmBus.h"

namespace quorv::netsh {

// Carries out commands for one device NetworkManager manages (device: its object path) as one
// change: every command edits one copy of the settings connection, which is saved to disk once,
// so the change outlives a reconnect, then reapplied once (or activated when it is not active),
// and the device is waited for until it shows the new settings. A refused edit raises
// StepError and nothing is saved. shown: told of each phase the device shows, in order.
// deviceProperties: the device's a{sv}, as the backend choice read them.
void ExecuteThroughNetworkManager(inventory::NmBus& bus, const std::string& device,
                                  const inventory::DbusValue& deviceProperties,
                                  const std::vector<Command>& commands,
                                  const std::function<void(Phase)>& shown = {});

// ipconfig's /renew (activate again, wait for a lease) and /release (disconnect).
void RenewThroughNetworkManager(inventory::NmBus& bus, const std::string& device);
void ReleaseThroughNetworkManager(inventory::NmBus& bus, const std::string& device);

}  // namespace quorv::netsh
