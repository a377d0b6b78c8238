#pragma once

#include <sys/types.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace quorv::systest {

// A program on a terminal of its own (a pty as its controlling terminal and its standard
// input, output and error), with someone at the keyboard: the test reads what it wrote and
// types answers. Killed and reaped when this object goes.
class TerminalSession {
  public:
    explicit TerminalSession(const std::vector<std::string>& argv,
                             const std::vector<std::string>& extraEnv = {});
    ~TerminalSession();
    TerminalSession(const TerminalSession&) = delete;
    TerminalSession& operator=(const TerminalSession&) = delete;

    pid_t Pid() const { return pid_; }
    // True once the program has written text.
    bool WaitForText(const std::string& text, int timeoutMs) const;
    void Type(const std::string& keys) const;
    // Its exit code, 128 + signal, or -1 when it is still running after timeoutMs.
    int Wait(int timeoutMs);
    std::string Transcript() const;

  private:
    void Read();

    pid_t pid_ = -1;
    int master_ = -1;
    int status_ = -1;
    bool reaped_ = false;
    mutable std::mutex mutex_;
    std::string transcript_;
    std::thread reader_;
};

}  // namespace quorv::systest
