#pragma once

#include <gio/gio.h>
// libnm's error quarks are declared without C linkage.
extern "C" {
#include <NetworkManager.h>
}

#include <functional>
#include <memory>
#include <string>

#include "base/Exception.h"

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

// libnm's client on the system bus, used from one thread. Signals are only delivered while
// RunUntil iterates the main context.
class NmClient {
  public:
    // Nothing when there is no system bus or NetworkManager does not own its name there.
    static std::unique_ptr<NmClient> Connect(int timeoutMs = 5000);
    ~NmClient();
    NmClient(const NmClient&) = delete;
    NmClient& operator=(const NmClient&) = delete;

    NMClient* Get() const { return client_; }
    bool Running() const;

    // Iterates the main context until done() holds (true) or the time is up (false).
    bool RunUntil(const std::function<bool()>& done, int timeoutMs) const;

    // A method call to NetworkManager. The desktop's authentication agent may ask the user.
    // params is consumed; the reply is the caller's to unref.
    GVariant* Call(const char* path, const char* interface, const char* method, GVariant* params,
                   const char* replyType, int timeoutMs = 25000) const;

  private:
    explicit NmClient(NMClient* client) : client_(client) {}
    NMClient* client_;
};

// The settings connection a change of the device belongs to: the active one, else the one
// NetworkManager would activate on it next. Nothing when the device has none.
NMRemoteConnection* NmTargetConnection(NMDevice* device);

// The name of an enum value as NetworkManager's tools print it ("ip-config", "carrier-changed").
std::string NmStateName(NMDeviceState state);
std::string NmReasonName(NMDeviceStateReason reason);

}  // namespace quorv::inventory
