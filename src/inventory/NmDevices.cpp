#include "inventory/NmDevices.h"

#include <cstdlib>

#include "inventory/NmClient.h"

namespace quorv::inventory {
namespace {

std::string Option(NMDhcpConfig* dhcp, const char* name) {
    const char* value = dhcp ? nm_dhcp_config_get_one_option(dhcp, name) : nullptr;
    return value ? value : "";
}

NmDeviceView View(NMDevice* device) {
    NmDeviceView view;
    view.interface = nm_device_get_iface(device);
    // A released device still has the connection that /renew brings back.
    if (NMRemoteConnection* remote = NmTargetConnection(device)) {
        view.connection = nm_connection_get_id(NM_CONNECTION(remote));
        NMSettingIPConfig* ip4 = nm_connection_get_setting_ip4_config(NM_CONNECTION(remote));
        const char* method = ip4 ? nm_setting_ip_config_get_method(ip4) : nullptr;
        view.dhcpEnabled = method && std::string(method) == NM_SETTING_IP4_CONFIG_METHOD_AUTO;
    }
    if (NMIPConfig* config = nm_device_get_ip4_config(device)) {
        if (const char* const* servers = nm_ip_config_get_nameservers(config)) {
            for (; *servers; ++servers) {
                view.dnsServers.push_back(*servers);
            }
        }
    }
    NMDhcpConfig* dhcp = view.dhcpEnabled ? nm_device_get_dhcp4_config(device) : nullptr;
    view.dhcpServer = Option(dhcp, "dhcp_server_identifier");
    view.domain = Option(dhcp, "domain_name");
    std::string expiry = Option(dhcp, "expiry");
    std::string lifetime = Option(dhcp, "dhcp_lease_time");
    if (!expiry.empty()) {
        view.leaseExpires = std::atoll(expiry.c_str());
        view.leaseObtained = view.leaseExpires - std::atoll(lifetime.c_str());
    }
    return view;
}

}  // namespace

std::vector<NmDeviceView> ReadNmDevices() {
    std::vector<NmDeviceView> out;
    try {
        auto client = NmClient::Connect(3000);
        if (!client) {
            return out;
        }
        const GPtrArray* devices = nm_client_get_devices(client->Get());
        for (guint i = 0; devices && i < devices->len; ++i) {
            auto* device = NM_DEVICE(devices->pdata[i]);
            if (nm_device_get_managed(device) && nm_device_get_iface(device)) {
                out.push_back(View(device));
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
