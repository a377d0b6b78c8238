#pragma once

#include <future>
#include <memory>
#include <string>
#include <vector>

#include "ChildProcess.h"

namespace quorv::systest {

// A private CUPS scheduler on its own Unix socket with its own configuration, state and spool
// folders; printers are file devices writing to /dev/null. Clients find it through CUPS_SERVER,
// and CUPS_SERVERROOT keeps their lpoptions (root's per-user defaults) out of /etc/cups.
class PrivateCupsd {
  public:
    PrivateCupsd();
    ~PrivateCupsd();

    void AddPrinter(const std::string& name, const std::string& description);
    void SetServerDefault(const std::string& name);
    std::string UserDefault() const;    // what lpstat -d reports for this user
    std::string ServerDefault() const;  // the same for a user without own lpoptions

    std::vector<std::string> ClientEnv() const;
    // Points libcups at the private scheduler. libcups reads these settings once per thread, so
    // CUPS calls of a test belong in a thread started afterwards (see InFreshThread).
    void UseInThisProcess() const;

    static void RemoveLeftovers();

  private:
    Result Tool(const std::string& program, const std::vector<std::string>& args,
                const std::string& home = "client") const;
    std::string DefaultFor(const std::string& home) const;
    std::string dir_;
    std::string socket_;
    std::unique_ptr<Child> child_;
};

// Runs f in a new thread, where libcups starts from the current environment.
template <class F>
auto InFreshThread(F f) {
    return std::async(std::launch::async, f).get();
}

}  // namespace quorv::systest
