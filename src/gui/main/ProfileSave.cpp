#include "gui/main/ProfileSave.h"

#include "core/ProfileRecord.h"
#include "store/StoreTable.h"

namespace quorv::app {

std::optional<apply::Profile> SaveDialogProfile(store::TStoreTable& profiles,
                                                const apply::Profile& profile,
                                                const std::optional<apply::Profile>& before) {
    if (before) {
        switch (ChangeProfile(profiles, *before, profile)) {
            case ChangeOutcome::Saved:
                return ReadProfile(profiles);
            case ChangeOutcome::Unchanged:
                return *before;
            case ChangeOutcome::NameTaken:
                return std::nullopt;
            case ChangeOutcome::Gone:
                break;
        }
    }
    if (!AddProfile(profiles, profile)) {
        return std::nullopt;
    }
    return profile;
}

void RefuseUnwritableProfiles(store::TStoreTable& profiles) {
    if (!profiles.CanModify()) {
        // Insert raises the store's own message for either case.
        profiles.Insert();
        profiles.Cancel();
    }
}

}  // namespace quorv::app
