#pragma once

#include <string>

#include "core/Profile.h"
#include "system/LiveState.h"

namespace quorv::apply {

// Why a profile is not what its adapter has now; None when it is.
enum class LiveMismatch {
    None,
    NoAdapter,  // its Interface is not present
    Method,     // DHCP against static, or the other way
    Addresses,  // other addresses or masks, or another order
    Gateway,
    Dns,      // other servers, or another order
    Printer,  // another default printer, or CUPS could not be asked
};

// Whether applying the profile would leave its adapter as it is now. Addresses count as the
// apply run sets them: each with the mask of its position, in order, an address without a
// mask left out; masks compare as numbers. A DHCP profile leaves address and gateway to the
// lease. DNS servers compare in order: with automatic DNS (DNS1 empty) a static profile
// wants none on an adapter that has its own list, and a DHCP profile takes the lease's. Where
// only the system resolver's list is known, the profile's servers must stand first in it, as
// the adapter changed last puts them there. An empty Printer leaves the printer alone.
LiveMismatch MatchLive(const Profile& profile, const inventory::LiveState& live);

// A profile that, applied to `adapter`, gives it the settings it has now: DHCP with automatic
// DNS (whether the servers came with the lease is not told apart), or its static addresses,
// gateway and first two DNS servers; `printer` as the printer. Name, Icon and Script are
// left as a new profile has them.
Profile CaptureProfile(const inventory::LiveAdapter& adapter, const std::string& printer);

}  // namespace quorv::apply
