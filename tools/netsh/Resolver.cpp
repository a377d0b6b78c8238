#include "netsh/Resolver.h"

#include <dirent.h>
#include <fcntl.h>
#include <net/if.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>
#include <fstream>
#include <memory>
#include <sstream>

#include "core/ProfileChecks.h"
#include "netsh/Command.h"
#include "netsh/InterfaceState.h"
#include "system/Process.h"
#include "system/ProgramLookup.h"

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

// A mount point cannot be renamed over, so its text is replaced by one write from offset 0 that
// also covers every old byte: a shorter text is padded with line breaks, which resolver files
// read as nothing. A kill before the truncation then leaves the new text, never new lines
// followed by the tail of the old ones.
void RewriteInPlace(const std::string& path, const std::string& content) {
    int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        WriteFailed(path, errno);
    }
    struct stat old {};
    std::string padded = content;
    if (fstat(fd, &old) == 0 && std::size_t(old.st_size) > padded.size()) {
        padded.append(std::size_t(old.st_size) - padded.size(), '\n');
    }
    WriteAll(fd, padded, path);
    if (padded.size() != content.size() && ftruncate(fd, off_t(content.size())) != 0) {
        int error = errno;
        close(fd);
        WriteFailed(path, error);
    }
    close(fd);
}

bool ProcessExists(long pid) {
    return pid > 0 && (kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

// Temporaries are named ".BASE.quorv-PID-XXXXXX"; those of writers that are gone (killed in the
// middle of a write) are removed. Names without a pid come from older versions and go once
// they are clearly abandoned.
void RemoveStaleTemporaries(const std::string& dir) {
    DIR* folder = opendir(dir.c_str());
    if (!folder) {
        return;
    }
    const std::string marker = ".quorv-";
    while (dirent* entry = readdir(folder)) {
        std::string name = entry->d_name;
        std::size_t at = name.rfind(marker);
        if (name[0] != '.' || at == std::string::npos || at == 0) {
            continue;
        }
        std::string rest = name.substr(at + marker.size());
        std::size_t dash = rest.find('-');
        bool stale = false;
        if (dash != std::string::npos && dash > 0 && rest.size() - dash - 1 == 6 &&
            rest.find_first_not_of("0123456789") == dash) {
            stale = !ProcessExists(std::atol(rest.substr(0, dash).c_str()));
        } else if (rest.size() == 6) {
            struct stat info {};
            stale = fstatat(dirfd(folder), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
                    S_ISREG(info.st_mode) && info.st_mtime + 600 < time(nullptr);
        }
        if (stale) {
            unlinkat(dirfd(folder), name.c_str(), 0);
        }
    }
    closedir(folder);
}

// One interface's servers as the file resolver keeps them: "resolver.IFNAME" in netsh's state
// folder, holding a sequence number and the servers. The file is composed from all of them, the
// most recently changed interface first, as resolvconf composes it from its interface files.
struct ResolverEntry {
    std::string ifname;
    unsigned long long sequence = 0;
    std::vector<std::string> servers;
};

constexpr const char* kEntryPrefix = "resolver.";

std::vector<ResolverEntry> ReadResolverEntries(const std::string& dir) {
    std::vector<ResolverEntry> entries;
    DIR* folder = opendir(dir.c_str());
    if (!folder) {
        return entries;
    }
    while (dirent* item = readdir(folder)) {
        std::string name = item->d_name;
        if (name.rfind(kEntryPrefix, 0) != 0) {
            continue;
        }
        ResolverEntry entry;
        entry.ifname = name.substr(std::strlen(kEntryPrefix));
        std::istringstream in(ReadTextFile(dir + "/" + name).value_or(""));
        std::string server;
        if (!(in >> entry.sequence)) {
            continue;
        }
        while (in >> server) {
            if (ParseIpv4(server)) {
                entry.servers.push_back(server);
            }
        }
        entries.push_back(std::move(entry));
    }
    closedir(folder);
    return entries;
}

// Held while the file is composed; the lock goes with the descriptor, also when netsh is killed.
class FolderLock {
  public:
    explicit FolderLock(const std::string& path)
        : fd_(open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600)) {
        if (fd_ < 0) {
            WriteFailed(path, errno);
        }
        while (flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    ~FolderLock() { close(fd_); }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

  private:
    int fd_;
};

class FileResolver : public ResolverBackend {
  public:
    FileResolver(std::string stateDir, std::string resolvConf, InterfacePresent present)
        : dir_(std::move(stateDir)),
          resolvConf_(std::move(resolvConf)),
          present_(std::move(present)) {}

    void SetServers(const std::string& ifname, const std::vector<std::string>& servers) override {
        const std::string& dir = dir_;
        for (const std::string& folder : {dir.substr(0, dir.rfind('/')), dir}) {
            if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
                WriteFailed(folder, errno);
            }
        }
        // A DHCP hook and a netsh command may both compose the file at the same moment.
        FolderLock lock(dir + "/resolver-lock");

        std::vector<ResolverEntry> entries = ReadResolverEntries(dir);
        unsigned long long newest = 0;
        auto own = entries.end();
        for (auto it = entries.begin(); it != entries.end(); ++it) {
            newest = std::max(newest, it->sequence);
            if (it->ifname == ifname) {
                own = it;
            }
        }
        const std::string entryPath = dir + "/" + kEntryPrefix + ifname;
        if (servers.empty()) {
            unlink(entryPath.c_str());
            if (own != entries.end()) {
                entries.erase(own);
            }
        } else if (own == entries.end() || own->servers != servers) {
            // Only a change moves the interface to the front; a renewed lease keeps its place.
            ResolverEntry entry{ifname, newest + 1, servers};
            std::string text = std::to_string(entry.sequence);
            for (const auto& server : servers) {
                text += " " + server;
            }
            ReplaceFileContent(entryPath, text + "\n");
            if (own != entries.end()) {
                *own = entry;
            } else {
                entries.push_back(entry);
            }
        }

        std::sort(
            entries.begin(), entries.end(),
            [](const ResolverEntry& a, const ResolverEntry& b) { return a.sequence > b.sequence; });
        std::vector<std::string> composed;
        for (const auto& entry : entries) {
            // An interface that is gone takes its servers with it.
            if (!present_(entry.ifname)) {
                unlink((dir + "/" + kEntryPrefix + entry.ifname).c_str());
                continue;
            }
            for (const auto& server : entry.servers) {
                if (composed.size() < apply::kMaxDnsServers &&
                    std::find(composed.begin(), composed.end(), server) == composed.end()) {
                    composed.push_back(server);
                }
            }
        }
        ResolvConf conf(ReadTextFile(resolvConf_).value_or(""));
        conf.SetNameservers(composed);
        ReplaceFileContent(resolvConf_, conf.Text());
    }

  private:
    std::string dir_;
    std::string resolvConf_;
    InterfacePresent present_;
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
        const platform::RunOutput r = platform::RunAndWaitCaptured(
            argv, {}, {.capture = platform::Capture::Together, .timeoutMs = 10000});
        if (r.exitCode != 0) {
            std::string first = r.standardOutput.substr(0, r.standardOutput.find('\n'));
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
    // Padding that an interrupted in-place rewrite left.
    while (!lines_.empty() && lines_.back().empty()) {
        lines_.pop_back();
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
    RemoveStaleTemporaries(dir.empty() ? "." : dir);
    std::string tmp =
        (dir.empty() ? "./" : dir) + "." + base + ".quorv-" + std::to_string(getpid()) + "-XXXXXX";
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
        if (std::string program = platform::FindSystemProgram("resolvectl"); !program.empty()) {
            return std::make_unique<ResolvedResolver>(program);
        }
    }
    return FileResolverAt(InterfaceState::Directory(), kResolvConf, [](const std::string& ifname) {
        return if_nametoindex(ifname.c_str()) != 0;
    });
}

std::unique_ptr<ResolverBackend> FileResolverAt(std::string stateDir, std::string resolvConf,
                                                InterfacePresent present) {
    return std::make_unique<FileResolver>(std::move(stateDir), std::move(resolvConf),
                                          std::move(present));
}

}  // namespace quorv::netsh
