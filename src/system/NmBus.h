#pragma once

#include <glib.h>
#include <nm-dbus-interface.h>

#include <memory>
#include <string>
#include <vector>

#include "base/Exception.h"
#include "system/DbusSocket.h"

namespace quorv::inventory {

// A call NetworkManager refused or could not answer. Refusals of authorisation are told apart,
// since they must never be mistaken for a missing capability of our own.
class NmError : public quorv::Exception {
  public:
    NmError(const std::string& text, bool denied = false)
        : quorv::Exception(text), denied_(denied) {}
    bool PermissionDenied() const { return denied_; }

  private:
    bool denied_;
};

// A call in flight. Its reply is collected by Wait, which the destructor also does.
class NmPending {
  public:
    ~NmPending();
    NmPending(const NmPending&) = delete;
    NmPending& operator=(const NmPending&) = delete;
    // The reply; throws NmError as NmBus::Call does.
    Variant Wait();

  private:
    friend class NmBus;
    NmPending(DbusSocket& socket, guint32 serial, const char* replyType, int timeoutMs)
        : socket_(socket), serial_(serial), replyType_(replyType), timeoutMs_(timeoutMs) {}
    DbusSocket& socket_;
    guint32 serial_;
    const char* replyType_;
    int timeoutMs_;
    bool collected_ = false;
};

// NetworkManager's D-Bus interface, called directly. libnm's client would fetch
// NetworkManager's whole object tree at every start, as nmcli does, and loading libnm alone
// costs more than the calls a command makes; netsh runs once per command, so it asks only for
// the few objects a command touches.
class NmBus {
  public:
    // Nothing when there is no system bus. Whether NetworkManager runs shows at the first call.
    static std::unique_ptr<NmBus> Connect();
    ~NmBus();
    NmBus(const NmBus&) = delete;
    NmBus& operator=(const NmBus&) = delete;

    bool Running() const;

    // A method call to NetworkManager. The desktop's authentication agent may ask the user.
    // params is consumed.
    Variant Call(const std::string& path, const char* interface, const char* method,
                 GVariant* params, const char* replyType, int timeoutMs = 25000) const;

    // The same call without waiting for it, so that NetworkManager can work on two at once.
    std::unique_ptr<NmPending> Start(const std::string& path, const char* interface,
                                     const char* method, GVariant* params,
                                     const char* replyType) const;

    // Every property of an object's interface, as a{sv}.
    Variant Properties(const std::string& path, const char* interface) const;

    // The object path of the device with that interface name; empty when there is none.
    // Throws when NetworkManager does not run.
    std::string DeviceByInterface(const std::string& ifname) const;

    // The settings connection (a{sa{sv}}, without secrets).
    Variant Settings(const std::string& connectionPath) const;

    // From now on, NetworkManager's property changes are noticed; call before making changes.
    void WatchChanges();
    // Returns once a change was announced since the last return, or after timeoutMs.
    void WaitForChange(int timeoutMs);

  private:
    explicit NmBus(std::unique_ptr<DbusSocket> socket);
    std::unique_ptr<DbusSocket> socket_;
    bool watching_ = false;
};

// Values out of an a{sv}; the fallback when the key is missing or of another type.
std::string StringOf(GVariant* dict, const char* key, const std::string& fallback = "");
guint32 UintOf(GVariant* dict, const char* key, guint32 fallback = 0);
bool BoolOf(GVariant* dict, const char* key, bool fallback = false);
std::vector<std::string> PathsOf(GVariant* dict, const char* key);
// "address" of every entry of an aa{sv} (AddressData, NameserverData); with "/prefix" when asked.
std::vector<std::string> AddressesOf(GVariant* dict, const char* key, bool withPrefix);

// The settings connection a change of the device belongs to: the active one, else the one
// NetworkManager would activate on it next. Empty when the device has none.
// deviceProperties: the device's a{sv}.
std::string NmTargetConnection(const NmBus& bus, GVariant* deviceProperties);

// The name of an enum value as NetworkManager's tools print it ("ip-config", "carrier-changed").
std::string NmStateName(guint32 state);
std::string NmReasonName(guint32 reason);

}  // namespace quorv::inventory
