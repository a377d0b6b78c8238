#pragma once

#include <string>

#include "core/Profile.h"

namespace quorv::store {
class TStoreTable;
}

namespace quorv::app {

// Positions the profile cursor on the profile of that name (exact, case-sensitive).
bool FindProfile(store::TStoreTable& profiles, const std::string& name);

// Positions the profile cursor on the record with that Num, which stays with a profile
// through renames and is never given to another; false when it is gone.
bool FindProfileByNum(store::TStoreTable& profiles, int num);

// Adds the profile unless one of that name exists (then false, nothing written). The
// check and the insert are one step under the data file's write lock, so two programs
// adding the same name at once cannot both succeed.
bool AddProfile(store::TStoreTable& profiles, const apply::Profile& profile);

// Writes the profile into a new record, or over the current one when `overCurrent`, and
// posts it; a write that fails is cancelled, leaving the table as it was.
void SaveProfile(store::TStoreTable& profiles, const apply::Profile& profile, bool overCurrent);

// How a change to one stored profile came out.
enum class ChangeOutcome {
    Saved,
    Unchanged,  // nothing differed: nothing was written
    NameTaken,  // another profile has the new name: nothing was written
    Gone,       // the profile was deleted meanwhile: nothing was written
};

// Changes the profile that was `before` when the caller read it to `after`. The record is
// found again by its Num, whatever it is called now, and under the data file's write
// lock only the columns in which `after` differs from `before` are written, so what
// another program changed in the other columns meanwhile (a rename, an edit) is kept.
ChangeOutcome ChangeProfile(store::TStoreTable& profiles, const apply::Profile& before,
                            const apply::Profile& after);

// The current record of tblIPList as a plain profile. Empty columns read as "" or 0.
apply::Profile ReadProfile(store::TStoreTable& profiles);

// Writes every column but Num into the current record, which must be in insert or edit
// state; string columns are cut to their widths. Post or Cancel is the caller's.
void WriteProfile(store::TStoreTable& profiles, const apply::Profile& profile);

// Writes one string column, cut to its width.
void WriteProfileText(store::TStoreTable& profiles, const char* column, const std::string& value);

}  // namespace quorv::app
