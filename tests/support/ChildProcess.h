#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

namespace quorv::systest {

struct Result {
    int status = -1;  // exit code, 128 + signal, -1 when it could not run
    std::string out;
    std::string err;
    long maxRssKb = 0;  // the peak resident size of the program and whatever it waited for
};

struct RunOptions {
    int timeoutMs = 60000;
    bool dropNetAdmin = false;          // run without CAP_NET_ADMIN, as an ordinary user would
    std::vector<std::string> extraEnv;  // NAME=value entries added to the environment
};

// Runs a program with argv (never a shell) and collects its output.
Result Run(const std::vector<std::string>& argv, const RunOptions& options = {});

// A background program, stopped (TERM, then KILL) and reaped when this object goes.
class Child {
  public:
    Child(const std::vector<std::string>& argv, const std::string& logPath,
          const std::vector<std::string>& extraEnv = {});
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool Running();

  private:
    pid_t pid_ = -1;
};

bool WaitFor(const std::function<bool()>& condition, int timeoutMs, int stepMs = 50);

// A process is alive when it exists and is no zombie.
bool IsLive(pid_t pid);

std::string BinDir();
// A copy of program in folder (both mode 0755), for a program another user runs: the build's
// program folder may lie in a home folder that only its owner can enter (Debian's are 0700).
std::string CopyForOtherUsers(const std::string& program, const std::string& folder);
std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& content);

}  // namespace quorv::systest
