#include "netsh/NmEdit.h"

#include <algorithm>

namespace quorv::netsh {
namespace {

NMSettingIPConfig* Ip4Of(NMConnection* connection) {
    NMSettingIPConfig* ip4 = nm_connection_get_setting_ip4_config(connection);
    if (!ip4) {
        ip4 = NM_SETTING_IP_CONFIG(nm_setting_ip4_config_new());
        nm_connection_add_setting(connection, NM_SETTING(ip4));
    }
    return ip4;
}

NMIPAddress* NewAddress(Ipv4 address, int prefix) {
    GError* error = nullptr;
    NMIPAddress* out =
        nm_ip_address_new(AF_INET, FormatIpv4(address).c_str(), guint(prefix), &error);
    if (!out) {
        std::string text = error->message;
        g_error_free(error);
        throw NetshError("NetworkManager does not accept the address: " + text);
    }
    return out;
}

// A default route of our own stands in for the gateway where NetworkManager takes no gateway
// (automatic addressing without static addresses).
void RemoveDefaultRoutes(NMSettingIPConfig* ip4) {
    for (guint i = nm_setting_ip_config_get_num_routes(ip4); i > 0; --i) {
        if (nm_ip_route_get_prefix(nm_setting_ip_config_get_route(ip4, i - 1)) == 0) {
            nm_setting_ip_config_remove_route(ip4, i - 1);
        }
    }
}

void SetMethod(NMSettingIPConfig* ip4, const char* method) {
    g_object_set(ip4, NM_SETTING_IP_CONFIG_METHOD, method, nullptr);
}

void SetGateway(NMSettingIPConfig* ip4, const char* gateway) {
    g_object_set(ip4, NM_SETTING_IP_CONFIG_GATEWAY, gateway, nullptr);
}

std::vector<std::string> Dns(NMSettingIPConfig* ip4) {
    std::vector<std::string> out;
    for (guint i = 0; i < nm_setting_ip_config_get_num_dns(ip4); ++i) {
        out.push_back(nm_setting_ip_config_get_dns(ip4, int(i)));
    }
    return out;
}

void SetDns(NMSettingIPConfig* ip4, const std::vector<std::string>& servers, bool ignoreAuto) {
    nm_setting_ip_config_clear_dns(ip4);
    for (const auto& s : servers) {
        nm_setting_ip_config_add_dns(ip4, s.c_str());
    }
    g_object_set(ip4, NM_SETTING_IP_CONFIG_IGNORE_AUTO_DNS, gboolean(ignoreAuto), nullptr);
}

}  // namespace

void EditIp4(NMConnection* connection, const Command& cmd,
             const std::vector<std::string>& inUseDns) {
    NMSettingIPConfig* ip4 = Ip4Of(connection);
    switch (cmd.action) {
        case Action::SetAddressDhcp:
            SetMethod(ip4, NM_SETTING_IP4_CONFIG_METHOD_AUTO);
            nm_setting_ip_config_clear_addresses(ip4);
            SetGateway(ip4, nullptr);
            RemoveDefaultRoutes(ip4);
            break;
        case Action::SetAddressStatic: {
            SetMethod(ip4, NM_SETTING_IP4_CONFIG_METHOD_MANUAL);
            nm_setting_ip_config_clear_addresses(ip4);
            NMIPAddress* address = NewAddress(cmd.address, cmd.prefix);
            nm_setting_ip_config_add_address(ip4, address);
            nm_ip_address_unref(address);
            SetGateway(ip4, nullptr);
            RemoveDefaultRoutes(ip4);
            break;
        }
        case Action::AddAddress: {
            std::string method =
                nm_setting_ip_config_get_method(ip4) ? nm_setting_ip_config_get_method(ip4) : "";
            if (method != NM_SETTING_IP4_CONFIG_METHOD_AUTO) {
                SetMethod(ip4, NM_SETTING_IP4_CONFIG_METHOD_MANUAL);
            }
            NMIPAddress* address = NewAddress(cmd.address, cmd.prefix);
            // The same address again takes the new mask instead of a second entry.
            for (guint i = 0; i < nm_setting_ip_config_get_num_addresses(ip4); ++i) {
                if (FormatIpv4(cmd.address) ==
                    nm_ip_address_get_address(nm_setting_ip_config_get_address(ip4, int(i)))) {
                    nm_setting_ip_config_remove_address(ip4, int(i));
                    break;
                }
            }
            nm_setting_ip_config_add_address(ip4, address);
            nm_ip_address_unref(address);
            break;
        }
        case Action::SetGateway: {
            std::string gateway = FormatIpv4(cmd.gateway);
            RemoveDefaultRoutes(ip4);
            g_object_set(ip4, NM_SETTING_IP_CONFIG_ROUTE_METRIC, gint64(cmd.metric), nullptr);
            if (nm_setting_ip_config_get_num_addresses(ip4) > 0) {
                SetGateway(ip4, gateway.c_str());
                break;
            }
            SetGateway(ip4, nullptr);
            GError* error = nullptr;
            NMIPRoute* route =
                nm_ip_route_new(AF_INET, "0.0.0.0", 0, gateway.c_str(), gint64(cmd.metric), &error);
            if (!route) {
                std::string text = error->message;
                g_error_free(error);
                throw NetshError("NetworkManager does not accept the gateway: " + text);
            }
            nm_setting_ip_config_add_route(ip4, route);
            nm_ip_route_unref(route);
            break;
        }
        case Action::SetDnsDhcp:
            SetDns(ip4, {}, false);
            break;
        case Action::SetDnsStatic:
            SetDns(ip4, {FormatIpv4(cmd.dns)}, true);
            break;
        case Action::AddDns: {
            bool automatic = !nm_setting_ip_config_get_ignore_auto_dns(ip4) && Dns(ip4).empty();
            std::vector<std::string> servers = automatic ? inUseDns : Dns(ip4);
            std::string added = FormatIpv4(cmd.dns);
            servers.erase(std::remove(servers.begin(), servers.end(), added), servers.end());
            std::size_t at = cmd.index == 0 ? servers.size()
                                            : std::min(servers.size(), std::size_t(cmd.index - 1));
            servers.insert(servers.begin() + std::ptrdiff_t(at), added);
            SetDns(ip4, servers, true);
            break;
        }
    }
    GError* error = nullptr;
    if (!nm_connection_normalize(connection, nullptr, nullptr, &error)) {
        std::string text = error->message;
        g_error_free(error);
        throw NetshError("NetworkManager would not accept the settings: " + text);
    }
}

}  // namespace quorv::netsh
