#include "netsh/NmApply.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <map>
#include <set>

#include "netsh/NmEdit.h"
#include "netsh/NmSettings.h"

namespace quorv::netsh {
namespace {

using inventory::NmBus;
using inventory::NmError;
using inventory::Variant;

constexpr int kWaitMs = 20000;
constexpr guint32 kActivated = NM_DEVICE_STATE_ACTIVATED;
constexpr const char* kModifySystem = "org.freedesktop.NetworkManager.settings.modify.system";
constexpr const char* kModifyOwn = "org.freedesktop.NetworkManager.settings.modify.own";
constexpr const char* kNetworkControl = "org.freedesktop.NetworkManager.network-control";

std::string Quoted(const std::string& ifname) {
    return "\"" + Printable(ifname) + "\"";
}

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
    Variant reply =
        asked ? asked->Wait()
              : bus.Call(NM_DBUS_PATH, NM_DBUS_INTERFACE, "GetPermissions", nullptr, "(a{ss})");
    std::map<std::string, std::string> results;
    GVariantIter* iter = nullptr;
    g_variant_get(reply.get(), "(a{ss})", &iter);
    const char* key = nullptr;
    const char* value = nullptr;
    while (g_variant_iter_next(iter, "{&s&s}", &key, &value)) {
        results[key] = value;
    }
    g_variant_iter_free(iter);
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

// What the device runs with now.
struct DeviceNow {
    guint32 state = 0;
    guint32 reason = 0;
    std::string activation = "/";
    std::set<std::string> addresses;  // "a.b.c.d/prefix"
    std::string gateway;
    std::vector<std::string> dns;
    std::string leased;  // address of the DHCP lease
    std::vector<std::string> leaseDns;
};

// The objects that hold a device's IPv4 state. They are asked for together with the device on
// the guess that they are still those it had, which saves a round trip whenever it holds.
struct ConfigPaths {
    std::string ip4 = "/";
    std::string dhcp = "/";
};

std::unique_ptr<inventory::NmPending> StartProperties(NmBus& bus, const std::string& path,
                                                      const char* interface) {
    return bus.Start(path, "org.freedesktop.DBus.Properties", "GetAll",
                     g_variant_new("(s)", interface), "(a{sv})");
}

// One reading of the device, sent at construction and collected by Result.
class DeviceRead {
  public:
    DeviceRead(NmBus& bus, const std::string& device, const ConfigPaths& guess)
        : bus_(bus), guess_(guess) {
        device_ = StartProperties(bus, device, NM_DBUS_INTERFACE_DEVICE);
        if (guess.ip4 != "/") {
            ip4_ = StartProperties(bus, guess.ip4, NM_DBUS_INTERFACE_IP4_CONFIG);
        }
        if (guess.dhcp != "/") {
            dhcp_ = StartProperties(bus, guess.dhcp, NM_DBUS_INTERFACE_DHCP4_CONFIG);
        }
    }

    // seen: the objects the device named this time, the next reading's guess.
    DeviceNow Result(ConfigPaths& seen) {
        DeviceNow now;
        Variant props = Child(device_->Wait());
        now.state = inventory::UintOf(props.get(), "State");
        g_variant_lookup(props.get(), "StateReason", "(uu)", &now.state, &now.reason);
        now.activation = inventory::StringOf(props.get(), "ActiveConnection", "/");
        seen.ip4 = inventory::StringOf(props.get(), "Ip4Config", "/");
        seen.dhcp = inventory::StringOf(props.get(), "Dhcp4Config", "/");
        if (seen.ip4 != "/") {
            Variant config = Of(seen.ip4, guess_.ip4, ip4_, NM_DBUS_INTERFACE_IP4_CONFIG);
            auto addresses = inventory::AddressesOf(config.get(), "AddressData", true);
            now.addresses.insert(addresses.begin(), addresses.end());
            now.gateway = inventory::StringOf(config.get(), "Gateway");
            now.dns = inventory::AddressesOf(config.get(), "NameserverData", false);
        }
        if (seen.dhcp != "/") {
            Variant config = Of(seen.dhcp, guess_.dhcp, dhcp_, NM_DBUS_INTERFACE_DHCP4_CONFIG);
            Variant options(
                g_variant_lookup_value(config.get(), "Options", G_VARIANT_TYPE("a{sv}")));
            now.leased = inventory::StringOf(options.get(), "ip_address");
            gchar** servers = g_strsplit(
                inventory::StringOf(options.get(), "domain_name_servers").c_str(), " ", -1);
            for (gchar** s = servers; *s; ++s) {
                if (**s) {
                    now.leaseDns.push_back(*s);
                }
            }
            g_strfreev(servers);
        }
        return now;
    }

