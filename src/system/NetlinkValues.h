#pragma once

#include <arpa/inet.h>
#include <netlink/addr.h>
#include <netlink/cache.h>

#include <cstdint>
#include <cstring>
#include <memory>

// libnl pieces the interface reader and netsh both need. Header-only and Qt-free, so netsh
// takes them without linking any of the inventory.
namespace quorv::inventory {

// The IPv4 address an nl_addr holds, in host byte order; 0 for none or another family.
inline std::uint32_t Ipv4Of(nl_addr* addr) {
    if (!addr || nl_addr_get_family(addr) != AF_INET || nl_addr_get_len(addr) != 4) {
        return 0;
    }
    std::uint32_t be;
    std::memcpy(&be, nl_addr_get_binary_addr(addr), 4);
    return ntohl(be);
}

struct NlCacheFree {
    void operator()(nl_cache* c) const { nl_cache_free(c); }
};
using NlCachePtr = std::unique_ptr<nl_cache, NlCacheFree>;

}  // namespace quorv::inventory
