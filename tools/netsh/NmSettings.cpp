#include "netsh/NmSettings.h"

#include <arpa/inet.h>

namespace quorv::netsh {
namespace {

constexpr const char* kIp4 = "ipv4";

std::string FromNetworkOrder(guint32 raw) {
    char text[INET_ADDRSTRLEN] = {};
    in_addr a{raw};
    inet_ntop(AF_INET, &a, text, sizeof text);
    return text;
}

std::string StringIn(GVariant* dict, const char* key) {
    const char* value = nullptr;
    return dict && g_variant_lookup(dict, key, "&s", &value) ? value : "";
}

}  // namespace

NmSettings::NmSettings(GVariant* dict) {
    GVariantIter outer;
    g_variant_iter_init(&outer, dict);
    const char* setting = nullptr;
    GVariant* inner = nullptr;
    while (g_variant_iter_next(&outer, "{&s@a{sv}}", &setting, &inner)) {
        auto& keys = values_[setting];
        GVariantIter it;
        g_variant_iter_init(&it, inner);
        const char* key = nullptr;
        GVariant* value = nullptr;
        while (g_variant_iter_next(&it, "{&sv}", &key, &value)) {
            keys[key] = inventory::Variant(value);
        }
        g_variant_unref(inner);
    }
}

GVariant* NmSettings::Get(const std::string& setting, const std::string& key) const {
    auto s = values_.find(setting);
    if (s == values_.end()) {
        return nullptr;
    }
    auto k = s->second.find(key);
    return k == s->second.end() ? nullptr : k->second.get();
}

void NmSettings::Set(const std::string& setting, const std::string& key, GVariant* value) {
    values_[setting][key] = inventory::Variant(g_variant_ref_sink(value));
}

void NmSettings::Remove(const std::string& setting, const std::string& key) {
    auto s = values_.find(setting);
    if (s != values_.end()) {
        s->second.erase(key);
    }
}

GVariant* NmSettings::ToVariant() const {
    GVariantBuilder outer;
    g_variant_builder_init(&outer, G_VARIANT_TYPE("a{sa{sv}}"));
    for (const auto& [setting, keys] : values_) {
        GVariantBuilder inner;
        g_variant_builder_init(&inner, G_VARIANT_TYPE("a{sv}"));
        for (const auto& [key, value] : keys) {
            g_variant_builder_add(&inner, "{sv}", key.c_str(), value.get());
        }
        g_variant_builder_add(&outer, "{sa{sv}}", setting.c_str(), &inner);
    }
    return g_variant_builder_end(&outer);
}

std::string Ip4Method(const NmSettings& s) {
    GVariant* v = s.Get(kIp4, "method");
    return v && g_variant_is_of_type(v, G_VARIANT_TYPE_STRING) ? g_variant_get_string(v, nullptr)
                                                               : "auto";
}

std::vector<std::pair<std::string, guint32>> Ip4Addresses(const NmSettings& s) {
    std::vector<std::pair<std::string, guint32>> out;
    if (GVariant* data = s.Get(kIp4, "address-data");
        data && g_variant_is_of_type(data, G_VARIANT_TYPE("aa{sv}"))) {
        for (gsize i = 0; i < g_variant_n_children(data); ++i) {
            GVariant* entry = g_variant_get_child_value(data, i);
            guint32 prefix = 0;
            g_variant_lookup(entry, "prefix", "u", &prefix);
            out.emplace_back(StringIn(entry, "address"), prefix);
            g_variant_unref(entry);
        }
    } else if (GVariant* legacy = s.Get(kIp4, "addresses");
               legacy && g_variant_is_of_type(legacy, G_VARIANT_TYPE("aau"))) {
        for (gsize i = 0; i < g_variant_n_children(legacy); ++i) {
            GVariant* entry = g_variant_get_child_value(legacy, i);
            if (g_variant_n_children(entry) >= 2) {
                guint32 address = 0;
                guint32 prefix = 0;
                g_variant_get_child(entry, 0, "u", &address);
                g_variant_get_child(entry, 1, "u", &prefix);
                out.emplace_back(FromNetworkOrder(address), prefix);
            }
            g_variant_unref(entry);
        }
    }
    return out;
}

std::string Ip4Gateway(const NmSettings& s) {
    GVariant* v = s.Get(kIp4, "gateway");
    if (v && g_variant_is_of_type(v, G_VARIANT_TYPE_STRING)) {
        return g_variant_get_string(v, nullptr);
    }
    // Older daemons keep it in the third field of the first legacy address.
    if (GVariant* legacy = s.Get(kIp4, "addresses");
        legacy && g_variant_is_of_type(legacy, G_VARIANT_TYPE("aau")) &&
        g_variant_n_children(legacy) > 0) {
        GVariant* entry = g_variant_get_child_value(legacy, 0);
        guint32 gateway = 0;
        if (g_variant_n_children(entry) >= 3) {
            g_variant_get_child(entry, 2, "u", &gateway);
        }
        g_variant_unref(entry);
        return gateway ? FromNetworkOrder(gateway) : "";
    }
    return "";
}

std::vector<Ip4Route> Ip4Routes(const NmSettings& s) {
    std::vector<Ip4Route> out;
    if (GVariant* data = s.Get(kIp4, "route-data");
        data && g_variant_is_of_type(data, G_VARIANT_TYPE("aa{sv}"))) {
        for (gsize i = 0; i < g_variant_n_children(data); ++i) {
            GVariant* entry = g_variant_get_child_value(data, i);
            Ip4Route r;
            r.dest = StringIn(entry, "dest");
            g_variant_lookup(entry, "prefix", "u", &r.prefix);
            r.nextHop = StringIn(entry, "next-hop");
            guint32 metric = 0;
            if (g_variant_lookup(entry, "metric", "u", &metric)) {
                r.metric = metric;
            }
            out.push_back(r);
            g_variant_unref(entry);
        }
    } else if (GVariant* legacy = s.Get(kIp4, "routes");
               legacy && g_variant_is_of_type(legacy, G_VARIANT_TYPE("aau"))) {
        for (gsize i = 0; i < g_variant_n_children(legacy); ++i) {
            GVariant* entry = g_variant_get_child_value(legacy, i);
            if (g_variant_n_children(entry) >= 4) {
                guint32 f[4] = {};
                for (int k = 0; k < 4; ++k) {
                    g_variant_get_child(entry, gsize(k), "u", &f[k]);
                }
                out.push_back({FromNetworkOrder(f[0]), f[1], f[2] ? FromNetworkOrder(f[2]) : "",
                               gint64(f[3])});
            }
            g_variant_unref(entry);
        }
    }
    return out;
}

std::vector<std::string> Ip4Dns(const NmSettings& s) {
    std::vector<std::string> out;
    if (GVariant* dns = s.Get(kIp4, "dns");
        dns && g_variant_is_of_type(dns, G_VARIANT_TYPE("au"))) {
        for (gsize i = 0; i < g_variant_n_children(dns); ++i) {
            guint32 raw = 0;
            g_variant_get_child(dns, i, "u", &raw);
            out.push_back(FromNetworkOrder(raw));
        }
    }
    return out;
}

bool Ip4IgnoreAutoDns(const NmSettings& s) {
    GVariant* v = s.Get(kIp4, "ignore-auto-dns");
    return v && g_variant_is_of_type(v, G_VARIANT_TYPE_BOOLEAN) && g_variant_get_boolean(v);
}

gint64 Ip4RouteMetric(const NmSettings& s) {
    GVariant* v = s.Get(kIp4, "route-metric");
    return v && g_variant_is_of_type(v, G_VARIANT_TYPE_INT64) ? g_variant_get_int64(v) : -1;
}

Ip4Summary SummaryOf(const NmSettings& s) {
    return {Ip4Method(s), Ip4Addresses(s),     Ip4Gateway(s),    Ip4Routes(s),
            Ip4Dns(s),    Ip4IgnoreAutoDns(s), Ip4RouteMetric(s)};
}

void SetIp4Addresses(NmSettings& s, const std::vector<std::pair<std::string, guint32>>& list) {
    std::string gateway = Ip4Gateway(s);
    GVariantBuilder b;
    g_variant_builder_init(&b, G_VARIANT_TYPE("aa{sv}"));
    for (const auto& [address, prefix] : list) {
        GVariantBuilder entry;
        g_variant_builder_init(&entry, G_VARIANT_TYPE("a{sv}"));
        g_variant_builder_add(&entry, "{sv}", "address", g_variant_new_string(address.c_str()));
        g_variant_builder_add(&entry, "{sv}", "prefix", g_variant_new_uint32(prefix));
        g_variant_builder_add(&b, "a{sv}", &entry);
    }
    s.Set(kIp4, "address-data", g_variant_builder_end(&b));
    s.Remove(kIp4, "addresses");
    SetIp4Gateway(s, gateway);  // it may have lived in the legacy form only
}

void SetIp4Gateway(NmSettings& s, const std::string& gateway) {
    if (gateway.empty()) {
        s.Remove(kIp4, "gateway");
    } else {
        s.Set(kIp4, "gateway", g_variant_new_string(gateway.c_str()));
    }
}

void SetIp4Routes(NmSettings& s, const std::vector<Ip4Route>& routes) {
    GVariantBuilder b;
    g_variant_builder_init(&b, G_VARIANT_TYPE("aa{sv}"));
    for (const auto& r : routes) {
        GVariantBuilder entry;
        g_variant_builder_init(&entry, G_VARIANT_TYPE("a{sv}"));
        g_variant_builder_add(&entry, "{sv}", "dest", g_variant_new_string(r.dest.c_str()));
        g_variant_builder_add(&entry, "{sv}", "prefix", g_variant_new_uint32(r.prefix));
        if (!r.nextHop.empty()) {
            g_variant_builder_add(&entry, "{sv}", "next-hop",
                                  g_variant_new_string(r.nextHop.c_str()));
        }
        if (r.metric >= 0) {
            g_variant_builder_add(&entry, "{sv}", "metric",
                                  g_variant_new_uint32(guint32(r.metric)));
        }
        g_variant_builder_add(&b, "a{sv}", &entry);
    }
    s.Set(kIp4, "route-data", g_variant_builder_end(&b));
    s.Remove(kIp4, "routes");
}

void SetIp4Dns(NmSettings& s, const std::vector<std::string>& servers, bool ignoreAutoDns) {
    GVariantBuilder b;
    g_variant_builder_init(&b, G_VARIANT_TYPE("au"));
    for (const auto& server : servers) {
        in_addr a{};
        inet_pton(AF_INET, server.c_str(), &a);
        g_variant_builder_add(&b, "u", guint32(a.s_addr));
    }
    s.Set(kIp4, "dns", g_variant_builder_end(&b));
    s.Set(kIp4, "ignore-auto-dns", g_variant_new_boolean(ignoreAutoDns));
}

}  // namespace quorv::netsh
