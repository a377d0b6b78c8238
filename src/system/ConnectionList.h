#pragma once

#include <optional>
#include <vector>

#include "system/NetInterfaces.h"

namespace quorv::inventory {

// The connections a profile may be made for, in the order the dialogs offer them: physical
// adapters first, then virtual ones (veth, bridges, tun), each group by index. Loopback and
// devices that carry no traffic of their own (ifb, nlmon, the kernel's fallback tunnels)
// are left out.
std::vector<NetInterface> ConnectionList(std::vector<NetInterface> interfaces);

// A bus address is what makes an adapter physical, as WMI's PhysicalAdapter says.
bool IsPhysical(const NetInterface& net);

// The position in `list` of the connection that carries the default route (the lowest
// index of those that do), else nothing.
std::optional<std::size_t> DefaultRouteConnection(const std::vector<NetInterface>& list);

}  // namespace quorv::inventory
