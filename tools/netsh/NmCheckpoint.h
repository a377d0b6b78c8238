#pragma once

#include <string>

#include "system/NmBus.h"

namespace quorv::netsh {

// NetworkManager's checkpoints of one device (CheckpointCreate and its kin). Each throws
// inventory::NmError, whose PermissionDenied() says polkit refused.

// A checkpoint of the device that NetworkManager rolls back by itself after rollbackSeconds.
// Its object path.
std::string CreateCheckpoint(const inventory::NmBus& bus, const std::string& devicePath,
                             int rollbackSeconds);
// NetworkManager's own deadline, moved to rollbackSeconds from now: the script's run must not
// eat into the time the user has to answer.
void AdjustCheckpoint(const inventory::NmBus& bus, const std::string& checkpoint,
                      int rollbackSeconds);
// The new settings stay.
void DestroyCheckpoint(const inventory::NmBus& bus, const std::string& checkpoint);
// Back to the checkpoint now; throws when NetworkManager says the device did not come back.
void RollbackCheckpoint(const inventory::NmBus& bus, const std::string& checkpoint);

}  // namespace quorv::netsh
