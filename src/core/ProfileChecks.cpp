#include "core/ProfileChecks.h"

#include <algorithm>
#include <utility>

#include "core/CommaText.h"

namespace quorv::apply {
namespace {

constexpr std::size_t kShownBytes = 64;

std::string Named(std::string_view what, std::string_view text) {
    return std::string(what) + " " + ShownValue(text);
}

Ipv4 Parsed(std::string_view text, std::string_view what) {
    auto address = ParseIpv4(text);
    if (!address) {
        throw RefusedValue(Named(what, text) +
                           " is not a dotted quad of four numbers from 0 to 255 without leading "
                           "zeros");
    }
    return *address;
}

std::size_t LineCount(std::string_view text) {
    // SplitLines' rule: CR LF, CR or LF end a line, a final break adds none.
    std::size_t lines = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            ++lines;
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
        }
    }
    bool open = !text.empty() && text.back() != '\r' && text.back() != '\n';
    return lines + (open ? 1 : 0);
}

}  // namespace

bool IsHostAddress(Ipv4 address) {
    unsigned first = address >> 24;
    return first != 0 && first != 127 && first < 224;
}

bool IsDnsServerAddress(Ipv4 address) {
    unsigned first = address >> 24;
    return first != 0 && first < 224;
}

std::optional<int> SubnetPrefix(Ipv4 mask) {
    auto prefix = MaskToPrefix(mask);
    if (!prefix || *prefix == 0) {
        return std::nullopt;
    }
    return prefix;
}

bool IsHostInSubnet(Ipv4 address, int prefix) {
    if (prefix >= 31) {
        return true;
    }
    Ipv4 hostBits = ~PrefixToMask(prefix);
    Ipv4 host = address & hostBits;
    return host != 0 && host != hostBits;
}

std::optional<std::string> InterfaceNameProblem(std::string_view name) {
    if (name.empty()) {
        return "the interface name is empty";
    }
    if (name.size() > kMaxInterfaceName) {
        return "the interface name " + ShownValue(name) + " is longer than " +
               std::to_string(kMaxInterfaceName) + " bytes";
    }
    // Programs started with the name would take it for an option.
    if (name.front() == '-') {
        return "the interface name " + ShownValue(name) + " starts with \"-\"";
    }
    if (name == "." || name == "..") {
        return "the interface name " + ShownValue(name) + " is not allowed";
    }
    bool bad = std::any_of(name.begin(), name.end(), [](char ch) {
        auto c = static_cast<unsigned char>(ch);
        return c <= ' ' || c == 0x7f || c == '/' || c == ':';
    });
    if (bad) {
        return "the interface name " + ShownValue(name) +
               " contains a blank, a control character, \"/\" or \":\"";
    }
    return std::nullopt;
}

Ipv4 CheckHostAddress(std::string_view text, std::string_view what) {
    Ipv4 address = Parsed(text, what);
    if (!IsHostAddress(address)) {
        throw RefusedValue(Named(what, text) +
                           " is not an address a host can use (0.x.x.x, 127.x.x.x, multicast and "
                           "reserved addresses are not)");
    }
    return address;
}

int CheckSubnetMask(std::string_view text) {
    auto prefix = SubnetPrefix(Parsed(text, "subnet mask"));
    if (!prefix) {
        throw RefusedValue(Named("subnet mask", text) +
                           " is not a subnet mask (its one bits must be leading, contiguous and "
                           "at least one)");
    }
    return *prefix;
}

void CheckAddressInSubnet(Ipv4 address, int prefix) {
    if (!IsHostInSubnet(address, prefix)) {
        throw RefusedValue("IP address " + FormatIpv4(address) +
                           " is the network or broadcast address of its subnet " +
                           FormatIpv4(address & PrefixToMask(prefix)) + "/" +
                           std::to_string(prefix));
    }
}

Ipv4 CheckDnsServer(std::string_view text) {
    Ipv4 address = Parsed(text, "DNS server");
    if (!IsDnsServerAddress(address)) {
        throw RefusedValue(Named("DNS server", text) +
                           " is not a usable server address (0.x.x.x, multicast and reserved "
                           "addresses are not)");
    }
    return address;
}

void CheckDnsServerCount(std::size_t count) {
    if (count > kMaxDnsServers) {
        throw RefusedValue("an interface takes at most " + std::to_string(kMaxDnsServers) +
                           " DNS servers");
    }
}

void CheckInterfaceName(std::string_view name) {
    if (auto problem = InterfaceNameProblem(name)) {
        throw RefusedValue(*problem);
    }
}

void CheckScript(std::string_view script) {
    if (script.find('\0') != std::string_view::npos) {
        throw RefusedValue("the script contains a NUL character");
    }
    if (script.size() > kMaxScriptBytes) {
        throw RefusedValue("the script is longer than " + std::to_string(kMaxScriptBytes) +
                           " bytes");
    }
    if (LineCount(script) > kMaxScriptLines) {
        throw RefusedValue("the script has more than " + std::to_string(kMaxScriptLines) +
                           " lines");
    }
}

void CheckProfileValues(const Profile& profile) {
    CheckInterfaceName(profile.Interface);
    CheckValuesButInterface(profile);
}

void CheckValuesButInterface(const Profile& profile) {
    if (!profile.IsDhcp()) {
        // Stored lists are cut to the column width, which would change the addresses.
        const std::pair<const char*, const std::string*> lists[] = {{"IP", &profile.IP},
                                                                    {"Mask", &profile.Mask}};
        for (const auto& [column, list] : lists) {
            const auto width = static_cast<std::size_t>(ProfileColumnWidth(column));
            if (list->size() > width) {
                throw RefusedValue(std::string("the ") + column + " list is longer than " +
                                   std::to_string(width) + " bytes");
            }
        }
        const std::vector<std::string> addresses = profile.Addresses();
        const std::vector<std::string> masks = profile.Masks();
        std::vector<Ipv4> parsed;
        for (const std::string& address : addresses) {
            parsed.push_back(CheckHostAddress(address, "IP address"));
        }
        for (std::size_t i = 0; i < masks.size(); ++i) {
            int prefix = CheckSubnetMask(masks[i]);
            if (i < parsed.size()) {
                CheckAddressInSubnet(parsed[i], prefix);
            }
        }
    }
    if (!profile.Gateway.empty()) {
        CheckHostAddress(profile.Gateway, "gateway");
    }
    for (const std::string* dns : {&profile.DNS1, &profile.DNS2}) {
        if (!dns->empty()) {
            CheckDnsServer(*dns);
        }
    }
    CheckScript(profile.Script);
}

std::string ShownValue(std::string_view text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out = "\"";
    std::size_t used = 0;
    for (char ch : text) {
        auto c = static_cast<unsigned char>(ch);
        if (used >= kShownBytes && (c & 0xc0) != 0x80) {
            return out + "\"...";
        }
        if (c < 0x20 || c == 0x7f) {
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += ch;
        }
        ++used;
    }
    return out + "\"";
}

}  // namespace quorv::apply
