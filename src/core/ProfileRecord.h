#pragma once

#include <string>

#include "core/Profile.h"

namespace quorv::store {
class TStoreTable;
}

namespace quorv::app {

// Positions the profile cursor on the profile of that name (exact, case-sensitive).
bool FindProfile(store::TStoreTable& profiles, const std::string& name);

// Adds the profile unless one of that name exists (then false, nothing written). The
// check and the insert are one step under the data file's write lock, so two programs
// adding the same name at once cannot both succeed.
bool AddProfile(store::TStoreTable& profiles, const apply::Profile& profile);

// Writes the profile into a new record, or over the current one when `overCurrent`, and
// posts it; a write that fails is cancelled, leaving the table as it was.
void SaveProfile(store::TStoreTable& profiles, const apply::Profile& profile, bool overCurrent);

// The current record of tblIPList as a plain profile. Empty columns read as "" or 0.
apply::Profile ReadProfile(store::TStoreTable& profiles);

// Writes every column but Num into the current record, which must be in insert or edit
// state; string columns are cut to their widths. Post or Cancel is the caller's.
void WriteProfile(store::TStoreTable& profiles, const apply::Profile& profile);

// Writes one string column, cut to its width.
void WriteProfileText(store::TStoreTable& profiles, const char* column, const std::string& value);

}  // namespace quorv::app
