#include "netsh/NmApply.h"

#include <sys/random.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>
#include <set>

#include "netsh/NmDeviceWatch.h"
#include "netsh/NmEdit.h"
#include "netsh/NmSettings.h"
#include "netsh/Script.h"

namespace quorv::netsh {
namespace {

using inventory::DbusArgs;
using inventory::DbusValue;
using inventory::NmBus;
using inventory::NmError;

constexpr std::uint32_t kActivated = NM_DEVICE_STATE_ACTIVATED;
constexpr const char* kModifySystem = "org.freedesktop.NetworkManager.settings.modify.system";
constexpr const char* kModifyOwn = "org.freedesktop.NetworkManager.settings.modify.own";
constexpr const char* kNetworkControl = "org.freedesktop.NetworkManager.network-control";

[[noreturn]] void Denied(const std::string& ifname, const char* permission) {
    throw NetshError("NetworkManager does not allow this user to change " + Quoted(ifname) +
                     ": the permission " + permission + " is missing.");
}

// Asking first keeps a refused change from being half made (saved but not applied). True when
// every permission is granted outright, without asking the user.
// asked: the question already sent (see AskPermissions).
bool CheckPermissions(NmBus& bus, const std::string& ifname, const std::vector<const char*>& needed,
                      std::unique_ptr<inventory::NmPending> asked = nullptr) {
    if (geteuid() == 0) {
        return true;  // NetworkManager grants root everything without asking polkit
    }
    DbusArgs reply =
        asked ? asked->Wait()
              : bus.Call(NM_DBUS_PATH, NM_DBUS_INTERFACE, "GetPermissions", {}, "(a{ss})");
    std::map<std::string, std::string> results;
    for (const auto& entry : reply[0].Items()) {
        results[entry.Items()[0].Text()] = entry.Items()[1].Text();
    }
    // "auth" is left to the call: the desktop's agent may ask the user for a password.
    bool granted = true;
    for (const char* permission : needed) {
        if (results[permission] == "no") {
            Denied(ifname, permission);
        }
        granted = granted && results[permission] == "yes";
    }
    return granted;
}

// The IPv4 settings a device should show once `wanted` is applied.
struct Wanted {
    std::string method;
    std::set<std::string> addresses;
    std::string gateway;
    bool staticDns = false;
    std::vector<std::string> dns;
};

Wanted WantedOf(const NmSettings& settings) {
    Wanted w;
    w.method = Ip4Method(settings);
    for (const auto& [address, prefix] : Ip4Addresses(settings)) {
        w.addresses.insert(address + "/" + std::to_string(prefix));
    }
    w.gateway = Ip4Gateway(settings);
    w.staticDns = Ip4IgnoreAutoDns(settings) || w.method == "manual";
    w.dns = Ip4Dns(settings);
    return w;
}

bool Shows(const DeviceNow& now, const Wanted& w) {
    if (now.state != kActivated) {
        return false;
    }
    if (w.method == "manual") {
        if (now.addresses != w.addresses || now.gateway != w.gateway) {
            return false;
        }
    } else if (w.method == "auto") {
        bool holdsLease =
            !now.leased.empty() &&
            std::any_of(now.addresses.begin(), now.addresses.end(),
                        [&](const std::string& a) { return a.rfind(now.leased + "/", 0) == 0; });
        if (!holdsLease) {
            return false;
        }
        if (!w.staticDns) {
            for (const auto& server : now.leaseDns) {
                if (std::find(now.dns.begin(), now.dns.end(), server) == now.dns.end()) {
                    return false;
                }
            }
        }
    }
    return !w.staticDns || now.dns == w.dns;
}

// Tells `shown` of each phase the device shows, in order, while it is waited for.
class PhaseWatch {
  public:
    PhaseWatch(const Wanted& wanted, const std::function<void(Phase)>& shown)
        : wanted_(wanted), shown_(shown) {}

