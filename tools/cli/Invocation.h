#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/Exception.h"

namespace quorv::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;  // usage error, unknown profile, refused value

// A bad command line, an unknown profile or a refused value: exit status 2.
class UsageError : public quorv::Exception {
  public:
    using quorv::Exception::Exception;
};

// The options of `qic add` and `qic edit`, as given: unset when absent, so that edit can
// tell an absent --gateway from an empty one, which clears it.
struct AddOptions {
    std::optional<std::string> interface, ip, mask, gateway, dns1, dns2, printer, icon, scriptFile;
    bool dhcp = false;
};

// One command line, checked against its command's table; arguments keep their bytes.
struct Invocation {
    std::optional<std::string> dataFile;
    std::string name;  // the first operand: a profile, a file, or the command help describes
    bool json = false;
    bool dryRun = false;
    bool yes = false, no = false;       // import: how to answer every conflict
    std::vector<std::string> maps;      // import: "OLD=NEW" connection names, as given
    std::string newName;                // rename
    std::optional<int> confirmSeconds;  // apply --confirm: how long the question waits
    AddOptions add;
};

}  // namespace quorv::cli
