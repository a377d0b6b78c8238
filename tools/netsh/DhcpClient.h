#pragma once

#include <optional>
#include <string>
#include <vector>

#include "netsh/InterfaceState.h"

namespace quorv::netsh {

// dhclient for one interface, with its own pid and lease files so that exactly our client is
// found and stopped again. Its script is our hook, which applies leases through netlink and
// writes the resolver of the namespace it runs in.
class DhcpClient {
  public:
    explicit DhcpClient(const InterfaceState& state) : state_(state) {}

    // Throws when dhclient or our hook is missing, so callers can check before changing anything.
    void CheckInstalled() const;

    // Pid of the client we started for this interface, if it still runs.
    std::optional<int> RunningPid() const;

    // Starts the client in the background and returns once it runs.
    void Start() const;
    // Runs the client in the foreground until it holds a lease (then it stays in the
    // background); false when no server answered in time.
    bool StartAndWaitForLease() const;
    void Stop() const;
    // Gives the lease back to the server and stops the client.
    void Release() const;

  private:
    std::vector<std::string> BaseArguments(const std::string& program) const;
    const InterfaceState& state_;
};

}  // namespace quorv::netsh
