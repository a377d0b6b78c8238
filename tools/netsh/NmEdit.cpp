#include "netsh/NmEdit.h"

#include <algorithm>

#include "core/ProfileChecks.h"

namespace quorv::netsh {
namespace {

constexpr const char* kIp4 = "ipv4";

void SetMethod(NmSettings& s, const char* method) {
    s.Set(kIp4, "method", inventory::DbusValue::String(method));
}

// A default route of our own stands in for the gateway where NetworkManager takes no gateway
// (automatic addressing without static addresses).
void RemoveDefaultRoutes(NmSettings& s) {
    auto routes = Ip4Routes(s);
    routes.erase(std::remove_if(routes.begin(), routes.end(),
                                [](const Ip4Route& r) { return r.prefix == 0; }),
                 routes.end());
    SetIp4Routes(s, routes);
}

bool AutomaticDns(const NmSettings& s) {
    return !Ip4IgnoreAutoDns(s) && Ip4Dns(s).empty();
}

}  // namespace

bool NeedsInUseDns(const NmSettings& settings, const Command& command) {
    return command.action == Action::AddDns && AutomaticDns(settings);
}

void EditIp4(NmSettings& s, const Command& cmd, const std::vector<std::string>& inUseDns) {
    if (!s.Get(kIp4, "method")) {
        SetMethod(s, "auto");
    }
    // Rewritten in the current forms, so that what we change is what NetworkManager reads.
    SetIp4Addresses(s, Ip4Addresses(s));
    SetIp4Routes(s, Ip4Routes(s));
    switch (cmd.action) {
        case Action::SetAddressDhcp:
            SetMethod(s, "auto");
            SetIp4Addresses(s, {});
            SetIp4Gateway(s, "");
            RemoveDefaultRoutes(s);
            break;
        case Action::SetAddressStatic:
            SetMethod(s, "manual");
            SetIp4Addresses(s, {{FormatIpv4(cmd.address), std::uint32_t(cmd.prefix)}});
            SetIp4Gateway(s, "");
            RemoveDefaultRoutes(s);
            break;
        case Action::AddAddress: {
            if (Ip4Method(s) != "auto") {
                SetMethod(s, "manual");
            }
            // The same address again takes the new mask instead of a second entry.
            auto list = Ip4Addresses(s);
            std::string address = FormatIpv4(cmd.address);
            list.erase(std::remove_if(list.begin(), list.end(),
                                      [&](const auto& a) { return a.first == address; }),
                       list.end());
            list.emplace_back(address, std::uint32_t(cmd.prefix));
            SetIp4Addresses(s, list);
            break;
        }
        case Action::SetGateway: {
            std::string gateway = FormatIpv4(cmd.gateway);
            RemoveDefaultRoutes(s);
            s.Set(kIp4, "route-metric", inventory::DbusValue::Int64(std::int64_t(cmd.metric)));
            // NetworkManager takes no gateway without a static address.
            if (!Ip4Addresses(s).empty()) {
                SetIp4Gateway(s, gateway);
                break;
            }
            SetIp4Gateway(s, "");
            auto routes = Ip4Routes(s);
            routes.push_back({"0.0.0.0", 0, gateway, std::int64_t(cmd.metric)});
            SetIp4Routes(s, routes);
            break;
        }
        case Action::SetDnsDhcp:
            SetIp4Dns(s, {}, false);
            break;
        case Action::SetDnsStatic:
            SetIp4Dns(s, {FormatIpv4(cmd.dns)}, true);
            break;
        case Action::AddDns: {
            SetIp4Dns(s, WithAddedDns(AutomaticDns(s) ? inUseDns : Ip4Dns(s), cmd), true);
            break;
        }
    }
}

}  // namespace quorv::netsh
