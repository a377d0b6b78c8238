#include "app/ProfileRecord.h"

#include "app/RecordLookup.h"
#include "store/StoreTable.h"

namespace quorv::app {

using apply::Profile;
using store::TStoreTable;

bool FindProfile(TStoreTable& profiles, const std::string& name) {
    return FindByName(profiles, name);
}

Profile ReadProfile(TStoreTable& profiles) {
    auto text = [&](const char* column) { return profiles.FieldByName(column).AsString(); };
    Profile p;
    p.Num = profiles.FieldByName("Num").AsInteger();
    p.Name = text("Name");
    p.IP = text("IP");
    p.Mask = text("Mask");
    p.Gateway = text("Gateway");
    p.DNS1 = text("DNS1");
    p.DNS2 = text("DNS2");
    p.Interface = text("Interface");
    p.Printer = text("Printer");
    p.Icon = profiles.FieldByName("Icon").AsInteger();
    p.Script = text("Script");
    return p;
}

void WriteProfileText(TStoreTable& profiles, const char* column, const std::string& value) {
    const int width = apply::ProfileColumnWidth(column);
    profiles.FieldByName(column).SetAsString(
        width > 0 ? apply::CutToWidth(value, static_cast<size_t>(width)) : value);
}

void WriteProfile(TStoreTable& profiles, const Profile& p) {
    WriteProfileText(profiles, "Name", p.Name);
    WriteProfileText(profiles, "IP", p.IP);
    WriteProfileText(profiles, "Mask", p.Mask);
    WriteProfileText(profiles, "Gateway", p.Gateway);
    WriteProfileText(profiles, "DNS1", p.DNS1);
    WriteProfileText(profiles, "DNS2", p.DNS2);
    WriteProfileText(profiles, "Interface", p.Interface);
    WriteProfileText(profiles, "Printer", p.Printer);
    profiles.FieldByName("Icon").SetAsInteger(p.Icon);
    WriteProfileText(profiles, "Script", p.Script);
}

}  // namespace quorv::app
