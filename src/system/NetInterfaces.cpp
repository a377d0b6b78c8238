#include "system/NetInterfaces.h"

// glibc's net/if.h must come before the kernel headers that pull in linux/if.h.
#include <net/if.h>
// clang-format off
#include <arpa/inet.h>
#include <linux/ethtool.h>
#include <linux/if_arp.h>
#include <linux/rtnetlink.h>
#include <linux/sockios.h>
#include <linux/wireless.h>
// clang-format on
#include <netlink/cache.h>
#include <netlink/netlink.h>
#include <netlink/route/addr.h>
#include <netlink/route/link.h>
#include <netlink/route/route.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>

#include "base/Exception.h"
#include "system/NetlinkValues.h"

namespace quorv::inventory {
namespace {

struct SocketFree {
    void operator()(nl_sock* s) const { nl_socket_free(s); }
};
void CheckRc(int rc, const char* what) {
    if (rc < 0) {
        throw quorv::Exception(std::string("Cannot read the ") + what + ": " + nl_geterror(rc));
    }
}

class Ethtool {
  public:
    Ethtool() : fd_(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {}
    ~Ethtool() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }

    void Fill(NetInterface& net) const {
        if (fd_ < 0 || net.name.size() >= IFNAMSIZ) {
            return;
        }
        ethtool_drvinfo info{};
        info.cmd = ETHTOOL_GDRVINFO;
        if (Call(net.name, &info)) {
            net.driver.assign(info.driver, strnlen(info.driver, sizeof info.driver));
            net.busInfo.assign(info.bus_info, strnlen(info.bus_info, sizeof info.bus_info));
            if (net.busInfo == "N/A") {
                net.busInfo.clear();
            }
        }
        ethtool_cmd settings{};
        settings.cmd = ETHTOOL_GSET;
        if (Call(net.name, &settings)) {
            std::uint32_t mbps = ethtool_cmd_speed(&settings);
            if (mbps != 0 && mbps != std::uint32_t(SPEED_UNKNOWN) && mbps != 0xffff) {
                net.speed = static_cast<unsigned long long>(mbps) * 1000000ull;
            }
        }
        iwreq wireless{};
        std::strncpy(wireless.ifr_name, net.name.c_str(), IFNAMSIZ - 1);
        net.wireless = ioctl(fd_, SIOCGIWNAME, &wireless) == 0;
    }

  private:
    bool Call(const std::string& name, void* data) const {
        ifreq request{};
        std::strncpy(request.ifr_name, name.c_str(), IFNAMSIZ - 1);
        request.ifr_data = static_cast<char*>(data);
        return ioctl(fd_, SIOCETHTOOL, &request) == 0;
    }
    int fd_;
};

// udev's database names the hardware model of physical devices.
std::string UdevModel(const NetInterface& net) {
    std::ifstream in("/run/udev/data/n" + std::to_string(net.index));
    std::string line, model, fallback;
    bool sameDevice = true;
    while (std::getline(in, line)) {
        if (line.rfind("E:INTERFACE=", 0) == 0) {
            sameDevice = line.substr(12) == net.name;
        } else if (line.rfind("E:ID_MODEL_FROM_DATABASE=", 0) == 0) {
            model = line.substr(25);
        } else if (line.rfind("E:ID_MODEL=", 0) == 0) {
            fallback = line.substr(11);
        }
    }
    // Indexes repeat across network namespaces: only a record naming this interface counts.
    if (!sameDevice) {
        return "";
    }
    return model.empty() ? fallback : model;
}

}  // namespace

std::string NetInterface::Description() const {
    if (!model.empty()) {
        return model;
    }
    return driver.empty() ? name : driver;
}

std::vector<NetInterface> ReadInterfaces() {
    std::unique_ptr<nl_sock, SocketFree> sock(nl_socket_alloc());
    if (!sock) {
        throw quorv::Exception("Out of memory");
    }
    CheckRc(nl_connect(sock.get(), NETLINK_ROUTE), "route netlink socket");

    nl_cache* raw = nullptr;
    CheckRc(rtnl_link_alloc_cache(sock.get(), AF_UNSPEC, &raw), "network interfaces");
    NlCachePtr links(raw);
    CheckRc(rtnl_addr_alloc_cache(sock.get(), &raw), "interface addresses");
    NlCachePtr addrs(raw);
    CheckRc(rtnl_route_alloc_cache(sock.get(), AF_INET, 0, &raw), "routes");
    NlCachePtr routes(raw);

    std::map<int, NetInterface> byIndex;
    for (nl_object* obj = nl_cache_get_first(links.get()); obj; obj = nl_cache_get_next(obj)) {
        auto* link = reinterpret_cast<rtnl_link*>(obj);
        NetInterface net;
        net.index = rtnl_link_get_ifindex(link);
        const char* name = rtnl_link_get_name(link);
        net.name = name ? name : "";
        unsigned flags = rtnl_link_get_flags(link);
        net.up = (flags & IFF_UP) != 0;
        net.carrier = (flags & IFF_LOWER_UP) != 0;
        net.loopback = (flags & IFF_LOOPBACK) != 0;
        net.arpType = int(rtnl_link_get_arptype(link));
        if (const char* kind = rtnl_link_get_type(link)) {
            net.kind = kind;
        }
        nl_addr* hw = rtnl_link_get_addr(link);
        if (hw && nl_addr_get_len(hw) == 6) {
            char buffer[32];
            nl_addr2str(hw, buffer, sizeof buffer);
            net.mac = buffer;
        }
        byIndex[net.index] = std::move(net);
    }
    for (nl_object* obj = nl_cache_get_first(addrs.get()); obj; obj = nl_cache_get_next(obj)) {
        auto* addr = reinterpret_cast<rtnl_addr*>(obj);
        auto it = byIndex.find(rtnl_addr_get_ifindex(addr));
        if (rtnl_addr_get_family(addr) == AF_INET && it != byIndex.end()) {
            it->second.addresses.push_back({Ipv4Of(rtnl_addr_get_local(addr)),
                                            rtnl_addr_get_prefixlen(addr),
                                            (rtnl_addr_get_flags(addr) & IFA_F_PERMANENT) == 0});
        }
    }
    for (nl_object* obj = nl_cache_get_first(routes.get()); obj; obj = nl_cache_get_next(obj)) {
        auto* route = reinterpret_cast<rtnl_route*>(obj);
        nl_addr* dst = rtnl_route_get_dst(route);
        if (rtnl_route_get_table(route) != RT_TABLE_MAIN ||
            (dst && nl_addr_get_prefixlen(dst) != 0) || rtnl_route_get_nnexthops(route) < 1) {
            continue;
        }
        rtnl_nexthop* nh = rtnl_route_nexthop_n(route, 0);
        auto it = byIndex.find(rtnl_route_nh_get_ifindex(nh));
        std::uint32_t gateway = Ipv4Of(rtnl_route_nh_get_gateway(nh));
        if (it != byIndex.end() && gateway != 0) {
            it->second.gateways.push_back(gateway);
        }
    }

    Ethtool ethtool;
    std::vector<NetInterface> out;
    for (auto& [index, net] : byIndex) {
        if (!net.loopback) {
            ethtool.Fill(net);
            net.model = UdevModel(net);
        }
        out.push_back(std::move(net));
    }
    return out;
}

}  // namespace quorv::inventory
