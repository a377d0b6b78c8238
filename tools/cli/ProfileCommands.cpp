#include "cli/ProfileCommands.h"

#include <algorithm>

#include "cli/Output.h"
#include "cli/ProfileValues.h"
#include "cli/QicData.h"
#include "core/ProfileRecord.h"
#include "store/KeyCompare.h"

namespace quorv::cli {

using apply::Profile;

std::vector<std::string_view> ProfileOptionNames() {
    return {"interface", "dhcp", "ip",      "mask", "gateway",
            "dns1",      "dns2", "printer", "icon", "script-file"};
}

namespace {

// The profiles in the list's order: ascending by name, locale-aware and case-sensitive.
std::vector<Profile> ListOrder(store::TStoreTable& profiles) {
    std::vector<Profile> list;
    profiles.Refresh();
    for (profiles.First(); !profiles.Eof(); profiles.Next()) {
        list.push_back(app::ReadProfile(profiles));
    }
    std::stable_sort(list.begin(), list.end(), [](const Profile& a, const Profile& b) {
        return store::CollateText(a.Name, b.Name, false) < 0;
    });
    return list;
}

}  // namespace

ListCommand::ListCommand()
    : Command({"list",
               "the profiles: name, first IP, first mask, gateway, DNS1, DNS2, interface "
               "(tab-separated)",
               {},
               "",
               {"json"}}) {}

int ListCommand::Execute(const Invocation& inv, std::ostream& out, std::ostream& err) const {
    QicData data(inv);
    data.WarnDamaged(err);
    const std::vector<Profile> list = ListOrder(data.Profiles());
    if (inv.json) {
        out << ProfileListJson(list);
        return kExitOk;
    }
    for (const Profile& p : list) {
        out << ListLine(p) << '\n';
    }
    return kExitOk;
}

ShowCommand::ShowCommand()
    : Command({"show",
               "every column of one profile",
               {{"NAME", "the profile"}},
               "a profile name",
               {"json"}}) {}

int ShowCommand::Execute(const Invocation& inv, std::ostream& out, std::ostream& err) const {
    QicData data(inv);
    data.WarnDamaged(err);
    const Profile p = data.Find(inv.name);
    out << (inv.json ? ProfileJson(p) + '\n' : ShowText(p));
    return kExitOk;
}

AddCommand::AddCommand()
    : Command({"add",
               "a new profile: --interface, and --dhcp or --ip with --mask; without --dns1 DNS "
               "is automatic",
               {{"NAME", "the new profile's name"}},
               "a profile name",
               ProfileOptionNames()}) {}

int AddCommand::Execute(const Invocation& inv, std::ostream&, std::ostream&) const {
    QicData data(inv);
    const Profile profile = BuildProfile(inv.name, inv.add);
    if (!app::AddProfile(data.Profiles(), profile)) {
        throw UsageError("a profile named " + Quoted(profile.Name) + " exists already");
    }
    return kExitOk;
}

DeleteCommand::DeleteCommand()
    : Command({"delete", "removes a profile", {{"NAME", "the profile"}}, "a profile name", {}}) {}

int DeleteCommand::Execute(const Invocation& inv, std::ostream&, std::ostream&) const {
    QicData data(inv);
    data.Find(inv.name);
    data.Profiles().Delete();
    return kExitOk;
}

}  // namespace quorv::cli
