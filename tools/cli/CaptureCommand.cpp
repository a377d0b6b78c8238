#include "cli/CaptureCommand.h"

#include "cli/Output.h"
#include "cli/ProfileValues.h"
#include "cli/QicData.h"
#include "core/LiveMatch.h"
#include "core/ProfileRecord.h"
#include "system/LiveState.h"

namespace quorv::cli {

namespace {

// The captured values as add's options, so that they pass add's checks on the way in.
AddOptions AsOptions(const apply::Profile& captured) {
    AddOptions add;
    add.interface = captured.Interface;
    if (captured.IsDhcp()) {
        add.dhcp = true;
    } else {
        add.ip = captured.IP;
        add.mask = captured.Mask;
        if (!captured.Gateway.empty()) {
            add.gateway = captured.Gateway;
        }
    }
    if (!captured.DNS1.empty()) {
        add.dns1 = captured.DNS1;
        if (!captured.DNS2.empty()) {
            add.dns2 = captured.DNS2;
        }
    }
    if (!captured.Printer.empty()) {
        add.printer = captured.Printer;
    }
    return add;
}

}  // namespace

CaptureCommand::CaptureCommand()
    : Command({"capture",
               "a new profile from an interface's present settings and the default printer",
               {{"NAME", "the new profile's name"}},
               "a profile name",
               {"interface"}}) {}

void CaptureCommand::CheckOptions(const Invocation& inv) const {
    if (!inv.add.interface) {
        throw UsageError("capture needs --interface");
    }
}

int CaptureCommand::Execute(const Invocation& inv, std::ostream&, std::ostream&) const {
    QicData data(inv);
    const inventory::LiveState live = inventory::ReadLiveState();
    const inventory::LiveAdapter* adapter = live.Find(*inv.add.interface);
    if (adapter == nullptr) {
        throw UsageError("there is no interface named " + Quoted(*inv.add.interface));
    }
    if (!adapter->dhcp && adapter->addresses.empty()) {
        throw UsageError(Quoted(adapter->name) +
                         " has no IPv4 address and does not obtain one automatically");
    }
    const apply::Profile captured =
        apply::CaptureProfile(*adapter, live.defaultPrinter.value_or(""));
    const apply::Profile profile = BuildProfile(inv.name, AsOptions(captured));
    if (!app::AddProfile(data.Profiles(), profile)) {
        throw UsageError("a profile named " + Quoted(profile.Name) + " exists already");
    }
    return kExitOk;
}

}  // namespace quorv::cli
