#include "netsh/Command.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <optional>
#include <set>

#include "core/ProfileChecks.h"

namespace quorv::netsh {
namespace {

std::string Lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return out;
}

bool Equals(std::string_view a, std::string_view b) {
    return Lower(a) == Lower(b);
}

[[noreturn]] void Syntax(const std::string& detail) {
    throw NetshError("The syntax supplied for this command is not valid: " + detail +
                     ". Check help for the correct syntax.");
}

[[noreturn]] void NotFound(const std::vector<std::string>& args) {
    std::string joined;
    for (const auto& a : args) {
        if (!joined.empty()) {
            joined += ' ';
        }
        joined += a;
    }
    throw NetshError("The following command was not found: " + Printable(joined, 120) + ".");
}

class Tags {
  public:
    Tags(const std::vector<std::string>& args, std::size_t first,
         const std::set<std::string>& allowed) {
        for (std::size_t i = first; i < args.size(); ++i) {
            const std::string& arg = args[i];
            auto eq = arg.find('=');
            if (eq == std::string::npos) {
                Syntax("\"" + Printable(arg) + "\" is not of the form tag=value");
            }
            std::string tag = Lower(arg.substr(0, eq));
            if (!allowed.count(tag)) {
                Syntax("unknown parameter \"" + Printable(arg.substr(0, eq)) + "\"");
            }
            if (values_.count(tag)) {
                Syntax("parameter " + tag + " is given twice");
            }
            std::string value = arg.substr(eq + 1);
            if (value.empty()) {
                Syntax("parameter " + tag + " has no value");
            }
            values_[tag] = value;
        }
    }

    bool Has(const std::string& tag) const { return values_.count(tag) != 0; }

    const std::string& Required(const std::string& tag) const {
        auto it = values_.find(tag);
        if (it == values_.end()) {
            Syntax("parameter " + tag + " is missing");
        }
        return it->second;
    }

    void Forbid(std::initializer_list<const char*> tags, const std::string& context) const {
        for (const char* tag : tags) {
            if (Has(tag)) {
                Syntax(std::string("parameter ") + tag + " does not belong to " + context);
            }
        }
    }

  private:
    std::map<std::string, std::string> values_;
};

Ipv4 HostAddress(const std::string& tag, const std::string& text) {
    auto address = ParseIpv4(text);
    if (!address || !apply::IsHostAddress(*address)) {
        throw NetshError("Invalid " + tag + " parameter (" + Printable(text) +
                         "). It should be a valid IPv4 address.");
    }
    return *address;
}

Ipv4 DnsAddress(const std::string& text) {
    auto address = ParseIpv4(text);
    if (!address || !apply::IsDnsServerAddress(*address)) {
        throw NetshError("Invalid addr parameter (" + Printable(text) +
                         "). It should be a valid IPv4 address.");
    }
    return *address;
}

int Prefix(const std::string& text) {
    auto mask = ParseIpv4(text);
    auto prefix = mask ? apply::SubnetPrefix(*mask) : std::nullopt;
    if (!prefix) {
        throw NetshError("Invalid mask parameter (" + Printable(text) +
                         "). It should be a valid subnet mask.");
    }
    return *prefix;
}

void CheckCombination(Ipv4 address, int prefix) {
    if (!apply::IsHostInSubnet(address, prefix)) {
        throw NetshError("The combination of IP address and subnet mask is invalid (" +
                         FormatIpv4(address) + " mask " + FormatIpv4(PrefixToMask(prefix)) + ").");
    }
}

// Other impossible names are simply not found; this one would reach dhclient and resolvectl as
// an option.
std::string InterfaceName(const std::string& name) {
    if (name.front() == '-') {
        throw NetshError("Invalid name parameter (" + Printable(name) +
                         "). An interface name cannot start with \"-\".");
    }
    return name;
}

unsigned Number(const std::string& tag, const std::string& text, unsigned low, unsigned high) {
    bool digits =
        !text.empty() && text.size() <= 4 &&
        std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c); });
    unsigned value = digits ? unsigned(std::stoul(text)) : 0;
    if (!digits || value < low || value > high) {
        throw NetshError("Invalid " + tag + " parameter (" + Printable(text) +
                         "). It should be a number from " + std::to_string(low) + " to " +
                         std::to_string(high) + ".");
    }
    return value;
}

}  // namespace

