#pragma once

#include <memory>
#include <string>

#include "inventory/NmClient.h"

namespace quorv::netsh {

// Where the changes to one interface go. NetworkManager wins wherever it manages the device:
// addresses written behind its back would be gone at its next activation.
struct BackendChoice {
    bool networkManager = false;
    std::string reason;  // one line for `netsh --backend`
    std::unique_ptr<inventory::NmClient> client;
    // Held by a reference of our own: libnm drops its objects when NetworkManager goes away.
    std::unique_ptr<NMDevice, decltype(&g_object_unref)> held{nullptr, g_object_unref};
    NMDevice* device = nullptr;
};

BackendChoice ChooseBackend(const std::string& ifname);

}  // namespace quorv::netsh
