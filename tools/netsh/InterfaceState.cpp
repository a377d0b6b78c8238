#include "netsh/InterfaceState.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
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

// True when the folder was made now.
bool EnsureDirectory(const std::string& path) {
    if (mkdir(path.c_str(), 0700) == 0) {
        return true;
    }
    if (errno != EEXIST) {
        throw NetshError("Cannot create " + path + ": " + std::strerror(errno) + ".");
    }
    return false;
}

// The namespace's cookie: unlike its inode number, which the kernel hands to the next
// namespace made, no other namespace gets it before the machine restarts (and /run with it).
std::optional<unsigned long long> NamespaceCookie() {
    const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return std::nullopt;
    }
    unsigned long long cookie = 0;
    socklen_t size = sizeof cookie;
    const bool ok = getsockopt(fd, SOL_SOCKET, SO_NETNS_COOKIE, &cookie, &size) == 0;
    close(fd);
    return ok ? std::optional(cookie) : std::nullopt;
}

constexpr const char* kOwnerFile = "namespace";

// State folders are named by the namespace's inode number, which a new namespace may get
// again: a folder another namespace left (its DNS servers, its DHCP lease) is emptied
// before this one uses it. The folder records whose it is; the check is under a lock, so
// that two commands starting at once in a new namespace agree.
void DropStateOfAnEarlierNamespace(const std::string& directory) {
    const std::optional<unsigned long long> cookie = NamespaceCookie();
    const int fd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (!cookie || fd < 0) {
        if (fd >= 0) {
            close(fd);
        }
        return;  // nothing kept yet, or a kernel that cannot tell namespaces apart
    }
    flock(fd, LOCK_EX);
    const std::string owner = std::to_string(*cookie) + "\n";
    const std::string ownerPath = directory + "/" + kOwnerFile;
    if (ReadTextFile(ownerPath) != owner) {
        if (DIR* dir = fdopendir(dup(fd))) {
            while (const dirent* entry = readdir(dir)) {
                const std::string name = entry->d_name;
                if (name != "." && name != "..") {
                    unlinkat(fd, name.c_str(), 0);
                }
            }
            closedir(dir);
        }
        ReplaceFileContent(ownerPath, owner);
    }
    flock(fd, LOCK_UN);
    close(fd);
}

void EnsureStateDirectory() {
    EnsureDirectory(kRoot);
    const std::string directory = InterfaceState::Directory();
    if (EnsureDirectory(directory)) {
        // A new folder is this namespace's from the start.
        if (const auto cookie = NamespaceCookie()) {
            ReplaceFileContent(directory + "/" + kOwnerFile, std::to_string(*cookie) + "\n");
        }
    }
}

void WriteStateFile(const std::string& path, const std::string& content) {
    EnsureStateDirectory();
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
    static const std::string directory = [] {
        struct stat ns;
        unsigned long long inode = stat("/proc/self/ns/net", &ns) == 0 ? ns.st_ino : 0;
        std::string path = std::string(kRoot) + "/net-" + std::to_string(inode);
        DropStateOfAnEarlierNamespace(path);
        return path;
    }();
    return directory;
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

int InterfaceState::LockPending() const {
    EnsureStateDirectory();
    // Close-on-exec: a DHCP client started meanwhile must not hold the lock on.
    int fd = open(Path("pending").c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        throw NetshError("the lock of " + Printable(ifname_) +
                         " cannot be opened: " + std::strerror(errno));
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return -1;
    }
    return fd;
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
