#include "netsh/InterfaceState.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <sstream>

#include "netsh/Command.h"
#include "netsh/Resolver.h"

namespace quorv::netsh {
namespace {

constexpr const char* kRoot = "/run/quorv-netsh";

std::string Join(const std::vector<std::string>& items) {
    std::string out;
    for (const auto& item : items) {
        if (!out.empty()) {
            out += ' ';
        }
        out += item;
    }
    return out;
}

std::vector<std::string> Split(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> out;
    std::string item;
    while (in >> item) {
        out.push_back(item);
    }
    return out;
}

void EnsureDirectory(const std::string& path) {
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        throw NetshError("Cannot create " + path + ": " + std::strerror(errno) + ".");
    }
}

void WriteStateFile(const std::string& path, const std::string& content) {
    EnsureDirectory(kRoot);
    EnsureDirectory(InterfaceState::Directory());
    ReplaceFileContent(path, content);
}

}  // namespace

std::string FormatLease(const Lease& lease) {
    std::ostringstream out;
    out << "address=" << lease.address << '\n'
        << "mask=" << lease.mask << '\n'
        << "server=" << lease.server << '\n'
        << "domain=" << lease.domain << '\n'
        << "routers=" << Join(lease.routers) << '\n'
        << "dns=" << Join(lease.dns) << '\n'
        << "obtained=" << lease.obtained << '\n'
        << "expires=" << lease.expires << '\n';
    return out.str();
}

Lease ParseLease(const std::string& text) {
    Lease lease;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        auto eq = line.find('=');
        if (eq == std::string::npos) {
            continue;
        }
        std::string key = line.substr(0, eq);
        std::string value = line.substr(eq + 1);
        if (key == "address") {
            lease.address = value;
        } else if (key == "mask") {
            lease.mask = value;
        } else if (key == "server") {
            lease.server = value;
        } else if (key == "domain") {
            lease.domain = value;
        } else if (key == "routers") {
            lease.routers = Split(value);
        } else if (key == "dns") {
            lease.dns = Split(value);
        } else if (key == "obtained" || key == "expires") {
            long long number = 0;
            try {
                number = std::stoll(value);
            } catch (...) {
            }
            (key == "obtained" ? lease.obtained : lease.expires) = number;
        }
    }
    return lease;
}

InterfaceState::InterfaceState(std::string ifname) : ifname_(std::move(ifname)) {}

std::string InterfaceState::Directory() {
    struct stat ns;
    unsigned long long inode = stat("/proc/self/ns/net", &ns) == 0 ? ns.st_ino : 0;
    return std::string(kRoot) + "/net-" + std::to_string(inode);
}

std::string InterfaceState::Path(const std::string& kind) const {
    return Directory() + "/" + kind + "." + ifname_;
}

std::string InterfaceState::PidFile() const {
    return Path("dhclient-pid");
}
std::string InterfaceState::LeaseDatabase() const {
    return Path("dhclient-leases");
}

bool InterfaceState::DhcpEnabled() const {
    return access(Path("dhcp").c_str(), F_OK) == 0;
}

void InterfaceState::SetDhcpEnabled(bool enabled) const {
    if (enabled) {
        WriteStateFile(Path("dhcp"), "yes\n");
    } else {
        unlink(Path("dhcp").c_str());
    }
}

std::optional<std::vector<std::string>> InterfaceState::StaticDns() const {
    auto text = ReadTextFile(Path("dns"));
    if (!text) {
        return std::nullopt;
    }
    return Split(*text);
}

void InterfaceState::SetStaticDns(const std::optional<std::vector<std::string>>& servers) const {
    if (!servers) {
        unlink(Path("dns").c_str());
        return;
    }
    WriteStateFile(Path("dns"), Join(*servers) + "\n");
}

std::optional<Lease> InterfaceState::ReadLease() const {
    auto text = ReadTextFile(Path("lease"));
    if (!text) {
        return std::nullopt;
    }
    return ParseLease(*text);
}

void InterfaceState::WriteLease(const Lease& lease) const {
    WriteStateFile(Path("lease"), FormatLease(lease));
}

void InterfaceState::ClearLease() const {
    unlink(Path("lease").c_str());
}

std::vector<std::string> InterfaceState::EffectiveDns() const {
    if (auto servers = StaticDns()) {
        return *servers;
    }
    if (auto lease = ReadLease(); lease && DhcpEnabled()) {
        return lease->dns;
    }
    return {};
}

}  // namespace quorv::netsh
