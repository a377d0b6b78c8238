#pragma once

#include <exception>

#include "base/Exception.h"
#include "system/ExitStatus.h"

namespace quorv::netsh {

// The exit status of netsh when the netlink way needs CAP_NET_ADMIN and the process lacks
// it (sysexits' EX_NOPERM). Nothing has been changed then, so the caller may run the same
// command again with the right, as the apply run does through pkexec. Other refusals end
// with status 1.
inline constexpr int kExitNeedsPrivilege = platform::kExitNeedsPrivilege;

// Whether the effective capability set holds CAP_NET_ADMIN.
bool HasNetAdmin();

// Raised before any change when HasNetAdmin() is false.
class NeedsPrivilege : public quorv::Exception {
  public:
    NeedsPrivilege();
};

// netsh's exit status for a refusal: kExitNeedsPrivilege for NeedsPrivilege, else 1.
int ExitStatusFor(const std::exception& e);

}  // namespace quorv::netsh
