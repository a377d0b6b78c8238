#include "system/NmBus.h"

#include "system/SystemBus.h"

#include <systemd/sd-bus.h>

#include <cerrno>
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

constexpr const char* kBusName = "org.freedesktop.DBus";
constexpr const char* kBusPath = "/org/freedesktop/DBus";
constexpr const char* kClosed = "the system bus closed the connection";

using Clock = std::chrono::steady_clock;

// Dispatches one message, else waits for one until the deadline; false once it has passed,
// even while messages keep coming (anyone on the bus may send us some).
// A connection sd-bus cannot go on with (it stops at a message it cannot read) is closed, so
// that Running makes a fresh one instead of taking the damage for NetworkManager's absence.
bool Step(sd_bus* bus, Clock::time_point deadline) {
    if (Clock::now() >= deadline) {
        return false;
    }
    int r = sd_bus_process(bus, nullptr);
    if (r < 0) {
        sd_bus_close(bus);
        throw NmError(kClosed);
    }
    if (r > 0) {
        return true;
    }
    auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now());
    if (left.count() <= 0) {
        return false;
    }
    r = sd_bus_wait(bus, std::uint64_t(left.count()));
    if (r < 0 && r != -EINTR) {
        sd_bus_close(bus);
        throw NmError(kClosed);
    }
    return true;
}

// The error's text is its message; a name alone is all some errors carry.
NmError ErrorOf(sd_bus_message* reply) {
    const sd_bus_error* error = sd_bus_message_get_error(reply);
    std::string name = error && error->name ? error->name : "";
    std::string text = error && error->message && *error->message ? error->message : name;
    return NmError(text, IsDenied(name));
}

}  // namespace

NmPending::NmPending(sd_bus* bus, const char* replyType, int timeoutMs)
    : bus_(sd_bus_ref(bus)),
      replyType_(replyType),
      deadline_(Clock::now() + std::chrono::milliseconds(timeoutMs)) {}

NmPending::~NmPending() {
    if (!collected_) {
        try {
            Wait();
        } catch (const NmError&) {
            // Nobody asked for the outcome.
        }
    }
    sd_bus_slot_unref(slot_);
    sd_bus_message_unref(reply_);
    sd_bus_unref(bus_);
}

int NmPending::OnReply(sd_bus_message* reply, void* self, sd_bus_error*) {
    auto* pending = static_cast<NmPending*>(self);
    pending->reply_ = sd_bus_message_ref(reply);
    // sd-bus answers every call itself when the connection ends.
    pending->closed_ = !sd_bus_is_open(pending->bus_);
    return 0;
}

DbusArgs NmPending::Wait() {
    collected_ = true;
    while (!reply_) {
        if (!Step(bus_, deadline_)) {
            throw NmError("Timeout was reached");
        }
    }
    if (closed_) {
        throw NmError(kClosed);
    }
    if (sd_bus_message_is_method_error(reply_, nullptr)) {
        throw ErrorOf(reply_);
    }
    std::string signature = std::string("(") + sd_bus_message_get_signature(reply_, 1) + ")";
    if (replyType_ && signature != replyType_) {
        throw NmError("Method returned type '" + signature + "', but expected '" + replyType_ +
                      "'");
    }
    try {
        return ReadBody(reply_);
    } catch (const std::runtime_error& e) {
        throw NmError(e.what());
    }
}

std::unique_ptr<NmBus> NmBus::Connect() {
    if (!SystemBusPresent()) {
        return nullptr;
    }
    sd_bus* bus = nullptr;
    if (sd_bus_open_system(&bus) < 0) {
        // No usable bus is the same as no NetworkManager.
        return nullptr;
    }
    return std::unique_ptr<NmBus>(new NmBus(bus));
}

NmBus::~NmBus() {
    if (owner_) {
        owner_->collected_ = true;  // only the signals wanted it
        owner_.reset();
    }
    sd_bus_slot_unref(match_);
    sd_bus_flush_close_unref(bus_);
}

