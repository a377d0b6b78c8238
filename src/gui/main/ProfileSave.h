#pragma once

#include <optional>

#include "core/Profile.h"

namespace quorv::store {
class TStoreTable;
}

namespace quorv::app {

// The one way a profile from the IP dialog reaches the data file, new or edited, so how
// the stored profile is found is decided in this place alone.
//
// A new profile (no `before`) is added unless its name is taken. An edited one is found
// again by its record, whatever another program renamed it to meanwhile, and only the
// columns the dialog changed are written (ChangeProfile); one deleted meanwhile is added
// again as the user saved it. Returns the profile as the file holds it now, or nullopt,
// with nothing written, when another profile has the name. A failed write is cancelled
// and its error raised.
std::optional<apply::Profile> SaveDialogProfile(store::TStoreTable& profiles,
                                                const apply::Profile& profile,
                                                const std::optional<apply::Profile>& before);

// Raises the store's refusal of a closed or read-only table, so the user hears of it
// before typing a profile rather than when saving it.
void RefuseUnwritableProfiles(store::TStoreTable& profiles);

}  // namespace quorv::app
