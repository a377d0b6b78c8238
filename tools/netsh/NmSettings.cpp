#include "netsh/NmSettings.h"

#include <arpa/inet.h>

namespace quorv::netsh {
namespace {

constexpr const char* kIp4 = "ipv4";

using inventory::DbusValue;

std::string FromNetworkOrder(std::uint32_t raw) {
    char text[INET_ADDRSTRLEN] = {};
    in_addr a{raw};
    inet_ntop(AF_INET, &a, text, sizeof text);
    return text;
}

std::string StringIn(const DbusValue& dict, const char* key) {
    const DbusValue& value = dict.Find(key);
    return value.Is("s") ? value.Text() : "";
}

// A value of that signature, else nullptr.
const DbusValue* Typed(const NmSettings& s, const char* key, std::string_view signature) {
    const DbusValue* v = s.Get(kIp4, key);
    return v && v->Is(signature) ? v : nullptr;
}

std::uint32_t UintIn(const DbusValue& dict, const char* key) {
    const DbusValue& value = dict.Find(key);
    return value.Is("u") ? std::uint32_t(value.Bits()) : 0;
}

// The fields of a legacy entry (aau), as many as it has.
std::vector<std::uint32_t> Fields(const DbusValue& entry) {
    std::vector<std::uint32_t> out;
    for (const auto& f : entry.Items()) {
        out.push_back(std::uint32_t(f.Bits()));
    }
    return out;
}

DbusValue Entry(std::vector<std::pair<std::string, DbusValue>> keys) {
    return DbusValue::Dict("v", std::move(keys));
}

}  // namespace

NmSettings::NmSettings(const DbusValue& dict) {
    if (!dict.Is("a{sa{sv}}")) {
        return;
    }
    for (const auto& setting : dict.Items()) {
        auto& keys = values_[setting.Items()[0].Text()];
        for (const auto& entry : setting.Items()[1].Items()) {
            keys[entry.Items()[0].Text()] = entry.Items()[1].Items()[0];
        }
    }
}

const DbusValue* NmSettings::Get(const std::string& setting, const std::string& key) const {
    auto s = values_.find(setting);
    if (s == values_.end()) {
        return nullptr;
    }
    auto k = s->second.find(key);
    return k == s->second.end() ? nullptr : &k->second;
}

void NmSettings::Set(const std::string& setting, const std::string& key, DbusValue value) {
    values_[setting][key] = std::move(value);
}

void NmSettings::Remove(const std::string& setting, const std::string& key) {
    auto s = values_.find(setting);
    if (s != values_.end()) {
        s->second.erase(key);
    }
}

DbusValue NmSettings::ToValue() const {
    std::vector<std::pair<std::string, DbusValue>> settings;
    for (const auto& [setting, keys] : values_) {
        std::vector<std::pair<std::string, DbusValue>> entries(keys.begin(), keys.end());
        settings.emplace_back(setting, Entry(std::move(entries)));
    }
    return DbusValue::Dict("a{sv}", std::move(settings));
}

std::string Ip4Method(const NmSettings& s) {
    const DbusValue* v = Typed(s, "method", "s");
    return v ? v->Text() : "auto";
}

std::vector<std::pair<std::string, std::uint32_t>> Ip4Addresses(const NmSettings& s) {
    std::vector<std::pair<std::string, std::uint32_t>> out;
    if (const DbusValue* data = Typed(s, "address-data", "aa{sv}")) {
        for (const auto& entry : data->Items()) {
            out.emplace_back(StringIn(entry, "address"), UintIn(entry, "prefix"));
        }
    } else if (const DbusValue* legacy = Typed(s, "addresses", "aau")) {
        for (const auto& entry : legacy->Items()) {
            if (auto f = Fields(entry); f.size() >= 2) {
                out.emplace_back(FromNetworkOrder(f[0]), f[1]);
            }
        }
    }
    return out;
}

std::string Ip4Gateway(const NmSettings& s) {
    if (const DbusValue* v = Typed(s, "gateway", "s")) {
        return v->Text();
    }
    // Older daemons keep it in the third field of the first legacy address.
    if (const DbusValue* legacy = Typed(s, "addresses", "aau");
        legacy && !legacy->Items().empty()) {
        auto f = Fields(legacy->Items()[0]);
        return f.size() >= 3 && f[2] ? FromNetworkOrder(f[2]) : "";
    }
    return "";
}

std::vector<Ip4Route> Ip4Routes(const NmSettings& s) {
    std::vector<Ip4Route> out;
    if (const DbusValue* data = Typed(s, "route-data", "aa{sv}")) {
        for (const auto& entry : data->Items()) {
            Ip4Route r;
            r.dest = StringIn(entry, "dest");
            r.prefix = UintIn(entry, "prefix");
            r.nextHop = StringIn(entry, "next-hop");
            if (const DbusValue& metric = entry.Find("metric"); metric.Is("u")) {
                r.metric = std::int64_t(metric.Bits());
            }
            out.push_back(r);
        }
    } else if (const DbusValue* legacy = Typed(s, "routes", "aau")) {
        for (const auto& entry : legacy->Items()) {
            if (auto f = Fields(entry); f.size() >= 4) {
                out.push_back({FromNetworkOrder(f[0]), f[1], f[2] ? FromNetworkOrder(f[2]) : "",
                               std::int64_t(f[3])});
            }
        }
    }
    return out;
}

std::vector<std::string> Ip4Dns(const NmSettings& s) {
    std::vector<std::string> out;
    if (const DbusValue* dns = Typed(s, "dns", "au")) {
        for (const auto& raw : dns->Items()) {
            out.push_back(FromNetworkOrder(std::uint32_t(raw.Bits())));
        }
    }
    return out;
}

bool Ip4IgnoreAutoDns(const NmSettings& s) {
    const DbusValue* v = Typed(s, "ignore-auto-dns", "b");
    return v && v->AsBool();
}

std::int64_t Ip4RouteMetric(const NmSettings& s) {
    const DbusValue* v = Typed(s, "route-metric", "x");
    return v ? v->AsInt64() : -1;
}

Ip4Summary SummaryOf(const NmSettings& s) {
    return {Ip4Method(s), Ip4Addresses(s),     Ip4Gateway(s),    Ip4Routes(s),
            Ip4Dns(s),    Ip4IgnoreAutoDns(s), Ip4RouteMetric(s)};
}

void SetIp4Addresses(NmSettings& s,
                     const std::vector<std::pair<std::string, std::uint32_t>>& list) {
    std::string gateway = Ip4Gateway(s);
    std::vector<DbusValue> entries;
    for (const auto& [address, prefix] : list) {
        entries.push_back(Entry(
            {{"address", DbusValue::String(address)}, {"prefix", DbusValue::Uint32(prefix)}}));
    }
    s.Set(kIp4, "address-data", DbusValue::Array("a{sv}", std::move(entries)));
    s.Remove(kIp4, "addresses");
    SetIp4Gateway(s, gateway);  // it may have lived in the legacy form only
}

void SetIp4Gateway(NmSettings& s, const std::string& gateway) {
    if (gateway.empty()) {
        s.Remove(kIp4, "gateway");
    } else {
        s.Set(kIp4, "gateway", DbusValue::String(gateway));
    }
}

void SetIp4Routes(NmSettings& s, const std::vector<Ip4Route>& routes) {
    std::vector<DbusValue> entries;
    for (const auto& r : routes) {
        std::vector<std::pair<std::string, DbusValue>> keys{
            {"dest", DbusValue::String(r.dest)}, {"prefix", DbusValue::Uint32(r.prefix)}};
        if (!r.nextHop.empty()) {
            keys.emplace_back("next-hop", DbusValue::String(r.nextHop));
        }
        if (r.metric >= 0) {
            keys.emplace_back("metric", DbusValue::Uint32(std::uint32_t(r.metric)));
        }
        entries.push_back(Entry(std::move(keys)));
    }
    s.Set(kIp4, "route-data", DbusValue::Array("a{sv}", std::move(entries)));
    s.Remove(kIp4, "routes");
}

void SetIp4Dns(NmSettings& s, const std::vector<std::string>& servers, bool ignoreAutoDns) {
    std::vector<DbusValue> raw;
    for (const auto& server : servers) {
        in_addr a{};
        inet_pton(AF_INET, server.c_str(), &a);
        raw.push_back(DbusValue::Uint32(a.s_addr));
    }
    s.Set(kIp4, "dns", DbusValue::Array("u", std::move(raw)));
    s.Set(kIp4, "ignore-auto-dns", DbusValue::Bool(ignoreAutoDns));
}

}  // namespace quorv::netsh
