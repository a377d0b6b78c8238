#include "system/ConnectionList.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace quorv::inventory {
namespace {

// Every network namespace gets these when the tunnel modules are loaded; no profile can
// use them.
constexpr std::array<std::string_view, 10> kFallbackTunnels{
    "tunl0",   "sit0",     "gre0",    "gretap0", "erspan0",
    "ip_vti0", "ip6_vti0", "ip6tnl0", "ip6gre0", "ip6erspan0"};

bool IsInternal(const NetInterface& net) {
    if (net.loopback || net.kind == "ifb" || net.kind == "nlmon") {
        return true;
    }
    return std::find(kFallbackTunnels.begin(), kFallbackTunnels.end(), net.name) !=
           kFallbackTunnels.end();
}

}  // namespace

bool IsPhysical(const NetInterface& net) {
    return !net.busInfo.empty();
}

std::vector<NetInterface> ConnectionList(std::vector<NetInterface> interfaces) {
    std::erase_if(interfaces, IsInternal);
    std::stable_sort(interfaces.begin(), interfaces.end(),
                     [](const NetInterface& a, const NetInterface& b) {
                         if (IsPhysical(a) != IsPhysical(b)) {
                             return IsPhysical(a);
                         }
                         return a.index < b.index;
                     });
    return interfaces;
}

std::optional<std::size_t> DefaultRouteConnection(const std::vector<NetInterface>& list) {
    std::optional<std::size_t> found;
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (!list[i].gateways.empty() && (!found || list[i].index < list[*found].index)) {
            found = i;
        }
    }
    return found;
}

}  // namespace quorv::inventory
