#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/Exception.h"
#include "core/Ipv4.h"
#include "core/Profile.h"

namespace quorv::apply {

// The checks every way into the data file (qic add, import, the dialogs) and netsh share,
// so that a profile that is stored is one netsh will apply.

// A value that is neither stored nor applied; what() is the reason, for the user.
class RefusedValue : public quorv::Exception {
  public:
    using quorv::Exception::Exception;

    // Set by the whole-profile checks, so a dialog can put the focus on the control that
    // holds the value: the column ("IP", "Gateway", ...) and, in a list, the item.
    std::string Column;
    int Item = -1;
};

inline constexpr std::size_t kMaxInterfaceName = 15;  // the kernel's IFNAMSIZ less its NUL
inline constexpr std::size_t kMaxDnsServers = 3;      // the C library's resolver uses no more
inline constexpr std::size_t kMaxScriptBytes = 64 * 1024;
inline constexpr std::size_t kMaxScriptLines = 1000;

// A unicast address a host may carry: not 0.x, loopback, multicast or reserved.
bool IsHostAddress(Ipv4 address);
// A DNS server may also be on loopback (a local stub resolver).
bool IsDnsServerAddress(Ipv4 address);
// Prefix of a contiguous mask of at least one bit.
std::optional<int> SubnetPrefix(Ipv4 mask);
// Not the network or broadcast address of its subnet; /31 and /32 have neither.
bool IsHostInSubnet(Ipv4 address, int prefix);
// Why the kernel, dhclient or netsh would not take this interface name; nothing when fine.
std::optional<std::string> InterfaceNameProblem(std::string_view name);

// Each throws RefusedValue; `what` names the value in the reason ("IP address", "gateway").
Ipv4 CheckHostAddress(std::string_view text, std::string_view what);
int CheckSubnetMask(std::string_view text);
void CheckAddressInSubnet(Ipv4 address, int prefix);
Ipv4 CheckDnsServer(std::string_view text);
void CheckDnsServerCount(std::size_t count);
void CheckInterfaceName(std::string_view name);

// At most kMaxScriptBytes and kMaxScriptLines, and no NUL, which would silently cut it.
void CheckScript(std::string_view script);

// The mask a classful network of this address has (8, 16 or 24 bits), as Windows fills it
// in; nothing for multicast and reserved addresses.
std::optional<Ipv4> ClassfulMask(Ipv4 address);

// The gateway must be reachable on the link: inside one of the subnets of the profile's
// addresses, unless one of them is a /31 or /32, where the gateway is added on-link.
void CheckGatewayInSubnets(Ipv4 gateway, const std::vector<std::pair<Ipv4, int>>& subnets);

// Interface, addresses and masks (unless DHCP), gateway, DNS servers, the lists' column
// widths and the script. The name and the printer are the caller's to judge. A refusal
// names its column (and item) in RefusedValue::Column and Item.
void CheckProfileValues(const Profile& profile);
// The same but for the interface name: the values of a profile whose connection may not be
// on this machine (one made elsewhere), which is kept as it stands.
void CheckProfileSettings(const Profile& profile);

// Every address has its mask. The dialogs keep the lists parallel; files of the program's
// other versions may leave trailing masks out (the apply run then skips those addresses),
// so import does not ask this.
void CheckMaskPerAddress(const Profile& profile);

// A profile name the commands may store: not empty (it could never be found again) and
// without control characters.
void CheckProfileName(std::string_view name);

// User text for a reason: in double quotes, control bytes as \xNN, long texts cut.
std::string ShownValue(std::string_view text);

}  // namespace quorv::apply