std::unique_ptr<NmPending> NmBus::Send(const char* destination, const std::string& path,
                                       const char* interface, const char* method,
                                       const DbusArgs& params, const char* replyType,
                                       int timeoutMs) const {
    std::unique_ptr<NmPending> pending(new NmPending(bus_, replyType, timeoutMs));
    pending->collected_ = true;  // until it is really sent
    sd_bus_message* call = nullptr;
    int r =
        sd_bus_message_new_method_call(bus_, &call, destination, path.c_str(), interface, method);
    if (r >= 0) {
        r = sd_bus_message_set_allow_interactive_authorization(call, 1);
    }
    try {
        for (std::size_t i = 0; r >= 0 && i < params.size(); ++i) {
            params[i].AppendTo(call);
        }
    } catch (const std::runtime_error& e) {
        sd_bus_message_unref(call);
        throw NmError(e.what());
    }
    if (r >= 0) {
        // sd-bus's own timeout comes after ours, so that ours is the one reported.
        r = sd_bus_call_async(bus_, &pending->slot_, call, &NmPending::OnReply, pending.get(),
                              std::uint64_t(timeoutMs + 1000) * 1000);
    }
    sd_bus_message_unref(call);
    if (r < 0) {
        throw NmError(sd_bus_is_open(bus_) > 0 ? std::strerror(-r) : kClosed);
    }
    pending->collected_ = false;
    return pending;
}

std::unique_ptr<NmPending> NmBus::Start(const std::string& path, const char* interface,
                                        const char* method, const DbusArgs& params,
                                        const char* replyType) const {
    return Send(NM_DBUS_SERVICE, path, interface, method, params, replyType, 25000);
}

DbusArgs NmBus::Call(const std::string& path, const char* interface, const char* method,
                     const DbusArgs& params, const char* replyType, int timeoutMs) const {
    return Send(NM_DBUS_SERVICE, path, interface, method, params, replyType, timeoutMs)->Wait();
}

bool NmBus::Running() const {
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (sd_bus_is_open(bus_) <= 0 && !Reopen()) {
            return false;
        }
        try {
            auto asked = Send(kBusName, kBusPath, kBusName, "NameHasOwner",
                              {DbusValue::String(NM_DBUS_SERVICE)}, "(b)", 5000);
            DbusArgs reply = asked->Wait();
            const char* sender = sd_bus_message_get_sender(asked->reply_);
            if (!sender || std::strcmp(sender, kBusName) != 0) {
                return true;  // not the bus's answer
            }
            return reply[0].AsBool();
        } catch (const NmError&) {
            if (sd_bus_is_open(bus_) > 0) {
                return true;
            }
        }
    }
    return false;
}

bool NmBus::Reopen() const {
    sd_bus* fresh = nullptr;
    if (sd_bus_open_system(&fresh) < 0) {
        return false;
    }
    if (owner_) {
        owner_->collected_ = true;
        owner_.reset();
    }
    match_ = sd_bus_slot_unref(match_);
    ownerName_.clear();
    sd_bus_close_unref(bus_);
    bus_ = fresh;
    if (watching_) {
        Watch();
    }
    return true;
}

void NmBus::WatchChanges() {
    if (!watching_) {
        watching_ = true;
        Watch();
    }
}

void NmBus::Watch() const {
    // Neither is waited for: the bus takes our messages in order, so both are in place
    // before any change we ask for afterwards, and the owner's answer arrives before the
    // signals that change brings. A match the bus refuses costs only the prompt wake-up.
    int r = sd_bus_add_match_async(
        bus_, &match_,
        "type='signal',sender='" NM_DBUS_SERVICE "',path_namespace='" NM_DBUS_PATH
        "',interface='org.freedesktop.DBus.Properties',member='PropertiesChanged'",
        &NmBus::OnSignal, [](sd_bus_message*, void*, sd_bus_error*) { return 0; },
        const_cast<NmBus*>(this));
    if (r < 0) {
        match_ = nullptr;
        return;
    }
    try {
        owner_ = Send(kBusName, kBusPath, kBusName, "GetNameOwner",
                      {DbusValue::String(NM_DBUS_SERVICE)}, "(s)", 25000);
    } catch (const NmError&) {
        // Then no signal counts, and the waits poll.
    }
}

int NmBus::OnSignal(sd_bus_message* signal, void* self, sd_bus_error*) {
    auto* bus = static_cast<NmBus*>(self);
    // The owner's answer was dispatched before any signal that came after it.
    sd_bus_message* owner = bus->owner_ ? bus->owner_->reply_ : nullptr;
    if (bus->ownerName_.empty() && owner && !sd_bus_message_is_method_error(owner, nullptr) &&
        sd_bus_message_has_signature(owner, "s")) {
        const char* name = nullptr;
        if (sd_bus_message_read_basic(owner, 's', &name) > 0 && name) {
            bus->ownerName_ = name;
        }
    }
    const char* sender = sd_bus_message_get_sender(signal);
    if (!bus->ownerName_.empty() && sender && bus->ownerName_ == sender &&
        sd_bus_message_has_signature(signal, "sa{sv}as")) {
        bus->signalled_ = true;
    }
    return 0;
}

