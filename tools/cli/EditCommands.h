#pragma once

#include "cli/Invocation.h"
#include "cli/QicCommand.h"
#include "core/Profile.h"

namespace quorv::store {
class TStoreTable;
}

namespace quorv::cli {

// The profile `qic edit` leaves: `existing` with the columns the options give changed, and
// the result checked exactly as `qic add` checks a new profile. An empty --gateway, --dns1,
// --dns2 or --printer clears that column; clearing --dns1 makes DNS automatic (DNS2 too).
apply::Profile EditedProfile(const apply::Profile& existing, const AddOptions& given);

// qic edit NAME ...: exit status; a refused value changes nothing.
int Edit(store::TStoreTable& profiles, const Invocation& inv);

// qic rename OLD NEW, by the window's rules: NEW may not be the name of any profile (OLD's
// own included); it is refused when longer than the Name column rather than cut, so the
// renamed profile is found by the name the user gave.
int Rename(store::TStoreTable& profiles, const Invocation& inv);

// qic edit NAME [add's options].
class EditCommand : public Command {
  public:
    EditCommand();
    int Execute(const Invocation& inv, std::ostream& out, std::ostream& err) const override;
};

// qic rename OLD NEW.
class RenameCommand : public Command {
  public:
    RenameCommand();
    int Execute(const Invocation& inv, std::ostream& out, std::ostream& err) const override;
};

}  // namespace quorv::cli
