#include "inventory/NmClient.h"

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <tuple>

namespace quorv::inventory {
namespace {

// Without a bus socket there is nothing to wait for: this keeps the netlink path fast.
bool SystemBusPresent() {
    const char* address = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
    if (address && *address) {
        return true;
    }
    return access("/run/dbus/system_bus_socket", F_OK) == 0 ||
           access("/var/run/dbus/system_bus_socket", F_OK) == 0;
}

std::string EnumNick(GType type, int value) {
    auto* cls = static_cast<GEnumClass*>(g_type_class_ref(type));
    GEnumValue* v = g_enum_get_value(cls, value);
    std::string out = v ? v->value_nick : std::to_string(value);
    g_type_class_unref(cls);
    return out;
}

struct InitResult {
    bool done = false;
    NMClient* client = nullptr;
    GError* error = nullptr;
};

void OnInit(GObject* source, GAsyncResult* result, gpointer data) {
    auto* out = static_cast<InitResult*>(data);
    GObject* object = g_async_initable_new_finish(G_ASYNC_INITABLE(source), result, &out->error);
    out->client = object ? NM_CLIENT(object) : nullptr;
    out->done = true;
}

bool IsDenied(const GError* error) {
    if (g_error_matches(error, NM_SETTINGS_ERROR, NM_SETTINGS_ERROR_PERMISSION_DENIED) ||
        g_error_matches(error, NM_MANAGER_ERROR, NM_MANAGER_ERROR_PERMISSION_DENIED) ||
        g_error_matches(error, NM_DEVICE_ERROR, NM_DEVICE_ERROR_NOT_ALLOWED)) {
        return true;
    }
    gchar* remote = g_dbus_error_get_remote_error(error);
    bool denied =
        remote && (std::strstr(remote, "PermissionDenied") || std::strstr(remote, "AccessDenied") ||
                   std::strstr(remote, "NotAuthorized"));
    g_free(remote);
    return denied;
}

}  // namespace

std::unique_ptr<NmClient> NmClient::Connect(int timeoutMs) {
    if (!SystemBusPresent()) {
        return nullptr;
    }
    GCancellable* cancel = g_cancellable_new();
    InitResult init;
    // Permissions ask polkit about every action: only fetched when a change needs them.
    g_async_initable_new_async(NM_TYPE_CLIENT, G_PRIORITY_DEFAULT, cancel, OnInit, &init,
                               NM_CLIENT_INSTANCE_FLAGS,
                               guint(NM_CLIENT_INSTANCE_FLAGS_NO_AUTO_FETCH_PERMISSIONS), nullptr);
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!init.done) {
        if (std::chrono::steady_clock::now() > deadline) {
            g_cancellable_cancel(cancel);
            while (!init.done) {
                g_main_context_iteration(nullptr, TRUE);
            }
            g_object_unref(cancel);
            g_clear_error(&init.error);
            if (init.client) {
                g_object_unref(init.client);
            }
            throw NmError("NetworkManager did not answer within " +
                          std::to_string(timeoutMs / 1000) + " s.");
        }
        if (!g_main_context_iteration(nullptr, FALSE)) {
            g_usleep(1000);
        }
    }
    g_object_unref(cancel);
    if (!init.client) {
        // No usable bus is the same as no NetworkManager.
        g_clear_error(&init.error);
        return nullptr;
    }
    std::unique_ptr<NmClient> out(new NmClient(init.client));
    if (!out->Running()) {
        return nullptr;
    }
    return out;
}

NmClient::~NmClient() {
    g_object_unref(client_);
}

bool NmClient::Running() const {
    return nm_client_get_nm_running(client_);
}

bool NmClient::RunUntil(const std::function<bool()>& done, int timeoutMs) const {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        if (!g_main_context_iteration(nullptr, FALSE)) {
            g_usleep(2000);
        }
    }
    return true;
}

GVariant* NmClient::Call(const char* path, const char* interface, const char* method,
                         GVariant* params, const char* replyType, int timeoutMs) const {
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(
        nm_client_get_dbus_connection(client_), NM_DBUS_SERVICE, path, interface, method, params,
        replyType ? G_VARIANT_TYPE(replyType) : nullptr,
        G_DBUS_CALL_FLAGS_ALLOW_INTERACTIVE_AUTHORIZATION, timeoutMs, nullptr, &error);
    if (!reply) {
        bool denied = IsDenied(error);
        if (g_dbus_error_is_remote_error(error)) {
            g_dbus_error_strip_remote_error(error);
        }
        std::string text = error->message;
        g_error_free(error);
        throw NmError(text, denied);
    }
    return reply;
}

NMRemoteConnection* NmTargetConnection(NMDevice* device) {
    if (NMActiveConnection* active = nm_device_get_active_connection(device)) {
        if (NMRemoteConnection* remote = nm_active_connection_get_connection(active)) {
            return remote;
        }
    }
    const GPtrArray* available = nm_device_get_available_connections(device);
    NMRemoteConnection* best = nullptr;
    auto rank = [](NMRemoteConnection* c) {
        NMSettingConnection* s = nm_connection_get_setting_connection(NM_CONNECTION(c));
        return std::make_tuple(nm_setting_connection_get_autoconnect(s),
                               nm_setting_connection_get_autoconnect_priority(s),
                               nm_setting_connection_get_timestamp(s));
    };
    for (guint i = 0; available && i < available->len; ++i) {
        auto* c = NM_REMOTE_CONNECTION(available->pdata[i]);
        if (!best || rank(c) > rank(best)) {
            best = c;
        }
    }
    return best;
}

std::string NmStateName(NMDeviceState state) {
    return EnumNick(NM_TYPE_DEVICE_STATE, int(state));
}

std::string NmReasonName(NMDeviceStateReason reason) {
    return EnumNick(NM_TYPE_DEVICE_STATE_REASON, int(reason));
}

}  // namespace quorv::inventory
