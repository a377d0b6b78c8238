#include "netsh/NmCheckpoint.h"

namespace quorv::netsh {

using inventory::DbusValue;
using inventory::NmError;

std::string CreateCheckpoint(const inventory::NmBus& bus, const std::string& devicePath,
                             int rollbackSeconds) {
    return bus
        .Call(NM_DBUS_PATH, NM_DBUS_INTERFACE, "CheckpointCreate",
              {DbusValue::Array("o", {DbusValue::ObjectPath(devicePath)}),
               DbusValue::Uint32(std::uint32_t(rollbackSeconds)),
               DbusValue::Uint32(NM_CHECKPOINT_CREATE_FLAG_NONE)},
              "(o)")[0]
        .Text();
}

void AdjustCheckpoint(const inventory::NmBus& bus, const std::string& checkpoint,
                      int rollbackSeconds) {
    bus.Call(NM_DBUS_PATH, NM_DBUS_INTERFACE, "CheckpointAdjustRollbackTimeout",
             {DbusValue::ObjectPath(checkpoint), DbusValue::Uint32(std::uint32_t(rollbackSeconds))},
             "()");
}

void DestroyCheckpoint(const inventory::NmBus& bus, const std::string& checkpoint) {
    bus.Call(NM_DBUS_PATH, NM_DBUS_INTERFACE, "CheckpointDestroy",
             {DbusValue::ObjectPath(checkpoint)}, "()");
}

void RollbackCheckpoint(const inventory::NmBus& bus, const std::string& checkpoint) {
    // Rolling back reactivates the device; that can take a while.
    DbusValue results = bus.Call(NM_DBUS_PATH, NM_DBUS_INTERFACE, "CheckpointRollback",
                                 {DbusValue::ObjectPath(checkpoint)}, "(a{su})", 60000)[0];
    for (const DbusValue& entry : results.Items()) {
        if (entry.Items().size() != 2) {
            continue;
        }
        switch (entry.Items()[1].Bits()) {
            case NM_ROLLBACK_RESULT_OK:
                break;
            case NM_ROLLBACK_RESULT_ERR_NO_DEVICE:
                throw NmError("the device is gone");
            case NM_ROLLBACK_RESULT_ERR_DEVICE_UNMANAGED:
                throw NmError("NetworkManager no longer manages the device");
            default:
                throw NmError("NetworkManager could not bring the device back");
        }
    }
}

}  // namespace quorv::netsh
