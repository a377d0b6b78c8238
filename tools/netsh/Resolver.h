#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quorv::netsh {

// resolv.conf as text. Only "nameserver" lines are ours; every other line is kept as it is.
class ResolvConf {
  public:
    explicit ResolvConf(const std::string& text);
    std::vector<std::string> Nameservers() const;
    // The new servers take the place of the first old nameserver line, or go to the end.
    void SetNameservers(const std::vector<std::string>& servers);
    std::string Text() const;

  private:
    std::vector<std::string> lines_;
};

std::optional<std::string> ReadTextFile(const std::string& path);

// Replaces the file's content: a temporary file renamed over it, so readers see the old or the
// new text. A file that is itself a mount point (the bind mount `ip netns exec` makes of
// /etc/netns/NAME/resolv.conf) cannot be renamed over and is rewritten in place by a single
// write (a shorter text padded with line breaks), so that a kill leaves the old or the new text.
// Temporaries that killed writers left beside the file are removed.
// Symbolic links are followed, owner and mode are kept; the same text is not written again.
void ReplaceFileContent(const std::string& path, const std::string& content);

// Where the servers of one interface go: systemd-resolved when it serves this system's
// resolver, otherwise /etc/resolv.conf, composed from every interface's servers (the most
// recently changed interface first, at most three nameserver lines, as the C library reads no
// more). An empty list takes the interface's servers out.
class ResolverBackend {
  public:
    virtual ~ResolverBackend() = default;
    virtual void SetServers(const std::string& ifname, const std::vector<std::string>& servers) = 0;
};

std::unique_ptr<ResolverBackend> SelectResolver();

// The file backend on other paths: interface entries in `stateDir`, the composed `resolvConf`.
// Entries of interfaces that `present` denies are dropped.
using InterfacePresent = std::function<bool(const std::string& ifname)>;
std::unique_ptr<ResolverBackend> FileResolverAt(std::string stateDir, std::string resolvConf,
                                                InterfacePresent present);

// The nameserver lines of /etc/resolv.conf, whichever backend sets the servers.
std::vector<std::string> SystemNameservers();

}  // namespace quorv::netsh