  private:
    static Variant Child(Variant reply) {
        return Variant(g_variant_get_child_value(reply.get(), 0));
    }

    Variant Of(const std::string& path, const std::string& guessed,
               std::unique_ptr<inventory::NmPending>& pending, const char* interface) {
        if (pending && path == guessed) {
            return Child(pending->Wait());
        }
        return bus_.Properties(path, interface);
    }

    NmBus& bus_;
    ConfigPaths guess_;
    std::unique_ptr<inventory::NmPending> device_;
    std::unique_ptr<inventory::NmPending> ip4_;
    std::unique_ptr<inventory::NmPending> dhcp_;
};

DeviceNow ReadDevice(NmBus& bus, const std::string& device) {
    ConfigPaths seen;
    return DeviceRead(bus, device, {}).Result(seen);
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

std::string Describe(const DeviceNow& now) {
    return "state " + inventory::NmStateName(now.state) + ", reason " +
           inventory::NmReasonName(now.reason);
}

// Polls the device until `reached`, with a clear word when NetworkManager goes away, the
// activation fails or the time is up.
// paths: where the device's configuration was last seen.
void WaitForDevice(NmBus& bus, const std::string& device, const std::string& ifname,
                   const std::function<bool(const DeviceNow&)>& reached, bool activating,
                   ConfigPaths paths = {}) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
    DeviceNow now;
    while (true) {
        try {
            now = DeviceRead(bus, device, paths).Result(paths);
            if (reached(now)) {
                return;
            }
            if (activating && now.state == NM_DEVICE_STATE_FAILED) {
                throw NetshError("NetworkManager could not activate " + Quoted(ifname) + " (" +
                                 Describe(now) + ").");
            }
        } catch (const NmError&) {
            if (!bus.Running()) {
                throw NetshError("NetworkManager stopped while " + Quoted(ifname) +
                                 " was being changed.");
            }
            // An object replaced in between (a new IP configuration): read again.
        }
        if (std::chrono::steady_clock::now() > deadline) {
            throw NetshError("NetworkManager did not bring " + Quoted(ifname) +
                             " to the new settings within " + std::to_string(kWaitMs / 1000) +
                             " s (" + Describe(now) + ").");
        }
        // Signals wake us at once; the timer only covers a change that came unannounced.
        try {
            bus.WaitForChange(50);
        } catch (const NmError&) {
            // The bus itself went away, and NetworkManager with it.
            throw NetshError("NetworkManager stopped while " + Quoted(ifname) +
                             " was being changed.");
        }
    }
}

void Activate(NmBus& bus, const std::string& device, const std::string& ifname,
              const std::string& connection, const Wanted* wanted) {
    Variant reply;
    try {
        reply = bus.Call(NM_DBUS_PATH, NM_DBUS_INTERFACE, "ActivateConnection",
                         g_variant_new("(ooo)", connection.c_str(), device.c_str(), "/"), "(o)");
    } catch (const NmError& e) {
        if (e.PermissionDenied()) {
            Denied(ifname, kNetworkControl);
        }
        if (!bus.Running()) {
            throw NetshError("NetworkManager stopped while " + Quoted(ifname) +
                             " was being changed.");
        }
        throw NetshError("NetworkManager could not activate " + Quoted(ifname) + ": " + e.what());
    }
    const char* path = nullptr;
    g_variant_get(reply.get(), "(&o)", &path);
    const std::string activation = path;
    WaitForDevice(
        bus, device, ifname,
        [&](const DeviceNow& now) {
            return now.activation == activation && now.state == kActivated &&
                   (!wanted || Shows(now, *wanted));
        },
        true);
}

// A wired device without any connection gets one of its own, named after the interface.
NmSettings NewConnection(GVariant* deviceProps, const std::string& ifname) {
    guint32 type = inventory::UintOf(deviceProps, "DeviceType");
    if (type != NM_DEVICE_TYPE_ETHERNET && type != NM_DEVICE_TYPE_VETH) {
        throw NetshError("NetworkManager has no connection for " + Quoted(ifname) + ".");
    }
    NmSettings s;
    gchar* uuid = g_uuid_string_random();
    s.Set("connection", "id", g_variant_new_string(ifname.c_str()));
    s.Set("connection", "uuid", g_variant_new_string(uuid));
    s.Set("connection", "type", g_variant_new_string("802-3-ethernet"));
    s.Set("connection", "interface-name", g_variant_new_string(ifname.c_str()));
    g_free(uuid);
    return s;
}

// True when the device runs with `summary` and shows it.
bool AlreadyApplied(NmBus& bus, const std::string& device, const Ip4Summary& summary,
                    const Wanted& wanted) {
    try {
        auto applied = bus.Start(device, NM_DBUS_INTERFACE_DEVICE, "GetAppliedConnection",
                                 g_variant_new("(u)", guint(0)), "(a{sa{sv}}t)");
        DeviceNow now = ReadDevice(bus, device);
        Variant reply = applied->Wait();
        Variant settings(g_variant_get_child_value(reply.get(), 0));
        return SummaryOf(NmSettings(settings.get())) == summary && Shows(now, wanted);
    } catch (const NmError&) {
        return false;  // then it is simply applied again
    }
}

Variant SettingsOf(NmBus& bus, const std::string& connection,
                   std::map<std::string, std::unique_ptr<inventory::NmPending>>& early) {
    auto asked = early.find(connection);
    if (asked == early.end()) {
        return bus.Settings(connection);
    }
    Variant reply = asked->second->Wait();
    return Variant(g_variant_get_child_value(reply.get(), 0));
}

bool AutomaticDns(const NmSettings& s) {
    return !Ip4IgnoreAutoDns(s) && Ip4Dns(s).empty();
}

// Connections limited to some users are changed under the "own" permission.
bool OwnConnection(const NmSettings& s) {
    GVariant* users = s.Get("connection", "permissions");
    return users && g_variant_is_of_type(users, G_VARIANT_TYPE("as")) &&
           g_variant_n_children(users) > 0;
}

GVariant* NoOptions() {
    return g_variant_new_array(G_VARIANT_TYPE("{sv}"), nullptr, 0);
}

}  // namespace

void ExecuteThroughNetworkManager(NmBus& bus, const std::string& device, GVariant* props,
                                  const Command& cmd) {
    const std::string& ifname = cmd.name;
    bus.WatchChanges();
    // The settings of the connections the device can take are asked for together with the
    // question which one is active (and the user's permissions): usually there are one or two,
    // and round trips are saved.
    std::unique_ptr<inventory::NmPending> permissions;
    if (geteuid() != 0) {
        permissions =
            bus.Start(NM_DBUS_PATH, NM_DBUS_INTERFACE, "GetPermissions", nullptr, "(a{ss})");
    }
    std::map<std::string, std::unique_ptr<inventory::NmPending>> early;
    if (auto available = inventory::PathsOf(props, "AvailableConnections"); available.size() <= 4) {
        for (const auto& path : available) {
            early[path] = bus.Start(path, NM_DBUS_INTERFACE_SETTINGS_CONNECTION, "GetSettings",
                                    nullptr, "(a{sa{sv}})");
        }
    }
    std::string target = inventory::NmTargetConnection(bus, props);

    NmSettings edited = target.empty() ? NewConnection(props, ifname)
                                       : NmSettings(SettingsOf(bus, target, early).get());
    const char* modify = OwnConnection(edited) ? kModifyOwn : kModifySystem;
    bool granted = CheckPermissions(bus, ifname, {modify, kNetworkControl}, std::move(permissions));

    bool autoDnsBefore = AutomaticDns(edited);
    Ip4Summary before = SummaryOf(edited);
    std::vector<std::string> inUse;
    if (NeedsInUseDns(edited, cmd)) {
        inUse = ReadDevice(bus, device).dns;
    }
    EditIp4(edited, cmd, inUse);
    Wanted wanted = WantedOf(edited);
    // NetworkManager takes a lease's servers only when the lease comes: turning automatic DNS
    // back on under a lease it already holds needs a new activation, Reapply would not do.
    bool renewLease = !autoDnsBefore && AutomaticDns(edited) && wanted.method == "auto";
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
        reapplying = bus.Start(
            device, NM_DBUS_INTERFACE_DEVICE, "Reapply",
            g_variant_new("(@a{sa{sv}}tu)", edited.ToVariant(), guint64(0), guint(0)), nullptr);
    }
    ConfigPaths paths{inventory::StringOf(props, "Ip4Config", "/"),
                      inventory::StringOf(props, "Dhcp4Config", "/")};
    try {
        GVariant* settings = edited.ToVariant();
        if (!target.empty()) {
            auto saving =
                bus.Start(target, NM_DBUS_INTERFACE_SETTINGS_CONNECTION, "Update2",
                          g_variant_new("(@a{sa{sv}}u@a{sv})", settings,
                                        guint(NM_SETTINGS_UPDATE2_FLAG_TO_DISK), NoOptions()),
                          "(a{sv})");
            saving->Wait();
        } else {
            Variant reply = bus.Call(
                NM_DBUS_PATH_SETTINGS, NM_DBUS_INTERFACE_SETTINGS, "AddConnection2",
                g_variant_new("(@a{sa{sv}}u@a{sv})", settings,
                              guint(NM_SETTINGS_ADD_CONNECTION2_FLAG_TO_DISK), NoOptions()),
                "(oa{sv})");
            const char* path = nullptr;
            g_variant_get(reply.get(), "(&o@a{sv})", &path, nullptr);
            target = path;
        }
    } catch (const NmError& e) {
        if (e.PermissionDenied()) {
            Denied(ifname, modify);
        }
        if (!bus.Running()) {
            throw NetshError("NetworkManager stopped while " + Quoted(ifname) +
                             " was being changed.");
        }
        throw NetshError("NetworkManager did not take the settings for " + Quoted(ifname) + ": " +
                         e.what());
    }

