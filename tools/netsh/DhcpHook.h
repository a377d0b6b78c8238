#pragma once

#include <functional>
#include <optional>
#include <string>

#include "netsh/InterfaceState.h"

namespace quorv::netsh {

using Environment = std::function<std::optional<std::string>(const std::string&)>;

// The dhclient script: applies what the client reports (reason and new_/old_ variables) through
// netlink and the resolver. Returns the exit status dhclient expects.
int RunDhcpHook(const Environment& env);

// The lease a BOUND-like report offers, judged as netsh judges the same values: nothing when
// the new address is not one netsh would set; routers and DNS servers it would refuse dropped.
std::optional<Lease> OfferedLease(const Environment& env);

}  // namespace quorv::netsh
