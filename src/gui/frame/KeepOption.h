#pragma once

#include "gui/frame/PlacementStorage.h"

namespace quorv::settings {

// Whether an apply from the window asks to keep the new settings, and for how long. Per
// user, beside the placement: the data file's option table is shared with the program's
// other versions, which know nothing of it.
struct KeepOption {
    bool ask = false;
    int seconds = 15;
};

// The stored option; a missing or damaged value gives the default, seconds out of range
// the nearest allowed.
KeepOption ReadKeepOption(const IPlacementStorage& storage);

// Throws quorv::Exception when the values cannot be stored.
void WriteKeepOption(IPlacementStorage& storage, const KeepOption& option);

}  // namespace quorv::settings
