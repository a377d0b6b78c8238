#pragma once

#include <string>
#include <vector>

#include "base/Exception.h"
#include "core/Profile.h"

namespace quorv::apply {

// Profiles brought from the Windows program name connections such as "Local Area
// Connection" that no Linux machine has. They are kept as they are; applying one would
// change nothing real, so every apply entry point asks here first.

// The apply of a profile whose connection this machine does not have; what() is the line
// that says what to do.
class EUnknownConnection : public quorv::Exception {
  public:
    using quorv::Exception::Exception;
};

// Whether `adapters` (this machine's connection names) holds `connection`: exact and
// case-sensitive, as the kernel compares interface names.
bool HasConnection(const std::vector<std::string>& adapters, const std::string& connection);

// "enp3s0", "wlan0" as a message lists them; "none" for an empty list.
std::string AdapterList(const std::vector<std::string>& adapters);

// Throws EUnknownConnection when the profile's connection is not among `adapters`.
void CheckConnectionPresent(const Profile& profile, const std::vector<std::string>& adapters);

// One connection name that profiles use and this machine does not have.
struct UnknownConnection {
    std::string Connection;
    std::vector<std::string> Profiles;  // the names of the profiles using it, in the order given

    bool operator==(const UnknownConnection&) const = default;
};

// The connection names of `profiles` missing from `adapters`, in order of first use; an
// empty name counts as missing.
std::vector<UnknownConnection> UnknownConnections(const std::vector<Profile>& profiles,
                                                  const std::vector<std::string>& adapters);

}  // namespace quorv::apply
