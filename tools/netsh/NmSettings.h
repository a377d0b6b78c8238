#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "system/NmBus.h"

namespace quorv::netsh {

// A settings connection as NetworkManager's D-Bus API passes it (a{sa{sv}}), made editable.
// Settings and keys we do not know are kept as they came.
class NmSettings {
  public:
    NmSettings() = default;
    // Entries of another type than a{sv} are left out.
    explicit NmSettings(const inventory::DbusValue& dict);

    // nullptr when the key is not there.
    const inventory::DbusValue* Get(const std::string& setting, const std::string& key) const;
    void Set(const std::string& setting, const std::string& key, inventory::DbusValue value);
    void Remove(const std::string& setting, const std::string& key);
    // The a{sa{sv}} to send.
    inventory::DbusValue ToValue() const;

  private:
    std::map<std::string, std::map<std::string, inventory::DbusValue>> values_;
};

// The IPv4 part, read with the legacy forms (addresses, routes) understood.
struct Ip4Route {
    std::string dest;
    std::uint32_t prefix = 0;
    std::string nextHop;
    std::int64_t metric = -1;  // -1: none given
    bool operator==(const Ip4Route&) const = default;
};

std::string Ip4Method(const NmSettings& s);
std::vector<std::pair<std::string, std::uint32_t>> Ip4Addresses(const NmSettings& s);
std::string Ip4Gateway(const NmSettings& s);
std::vector<Ip4Route> Ip4Routes(const NmSettings& s);
std::vector<std::string> Ip4Dns(const NmSettings& s);
bool Ip4IgnoreAutoDns(const NmSettings& s);
std::int64_t Ip4RouteMetric(const NmSettings& s);

// What a netsh command can change of the IPv4 settings, whatever form it is written in.
struct Ip4Summary {
    std::string method;
    std::vector<std::pair<std::string, std::uint32_t>> addresses;
    std::string gateway;
    std::vector<Ip4Route> routes;
    std::vector<std::string> dns;
    bool ignoreAutoDns = false;
    std::int64_t routeMetric = -1;
    bool operator==(const Ip4Summary&) const = default;
};
Ip4Summary SummaryOf(const NmSettings& s);

// Writers use the current forms only: NetworkManager ignores address-data, gateway and
// route-data as soon as the legacy forms are present, so those go.
void SetIp4Addresses(NmSettings& s, const std::vector<std::pair<std::string, std::uint32_t>>& list);
void SetIp4Gateway(NmSettings& s, const std::string& gateway);  // empty: none
void SetIp4Routes(NmSettings& s, const std::vector<Ip4Route>& routes);
void SetIp4Dns(NmSettings& s, const std::vector<std::string>& servers, bool ignoreAutoDns);

}  // namespace quorv::netsh