std::string Printable(std::string_view text, std::size_t maxBytes) {
    std::string out;
    std::size_t used = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto c = static_cast<unsigned char>(text[i]);
        if (used >= maxBytes && (c & 0xc0) != 0x80) {
            out += "...";
            break;
        }
        if (c < 0x20 || c == 0x7f) {
            static const char hex[] = "0123456789ABCDEF";
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += char(c);
        }
        ++used;
    }
    return out;
}

Command ParseCommand(const std::vector<std::string>& args) {
    if (args.size() < 4 || !Equals(args[0], "interface") || !Equals(args[1], "ip")) {
        NotFound(args);
    }
    bool set = Equals(args[2], "set");
    bool add = Equals(args[2], "add");
    bool address = Equals(args[3], "address");
    bool dns = Equals(args[3], "dns");
    if ((!set && !add) || (!address && !dns)) {
        NotFound(args);
    }

    Command cmd;
    if (address && set) {
        Tags tags(args, 4, {"name", "source", "addr", "mask", "gateway", "gwmetric"});
        cmd.name = InterfaceName(tags.Required("name"));
        if (tags.Has("source")) {
            const std::string& source = tags.Required("source");
            if (Equals(source, "dhcp")) {
                tags.Forbid({"addr", "mask", "gateway", "gwmetric"}, "source=dhcp");
                cmd.action = Action::SetAddressDhcp;
            } else if (Equals(source, "static")) {
                tags.Forbid({"gateway", "gwmetric"}, "source=static");
                cmd.action = Action::SetAddressStatic;
                cmd.address = HostAddress("addr", tags.Required("addr"));
                cmd.prefix = Prefix(tags.Required("mask"));
                CheckCombination(cmd.address, cmd.prefix);
            } else {
                Syntax("source must be dhcp or static, not \"" + Printable(source) + "\"");
            }
        } else {
            tags.Forbid({"addr", "mask"}, "the gateway form");
            cmd.action = Action::SetGateway;
            cmd.gateway = HostAddress("gateway", tags.Required("gateway"));
            cmd.metric =
                tags.Has("gwmetric") ? Number("gwmetric", tags.Required("gwmetric"), 0, 9999) : 0;
        }
    } else if (address) {
        Tags tags(args, 4, {"name", "addr", "mask"});
        cmd.action = Action::AddAddress;
        cmd.name = InterfaceName(tags.Required("name"));
        cmd.address = HostAddress("addr", tags.Required("addr"));
        cmd.prefix = Prefix(tags.Required("mask"));
        CheckCombination(cmd.address, cmd.prefix);
    } else if (set) {
        Tags tags(args, 4, {"name", "source", "addr", "register"});
        cmd.name = InterfaceName(tags.Required("name"));
        const std::string& source = tags.Required("source");
        if (Equals(source, "dhcp")) {
            tags.Forbid({"addr", "register"}, "source=dhcp");
            cmd.action = Action::SetDnsDhcp;
        } else if (Equals(source, "static")) {
            cmd.action = Action::SetDnsStatic;
            cmd.dns = DnsAddress(tags.Required("addr"));
            // Dynamic DNS registration has no Linux counterpart; the value is only checked.
            if (tags.Has("register")) {
                const std::string& reg = tags.Required("register");
                if (!Equals(reg, "none") && !Equals(reg, "primary") && !Equals(reg, "both")) {
                    Syntax("register must be none, primary or both, not \"" + Printable(reg) +
                           "\"");
                }
            }
        } else {
            Syntax("source must be dhcp or static, not \"" + Printable(source) + "\"");
        }
    } else {
        Tags tags(args, 4, {"name", "addr", "index"});
        cmd.action = Action::AddDns;
        cmd.name = InterfaceName(tags.Required("name"));
        cmd.dns = DnsAddress(tags.Required("addr"));
        cmd.index = tags.Has("index") ? int(Number("index", tags.Required("index"), 1, 99)) : 0;
    }
    return cmd;
}

std::vector<std::string> WithAddedDns(std::vector<std::string> servers, const Command& cmd) {
    const std::string added = FormatIpv4(cmd.dns);
    servers.erase(std::remove(servers.begin(), servers.end(), added), servers.end());
    const std::size_t at =
        cmd.index == 0 ? servers.size() : std::min(servers.size(), std::size_t(cmd.index - 1));
    servers.insert(servers.begin() + std::ptrdiff_t(at), added);
    if (servers.size() > apply::kMaxDnsServers) {
        throw NetshError("The interface already has " + std::to_string(apply::kMaxDnsServers) +
                         " DNS servers, as many as the resolver uses.");
    }
    return servers;
}

}  // namespace quorv::netsh
