#pragma once

#include <optional>
#include <string>

#include "core/Profile.h"

namespace quorv::store {
class TStoreTable;
}

namespace quorv::app {

// The one way a profile from the IP dialog reaches the data file, new or edited, so how
// the stored profile is found is decided in this place alone.
//
// Under the data file's write lock: false, with nothing written, when a profile other
// than the one edited has the name; otherwise writes the profile over the record named
// `storedName` or, for a new profile (nullopt) or one another program deleted meanwhile,
// into a new record, and posts. A failed write is cancelled and its error raised.
bool SaveDialogProfile(store::TStoreTable& profiles, const apply::Profile& profile,
                       const std::optional<std::string>& storedName);

// Raises the store's refusal of a closed or read-only table, so the user hears of it
// before typing a profile rather than when saving it.
void RefuseUnwritableProfiles(store::TStoreTable& profiles);

}  // namespace quorv::app