    void See(const DeviceNow& now) {
        if (now.state != kActivated) {
            return;
        }
        const Wanted& w = wanted_;
        bool address = w.method == "manual" ? now.addresses == w.addresses
                                            : (w.method != "auto" || !now.leased.empty());
        bool gateway = address && (w.method != "manual" || now.gateway == w.gateway);
        bool dns = gateway && Shows(now, w);
        int reached = dns ? 3 : gateway ? 2 : address ? 1 : 0;
        if (reached > reported_) {
            reported_ = reached;
            if (shown_) {
                shown_(Phase(reached - 1));
            }
        }
    }

    bool AddressShown() const { return reported_ > 0; }

  private:
    const Wanted& wanted_;
    const std::function<void(Phase)>& shown_;
    int reported_ = 0;
};

void Activate(NmBus& bus, const std::string& device, const std::string& ifname,
              const std::string& connection, const Wanted* wanted, PhaseWatch* watch = nullptr) {
    DbusArgs reply;
    try {
        reply = bus.Call(NM_DBUS_PATH, NM_DBUS_INTERFACE, "ActivateConnection",
                         {DbusValue::ObjectPath(connection), DbusValue::ObjectPath(device),
                          DbusValue::ObjectPath("/")},
                         "(o)");
    } catch (const NmError& e) {
        if (e.PermissionDenied()) {
            Denied(ifname, kNetworkControl);
        }
        if (!bus.Running()) {
            Stopped(ifname);
        }
        throw NetshError("NetworkManager could not activate " + Quoted(ifname) + ": " + e.what());
    }
    const std::string activation = reply[0].Text();
    WaitForDevice(
        bus, device, ifname,
        [&](const DeviceNow& now) {
            if (now.activation != activation) {
                return false;
            }
            if (watch) {
                watch->See(now);
            }
            return now.state == kActivated && (!wanted || Shows(now, *wanted));
        },
        true);
}

// A version 4 UUID, as NetworkManager's own tools make for a new connection.
std::string RandomUuid() {
    unsigned char b[16] = {};
    if (getrandom(b, sizeof b, 0) != ssize_t(sizeof b)) {
        throw NetshError("No random numbers for a new connection's UUID.");
    }
    b[6] = (b[6] & 0x0f) | 0x40;
    b[8] = (b[8] & 0x3f) | 0x80;
    char text[37];
    std::snprintf(text, sizeof text,
                  "%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x", b[0],
                  b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8], b[9], b[10], b[11], b[12], b[13],
                  b[14], b[15]);
    return text;
}

// A wired device without any connection gets one of its own, named after the interface.
NmSettings NewConnection(const DbusValue& deviceProps, const std::string& ifname) {
    std::uint32_t type = inventory::UintOf(deviceProps, "DeviceType");
    if (type != NM_DEVICE_TYPE_ETHERNET && type != NM_DEVICE_TYPE_VETH) {
        throw NetshError("NetworkManager has no connection for " + Quoted(ifname) + ".");
    }
    NmSettings s;
    s.Set("connection", "id", DbusValue::String(ifname));
    s.Set("connection", "uuid", DbusValue::String(RandomUuid()));
    s.Set("connection", "type", DbusValue::String("802-3-ethernet"));
    s.Set("connection", "interface-name", DbusValue::String(ifname));
    return s;
}

// True when the device runs with `summary` and shows it.
bool AlreadyApplied(NmBus& bus, const std::string& device, const Ip4Summary& summary,
                    const Wanted& wanted) {
    try {
        auto applied = bus.Start(device, NM_DBUS_INTERFACE_DEVICE, "GetAppliedConnection",
                                 {DbusValue::Uint32(0)}, "(a{sa{sv}}t)");
        DeviceNow now = ReadDevice(bus, device);
        DbusArgs reply = applied->Wait();
        return SummaryOf(NmSettings(reply[0])) == summary && Shows(now, wanted);
    } catch (const NmError&) {
        return false;  // then it is simply applied again
    }
}

DbusValue SettingsOf(NmBus& bus, const std::string& connection,
                     std::map<std::string, std::unique_ptr<inventory::NmPending>>& early) {
    auto asked = early.find(connection);
    if (asked == early.end()) {
        return bus.Settings(connection);
    }
    return asked->second->Wait()[0];
}

bool AutomaticDns(const NmSettings& s) {
    return !Ip4IgnoreAutoDns(s) && Ip4Dns(s).empty();
}

// Connections limited to some users are changed under the "own" permission.
bool OwnConnection(const NmSettings& s) {
    const DbusValue* users = s.Get("connection", "permissions");
    return users && users->Is("as") && !users->Items().empty();
}

DbusValue NoOptions() {
    return DbusValue::Dict("v", {});
}

}  // namespace

