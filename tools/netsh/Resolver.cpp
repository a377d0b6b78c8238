#include "netsh/Resolver.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <fstream>
#include <sstream>

#include "netsh/Command.h"
#include "netsh/Process.h"

namespace quorv::netsh {
namespace {

constexpr const char* kResolvConf = "/etc/resolv.conf";

bool IsNameserverLine(const std::string& line) {
    std::size_t i = line.find_first_not_of(" \t");
    if (i == std::string::npos || line.compare(i, 10, "nameserver") != 0) {
        return false;
    }
    return i + 10 < line.size() && (line[i + 10] == ' ' || line[i + 10] == '\t');
}

std::string NameserverValue(const std::string& line) {
    std::istringstream in(line);
    std::string keyword, value;
    in >> keyword >> value;
    return value;
}

[[noreturn]] void WriteFailed(const std::string& path, int error) {
    throw NetshError("Cannot write " + path + ": " + std::strerror(error) + ".");
}

// Follows symbolic links even when the last target does not exist yet.
std::string ResolveLinks(std::string path) {
    for (int hop = 0; hop < 16; ++hop) {
        char buffer[PATH_MAX];
        ssize_t n = readlink(path.c_str(), buffer, sizeof buffer - 1);
        if (n <= 0) {
            return path;
        }
        std::string target(buffer, std::size_t(n));
        if (target[0] != '/') {
            target = path.substr(0, path.rfind('/') + 1) + target;
        }
        path = target;
    }
    return path;
}

std::string UnescapeMountField(const std::string& field) {
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            int value = 0;
            bool octal = true;
            for (std::size_t k = 1; k <= 3; ++k) {
                char c = field[i + k];
                octal = octal && c >= '0' && c <= '7';
                value = value * 8 + (c - '0');
            }
            if (octal) {
                out += char(value);
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return out;
}

bool IsMountPoint(const std::string& path) {
    struct statx info {};
    if (statx(AT_FDCWD, path.c_str(), 0, STATX_BASIC_STATS, &info) == 0 &&
        (info.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT)) {
        return (info.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
    }
    // Kernels before 5.8 do not report mount roots: look the path up in the mount table.
    std::ifstream in("/proc/self/mountinfo");
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string id, parent, devno, root, mountPoint;
        if (fields >> id >> parent >> devno >> root >> mountPoint &&
            UnescapeMountField(mountPoint) == path) {
            return true;
        }
    }
    return false;
}

void WriteAll(int fd, const std::string& content, const std::string& path) {
    std::size_t done = 0;
    while (done < content.size()) {
        ssize_t n = pwrite(fd, content.data() + done, content.size() - done, off_t(done));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            int error = errno;
            close(fd);
            WriteFailed(path, error);
        }
        done += std::size_t(n);
    }
}

void RewriteInPlace(const std::string& path, const std::string& content) {
    int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        WriteFailed(path, errno);
    }
    WriteAll(fd, content, path);
    if (ftruncate(fd, off_t(content.size())) != 0) {
        int error = errno;
        close(fd);
        WriteFailed(path, error);
    }
    close(fd);
}

class FileResolver : public ResolverBackend {
  public:
    void SetServers(const std::string&, const std::vector<std::string>& servers) override {
        ResolvConf conf(ReadTextFile(kResolvConf).value_or(""));
        conf.SetNameservers(servers);
        ReplaceFileContent(kResolvConf, conf.Text());
    }
};

class ResolvedResolver : public ResolverBackend {
  public:
    explicit ResolvedResolver(std::string program) : program_(std::move(program)) {}

    void SetServers(const std::string& ifname, const std::vector<std::string>& servers) override {
        std::vector<std::string> argv{program_};
        if (servers.empty()) {
            argv.insert(argv.end(), {"revert", ifname});
        } else {
            argv.insert(argv.end(), {"dns", ifname});
            argv.insert(argv.end(), servers.begin(), servers.end());
        }
        RunResult r = RunProgram(argv, true, 10000);
        if (r.status != 0) {
            std::string first = r.output.substr(0, r.output.find('\n'));
            throw NetshError("systemd-resolved refused the DNS servers: " +
                             (first.empty() ? "resolvectl failed" : Printable(first, 200)) + ".");
        }
    }

