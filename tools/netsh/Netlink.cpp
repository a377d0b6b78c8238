#include "netsh/Netlink.h"

#include <arpa/inet.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <netlink/cache.h>
#include <netlink/errno.h>
#include <netlink/netlink.h>
#include <netlink/route/addr.h>
#include <netlink/route/link.h>
#include <netlink/route/route.h>
#include <netlink/socket.h>
#include <sys/socket.h>

#include <cstring>
#include <memory>

#include "netsh/Command.h"
#include "system/NetlinkValues.h"

#ifndef SOL_NETLINK
#define SOL_NETLINK 270
#endif

namespace quorv::netsh {
namespace {

struct AddrFree {
    void operator()(nl_addr* a) const { nl_addr_put(a); }
};
struct LinkFree {
    void operator()(rtnl_link* l) const { rtnl_link_put(l); }
};
struct RtAddrFree {
    void operator()(rtnl_addr* a) const { rtnl_addr_put(a); }
};
struct RouteFree {
    void operator()(rtnl_route* r) const { rtnl_route_put(r); }
};

using AddrPtr = std::unique_ptr<nl_addr, AddrFree>;

AddrPtr MakeAddr(Ipv4 address, int prefix) {
    std::uint32_t be = htonl(address);
    AddrPtr addr(nl_addr_build(AF_INET, &be, sizeof be));
    if (!addr) {
        throw NetshError("Out of memory.");
    }
    nl_addr_set_prefixlen(addr.get(), prefix);
    return addr;
}

}  // namespace

bool IsPlausibleInterfaceName(const std::string& name) {
    if (name.empty() || name.size() >= IFNAMSIZ || name == "." || name == "..") {
        return false;
    }
    for (unsigned char c : name) {
        if (c == '/' || c == ':' || c <= ' ' || c == 0x7f) {
            return false;
        }
    }
    return true;
}

RouteSocket::RouteSocket() {
    sock_ = nl_socket_alloc();
    if (!sock_) {
        throw NetshError("Out of memory.");
    }
    int rc = nl_connect(sock_, NETLINK_ROUTE);
    if (rc < 0) {
        nl_socket_free(sock_);
        sock_ = nullptr;
        throw NetshError(std::string("Cannot open the route netlink socket: ") + nl_geterror(rc) +
                         ".");
    }
    int one = 1;
    // Both are optional: without them the errno text alone is reported.
    setsockopt(nl_socket_get_fd(sock_), SOL_NETLINK, NETLINK_EXT_ACK, &one, sizeof one);
    setsockopt(nl_socket_get_fd(sock_), SOL_NETLINK, NETLINK_CAP_ACK, &one, sizeof one);
    nl_socket_modify_err_cb(sock_, NL_CB_CUSTOM, &RouteSocket::OnError, this);
}

RouteSocket::~RouteSocket() {
    if (sock_) {
        nl_socket_free(sock_);
    }
}

int RouteSocket::OnError(sockaddr_nl*, nlmsgerr* err, void* self) {
    auto* me = static_cast<RouteSocket*>(self);
    me->kernelErrno_ = -err->error;
    me->kernelMessage_.clear();
    auto* hdr = reinterpret_cast<nlmsghdr*>(reinterpret_cast<char*>(err) - NLMSG_HDRLEN);
    if (hdr->nlmsg_flags & NLM_F_ACK_TLVS) {
        std::size_t offset = NLMSG_HDRLEN + sizeof(nlmsgerr);
        if (!(hdr->nlmsg_flags & NLM_F_CAPPED)) {
            offset += err->msg.nlmsg_len - NLMSG_HDRLEN;
        }
        offset = NLMSG_ALIGN(offset);
        const char* base = reinterpret_cast<const char*>(hdr);
        while (offset + sizeof(nlattr) <= hdr->nlmsg_len) {
            auto* attr = reinterpret_cast<const nlattr*>(base + offset);
            if (attr->nla_len < sizeof(nlattr) || offset + attr->nla_len > hdr->nlmsg_len) {
                break;
            }
            if ((attr->nla_type & NLA_TYPE_MASK) == NLMSGERR_ATTR_MSG) {
                const char* text = base + offset + NLA_HDRLEN;
                std::size_t length = attr->nla_len - NLA_HDRLEN;
                me->kernelMessage_.assign(text, strnlen(text, length));
            }
            offset += NLA_ALIGN(attr->nla_len);
        }
    }
    return NL_STOP;
}

void RouteSocket::ResetError() {
    kernelErrno_ = 0;
    kernelMessage_.clear();
}

void RouteSocket::Fail(int nlError) {
    std::string text;
    if (kernelErrno_ != 0) {
        text = std::strerror(kernelErrno_);
        if (!kernelMessage_.empty()) {
            text += ": " + kernelMessage_;
        }
    } else {
        text = nl_geterror(nlError);
    }
    if (kernelErrno_ == EPERM || nlError == -NLE_PERM) {
        throw NetshError("The requested operation requires elevation (CAP_NET_ADMIN): " + text +
                         ".");
    }
    throw NetshError("The kernel rejected the change: " + text + ".");
}

std::optional<int> RouteSocket::LinkIndex(const std::string& name, bool* loopback) {
    if (!IsPlausibleInterfaceName(name)) {
        return std::nullopt;
    }
    ResetError();
    rtnl_link* raw = nullptr;
    int rc = rtnl_link_get_kernel(sock_, 0, name.c_str(), &raw);
    std::unique_ptr<rtnl_link, LinkFree> link(raw);
    if (rc < 0) {
        if (kernelErrno_ == ENODEV || rc == -NLE_OBJ_NOTFOUND || rc == -NLE_NODEV) {
            return std::nullopt;
        }
        Fail(rc);
    }
    if (loopback) {
        *loopback = (rtnl_link_get_flags(link.get()) & IFF_LOOPBACK) != 0;
    }
    return rtnl_link_get_ifindex(link.get());
}

void RouteSocket::SetLinkUp(int ifindex, bool up) {
    std::unique_ptr<rtnl_link, LinkFree> orig(rtnl_link_alloc());
    std::unique_ptr<rtnl_link, LinkFree> change(rtnl_link_alloc());
    if (!orig || !change) {
        throw NetshError("Out of memory.");
    }
    rtnl_link_set_ifindex(orig.get(), ifindex);
    if (up) {
        rtnl_link_set_flags(change.get(), IFF_UP);
    } else {
        rtnl_link_unset_flags(change.get(), IFF_UP);
    }
    ResetError();
    int rc = rtnl_link_change(sock_, orig.get(), change.get(), 0);
    if (rc < 0) {
        Fail(rc);
    }
}

bool RouteSocket::LinkIsUp(int ifindex) {
    ResetError();
    rtnl_link* raw = nullptr;
    int rc = rtnl_link_get_kernel(sock_, ifindex, nullptr, &raw);
    std::unique_ptr<rtnl_link, LinkFree> link(raw);
    if (rc < 0) {
        Fail(rc);
    }
    return (rtnl_link_get_flags(link.get()) & IFF_UP) != 0;
}

std::vector<AddressEntry> RouteSocket::Ipv4Addresses(int ifindex) {
    ResetError();
    nl_cache* raw = nullptr;
    int rc = rtnl_addr_alloc_cache(sock_, &raw);
    inventory::NlCachePtr cache(raw);
    if (rc < 0) {
        Fail(rc);
    }
    std::vector<AddressEntry> out;
    for (nl_object* obj = nl_cache_get_first(cache.get()); obj; obj = nl_cache_get_next(obj)) {
        auto* addr = reinterpret_cast<rtnl_addr*>(obj);
        if (rtnl_addr_get_family(addr) == AF_INET && rtnl_addr_get_ifindex(addr) == ifindex) {
            out.push_back(
                {inventory::Ipv4Of(rtnl_addr_get_local(addr)), rtnl_addr_get_prefixlen(addr)});
        }
    }
    return out;
}

namespace {

std::unique_ptr<rtnl_addr, RtAddrFree> BuildAddress(int ifindex, AddressEntry entry) {
    std::unique_ptr<rtnl_addr, RtAddrFree> addr(rtnl_addr_alloc());
    if (!addr) {
        throw NetshError("Out of memory.");
    }
    AddrPtr local = MakeAddr(entry.address, entry.prefix);
    rtnl_addr_set_ifindex(addr.get(), ifindex);
    rtnl_addr_set_family(addr.get(), AF_INET);
    rtnl_addr_set_local(addr.get(), local.get());
    rtnl_addr_set_prefixlen(addr.get(), entry.prefix);
    return addr;
}

}  // namespace

void RouteSocket::AddAddress(int ifindex, AddressEntry entry, bool replace,
                             std::uint32_t lifetimeSeconds) {
    auto addr = BuildAddress(ifindex, entry);
    if (lifetimeSeconds != 0) {
        rtnl_addr_set_valid_lifetime(addr.get(), lifetimeSeconds);
        rtnl_addr_set_preferred_lifetime(addr.get(), lifetimeSeconds);
    }
    if (entry.prefix < 31) {
        AddrPtr broadcast = MakeAddr(entry.address | ~PrefixToMask(entry.prefix), 32);
        rtnl_addr_set_broadcast(addr.get(), broadcast.get());
    }
    ResetError();
    int rc = rtnl_addr_add(sock_, addr.get(), replace ? NLM_F_REPLACE : NLM_F_EXCL);
    if (rc < 0) {
        Fail(rc);
    }
}

void RouteSocket::DeleteAddress(int ifindex, AddressEntry entry) {
    auto addr = BuildAddress(ifindex, entry);
    ResetError();
    int rc = rtnl_addr_delete(sock_, addr.get(), 0);
    // Deleting a primary address takes its secondaries with it; those are already gone.
    if (rc < 0 && kernelErrno_ != EADDRNOTAVAIL && rc != -NLE_NOADDR) {
        Fail(rc);
    }
}

std::vector<RouteEntry> RouteSocket::Ipv4Routes() {
    ResetError();
    nl_cache* raw = nullptr;
    int rc = rtnl_route_alloc_cache(sock_, AF_INET, 0, &raw);
    inventory::NlCachePtr cache(raw);
    if (rc < 0) {
        Fail(rc);
    }
    std::vector<RouteEntry> out;
    for (nl_object* obj = nl_cache_get_first(cache.get()); obj; obj = nl_cache_get_next(obj)) {
        auto* route = reinterpret_cast<rtnl_route*>(obj);
        if (rtnl_route_get_table(route) != RT_TABLE_MAIN ||
            rtnl_route_get_type(route) != RTN_UNICAST || rtnl_route_get_nnexthops(route) < 1) {
            continue;
        }
        nl_addr* dst = rtnl_route_get_dst(route);
        rtnl_nexthop* nh = rtnl_route_nexthop_n(route, 0);
        RouteEntry entry;
        entry.ifindex = rtnl_route_nh_get_ifindex(nh);
        entry.gateway = inventory::Ipv4Of(rtnl_route_nh_get_gateway(nh));
        entry.metric = rtnl_route_get_priority(route);
        entry.onlink = (rtnl_route_nh_get_flags(nh) & RTNH_F_ONLINK) != 0;
        entry.destination = dst ? inventory::Ipv4Of(dst) : 0;
        entry.prefix = dst ? int(nl_addr_get_prefixlen(dst)) : 0;
        entry.scope = static_cast<unsigned char>(rtnl_route_get_scope(route));
        entry.protocol = static_cast<unsigned char>(rtnl_route_get_protocol(route));
        entry.byKernel = entry.protocol == RTPROT_KERNEL;
        entry.multipath = rtnl_route_get_nnexthops(route) > 1;
        out.push_back(entry);
    }
    return out;
}

std::vector<RouteEntry> RouteSocket::DefaultRoutes() {
    std::vector<RouteEntry> out;
    for (const RouteEntry& route : Ipv4Routes()) {
        if (route.prefix == 0) {
            out.push_back(route);
        }
    }
    return out;
}

namespace {

std::unique_ptr<rtnl_route, RouteFree> BuildRoute(const RouteEntry& entry) {
    std::unique_ptr<rtnl_route, RouteFree> route(rtnl_route_alloc());
    rtnl_nexthop* nh = rtnl_route_nh_alloc();
    if (!route || !nh) {
        if (nh) {
            rtnl_route_nh_free(nh);
        }
        throw NetshError("Out of memory.");
    }
    AddrPtr dst = MakeAddr(entry.prefix == 0 ? 0 : entry.destination, entry.prefix);
    rtnl_route_set_family(route.get(), AF_INET);
    rtnl_route_set_table(route.get(), RT_TABLE_MAIN);
    rtnl_route_set_dst(route.get(), dst.get());
    rtnl_route_set_priority(route.get(), entry.metric);
    rtnl_route_set_scope(route.get(), entry.scope);
    rtnl_route_set_type(route.get(), RTN_UNICAST);
    rtnl_route_nh_set_ifindex(nh, entry.ifindex);
    if (entry.gateway != 0) {
        AddrPtr gw = MakeAddr(entry.gateway, 32);
        rtnl_route_nh_set_gateway(nh, gw.get());
        if (entry.onlink) {
            rtnl_route_nh_set_flags(nh, RTNH_F_ONLINK);
        }
    }
    rtnl_route_add_nexthop(route.get(), nh);  // the route owns the nexthop now
    return route;
}

}  // namespace

void RouteSocket::ReplaceRoute(const RouteEntry& entry) {
    auto route = BuildRoute(entry);
    rtnl_route_set_protocol(route.get(), entry.protocol != 0 ? entry.protocol : RTPROT_STATIC);
    ResetError();
    int rc = rtnl_route_add(sock_, route.get(), NLM_F_REPLACE);
    if (rc < 0) {
        Fail(rc);
    }
}

void RouteSocket::DeleteRoute(const RouteEntry& entry) {
    auto route = BuildRoute(entry);
    ResetError();
    int rc = rtnl_route_delete(sock_, route.get(), 0);
    if (rc < 0 && kernelErrno_ != ESRCH && rc != -NLE_OBJ_NOTFOUND) {
        Fail(rc);
    }
}

void RouteSocket::ReplaceDefaultRoute(RouteEntry route) {
    route.protocol = 0;
    route.destination = 0;
    route.prefix = 0;
    route.scope = RT_SCOPE_UNIVERSE;
    ReplaceRoute(route);
}

void RouteSocket::DeleteDefaultRoute(RouteEntry route) {
    route.destination = 0;
    route.prefix = 0;
    route.scope = RT_SCOPE_UNIVERSE;
    DeleteRoute(route);
}

}  // namespace quorv::netsh
