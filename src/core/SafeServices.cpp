#include "core/SafeServices.h"

#include <exception>

#include "system/LiveState.h"

namespace quorv::apply {

std::vector<platform::ReachTarget> SafeSystemServices::LiveTargets(const std::string& interface) {
    std::vector<platform::ReachTarget> targets;
    inventory::LiveState state;
    try {
        state = inventory::ReadLiveNetwork();
    } catch (const std::exception&) {
        // Nothing to check is better than a question that never comes.
        return targets;
    }
    const inventory::LiveAdapter* adapter = state.Find(interface);
    if (adapter == nullptr) {
        return targets;
    }
    if (!adapter->gateway.empty()) {
        targets.push_back({platform::ReachTarget::Kind::Gateway, adapter->gateway});
    }
    for (const std::string& server : adapter->dns) {
        targets.push_back({platform::ReachTarget::Kind::Dns, server});
    }
    return targets;
}

std::vector<platform::ReachResult> SafeSystemServices::CheckReachable(
    const std::vector<platform::ReachTarget>& targets, std::chrono::milliseconds timeout) {
    return platform::CheckReachable(targets, timeout);
}

std::vector<platform::PendingChange> SafeSystemServices::ListPending() {
    return platform::ListPendingChanges();
}

platform::PendingAnswer SafeSystemServices::KeepPending(const std::string& id) {
    return platform::KeepPendingChange(id);
}

platform::PendingAnswer SafeSystemServices::RestorePending(const std::string& id) {
    return platform::RestorePendingChange(id);
}

}  // namespace quorv::apply