  private:
    std::string program_;
};

bool InInitialNetworkNamespace() {
    struct stat self, init;
    return stat("/proc/self/ns/net", &self) == 0 && stat("/proc/1/ns/net", &init) == 0 &&
           self.st_ino == init.st_ino && self.st_dev == init.st_dev;
}

}  // namespace

ResolvConf::ResolvConf(const std::string& text) {
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        lines_.push_back(line);
    }
}

std::vector<std::string> ResolvConf::Nameservers() const {
    std::vector<std::string> out;
    for (const auto& line : lines_) {
        if (IsNameserverLine(line)) {
            std::string value = NameserverValue(line);
            if (!value.empty()) {
                out.push_back(value);
            }
        }
    }
    return out;
}

void ResolvConf::SetNameservers(const std::vector<std::string>& servers) {
    std::vector<std::string> out;
    bool placed = false;
    for (const auto& line : lines_) {
        if (!IsNameserverLine(line)) {
            out.push_back(line);
        } else if (!placed) {
            for (const auto& s : servers) {
                out.push_back("nameserver " + s);
            }
            placed = true;
        }
    }
    if (!placed) {
        for (const auto& s : servers) {
            out.push_back("nameserver " + s);
        }
    }
    lines_ = std::move(out);
}

std::string ResolvConf::Text() const {
    std::string out;
    for (const auto& line : lines_) {
        out += line;
        out += '\n';
    }
    return out;
}

std::optional<std::string> ReadTextFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::ostringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

void ReplaceFileContent(const std::string& path, const std::string& content) {
    std::string target = ResolveLinks(path);
    struct stat old;
    bool exists = stat(target.c_str(), &old) == 0;
    // Rewriting the same text would only wake those who watch the file.
    if (exists && ReadTextFile(target) == content) {
        return;
    }
    if (exists && IsMountPoint(target)) {
        RewriteInPlace(target, content);
        return;
    }
    std::string dir = target.substr(0, target.rfind('/') + 1);
    std::string base = target.substr(target.rfind('/') + 1);
    std::string tmp = (dir.empty() ? "./" : dir) + "." + base + ".quorv-XXXXXX";
    int fd = mkostemp(tmp.data(), O_CLOEXEC);
    if (fd < 0) {
        WriteFailed(target, errno);
    }
    if (exists) {
        // Best effort: a file we cannot chown keeps root as owner, which is still readable.
        (void)fchown(fd, old.st_uid, old.st_gid);
        fchmod(fd, old.st_mode & 07777);
    } else {
        fchmod(fd, 0644);
    }
    try {
        WriteAll(fd, content, target);
    } catch (...) {
        unlink(tmp.c_str());
        throw;
    }
    // No fsync: these files are runtime state that a DHCP client or the next profile rebuilds,
    // and a sync to disk costs more than the whole netlink change. The rename alone keeps
    // readers from ever seeing a half-written file.
    close(fd);
    if (rename(tmp.c_str(), target.c_str()) != 0) {
        int error = errno;
        unlink(tmp.c_str());
        if (error == EBUSY || error == EXDEV) {
            RewriteInPlace(target, content);
            return;
        }
        WriteFailed(target, error);
    }
}

std::vector<std::string> SystemNameservers() {
    return ResolvConf(ReadTextFile(kResolvConf).value_or("")).Nameservers();
}

std::unique_ptr<ResolverBackend> SelectResolver() {
    std::string target = ResolveLinks(kResolvConf);
    bool viaResolved = target.rfind("/run/systemd/resolve/", 0) == 0 &&
                       access("/run/systemd/resolve/io.systemd.Resolve", F_OK) == 0 &&
                       InInitialNetworkNamespace();
    if (viaResolved) {
        if (auto program = FindSystemProgram("resolvectl")) {
            return std::make_unique<ResolvedResolver>(*program);
        }
    }
    return std::make_unique<FileResolver>();
}

}  // namespace quorv::netsh
