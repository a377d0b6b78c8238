#include "core/LiveMatch.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <vector>

#include "core/CommaText.h"
#include "core/Ipv4.h"

namespace quorv::apply {
namespace {

bool SameAddress(const std::string& a, const std::string& b) {
    const std::optional<Ipv4> x = ParseIpv4(a);
    return x && x == ParseIpv4(b);
}

bool SameAddresses(const Profile& profile, const inventory::LiveAdapter& adapter) {
    const std::vector<std::string> addresses = profile.Addresses();
    const std::vector<std::string> masks = profile.Masks();
    const size_t count = std::min(addresses.size(), masks.size());
    if (count != adapter.addresses.size()) {
        return false;
    }
    for (size_t i = 0; i < count; ++i) {
        if (!SameAddress(addresses[i], adapter.addresses[i].address) ||
            !SameAddress(masks[i], adapter.addresses[i].mask)) {
            return false;
        }
    }
    return true;
}

bool SameDns(const Profile& profile, const inventory::LiveAdapter& adapter) {
    std::vector<std::string> wanted;
    if (!profile.DNS1.empty()) {
        wanted.push_back(profile.DNS1);
        if (!profile.DNS2.empty()) {
            wanted.push_back(profile.DNS2);
        }
    } else if (profile.IsDhcp() || !adapter.dnsOwn) {
        // The lease's servers, or a list that cannot say whose its servers are.
        return true;
    }
    if (adapter.dnsOwn ? adapter.dns.size() != wanted.size() : adapter.dns.size() < wanted.size()) {
        return false;
    }
    for (size_t i = 0; i < wanted.size(); ++i) {
        if (!SameAddress(wanted[i], adapter.dns[i])) {
            return false;
        }
    }
    return true;
}

// CUPS takes printer names in any letter case.
bool SamePrinter(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](unsigned char x, unsigned char y) {
        return std::tolower(x) == std::tolower(y);
    });
}

}  // namespace

LiveMismatch MatchLive(const Profile& profile, const inventory::LiveState& live) {
    const inventory::LiveAdapter* adapter = live.Find(profile.Interface);
    if (adapter == nullptr) {
        return LiveMismatch::NoAdapter;
    }
    if (profile.IsDhcp() != adapter->dhcp) {
        return LiveMismatch::Method;
    }
    if (!profile.IsDhcp()) {
        if (!SameAddresses(profile, *adapter)) {
            return LiveMismatch::Addresses;
        }
        const bool gatewayMatches = profile.Gateway.empty()
                                        ? adapter->gateway.empty()
                                        : SameAddress(profile.Gateway, adapter->gateway);
        if (!gatewayMatches) {
            return LiveMismatch::Gateway;
        }
    }
    if (!SameDns(profile, *adapter)) {
        return LiveMismatch::Dns;
    }
    if (!profile.Printer.empty() &&
        !(live.defaultPrinter && SamePrinter(profile.Printer, *live.defaultPrinter))) {
        return LiveMismatch::Printer;
    }
    return LiveMismatch::None;
}

Profile CaptureProfile(const inventory::LiveAdapter& adapter, const std::string& printer) {
    Profile profile;
    profile.Interface = adapter.name;
    profile.Printer = printer;
    if (adapter.dhcp) {
        profile.SetDhcp();
        profile.SetAutomaticDns();
        return profile;
    }
    std::vector<std::string> addresses;
    std::vector<std::string> masks;
    for (const auto& entry : adapter.addresses) {
        addresses.push_back(entry.address);
        masks.push_back(entry.mask);
    }
    profile.SetAddresses(addresses, masks);
    profile.Gateway = adapter.gateway;
    if (!adapter.dns.empty()) {
        profile.DNS1 = adapter.dns[0];
        profile.DNS2 = adapter.dns.size() > 1 ? adapter.dns[1] : "";
    }
    return profile;
}

}  // namespace quorv::apply
