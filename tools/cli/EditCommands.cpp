#include "cli/EditCommands.h"

#include <algorithm>

#include "cli/Output.h"
#include "cli/ProfileCommands.h"
#include "cli/ProfileValues.h"
#include "cli/QicData.h"
#include "core/ProfileRecord.h"
#include "core/TableWriteLock.h"
#include "store/StoreTable.h"

namespace quorv::cli {

using apply::Profile;

namespace {

std::optional<std::string> Kept(const std::string& stored) {
    return stored.empty() ? std::nullopt : std::optional<std::string>(stored);
}

// A given value wins, an empty one clears; otherwise the stored one stays.
std::optional<std::string> Merged(const std::optional<std::string>& given,
                                  const std::string& stored) {
    return given ? Kept(*given) : Kept(stored);
}

}  // namespace

Profile EditedProfile(const Profile& existing, const AddOptions& given) {
    AddOptions merged;
    merged.interface = given.interface ? given.interface : std::optional(existing.Interface);

    const bool wasDhcp = existing.IsDhcp();
    if (wasDhcp && !given.ip && !given.mask && !given.dhcp && given.gateway &&
        !given.gateway->empty()) {
        throw UsageError(
            "the profile obtains its address automatically; a gateway needs --ip "
            "and --mask");
    }
    if (given.dhcp || (wasDhcp && !given.ip && !given.mask)) {
        // add refuses addresses beside --dhcp; an empty --gateway is only a no-op here.
        merged.dhcp = true;
        merged.ip = given.ip;
        merged.mask = given.mask;
        merged.gateway = given.gateway ? Kept(*given.gateway) : std::nullopt;
    } else {
        merged.ip = given.ip ? given.ip : (wasDhcp ? std::nullopt : std::optional(existing.IP));
        merged.mask =
            given.mask ? given.mask : (wasDhcp ? std::nullopt : std::optional(existing.Mask));
        merged.gateway = Merged(given.gateway, wasDhcp ? std::string() : existing.Gateway);
    }

    merged.dns1 = Merged(given.dns1, existing.DNS1);
    merged.dns2 = merged.dns1 ? Merged(given.dns2, existing.DNS2) : std::nullopt;
    if (!merged.dns1 && given.dns2 && !given.dns2->empty()) {
        merged.dns2 = given.dns2;  // add's own message: --dns2 needs --dns1
    }
    merged.printer = Merged(given.printer, existing.Printer);
    merged.icon = given.icon;
    merged.scriptFile = given.scriptFile;

    Profile p = BuildProfile(existing.Name, merged);
    if (!given.icon) {
        p.Icon = existing.Icon;
    }
    if (!given.scriptFile) {
        p.Script = existing.Script;
    }
    return p;
}

int Edit(store::TStoreTable& profiles, const Invocation& inv) {
    if (!app::FindProfile(profiles, inv.name)) {
        throw UsageError("no profile is named " + Quoted(inv.name));
    }
    // Only the columns given are written, under the write lock, to the record as it is in
    // the file then: a window or another qic changing the others meanwhile keeps its change.
    const Profile before = app::ReadProfile(profiles);
    if (app::ChangeProfile(profiles, before, EditedProfile(before, inv.add)) ==
        app::ChangeOutcome::Gone) {
        throw UsageError("no profile is named " + Quoted(inv.name));
    }
    return kExitOk;
}

int Rename(store::TStoreTable& profiles, const Invocation& inv) {
    const std::string& name = inv.newName;
    if (std::any_of(name.begin(), name.end(), IsControl)) {
        throw UsageError("the new name contains a control character");
    }
    const auto width = static_cast<size_t>(apply::ProfileColumnWidth("Name"));
    if (name.size() > width) {
        throw UsageError("the new name is longer than " + std::to_string(width) + " bytes");
    }
    // Under the write lock no other program can take the name between the look-up and the
    // write.
    const app::TableWriteLock lock(profiles);
    if (app::FindProfile(profiles, name)) {
        throw UsageError("a profile named " + Quoted(name) + " exists already");
    }
    if (!app::FindProfile(profiles, inv.name)) {
        throw UsageError("no profile is named " + Quoted(inv.name));
    }
    profiles.Edit();
    try {
        app::WriteProfileText(profiles, "Name", name);
        profiles.Post();
    } catch (...) {
        profiles.Cancel();
        throw;
    }
    return kExitOk;
}

EditCommand::EditCommand()
    : Command({"edit",
               "changes only the columns given; an empty --gateway, --dns1, --dns2 or --printer "
               "clears it",
               {{"NAME", "the profile"}},
               "a profile name",
               ProfileOptionNames()}) {}

int EditCommand::Execute(const Invocation& inv, std::ostream&, std::ostream&) const {
    QicData data(inv);
    return Edit(data.Profiles(), inv);
}

RenameCommand::RenameCommand()
    : Command({"rename",
               "gives a profile another name",
               {{"OLD", "the profile"}, {"NEW", "its new name, which no profile may have"}},
               "the old and the new name",
               {}}) {}

int RenameCommand::Execute(const Invocation& inv, std::ostream&, std::ostream&) const {
    QicData data(inv);
    return Rename(data.Profiles(), inv);
}

}  // namespace quorv::cli
