#pragma once

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "Netns.h"

namespace quorv::systest {

struct NmSandboxOptions {
    std::vector<std::string> managed{TestNetwork::kClientIf};  // every other device: unmanaged
    std::string polkitRules;  // JavaScript rules; polkitd runs only when there are some
};

// A real NetworkManager with a private system bus, started inside a TestNetwork's client
// namespace (see quorv-nm-sandbox). Programs run in it through nsenter, as root or as another
// user. Stopping the sandbox ends every process in it; nothing of the host's NetworkManager
// state, network or /etc is touched.
class NmSandbox {
  public:
    NmSandbox(const TestNetwork& net, const NmSandboxOptions& options = {});
    ~NmSandbox();
    NmSandbox(const NmSandbox&) = delete;
    NmSandbox& operator=(const NmSandbox&) = delete;

    // uid < 0: as root.
    Result Exec(const std::vector<std::string>& argv, const RunOptions& options = {},
                int uid = -1) const;
    // The same in the background, with its output going to logPath.
    std::unique_ptr<Child> Start(const std::vector<std::string>& argv, const std::string& logPath,
                                 int uid = -1) const;
    // The command line that runs argv inside the sandbox, for a caller that starts it itself.
    std::vector<std::string> Command(const std::vector<std::string>& argv, int uid = -1) const {
        return Inside(argv, uid);
    }
    Result Nmcli(const std::vector<std::string>& args) const;
    Result Netsh(const std::vector<std::string>& args, int uid = -1) const;

    // nmcli's "-g FIELD device show IFACE" value; empty when nmcli fails.
    std::string DeviceField(const std::string& field,
                            const std::string& iface = TestNetwork::kClientIf) const;
    // Waits until the device has left the states before "disconnected".
    bool WaitForDevice(const std::string& iface, int timeoutMs) const;

    // Stops NetworkManager as a service manager would (SIGTERM); the bus stays.
    void StopNetworkManager() const;
    bool NetworkManagerRunning() const;

    std::string Log() const;  // NetworkManager's log so far
    const std::string& StateDir() const { return state_; }
    pid_t InitPid() const { return init_; }

  private:
    std::vector<std::string> Inside(const std::vector<std::string>& argv, int uid) const;
    std::vector<pid_t> Processes(const std::string& comm) const;
    std::string state_;
    pid_t init_ = -1;
    std::unique_ptr<Child> child_;
};

}  // namespace quorv::systest
