#pragma once

#include <cstddef>
#include <functional>
#include <vector>

#include "netsh/Command.h"
#include "netsh/Privilege.h"

namespace quorv::netsh {

// Carries out a parsed command. Privilege and the interface are checked before the first change:
// without CAP_NET_ADMIN it raises NeedsPrivilege.
void Execute(const Command& command);

// The steps of a script for one interface, in order, over one netlink socket; consecutive DNS
// steps write the resolver once. done(i) is called once step i is in place. A step that fails
// raises StepError and the steps after it are not run; NetshError before the first change.
// waitForLease: an automatic address is done only once a lease has come (the steps after it
// wait for it); without one NoLease is raised after every step has run.
void ExecuteSteps(const std::vector<Command>& steps, const std::function<void(std::size_t)>& done,
                  bool waitForLease);

}  // namespace quorv::netsh
