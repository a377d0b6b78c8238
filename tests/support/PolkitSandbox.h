#pragma once

#include <string>
#include <vector>

namespace quorv::systest {

// A private polkit for one test: its actions, its rules and the programs a user runs, in a
// folder of its own under /var/tmp that every user can enter. The build's program folder
// may lie in a home folder others cannot enter (Debian's are 0700), so the programs the
// user starts are copies, and the action names the copy of netsh.
class PolkitSandbox {
  public:
    PolkitSandbox();
    ~PolkitSandbox();
    PolkitSandbox(const PolkitSandbox&) = delete;
    PolkitSandbox& operator=(const PolkitSandbox&) = delete;

    const std::string& Work() const { return work_; }
    // The copy of a program of the build's program folder, or of another program copied in.
    std::string Program(const std::string& name) const { return work_ + "/bin/" + name; }
    void CopyProgram(const std::string& path);
    // The folder the user may write to, owned by uid.
    std::string DataFolder(unsigned uid) const;

    // The rules file's JavaScript; empty removes it.
    void Rules(const std::string& script);
    // A user that exists only inside the namespace of Command(), with a password and a
    // PAM configuration for polkit's own password check.
    void AddUser(const std::string& name, unsigned uid, const std::string& password);

    // argv that runs command in private mount and PID namespaces beside a private system bus
    // and polkitd (and with the added user, if any).
    std::vector<std::string> Command(const std::vector<std::string>& command) const;

  private:
    std::string work_;
    bool users_ = false;
};

}  // namespace quorv::systest