    if (reapply) {
        try {
            // Reapply keeps the link up: only what changed is redone.
            if (!reapplying) {
                reapplying = bus.Start(
                    device, NM_DBUS_INTERFACE_DEVICE, "Reapply",
                    g_variant_new("(@a{sa{sv}}tu)",
                                  g_variant_new_array(G_VARIANT_TYPE("{sa{sv}}"), nullptr, 0),
                                  guint64(0), guint(0)),
                    nullptr);
            }
            reapplying->Wait();
            WaitForDevice(
                bus, device, ifname, [&](const DeviceNow& now) { return Shows(now, wanted); },
                false, paths);
            return;
        } catch (const NmError& e) {
            if (e.PermissionDenied()) {
                Denied(ifname, kNetworkControl);
            }
            // Changes that cannot be reapplied take a new activation.
        }
    }
    Activate(bus, device, ifname, target, &wanted);
}

void RenewThroughNetworkManager(NmBus& bus, const std::string& device) {
    Variant props = bus.Properties(device, NM_DBUS_INTERFACE_DEVICE);
    std::string ifname = inventory::StringOf(props.get(), "Interface");
    CheckPermissions(bus, ifname, {kNetworkControl});
    bus.WatchChanges();
    std::string target = inventory::NmTargetConnection(bus, props.get());
    if (target.empty()) {
        throw NetshError("NetworkManager has no connection for " + Quoted(ifname) + ".");
    }
    Activate(bus, device, ifname, target, nullptr);
}

void ReleaseThroughNetworkManager(NmBus& bus, const std::string& device) {
    Variant props = bus.Properties(device, NM_DBUS_INTERFACE_DEVICE);
    std::string ifname = inventory::StringOf(props.get(), "Interface");
    CheckPermissions(bus, ifname, {kNetworkControl});
    bus.WatchChanges();
    try {
        bus.Call(device, NM_DBUS_INTERFACE_DEVICE, "Disconnect", nullptr, nullptr);
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
