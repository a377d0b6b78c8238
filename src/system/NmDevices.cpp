#include "system/NmDevices.h"

#include <cstdlib>

#include "system/NmBus.h"

namespace quorv::inventory {
namespace {

NmDeviceView View(const NmBus& bus, GVariant* device) {
    NmDeviceView view;
    view.interface = StringOf(device, "Interface");
    // A released device still has the connection that /renew brings back.
    std::string connection = NmTargetConnection(bus, device);
    if (!connection.empty()) {
        Variant settings = bus.Settings(connection);
        Variant general(g_variant_lookup_value(settings.get(), "connection", nullptr));
        Variant ip4(g_variant_lookup_value(settings.get(), "ipv4", nullptr));
        view.connection = StringOf(general.get(), "id");
        view.dhcpEnabled = StringOf(ip4.get(), "method", "auto") == "auto";
    }
    std::string ip4Config = StringOf(device, "Ip4Config", "/");
    if (ip4Config != "/") {
        Variant props = bus.Properties(ip4Config, NM_DBUS_INTERFACE_IP4_CONFIG);
        view.dnsServers = AddressesOf(props.get(), "NameserverData", false);
    }
    std::string dhcpConfig = StringOf(device, "Dhcp4Config", "/");
    if (view.dhcpEnabled && dhcpConfig != "/") {
        Variant props = bus.Properties(dhcpConfig, NM_DBUS_INTERFACE_DHCP4_CONFIG);
        Variant options(g_variant_lookup_value(props.get(), "Options", G_VARIANT_TYPE("a{sv}")));
        view.dhcpServer = StringOf(options.get(), "dhcp_server_identifier");
        view.domain = StringOf(options.get(), "domain_name");
        std::string expiry = StringOf(options.get(), "expiry");
        if (!expiry.empty()) {
            view.leaseExpires = std::atoll(expiry.c_str());
            view.leaseObtained =
                view.leaseExpires - std::atoll(StringOf(options.get(), "dhcp_lease_time").c_str());
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
        Variant reply = bus->Call(NM_DBUS_PATH, NM_DBUS_INTERFACE, "GetDevices", nullptr, "(ao)");
        GVariantIter* iter = nullptr;
        g_variant_get(reply.get(), "(ao)", &iter);
        const char* path = nullptr;
        while (g_variant_iter_next(iter, "&o", &path)) {
            Variant device = bus->Properties(path, NM_DBUS_INTERFACE_DEVICE);
            if (BoolOf(device.get(), "Managed")) {
                out.push_back(View(*bus, device.get()));
            }
        }
        g_variant_iter_free(iter);
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
