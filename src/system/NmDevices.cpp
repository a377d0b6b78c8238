#include "system/NmDevices.h"

#include <cstdlib>

#include "system/NmBus.h"

namespace quorv::inventory {
namespace {

NmDeviceView View(const NmBus& bus, const DbusValue& device) {
    NmDeviceView view;
    view.interface = StringOf(device, "Interface");
    // A released device still has the connection that /renew brings back.
    std::string connection = NmTargetConnection(bus, device);
    if (!connection.empty()) {
        DbusValue settings = bus.Settings(connection);
        view.connection = StringOf(settings.Find("connection"), "id");
        view.dhcpEnabled = StringOf(settings.Find("ipv4"), "method", "auto") == "auto";
    }
    std::string ip4Config = StringOf(device, "Ip4Config", "/");
    if (ip4Config != "/") {
        DbusValue props = bus.Properties(ip4Config, NM_DBUS_INTERFACE_IP4_CONFIG);
        view.dnsServers = AddressesOf(props, "NameserverData", false);
    }
    std::string dhcpConfig = StringOf(device, "Dhcp4Config", "/");
    if (view.dhcpEnabled && dhcpConfig != "/") {
        DbusValue props = bus.Properties(dhcpConfig, NM_DBUS_INTERFACE_DHCP4_CONFIG);
        const DbusValue& options = props.Find("Options");
        view.dhcpServer = StringOf(options, "dhcp_server_identifier");
        view.domain = StringOf(options, "domain_name");
        std::string expiry = StringOf(options, "expiry");
        if (!expiry.empty()) {
            view.leaseExpires = std::atoll(expiry.c_str());
            view.leaseObtained =
                view.leaseExpires - std::atoll(StringOf(options, "dhcp_lease_time").c_str());
        }
    }
    return view;
}

}  // namespace

std::vector<NmDeviceView> ReadNmDevices() {
    std::vector<NmDeviceView> out;
    try {
        auto bus = NmBus::Connect();
        if (!bus) {
            return out;
        }
        DbusArgs reply = bus->Call(NM_DBUS_PATH, NM_DBUS_INTERFACE, "GetDevices", {}, "(ao)");
        for (const auto& path : reply[0].Items()) {
            DbusValue device = bus->Properties(path.Text(), NM_DBUS_INTERFACE_DEVICE);
            if (BoolOf(device, "Managed")) {
                out.push_back(View(*bus, device));
            }
        }
    } catch (const NmError&) {
        out.clear();
    }
    return out;
}

const NmDeviceView* FindNmDevice(const std::vector<NmDeviceView>& devices,
                                 const std::string& interface) {
    for (const auto& d : devices) {
        if (d.interface == interface) {
            return &d;
        }
    }
    return nullptr;
}

}  // namespace quorv::inventory
