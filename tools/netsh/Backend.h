#pragma once

#include <memory>
#include <string>

#include "system/NmBus.h"

namespace quorv::netsh {

// Where the changes to one interface go. NetworkManager wins wherever it manages the device:
// addresses written behind its back would be gone at its next activation.
struct BackendChoice {
    bool networkManager = false;
    std::string reason;  // one line for `netsh --backend`
    std::unique_ptr<inventory::NmBus> bus;
    std::string device;               // NetworkManager's object path of the device
    inventory::DbusValue properties;  // and its properties, a{sv}
};

BackendChoice ChooseBackend(const std::string& ifname);

}  // namespace quorv::netsh
