#include "system/NmBus.h"

#include "system/SystemBus.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <stdexcept>
#include <tuple>

namespace quorv::inventory {
namespace {

bool IsDenied(const std::string& name) {
    for (const char* word : {"PermissionDenied", "AccessDenied", "NotAuthorized", "NotAllowed"}) {
        if (name.find(word) != std::string::npos) {
            return true;
        }
    }
    return false;
}

GVariant* Lookup(GVariant* dict, const char* key, const GVariantType* type) {
    return dict ? g_variant_lookup_value(dict, key, type) : nullptr;
}

}  // namespace

std::unique_ptr<NmBus> NmBus::Connect() {
    if (!SystemBusPresent()) {
        return nullptr;
    }
    auto socket = DbusSocket::Open();
    if (!socket) {
        // No usable bus is the same as no NetworkManager.
        return nullptr;
    }
    return std::unique_ptr<NmBus>(new NmBus(std::move(socket)));
}

NmBus::NmBus(std::unique_ptr<DbusSocket> socket) : socket_(std::move(socket)) {}

NmBus::~NmBus() = default;

void NmBus::WatchChanges() {
    if (!watching_) {
        // No reply needed: the bus takes our messages in order, so the match is in place
        // before any change we ask for afterwards.
        socket_->Send("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                      "AddMatch",
                      g_variant_new("(s)", "type='signal',sender='" NM_DBUS_SERVICE
                                           "',interface='org.freedesktop.DBus.Properties',"
                                           "member='PropertiesChanged'"),
                      false);
        watching_ = true;
    }
}

void NmBus::WaitForChange(int timeoutMs) {
    try {
        socket_->WaitForSignal(timeoutMs);
    } catch (const std::runtime_error& e) {
        throw NmError(e.what());
    }
}

bool NmBus::Running() const {
    try {
        guint32 serial =
            socket_->Send("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                          "NameHasOwner", g_variant_new("(s)", NM_DBUS_SERVICE));
        Message reply = socket_->Reply(serial, 5000);
        GVariant* body = reply ? reply->body.get() : nullptr;
        if (!body || !g_variant_is_of_type(body, G_VARIANT_TYPE("(b)"))) {
            return false;
        }
        gboolean owned = FALSE;
        g_variant_get(body, "(b)", &owned);
        return owned;
    } catch (const std::runtime_error&) {
        return false;
    }
}

namespace {

// The error's text is its first string; a name alone is all some errors carry.
NmError ErrorOf(const DbusMessage& reply) {
    std::string text = reply.errorName;
    if (reply.body && g_variant_n_children(reply.body.get()) > 0) {
        Variant first(g_variant_get_child_value(reply.body.get(), 0));
        if (g_variant_is_of_type(first.get(), G_VARIANT_TYPE_STRING)) {
            text = g_variant_get_string(first.get(), nullptr);
        }
    }
    return NmError(text, IsDenied(reply.errorName));
}

Variant Collect(DbusSocket& socket, guint32 serial, const char* replyType, int timeoutMs) {
    Message reply;
    try {
        reply = socket.Reply(serial, timeoutMs);
    } catch (const std::runtime_error& e) {
        throw NmError(e.what());
    }
    if (!reply) {
        throw NmError("Timeout was reached");
    }
    if (reply->type == DbusMessage::kError) {
        throw ErrorOf(*reply);
    }
    GVariant* body = reply->body.get();
    if (replyType && !g_variant_is_of_type(body, G_VARIANT_TYPE(replyType))) {
        throw NmError(std::string("Method returned type '") + g_variant_get_type_string(body) +
                      "', but expected '" + replyType + "'");
    }
    return std::move(reply->body);
}

}  // namespace

NmPending::~NmPending() {
    if (!collected_) {
        try {
            Wait();
        } catch (const NmError&) {
            // Nobody asked for the outcome.
        }
    }
}

Variant NmPending::Wait() {
    collected_ = true;
    return Collect(socket_, serial_, replyType_, timeoutMs_);
}

std::unique_ptr<NmPending> NmBus::Start(const std::string& path, const char* interface,
                                        const char* method, GVariant* params,
                                        const char* replyType) const {
    guint32 serial;
    try {
        serial = socket_->Send(NM_DBUS_SERVICE, path, interface, method, params);
    } catch (const std::runtime_error& e) {
        throw NmError(e.what());
    }
    return std::unique_ptr<NmPending>(new NmPending(*socket_, serial, replyType, 25000));
}

Variant NmBus::Call(const std::string& path, const char* interface, const char* method,
                    GVariant* params, const char* replyType, int timeoutMs) const {
    guint32 serial;
    try {
        serial = socket_->Send(NM_DBUS_SERVICE, path, interface, method, params);
    } catch (const std::runtime_error& e) {
        throw NmError(e.what());
    }
    return Collect(*socket_, serial, replyType, timeoutMs);
}

Variant NmBus::Properties(const std::string& path, const char* interface) const {
    Variant reply = Call(path, "org.freedesktop.DBus.Properties", "GetAll",
                         g_variant_new("(s)", interface), "(a{sv})");
    return Variant(g_variant_get_child_value(reply.get(), 0));
}

std::string NmBus::DeviceByInterface(const std::string& ifname) const {
    try {
        Variant reply = Call(NM_DBUS_PATH, NM_DBUS_INTERFACE, "GetDeviceByIpIface",
                             g_variant_new("(s)", ifname.c_str()), "(o)");
        const char* path = nullptr;
        g_variant_get(reply.get(), "(&o)", &path);
        return path;
    } catch (const NmError& e) {
        if (!Running()) {
            throw;
        }
        return "";
    }
}

Variant NmBus::Settings(const std::string& connectionPath) const {
    Variant reply = Call(connectionPath, NM_DBUS_INTERFACE_SETTINGS_CONNECTION, "GetSettings",
                         nullptr, "(a{sa{sv}})");
    return Variant(g_variant_get_child_value(reply.get(), 0));
}

std::string StringOf(GVariant* dict, const char* key, const std::string& fallback) {
    const char* value = nullptr;
    if (dict && g_variant_lookup(dict, key, "&s", &value)) {
        return value;
    }
    if (dict && g_variant_lookup(dict, key, "&o", &value)) {
        return value;
    }
    return fallback;
}

guint32 UintOf(GVariant* dict, const char* key, guint32 fallback) {
    guint32 value = 0;
    return dict && g_variant_lookup(dict, key, "u", &value) ? value : fallback;
}

bool BoolOf(GVariant* dict, const char* key, bool fallback) {
    gboolean value = FALSE;
    return dict && g_variant_lookup(dict, key, "b", &value) ? value : fallback;
}

std::vector<std::string> PathsOf(GVariant* dict, const char* key) {
    std::vector<std::string> out;
    if (GVariant* paths = Lookup(dict, key, G_VARIANT_TYPE("ao"))) {
        GVariantIter iter;
        g_variant_iter_init(&iter, paths);
        const char* path = nullptr;
        while (g_variant_iter_next(&iter, "&o", &path)) {
            out.push_back(path);
        }
        g_variant_unref(paths);
    }
    return out;
}

std::vector<std::string> AddressesOf(GVariant* dict, const char* key, bool withPrefix) {
    std::vector<std::string> out;
    if (GVariant* list = Lookup(dict, key, G_VARIANT_TYPE("aa{sv}"))) {
        for (gsize i = 0; i < g_variant_n_children(list); ++i) {
            GVariant* entry = g_variant_get_child_value(list, i);
            std::string address = StringOf(entry, "address");
            if (withPrefix) {
                address += "/" + std::to_string(UintOf(entry, "prefix"));
            }
            out.push_back(address);
            g_variant_unref(entry);
        }
        g_variant_unref(list);
    }
    return out;
}

std::string NmTargetConnection(const NmBus& bus, GVariant* device) {
    std::string active = StringOf(device, "ActiveConnection", "/");
    if (active != "/") {
        try {
            Variant props = bus.Properties(active, NM_DBUS_INTERFACE_ACTIVE_CONNECTION);
            std::string connection = StringOf(props.get(), "Connection", "/");
            if (connection != "/") {
                return connection;
            }
        } catch (const NmError&) {
            // Gone in between: rank what the device could activate.
        }
    }
    std::string best;
    std::tuple<bool, gint32, guint64> bestRank{};
    for (const auto& path : PathsOf(device, "AvailableConnections")) {
        Variant settings = bus.Settings(path);
        Variant connection(g_variant_lookup_value(settings.get(), "connection", nullptr));
        gboolean autoconnect = TRUE;
        gint32 priority = 0;
        guint64 timestamp = 0;
        if (connection) {
            g_variant_lookup(connection.get(), "autoconnect", "b", &autoconnect);
            g_variant_lookup(connection.get(), "autoconnect-priority", "i", &priority);
            g_variant_lookup(connection.get(), "timestamp", "t", &timestamp);
        }
        std::tuple<bool, gint32, guint64> rank{autoconnect, priority, timestamp};
        if (best.empty() || rank > bestRank) {
            best = path;
            bestRank = rank;
        }
    }
    return best;
}

std::string NmStateName(guint32 state) {
    static const std::map<guint32, const char*> names = {
        {NM_DEVICE_STATE_UNKNOWN, "unknown"},
        {NM_DEVICE_STATE_UNMANAGED, "unmanaged"},
        {NM_DEVICE_STATE_UNAVAILABLE, "unavailable"},
        {NM_DEVICE_STATE_DISCONNECTED, "disconnected"},
        {NM_DEVICE_STATE_PREPARE, "prepare"},
        {NM_DEVICE_STATE_CONFIG, "config"},
        {NM_DEVICE_STATE_NEED_AUTH, "need-auth"},
        {NM_DEVICE_STATE_IP_CONFIG, "ip-config"},
        {NM_DEVICE_STATE_IP_CHECK, "ip-check"},
        {NM_DEVICE_STATE_SECONDARIES, "secondaries"},
        {NM_DEVICE_STATE_ACTIVATED, "activated"},
        {NM_DEVICE_STATE_DEACTIVATING, "deactivating"},
        {NM_DEVICE_STATE_FAILED, "failed"}};
    auto it = names.find(state);
    return it != names.end() ? it->second : std::to_string(state);
}

std::string NmReasonName(guint32 reason) {
    // The reasons a change of addressing meets; others are shown by number.
    static const std::map<guint32, const char*> names = {
        {NM_DEVICE_STATE_REASON_NONE, "none"},
        {NM_DEVICE_STATE_REASON_UNKNOWN, "unknown"},
        {NM_DEVICE_STATE_REASON_NOW_MANAGED, "now-managed"},
        {NM_DEVICE_STATE_REASON_NOW_UNMANAGED, "now-unmanaged"},
        {NM_DEVICE_STATE_REASON_CONFIG_FAILED, "config-failed"},
        {NM_DEVICE_STATE_REASON_IP_CONFIG_UNAVAILABLE, "ip-config-unavailable"},
        {NM_DEVICE_STATE_REASON_IP_CONFIG_EXPIRED, "ip-config-expired"},
        {NM_DEVICE_STATE_REASON_DHCP_START_FAILED, "dhcp-start-failed"},
        {NM_DEVICE_STATE_REASON_DHCP_ERROR, "dhcp-error"},
        {NM_DEVICE_STATE_REASON_DHCP_FAILED, "dhcp-failed"},
        {NM_DEVICE_STATE_REASON_CARRIER, "carrier-changed"},
        {NM_DEVICE_STATE_REASON_CONNECTION_REMOVED, "connection-removed"},
        {NM_DEVICE_STATE_REASON_USER_REQUESTED, "user-requested"},
        {NM_DEVICE_STATE_REASON_NEW_ACTIVATION, "new-activation"},
        {NM_DEVICE_STATE_REASON_DEPENDENCY_FAILED, "dependency-failed"},
        {NM_DEVICE_STATE_REASON_IP_METHOD_UNSUPPORTED, "ip-method-unsupported"},
        {NM_DEVICE_STATE_REASON_IP_ADDRESS_DUPLICATE, "ip-address-duplicate"}};
    auto it = names.find(reason);
    return it != names.end() ? it->second : std::to_string(reason);
}

}  // namespace quorv::inventory