void ExecuteThroughNetworkManager(NmBus& bus, const std::string& device, const DbusValue& props,
                                  const std::vector<Command>& commands,
                                  const std::function<void(Phase)>& shown) {
    if (commands.empty()) {
        return;
    }
    const std::string& ifname = commands.front().name;
    bus.WatchChanges();
    // The settings of the connections the device can take are asked for together with the
    // question which one is active (and the user's permissions): usually there are one or two,
    // and round trips are saved.
    std::unique_ptr<inventory::NmPending> permissions;
    if (geteuid() != 0) {
        permissions = bus.Start(NM_DBUS_PATH, NM_DBUS_INTERFACE, "GetPermissions", {}, "(a{ss})");
    }
    std::map<std::string, std::unique_ptr<inventory::NmPending>> early;
    if (auto available = inventory::PathsOf(props, "AvailableConnections"); available.size() <= 4) {
        for (const auto& path : available) {
            early[path] = bus.Start(path, NM_DBUS_INTERFACE_SETTINGS_CONNECTION, "GetSettings", {},
                                    "(a{sa{sv}})");
        }
    }
    std::string target = inventory::NmTargetConnection(bus, props);

    NmSettings edited =
        target.empty() ? NewConnection(props, ifname) : NmSettings(SettingsOf(bus, target, early));
    const char* modify = OwnConnection(edited) ? kModifyOwn : kModifySystem;
    bool granted = CheckPermissions(bus, ifname, {modify, kNetworkControl}, std::move(permissions));

    bool autoDnsBefore = AutomaticDns(edited);
    bool leaseBefore = Ip4Method(edited) == "auto" || !edited.Get("ipv4", "method");
    Ip4Summary before = SummaryOf(edited);
    // Every edit goes to this one copy: a refused one leaves nothing saved.
    std::optional<std::vector<std::string>> inUse;
    for (std::size_t i = 0; i < commands.size(); ++i) {
        if (NeedsInUseDns(edited, commands[i]) && !inUse) {
            inUse = ReadDevice(bus, device).dns;
        }
        try {
            EditIp4(edited, commands[i], inUse.value_or(std::vector<std::string>{}));
        } catch (const NetshError& e) {
            throw StepError(i, e.what());
        }
    }
    Wanted wanted = WantedOf(edited);
    PhaseWatch watch(wanted, shown);
    // NetworkManager takes a lease's servers only when the lease comes: turning automatic DNS
    // back on under a lease it already holds needs a new activation, Reapply would not do. A
    // method that turns to automatic starts a new lease, whose servers Reapply takes.
    bool renewLease =
        leaseBefore && !autoDnsBefore && AutomaticDns(edited) && wanted.method == "auto";
    bool reapply = !target.empty() && !renewLease &&
                   inventory::StringOf(props, "ActiveConnection", "/") != "/";
    // A profile applied again mostly repeats what is saved and shown. Saving and reapplying it
    // anyway would cost NetworkManager a disk write and a pass over the device, and wake every
    // dispatcher script, for nothing.
    if (Ip4Summary after = SummaryOf(edited);
        reapply && granted && after == before && AlreadyApplied(bus, device, after, wanted)) {
        return;
    }

    // The device takes the settings while NetworkManager writes them to disk. Only when nothing
    // can be refused: a refused save must not leave the device changed.
    std::unique_ptr<inventory::NmPending> reapplying;
    if (reapply && granted) {
        reapplying =
            bus.Start(device, NM_DBUS_INTERFACE_DEVICE, "Reapply",
                      {edited.ToValue(), DbusValue::Uint64(0), DbusValue::Uint32(0)}, nullptr);
    }
    ConfigPaths paths{inventory::StringOf(props, "Ip4Config", "/"),
                      inventory::StringOf(props, "Dhcp4Config", "/")};
    try {
        DbusValue settings = edited.ToValue();
        if (!target.empty()) {
            auto saving = bus.Start(
                target, NM_DBUS_INTERFACE_SETTINGS_CONNECTION, "Update2",
                {settings, DbusValue::Uint32(NM_SETTINGS_UPDATE2_FLAG_TO_DISK), NoOptions()},
                "(a{sv})");
            saving->Wait();
        } else {
            DbusArgs reply =
                bus.Call(NM_DBUS_PATH_SETTINGS, NM_DBUS_INTERFACE_SETTINGS, "AddConnection2",
                         {settings, DbusValue::Uint32(NM_SETTINGS_ADD_CONNECTION2_FLAG_TO_DISK),
                          NoOptions()},
                         "(oa{sv})");
            target = reply[0].Text();
        }
    } catch (const NmError& e) {
        if (e.PermissionDenied()) {
            Denied(ifname, modify);
        }
        if (!bus.Running()) {
            Stopped(ifname);
        }
        throw NetshError("NetworkManager did not take the settings for " + Quoted(ifname) + ": " +
                         e.what());
    }

    try {
        if (reapply) {
            try {
                // Reapply keeps the link up: only what changed is redone.
                if (!reapplying) {
                    reapplying = bus.Start(
                        device, NM_DBUS_INTERFACE_DEVICE, "Reapply",
                        {DbusValue::Dict("a{sv}", {}), DbusValue::Uint64(0), DbusValue::Uint32(0)},
                        nullptr);
                }
                reapplying->Wait();
                WaitForDevice(
                    bus, device, ifname,
                    [&](const DeviceNow& now) {
                        watch.See(now);
                        return Shows(now, wanted);
                    },
                    false, paths);
                return;
            } catch (const NmError& e) {
                if (e.PermissionDenied()) {
                    Denied(ifname, kNetworkControl);
                }
                // Changes that cannot be reapplied take a new activation.
            }
        }
        Activate(bus, device, ifname, target, &wanted, &watch);
    } catch (const WaitTimedOut& e) {
        // Saved and applied; what is missing is a DHCP server's answer.
        if (wanted.method == "auto" && !watch.AddressShown()) {
            throw NoLease(e.what());
        }
        throw;
    }
}

