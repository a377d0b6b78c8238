#include "core/ConnectionCheck.h"

#include <algorithm>

#include "core/ProfileChecks.h"

namespace quorv::apply {

bool HasConnection(const std::vector<std::string>& adapters, const std::string& connection) {
    return !connection.empty() &&
           std::find(adapters.begin(), adapters.end(), connection) != adapters.end();
}

std::string AdapterList(const std::vector<std::string>& adapters) {
    if (adapters.empty()) {
        return "none";
    }
    std::string list;
    for (const std::string& adapter : adapters) {
        list += (list.empty() ? "" : ", ") + ShownValue(adapter);
    }
    return list;
}

void CheckConnectionPresent(const Profile& profile, const std::vector<std::string>& adapters) {
    if (HasConnection(adapters, profile.Interface)) {
        return;
    }
    const std::string connection =
        profile.Interface.empty() ? "no connection" : "connection " + ShownValue(profile.Interface);
    throw EUnknownConnection("the profile " + ShownValue(profile.Name) + " names " + connection +
                             ", which this machine does not have; the adapters here are " +
                             AdapterList(adapters) + "; edit the profile (qic edit " +
                             ShownValue(profile.Name) + " --interface IF, or the IP dialog)");
}

std::vector<UnknownConnection> UnknownConnections(const std::vector<Profile>& profiles,
                                                  const std::vector<std::string>& adapters) {
    std::vector<UnknownConnection> unknown;
    for (const Profile& p : profiles) {
        if (HasConnection(adapters, p.Interface)) {
            continue;
        }
        auto it = std::find_if(unknown.begin(), unknown.end(), [&](const UnknownConnection& u) {
            return u.Connection == p.Interface;
        });
        if (it == unknown.end()) {
            unknown.push_back({p.Interface, {}});
            it = std::prev(unknown.end());
        }
        it->Profiles.push_back(p.Name);
    }
    return unknown;
}

}  // namespace quorv::apply
