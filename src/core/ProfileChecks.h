#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
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

// Interface, addresses and masks (unless DHCP), gateway, DNS servers, the lists' column
// widths and the script. The name and the printer are the caller's to judge.
void CheckProfileValues(const Profile& profile);
// The same without the interface name: an imported profile may name a connection of
// another machine, which is kept and judged when the profile is applied.
void CheckValuesButInterface(const Profile& profile);

// User text for a reason: in double quotes, control bytes as \xNN, long texts cut.
std::string ShownValue(std::string_view text);

}  // namespace quorv::apply
