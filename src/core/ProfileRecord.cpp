#include "core/ProfileRecord.h"

#include <vector>

#include "core/RecordLookup.h"
#include "core/TableWriteLock.h"
#include "store/StoreTable.h"

namespace quorv::app {

using apply::Profile;
using store::TStoreTable;

bool FindProfile(TStoreTable& profiles, const std::string& name) {
    return FindByName(profiles, name);
}

bool FindProfileByNum(TStoreTable& profiles, int num) {
    for (profiles.First(); !profiles.Eof(); profiles.Next()) {
        if (profiles.FieldByName("Num").AsInteger() == num) {
            return true;
        }
    }
    return false;
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

ChangeOutcome ChangeProfile(TStoreTable& profiles, const Profile& before, const Profile& after) {
    std::vector<const apply::ProfileTextColumn*> changed;
    for (const apply::ProfileTextColumn& column : apply::kProfileTextColumns) {
        if (before.*column.member != after.*column.member) {
            changed.push_back(&column);
        }
    }
    const bool icon = before.Icon != after.Icon;
    const bool script = before.Script != after.Script;
    if (changed.empty() && !icon && !script) {
        return ChangeOutcome::Unchanged;
    }
    const TableWriteLock lock(profiles);
    if (before.Name != after.Name && FindProfile(profiles, after.Name) &&
        profiles.FieldByName("Num").AsInteger() != before.Num) {
        return ChangeOutcome::NameTaken;
    }
    if (!FindProfileByNum(profiles, before.Num)) {
        return ChangeOutcome::Gone;
    }
    profiles.Edit();
    try {
        for (const apply::ProfileTextColumn* column : changed) {
            WriteProfileText(profiles, column->name, after.*column->member);
        }
        if (icon) {
            profiles.FieldByName("Icon").SetAsInteger(after.Icon);
        }
        if (script) {
            WriteProfileText(profiles, "Script", after.Script);
        }
        profiles.Post();
    } catch (...) {
        profiles.Cancel();
        throw;
    }
    return ChangeOutcome::Saved;
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
