#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quorv::apply {

// Addresses are kept in host byte order; conversion to network order happens at the netlink edge.
using Ipv4 = std::uint32_t;

// Strict dotted quad: four decimal numbers 0..255 without leading zeros, nothing else.
std::optional<Ipv4> ParseIpv4(std::string_view text);
std::string FormatIpv4(Ipv4 address);

// Prefix length of a contiguous mask (0..32), or nothing when the mask has holes.
std::optional<int> MaskToPrefix(Ipv4 mask);
Ipv4 PrefixToMask(int prefix);

}  // namespace quorv::apply