void RenewThroughNetworkManager(NmBus& bus, const std::string& device) {
    DbusValue props = bus.Properties(device, NM_DBUS_INTERFACE_DEVICE);
    std::string ifname = inventory::StringOf(props, "Interface");
    CheckPermissions(bus, ifname, {kNetworkControl});
    bus.WatchChanges();
    std::string target = inventory::NmTargetConnection(bus, props);
    if (target.empty()) {
        throw NetshError("NetworkManager has no connection for " + Quoted(ifname) + ".");
    }
    Activate(bus, device, ifname, target, nullptr);
}

void ReleaseThroughNetworkManager(NmBus& bus, const std::string& device) {
    DbusValue props = bus.Properties(device, NM_DBUS_INTERFACE_DEVICE);
    std::string ifname = inventory::StringOf(props, "Interface");
    CheckPermissions(bus, ifname, {kNetworkControl});
    bus.WatchChanges();
    try {
        bus.Call(device, NM_DBUS_INTERFACE_DEVICE, "Disconnect", {}, nullptr);
    } catch (const NmError& e) {
        if (e.PermissionDenied()) {
            Denied(ifname, kNetworkControl);
        }
        throw NetshError("NetworkManager could not release " + Quoted(ifname) + ": " + e.what());
    }
    WaitForDevice(
        bus, device, ifname,
        [](const DeviceNow& now) { return now.state <= NM_DEVICE_STATE_DISCONNECTED; }, false);
}

}  // namespace quorv::netsh
