#include "netsh/NmDeviceWatch.h"

#include <chrono>
#include <sstream>

#include "netsh/Command.h"

namespace quorv::netsh {
namespace {

using inventory::DbusValue;
using inventory::NmBus;
using inventory::NmError;

constexpr int kWaitMs = 20000;

std::unique_ptr<inventory::NmPending> StartProperties(NmBus& bus, const std::string& path,
                                                      const char* interface) {
    return bus.Start(path, "org.freedesktop.DBus.Properties", "GetAll",
                     {DbusValue::String(interface)}, "(a{sv})");
}

std::string Describe(const DeviceNow& now) {
    return "state " + inventory::NmStateName(now.state) + ", reason " +
           inventory::NmReasonName(now.reason);
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
        DbusValue props = device_->Wait()[0];
        now.state = inventory::UintOf(props, "State");
        if (const DbusValue& reason = props.Find("StateReason"); reason.Is("(uu)")) {
            now.state = std::uint32_t(reason.Items()[0].Bits());
            now.reason = std::uint32_t(reason.Items()[1].Bits());
        }
        now.activation = inventory::StringOf(props, "ActiveConnection", "/");
        seen.ip4 = inventory::StringOf(props, "Ip4Config", "/");
        seen.dhcp = inventory::StringOf(props, "Dhcp4Config", "/");
        if (seen.ip4 != "/") {
            DbusValue config = Of(seen.ip4, guess_.ip4, ip4_, NM_DBUS_INTERFACE_IP4_CONFIG);
            auto addresses = inventory::AddressesOf(config, "AddressData", true);
            now.addresses.insert(addresses.begin(), addresses.end());
            now.gateway = inventory::StringOf(config, "Gateway");
            now.dns = inventory::AddressesOf(config, "NameserverData", false);
        }
        if (seen.dhcp != "/") {
            DbusValue config = Of(seen.dhcp, guess_.dhcp, dhcp_, NM_DBUS_INTERFACE_DHCP4_CONFIG);
            const DbusValue& options = config.Find("Options");
            now.leased = inventory::StringOf(options, "ip_address");
            std::istringstream servers(inventory::StringOf(options, "domain_name_servers"));
            for (std::string server; servers >> server;) {
                now.leaseDns.push_back(server);
            }
        }
        return now;
    }

  private:
    DbusValue Of(const std::string& path, const std::string& guessed,
                 std::unique_ptr<inventory::NmPending>& pending, const char* interface) {
        if (pending && path == guessed) {
            return pending->Wait()[0];
        }
        return bus_.Properties(path, interface);
    }

    NmBus& bus_;
    ConfigPaths guess_;
    std::unique_ptr<inventory::NmPending> device_;
    std::unique_ptr<inventory::NmPending> ip4_;
    std::unique_ptr<inventory::NmPending> dhcp_;
};

}  // namespace

DeviceNow ReadDevice(NmBus& bus, const std::string& device) {
    ConfigPaths seen;
    return DeviceRead(bus, device, {}).Result(seen);
}

std::string Quoted(const std::string& ifname) {
    return "\"" + Printable(ifname) + "\"";
}

void Stopped(const std::string& ifname) {
    throw NetshError("NetworkManager stopped while " + Quoted(ifname) + " was being changed.");
}

void WaitForDevice(NmBus& bus, const std::string& device, const std::string& ifname,
                   const std::function<bool(const DeviceNow&)>& reached, bool activating,
                   ConfigPaths paths) {
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
                Stopped(ifname);
            }
            // An object replaced in between (a new IP configuration): read again.
        }
        if (std::chrono::steady_clock::now() > deadline) {
            throw WaitTimedOut("NetworkManager did not bring " + Quoted(ifname) +
                               " to the new settings within " + std::to_string(kWaitMs / 1000) +
                               " s (" + Describe(now) + ").");
        }
        // Signals wake us at once; the timer only covers a change that came unannounced.
        try {
            bus.WaitForChange(50);
        } catch (const NmError&) {
            // The connection failed: gone with the bus and NetworkManager, or given up on a
            // message it could not read, when the next reading goes over a fresh one.
            if (!bus.Running()) {
                Stopped(ifname);
            }
        }
    }
}

}  // namespace quorv::netsh