void NmBus::WaitForChange(int timeoutMs) {
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!signalled_ && Step(bus_, deadline)) {
    }
    if (sd_bus_is_open(bus_) <= 0) {
        throw NmError(kClosed);
    }
    signalled_ = false;
}

int NmBus::EventFd() const {
    return sd_bus_get_fd(bus_);
}

bool NmBus::TakeChange() {
    int r = 0;
    while ((r = sd_bus_process(bus_, nullptr)) > 0) {
    }
    if (r < 0 || sd_bus_is_open(bus_) <= 0) {
        throw NmError(kClosed);
    }
    const bool changed = signalled_;
    signalled_ = false;
    return changed;
}

DbusValue NmBus::Properties(const std::string& path, const char* interface) const {
    return Call(path, "org.freedesktop.DBus.Properties", "GetAll", {DbusValue::String(interface)},
                "(a{sv})")[0];
}

std::string NmBus::DeviceByInterface(const std::string& ifname) const {
    try {
        return Call(NM_DBUS_PATH, NM_DBUS_INTERFACE, "GetDeviceByIpIface",
                    {DbusValue::String(ifname)}, "(o)")[0]
            .Text();
    } catch (const NmError& e) {
        if (!Running()) {
            throw;
        }
        return "";
    }
}

DbusValue NmBus::Settings(const std::string& connectionPath) const {
    return Call(connectionPath, NM_DBUS_INTERFACE_SETTINGS_CONNECTION, "GetSettings", {},
                "(a{sa{sv}})")[0];
}

std::string StringOf(const DbusValue& dict, const char* key, const std::string& fallback) {
    const DbusValue& value = dict.Find(key);
    return value.Is("s") || value.Is("o") ? value.Text() : fallback;
}

std::uint32_t UintOf(const DbusValue& dict, const char* key, std::uint32_t fallback) {
    const DbusValue& value = dict.Find(key);
    return value.Is("u") ? std::uint32_t(value.Bits()) : fallback;
}

bool BoolOf(const DbusValue& dict, const char* key, bool fallback) {
    const DbusValue& value = dict.Find(key);
    return value.Is("b") ? value.AsBool() : fallback;
}

std::vector<std::string> PathsOf(const DbusValue& dict, const char* key) {
    std::vector<std::string> out;
    if (const DbusValue& paths = dict.Find(key); paths.Is("ao")) {
        for (const auto& path : paths.Items()) {
            out.push_back(path.Text());
        }
    }
    return out;
}

std::vector<std::string> AddressesOf(const DbusValue& dict, const char* key, bool withPrefix) {
    std::vector<std::string> out;
    if (const DbusValue& list = dict.Find(key); list.Is("aa{sv}")) {
        for (const auto& entry : list.Items()) {
            std::string address = StringOf(entry, "address");
            if (withPrefix) {
                address += "/" + std::to_string(UintOf(entry, "prefix"));
            }
            out.push_back(address);
        }
    }
    return out;
}

std::string NmTargetConnection(const NmBus& bus, const DbusValue& device) {
    std::string active = StringOf(device, "ActiveConnection", "/");
    if (active != "/") {
        try {
            DbusValue props = bus.Properties(active, NM_DBUS_INTERFACE_ACTIVE_CONNECTION);
            std::string connection = StringOf(props, "Connection", "/");
            if (connection != "/") {
                return connection;
            }
        } catch (const NmError&) {
            // Gone in between: rank what the device could activate.
        }
    }
    std::string best;
    std::tuple<bool, std::int32_t, std::uint64_t> bestRank{};
    for (const auto& path : PathsOf(device, "AvailableConnections")) {
        DbusValue settings = bus.Settings(path);
        const DbusValue& connection = settings.Find("connection");
        const DbusValue& autoconnect = connection.Find("autoconnect");
        const DbusValue& priority = connection.Find("autoconnect-priority");
        const DbusValue& timestamp = connection.Find("timestamp");
        std::tuple<bool, std::int32_t, std::uint64_t> rank{
            autoconnect.Is("b") ? autoconnect.AsBool() : true,
            priority.Is("i") ? std::int32_t(priority.AsInt64()) : 0,
            timestamp.Is("t") ? timestamp.Bits() : 0};
        if (best.empty() || rank > bestRank) {
            best = path;
            bestRank = rank;
        }
    }
    return best;
}

std::string NmStateName(std::uint32_t state) {
    static const std::map<std::uint32_t, const char*> names = {
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

std::string NmReasonName(std::uint32_t reason) {
    // The reasons a change of addressing meets; others are shown by number.
    static const std::map<std::uint32_t, const char*> names = {
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
