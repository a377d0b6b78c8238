#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/Exception.h"
#include "core/Profile.h"

namespace quorv::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;  // usage error, unknown profile, refused value

// A bad command line, an unknown profile or a refused value: exit status 2.
class UsageError : public quorv::Exception {
  public:
    using quorv::Exception::Exception;
};

// The options of `qic add`, as given.
struct AddOptions {
    std::optional<std::string> interface, ip, mask, gateway, dns1, dns2, printer, icon, scriptFile;
    bool dhcp = false;
};

struct Invocation {
    std::string command;  // empty: no command, print the usage
    std::optional<std::string> dataFile;
    std::string name;
    bool json = false;
    bool dryRun = false;
    bool yes = false, no = false;  // import: how to answer every conflict
    std::string newName;           // rename
    AddOptions add;
};

// Options may stand anywhere after the program name, as "--opt VALUE" or "--opt=VALUE";
// "--" ends them, for a profile name that starts with a dash.
Invocation ParseArguments(const std::vector<std::string>& args);

// The profile `qic add` describes, every value checked. The script file is read here.
apply::Profile BuildProfile(const std::string& name, const AddOptions& add);

extern const char* const kUsage;

// User text for a message: in double quotes, control characters shown as "?", cut after
// 80 bytes, so a hostile argument cannot flood or steer the terminal.
std::string Quoted(const std::string& text);

}  // namespace quorv::cli
