#pragma once

#include <optional>
#include <string>
#include <vector>

namespace quorv::netsh {

// What the DHCP client last obtained for an interface, as recorded by the client's hook.
struct Lease {
    std::string address;
    std::string mask;
    std::string server;
    std::string domain;
    std::vector<std::string> routers;
    std::vector<std::string> dns;
    long long obtained = 0;  // seconds since the epoch
    long long expires = 0;
};

std::string FormatLease(const Lease& lease);
Lease ParseLease(const std::string& text);

// Per-interface settings that the kernel does not keep: whether DHCP is wanted, the static DNS
// servers, the last lease. Kept under /run, in a folder per network namespace, since names of
// interfaces repeat across namespaces.
class InterfaceState {
  public:
    explicit InterfaceState(std::string ifname);

    static std::string Directory();
    const std::string& Interface() const { return ifname_; }
    std::string PidFile() const;
    std::string LeaseDatabase() const;

    bool DhcpEnabled() const;
    void SetDhcpEnabled(bool enabled) const;

    // Nothing: the servers come from DHCP.
    std::optional<std::vector<std::string>> StaticDns() const;
    void SetStaticDns(const std::optional<std::vector<std::string>>& servers) const;

    std::optional<Lease> ReadLease() const;
    void WriteLease(const Lease& lease) const;
    void ClearLease() const;

    // An exclusive lock on the interface's change that waits to be kept or restored, held while
    // the descriptor (close-on-exec) stays open, in this process or in a child forked from it;
    // -1 when someone holds it already. Throws NetshError when the lock file cannot be made.
    int LockPending() const;
    // The servers this interface should have now: the static ones, else the lease's.
    std::vector<std::string> EffectiveDns() const;

  private:
    std::string Path(const std::string& kind) const;
    std::string ifname_;
};

}  // namespace quorv::netsh
