#pragma once

#include <nm-dbus-interface.h>
#include <systemd/sd-bus.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/Exception.h"
#include "system/DbusValue.h"

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
    // The reply's values; throws NmError as NmBus::Call does.
    DbusArgs Wait();

  private:
    friend class NmBus;
    NmPending(sd_bus* bus, const char* replyType, int timeoutMs);
    static int OnReply(sd_bus_message* reply, void* self, sd_bus_error* error);

    sd_bus* bus_;
    sd_bus_slot* slot_ = nullptr;
    sd_bus_message* reply_ = nullptr;
    bool closed_ = false;  // the connection ended before the reply came
    const char* replyType_;
    std::chrono::steady_clock::time_point deadline_;
    bool collected_ = false;
};

// NetworkManager's D-Bus interface, called directly. libnm's client would fetch
// NetworkManager's whole object tree at every start, as nmcli does, and loading libnm alone
// costs more than the calls a command makes; netsh runs once per command, so it asks only for
// the few objects a command touches. Every call goes out without waiting for the one before,
// so the connection's setup travels with the first.
class NmBus {
  public:
    // Nothing when there is no system bus. Whether NetworkManager runs shows at the first call.
    static std::unique_ptr<NmBus> Connect();
    ~NmBus();
    NmBus(const NmBus&) = delete;
    NmBus& operator=(const NmBus&) = delete;

    // False only when the bus itself says nobody owns NetworkManager's name, or no connection
    // to the bus can be made. A connection that failed (sd-bus gives one up on a message it
    // cannot read) is made anew and asked again; a reply we cannot read proves nothing. Saying
    // "stopped" on either would hide the real error.
    bool Running() const;

    // A method call to NetworkManager; the reply's values. The desktop's authentication agent
    // may ask the user. replyType: the reply's signature in parentheses, nullptr for any.
    DbusArgs Call(const std::string& path, const char* interface, const char* method,
                  const DbusArgs& params, const char* replyType, int timeoutMs = 25000) const;

    // The same call without waiting for it, so that NetworkManager can work on two at once.
    std::unique_ptr<NmPending> Start(const std::string& path, const char* interface,
                                     const char* method, const DbusArgs& params,
                                     const char* replyType) const;

    // Every property of an object's interface, as a{sv}.
    DbusValue Properties(const std::string& path, const char* interface) const;

    // The object path of the device with that interface name; empty when there is none.
    // Throws when NetworkManager does not run.
    std::string DeviceByInterface(const std::string& ifname) const;

    // The settings connection (a{sa{sv}}, without secrets).
    DbusValue Settings(const std::string& connectionPath) const;

    // From now on, NetworkManager's property changes are noticed; call before making changes.
    // Only signals from the connection that owns NetworkManager's name count: anyone on the
    // bus may send a signal of that name.
    void WatchChanges();
    // Returns once a change was announced since the last return, or after timeoutMs. Throws
    // NmError when the connection to the bus is gone.
    void WaitForChange(int timeoutMs);
    // For an event loop: the connection's descriptor (it changes when the connection is made
    // anew), and whether a change was announced, reading only what has arrived.
    int EventFd() const;
    bool TakeChange();

  private:
    explicit NmBus(sd_bus* bus) : bus_(bus) {}
    // A fresh connection in place of a failed one, watching as the old one did. False when the
    // bus cannot be reached.
    bool Reopen() const;
    void Watch() const;
    std::unique_ptr<NmPending> Send(const char* destination, const std::string& path,
                                    const char* interface, const char* method,
                                    const DbusArgs& params, const char* replyType,
                                    int timeoutMs) const;
    static int OnSignal(sd_bus_message* signal, void* self, sd_bus_error* error);

    // The connection is replaced when it fails, even by the calls that change nothing.
    mutable sd_bus* bus_;
    bool watching_ = false;
    mutable sd_bus_slot* match_ = nullptr;
    mutable std::unique_ptr<NmPending> owner_;  // who owns NetworkManager's name
    mutable std::string ownerName_;             // its answer, once read
    bool signalled_ = false;
};

// Values out of an a{sv}; the fallback when the key is missing or of another type.
std::string StringOf(const DbusValue& dict, const char* key, const std::string& fallback = "");
std::uint32_t UintOf(const DbusValue& dict, const char* key, std::uint32_t fallback = 0);
bool BoolOf(const DbusValue& dict, const char* key, bool fallback = false);
std::vector<std::string> PathsOf(const DbusValue& dict, const char* key);
// "address" of every entry of an aa{sv} (AddressData, NameserverData); with "/prefix" when asked.
std::vector<std::string> AddressesOf(const DbusValue& dict, const char* key, bool withPrefix);

// The settings connection a change of the device belongs to: the active one, else the one
// NetworkManager would activate on it next. Empty when the device has none.
// deviceProperties: the device's a{sv}.
std::string NmTargetConnection(const NmBus& bus, const DbusValue& deviceProperties);

// The name of an enum value as NetworkManager's tools print it ("ip-config", "carrier-changed").
std::string NmStateName(std::uint32_t state);
std::string NmReasonName(std::uint32_t reason);

}  // namespace quorv::inventory
