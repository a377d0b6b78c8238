#pragma once

#include <string>
#include <utility>
#include <vector>

#include "ChildProcess.h"

namespace quorv::systest {

struct RouteInfo {
    std::string gateway;
    std::string dev;
    unsigned metric = 0;
};

// Two fresh network namespaces joined by a veth pair: the client ("lan0", down, no address) and
// the server ("srv0", up, 10.213.S.1/24). The client has its own resolv.conf, which
// `ip netns exec` binds over /etc/resolv.conf. Everything is removed again on destruction, and
// leftovers of killed runs are removed on construction.
class TestNetwork {
  public:
    explicit TestNetwork(int subnet);
    ~TestNetwork();
    TestNetwork(const TestNetwork&) = delete;
    TestNetwork& operator=(const TestNetwork&) = delete;

    const std::string& Client() const { return client_; }
    const std::string& Server() const { return server_; }
    static constexpr const char* kClientIf = "lan0";
    static constexpr const char* kServerIf = "srv0";
    std::string Address(int host) const;  // 10.213.S.host
    const std::string& WorkDir() const { return workDir_; }

    Result InClient(const std::vector<std::string>& argv, const RunOptions& options = {}) const;
    // netsh interface ip ... inside the client namespace.
    Result Netsh(const std::vector<std::string>& args, const RunOptions& options = {}) const;

    std::string ResolvConfPath() const;
    std::string ResolvConf() const;
    std::vector<std::pair<std::string, int>> Addresses() const;  // IPv4 of lan0
    std::vector<RouteInfo> DefaultRoutes() const;
    bool ClientLinkUp() const;
    std::vector<pid_t> LiveProcesses(const std::string& comm) const;  // in the client namespace

    static void RemoveLeftovers();

  private:
    static void Remove(const std::string& name);
    int subnet_;
    std::string client_;
    std::string server_;
    std::string workDir_;
};

// The host's /etc/resolv.conf as it was; compared after every test.
std::string HostResolvConfFingerprint();

// The servers of a resolv.conf text's "nameserver" lines, in order.
std::vector<std::string> Nameservers(const std::string& conf);

}  // namespace quorv::systest
