#pragma once

#include <string>

#include "core/ApplyRun.h"

namespace quorv::apply {

// The real services with what a safe apply needs besides: the settings in force (netlink,
// NetworkManager, the resolver), the reachability check and netsh's watchdogs. Kept apart
// from SystemServices so that what links only the apply run does not pull in the bus.
class SafeSystemServices : public SystemServices {
  public:
    using SystemServices::SystemServices;
    std::vector<platform::ReachTarget> LiveTargets(const std::string& interface) override;
    std::vector<platform::ReachResult> CheckReachable(
        const std::vector<platform::ReachTarget>& targets,
        std::chrono::milliseconds timeout) override;
    std::vector<platform::PendingChange> ListPending() override;
    platform::PendingAnswer KeepPending(const std::string& id) override;
    platform::PendingAnswer RestorePending(const std::string& id) override;
};

}  // namespace quorv::apply
