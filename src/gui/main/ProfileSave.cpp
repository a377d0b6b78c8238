#include "gui/main/ProfileSave.h"

#include "core/ProfileRecord.h"
#include "core/TableWriteLock.h"
#include "store/StoreTable.h"

namespace quorv::app {

bool SaveDialogProfile(store::TStoreTable& profiles, const apply::Profile& profile,
                       const std::optional<std::string>& storedName) {
    if (!storedName) {
        return AddProfile(profiles, profile);
    }
    const TableWriteLock lock(profiles);
    if (profile.Name != *storedName && FindProfile(profiles, profile.Name)) {
        return false;
    }
    SaveProfile(profiles, profile, FindProfile(profiles, *storedName));
    return true;
}

void RefuseUnwritableProfiles(store::TStoreTable& profiles) {
    if (!profiles.CanModify()) {
        // Insert raises the store's own message for either case.
        profiles.Insert();
        profiles.Cancel();
    }
}

}  // namespace quorv::app
