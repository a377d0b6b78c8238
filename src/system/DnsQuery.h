#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quorv::platform {

// The smallest question a DNS server answers whatever it serves: "." NS, no recursion wanted.
std::vector<std::uint8_t> DnsRootQuery(std::uint16_t id);

// Whether a datagram is a well-formed reply to DnsRootQuery(id). Any reply code counts
// (REFUSED and SERVFAIL too): the server answered. Untrusted bytes; never reads past size.
bool IsDnsReplyTo(const std::uint8_t* data, std::size_t size, std::uint16_t id);

}  // namespace quorv::platform
