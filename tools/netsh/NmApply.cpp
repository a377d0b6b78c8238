#include "netsh/NmApply.h"

#include <unistd.h>

#include <algorithm>
#include <map>
#include <set>

#include "netsh/NmEdit.h"

namespace quorv::netsh {
namespace {

using inventory::NmClient;
using inventory::NmError;

constexpr int kWaitMs = 20000;
constexpr const char* kModifySystem = "org.freedesktop.NetworkManager.settings.modify.system";
constexpr const char* kModifyOwn = "org.freedesktop.NetworkManager.settings.modify.own";
constexpr const char* kNetworkControl = "org.freedesktop.NetworkManager.network-control";

std::string Quoted(NMDevice* device) {
    return "\"" + Printable(nm_device_get_iface(device)) + "\"";
}

[[noreturn]] void Denied(NMDevice* device, const char* permission) {
    throw NetshError("NetworkManager does not allow this user to change " + Quoted(device) +
                     ": the permission " + permission + " is missing.");
}

// Asking first keeps a refused change from being half made (saved but not applied).
void CheckPermissions(const NmClient& nm, NMDevice* device,
                      const std::vector<const char*>& needed) {
    if (geteuid() == 0) {
        return;  // NetworkManager grants root everything without asking polkit
    }
    GVariant* reply =
        nm.Call(NM_DBUS_PATH, NM_DBUS_INTERFACE, "GetPermissions", nullptr, "(a{ss})");
    std::map<std::string, std::string> results;
    GVariantIter* iter = nullptr;
    g_variant_get(reply, "(a{ss})", &iter);
    const char* key = nullptr;
    const char* value = nullptr;
    while (g_variant_iter_next(iter, "{&s&s}", &key, &value)) {
        results[key] = value;
    }
    g_variant_iter_free(iter);
    // "auth" is left to the call: the desktop's agent may ask the user for a password.
    for (const char* permission : needed) {
        if (results[permission] == "no") {
            g_variant_unref(reply);
            Denied(device, permission);
        }
    }
    g_variant_unref(reply);
}

// A wired device without any connection gets one of its own, named after the interface.
NMConnection* NewConnection(NMDevice* device) {
    if (!NM_IS_DEVICE_ETHERNET(device)) {
        throw NetshError("NetworkManager has no connection for " + Quoted(device) + ".");
    }
    NMConnection* connection = nm_simple_connection_new();
    NMSetting* s = nm_setting_connection_new();
    char* uuid = nm_utils_uuid_generate();
    g_object_set(s, NM_SETTING_CONNECTION_ID, nm_device_get_iface(device),
                 NM_SETTING_CONNECTION_UUID, uuid, NM_SETTING_CONNECTION_TYPE,
                 NM_SETTING_WIRED_SETTING_NAME, NM_SETTING_CONNECTION_INTERFACE_NAME,
                 nm_device_get_iface(device), nullptr);
    g_free(uuid);
    nm_connection_add_setting(connection, s);
    nm_connection_add_setting(connection, nm_setting_wired_new());
    return connection;
}

std::vector<std::string> Nameservers(NMIPConfig* config) {
    std::vector<std::string> out;
    const char* const* servers = config ? nm_ip_config_get_nameservers(config) : nullptr;
    for (; servers && *servers; ++servers) {
        out.push_back(*servers);
    }
    return out;
}

std::set<std::string> Addresses(GPtrArray* list) {
    std::set<std::string> out;
    for (guint i = 0; list && i < list->len; ++i) {
        auto* a = static_cast<NMIPAddress*>(list->pdata[i]);
        out.insert(std::string(nm_ip_address_get_address(a)) + "/" +
                   std::to_string(nm_ip_address_get_prefix(a)));
    }
    return out;
}

std::set<std::string> Addresses(NMSettingIPConfig* ip4) {
    std::set<std::string> out;
    for (guint i = 0; i < nm_setting_ip_config_get_num_addresses(ip4); ++i) {
        NMIPAddress* a = nm_setting_ip_config_get_address(ip4, int(i));
        out.insert(std::string(nm_ip_address_get_address(a)) + "/" +
                   std::to_string(nm_ip_address_get_prefix(a)));
    }
    return out;
}

// Whether the device now runs with the IPv4 settings of `wanted`.
bool DeviceShows(NMDevice* device, NMConnection* wanted) {
    if (nm_device_get_state(device) != NM_DEVICE_STATE_ACTIVATED) {
        return false;
    }
    NMIPConfig* config = nm_device_get_ip4_config(device);
    NMSettingIPConfig* ip4 = nm_connection_get_setting_ip4_config(wanted);
    if (!config || !ip4) {
        return false;
    }
    std::set<std::string> now = Addresses(nm_ip_config_get_addresses(config));
    std::string method = nm_setting_ip_config_get_method(ip4);
    if (method == NM_SETTING_IP4_CONFIG_METHOD_MANUAL) {
        const char* gw = nm_setting_ip_config_get_gateway(ip4);
        const char* gwNow = nm_ip_config_get_gateway(config);
        if (now != Addresses(ip4) || std::string(gw ? gw : "") != (gwNow ? gwNow : "")) {
            return false;
        }
    } else if (method == NM_SETTING_IP4_CONFIG_METHOD_AUTO) {
        NMDhcpConfig* dhcp = nm_device_get_dhcp4_config(device);
        const char* leased = dhcp ? nm_dhcp_config_get_one_option(dhcp, "ip_address") : nullptr;
        if (!leased || std::none_of(now.begin(), now.end(), [&](const std::string& a) {
                return a.rfind(std::string(leased) + "/", 0) == 0;
            })) {
            return false;
        }
        const char* leaseDns = nm_dhcp_config_get_one_option(dhcp, "domain_name_servers");
        if (!nm_setting_ip_config_get_ignore_auto_dns(ip4) && leaseDns) {
            std::vector<std::string> servers = Nameservers(config);
            gchar** wanted = g_strsplit(leaseDns, " ", -1);
            bool all = true;
            for (gchar** w = wanted; *w; ++w) {
                all =
                    all && (!**w || std::find(servers.begin(), servers.end(), *w) != servers.end());
            }
            g_strfreev(wanted);
            if (!all) {
                return false;
            }
        }
    }
    if (nm_setting_ip_config_get_ignore_auto_dns(ip4) ||
        method == NM_SETTING_IP4_CONFIG_METHOD_MANUAL) {
        std::vector<std::string> dns;
        for (guint i = 0; i < nm_setting_ip_config_get_num_dns(ip4); ++i) {
            dns.push_back(nm_setting_ip_config_get_dns(ip4, int(i)));
        }
        if (Nameservers(config) != dns) {
            return false;
        }
    }
    return true;
}

bool AutomaticDns(NMConnection* connection) {
    NMSettingIPConfig* ip4 = nm_connection_get_setting_ip4_config(connection);
    return !ip4 || (!nm_setting_ip_config_get_ignore_auto_dns(ip4) &&
                    nm_setting_ip_config_get_num_dns(ip4) == 0);
}

std::string DeviceState(NMDevice* device) {
    return "state " + inventory::NmStateName(nm_device_get_state(device)) + ", reason " +
           inventory::NmReasonName(nm_device_get_state_reason(device));
}

// Waits for `reached`, with a clear word when NetworkManager goes away or the device fails.
void WaitForDevice(const NmClient& nm, NMDevice* device, const std::function<bool()>& reached,
                   bool activating) {
    const std::string name = Quoted(device);
    // When NetworkManager leaves the bus, libnm drops its objects: the device may not be read.
    auto gone = [&] { return !nm.Running() || !nm_object_get_client(NM_OBJECT(device)); };
    bool failed = false;
    bool ok = nm.RunUntil(
        [&] {
            if (gone()) {
                return true;
            }
            NMDeviceState state = nm_device_get_state(device);
            failed = activating && (state == NM_DEVICE_STATE_FAILED);
            return failed || reached();
        },
        kWaitMs);
    if (gone()) {
        throw NetshError("NetworkManager stopped while " + name + " was being changed.");
    }
    if (failed) {
        throw NetshError("NetworkManager could not activate " + name + " (" + DeviceState(device) +
                         ").");
    }
    if (!ok) {
        throw NetshError("NetworkManager did not bring " + name + " to the new settings within " +
                         std::to_string(kWaitMs / 1000) + " s (" + DeviceState(device) + ").");
    }
}

std::string PathOf(NMObject* object) {
    return nm_object_get_path(object);
}

// Activates the connection on the device and waits until exactly that activation is up.
void Activate(const NmClient& nm, NMDevice* device, const std::string& connectionPath,
              NMConnection* wanted) {
    GVariant* reply = nullptr;
    try {
        reply = nm.Call(
            NM_DBUS_PATH, NM_DBUS_INTERFACE, "ActivateConnection",
            g_variant_new("(ooo)", connectionPath.c_str(), PathOf(NM_OBJECT(device)).c_str(), "/"),
            "(o)");
    } catch (const NmError& e) {
        if (e.PermissionDenied()) {
            Denied(device, kNetworkControl);
        }
        throw NetshError("NetworkManager could not activate " + Quoted(device) + ": " + e.what());
    }
    const char* path = nullptr;
    g_variant_get(reply, "(&o)", &path);
    std::string activation = path;
    g_variant_unref(reply);
    WaitForDevice(
        nm, device,
        [&] {
            NMActiveConnection* ac = nm_device_get_active_connection(device);
            return ac && PathOf(NM_OBJECT(ac)) == activation &&
                   nm_active_connection_get_state(ac) == NM_ACTIVE_CONNECTION_STATE_ACTIVATED &&
                   (!wanted || DeviceShows(device, wanted));
        },
        true);
}

GVariant* EmptySettings() {
    return g_variant_new_array(G_VARIANT_TYPE("{sa{sv}}"), nullptr, 0);
}

}  // namespace

void ExecuteThroughNetworkManager(const NmClient& nm, NMDevice* device, const Command& cmd) {
    NMRemoteConnection* remote = inventory::NmTargetConnection(device);
    bool own = false;
    if (remote) {
        NMSettingConnection* s = nm_connection_get_setting_connection(NM_CONNECTION(remote));
        own = nm_setting_connection_get_num_permissions(s) > 0;
    }
    const char* modify = own ? kModifyOwn : kModifySystem;
    CheckPermissions(nm, device, {modify, kNetworkControl});

    NMConnection* edited =
        remote ? nm_simple_connection_new_clone(NM_CONNECTION(remote)) : NewConnection(device);
    std::unique_ptr<NMConnection, decltype(&g_object_unref)> hold(edited, g_object_unref);
    bool autoDnsBefore = AutomaticDns(edited);
    EditIp4(edited, cmd, Nameservers(nm_device_get_ip4_config(device)));
    // NetworkManager takes a lease's servers only when the lease comes: turning automatic DNS
    // back on under a lease it already holds needs a new activation, Reapply would not do.
    bool renewLease =
        !autoDnsBefore && AutomaticDns(edited) &&
        std::string(nm_setting_ip_config_get_method(
            nm_connection_get_setting_ip4_config(edited))) == NM_SETTING_IP4_CONFIG_METHOD_AUTO;

    std::string connectionPath;
    try {
        GVariant* settings = nm_connection_to_dbus(edited, NM_CONNECTION_SERIALIZE_ALL);
        if (remote) {
            connectionPath = PathOf(NM_OBJECT(remote));
            g_variant_unref(
                nm.Call(connectionPath.c_str(), NM_DBUS_INTERFACE_SETTINGS_CONNECTION, "Update2",
                        g_variant_new("(@a{sa{sv}}u@a{sv})", settings,
                                      guint(NM_SETTINGS_UPDATE2_FLAG_TO_DISK),
                                      g_variant_new_array(G_VARIANT_TYPE("{sv}"), nullptr, 0)),
                        "(a{sv})"));
        } else {
            GVariant* reply =
                nm.Call(NM_DBUS_PATH_SETTINGS, NM_DBUS_INTERFACE_SETTINGS, "AddConnection2",
                        g_variant_new("(@a{sa{sv}}u@a{sv})", settings,
                                      guint(NM_SETTINGS_ADD_CONNECTION2_FLAG_TO_DISK),
                                      g_variant_new_array(G_VARIANT_TYPE("{sv}"), nullptr, 0)),
                        "(oa{sv})");
            const char* path = nullptr;
            g_variant_get(reply, "(&o@a{sv})", &path, nullptr);
            connectionPath = path;
            g_variant_unref(reply);
        }
    } catch (const NmError& e) {
        if (e.PermissionDenied()) {
            Denied(device, modify);
        }
        throw NetshError("NetworkManager did not take the settings for " + Quoted(device) + ": " +
                         e.what());
    }

    NMActiveConnection* active = nm_device_get_active_connection(device);
    bool isActive =
        active && remote && nm_active_connection_get_connection(active) == remote && !renewLease;
    if (isActive) {
        try {
            // Reapply keeps the link up: only what changed is redone.
            g_variant_unref(nm.Call(
                PathOf(NM_OBJECT(device)).c_str(), NM_DBUS_INTERFACE_DEVICE, "Reapply",
                g_variant_new("(@a{sa{sv}}tu)", EmptySettings(), guint64(0), guint(0)), nullptr));
            WaitForDevice(
                nm, device, [&] { return DeviceShows(device, edited); }, false);
            return;
        } catch (const NmError& e) {
            if (e.PermissionDenied()) {
                Denied(device, kNetworkControl);
            }
            // Changes that cannot be reapplied take a new activation.
        }
    }
    Activate(nm, device, connectionPath, edited);
}

void RenewThroughNetworkManager(const NmClient& nm, NMDevice* device) {
    CheckPermissions(nm, device, {kNetworkControl});
    NMRemoteConnection* remote = inventory::NmTargetConnection(device);
    if (!remote) {
        throw NetshError("NetworkManager has no connection for " + Quoted(device) + ".");
    }
    Activate(nm, device, PathOf(NM_OBJECT(remote)), NM_CONNECTION(remote));
}

void ReleaseThroughNetworkManager(const NmClient& nm, NMDevice* device) {
    CheckPermissions(nm, device, {kNetworkControl});
    try {
        g_variant_unref(nm.Call(PathOf(NM_OBJECT(device)).c_str(), NM_DBUS_INTERFACE_DEVICE,
                                "Disconnect", nullptr, nullptr));
    } catch (const NmError& e) {
        if (e.PermissionDenied()) {
            Denied(device, kNetworkControl);
        }
        throw NetshError("NetworkManager could not release " + Quoted(device) + ": " + e.what());
    }
    WaitForDevice(
        nm, device, [&] { return nm_device_get_state(device) <= NM_DEVICE_STATE_DISCONNECTED; },
        false);
}

}  // namespace quorv::netsh
