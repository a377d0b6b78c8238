#include "core/ProfileRecord.h"

#include "core/RecordLookup.h"
#include "core/TableWriteLock.h"
#include "store/StoreTable.h"

namespace quorv::app {

using apply::Profile;
using store::TStoreTable;

bool FindProfile(TStoreTable& profiles, const std::string& name) {
    return FindByName(profiles, name);
}

bool AddProfile(TStoreTable& profiles, const Profile& profile) {
    const TableWriteLock lock(profiles);
    if (FindProfile(profiles, profile.Name)) {
        return false;
    }
    SaveProfile(profiles, profile, false);
    return true;
}

void SaveProfile(TStoreTable& profiles, const Profile& profile, bool overCurrent) {
    if (overCurrent) {
        profiles.Edit();
    } else {
        profiles.Insert();
    }
    try {
        WriteProfile(profiles, profile);
        profiles.Post();
    } catch (...) {
        profiles.Cancel();
        throw;
    }
}

Profile ReadProfile(TStoreTable& profiles) {
    Profile p;
    p.Num = profiles.FieldByName("Num").AsInteger();
    for (const apply::ProfileTextColumn& column : apply::kProfileTextColumns) {
        p.*column.member = profiles.FieldByName(column.name).AsString();
    }
    p.Icon = profiles.FieldByName("Icon").AsInteger();
    p.Script = profiles.FieldByName("Script").AsString();
    return p;
}

void WriteProfileText(TStoreTable& profiles, const char* column, const std::string& value) {
    const int width = apply::ProfileColumnWidth(column);
    profiles.FieldByName(column).SetAsString(
        width > 0 ? apply::CutToWidth(value, static_cast<size_t>(width)) : value);
}

void WriteProfile(TStoreTable& profiles, const Profile& p) {
    for (const apply::ProfileTextColumn& column : apply::kProfileTextColumns) {
        WriteProfileText(profiles, column.name, p.*column.member);
    }
    profiles.FieldByName("Icon").SetAsInteger(p.Icon);
    WriteProfileText(profiles, "Script", p.Script);
}

}  // namespace quorv::app
