#include <unistd.h>

#include <chrono>
#include <functional>
#include <thread>

#include "netsh/DhcpClient.h"
#include "netsh/InterfaceState.h"
#include "netsh/Netlink.h"
#include "netsh/Resolver.h"
#include "netsh/Snapshot.h"

namespace quorv::netsh {
namespace {

// As long as a change's own DHCP line waits for its lease.
constexpr auto kLeaseWait = std::chrono::seconds(15);

bool Same(const AddressEntry& a, const AddressEntry& b) {
    return a.address == b.address && a.prefix == b.prefix;
}

bool Same(const RouteEntry& a, const RouteEntry& b) {
    return a.destination == b.destination && a.prefix == b.prefix && a.metric == b.metric &&
           a.gateway == b.gateway;
}

// The routes through the device a restore answers for: the kernel's own prefix routes come
// and go with the addresses, and a multipath route is more than one device's to put back.
std::vector<RouteEntry> OwnRoutes(RouteSocket& sock, int ifindex) {
    std::vector<RouteEntry> out;
    for (const RouteEntry& route : sock.Ipv4Routes()) {
        if (route.ifindex == ifindex && !route.byKernel && !route.multipath) {
            out.push_back(route);
        }
    }
    return out;
}

class NetlinkSnapshot : public Snapshot {
  public:
    explicit NetlinkSnapshot(const std::string& ifname) : ifname_(ifname) {
        RouteSocket sock;
        auto ifindex = sock.LinkIndex(ifname);
        if (!ifindex) {
            throw NetshError("There is no interface named \"" + Printable(ifname) + "\".");
        }
        InterfaceState state(ifname);
        lock_ = state.LockPending();
        if (lock_ < 0) {
            throw NetshError("a change of " + Printable(ifname) +
                             " is still waiting to be kept or restored");
        }
        addresses_ = sock.Ipv4Addresses(*ifindex);
        routes_ = OwnRoutes(sock, *ifindex);
        linkUp_ = sock.LinkIsUp(*ifindex);
        dhcpWanted_ = state.DhcpEnabled();
        staticDns_ = state.StaticDns();
        lease_ = state.ReadLease();
        clientRan_ = DhcpClient(state).RunningPid().has_value();
    }

    ~NetlinkSnapshot() override {
        if (lock_ >= 0) {
            close(lock_);
        }
    }
    NetlinkSnapshot(const NetlinkSnapshot&) = delete;
    NetlinkSnapshot& operator=(const NetlinkSnapshot&) = delete;

    int HeldDescriptor() const override { return lock_; }

    std::string Restore() override {
        RouteSocket sock;
        auto ifindex = sock.LinkIndex(ifname_);
        if (!ifindex) {
            throw NetshError("the device " + Printable(ifname_) + " is gone");
        }
        InterfaceState state(ifname_);
        std::string parts, firstError;
        auto part = [&](const char* name, const std::function<bool()>& step) {
            try {
                if (step()) {
                    parts += (parts.empty() ? "" : " ") + std::string(name);
                } else if (firstError.empty()) {
                    firstError = std::string("the ") + name + " did not come back";
                }
            } catch (const std::exception& e) {
                if (firstError.empty()) {
                    firstError = e.what();
                }
            }
        };
        DhcpClient client(state);
        bool leased = false;
        part("address", [&] {
            client.Stop();
            state.SetDhcpEnabled(dhcpWanted_);
            state.ClearLease();
            if (clientRan_) {
                // A lease of its own again, rather than the old one's address without its
                // lifetime.
                DropAll(sock, *ifindex);
                sock.SetLinkUp(*ifindex);
                client.Start();
                leased = WaitForLease(state);
                return leased;
            }
            if (lease_) {
                state.WriteLease(*lease_);
            }
            sock.SetLinkUp(*ifindex, linkUp_);
            PutAddressesBack(sock, *ifindex);
            return true;
        });
        part("gateway", [&] {
            if (clientRan_) {
                return leased;  // the lease's router comes with it
            }
            PutRoutesBack(sock, *ifindex);
            return true;
        });
        part("dns", [&] {
            state.SetStaticDns(staticDns_);
            SelectResolver()->SetServers(ifname_, state.EffectiveDns());
            return true;
        });
        if (parts.empty()) {
            throw NetshError(firstError);
        }
        return parts;
    }

    void Drop() override {}

  private:
    static bool WaitForLease(const InterfaceState& state) {
        const auto deadline = std::chrono::steady_clock::now() + kLeaseWait;
        while (!state.ReadLease()) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return true;
    }

    static void DropAll(RouteSocket& sock, int ifindex) {
        for (const RouteEntry& route : sock.DefaultRoutes()) {
            if (route.ifindex == ifindex) {
                sock.DeleteDefaultRoute(route);
            }
        }
        for (const AddressEntry& entry : sock.Ipv4Addresses(ifindex)) {
            sock.DeleteAddress(ifindex, entry);
        }
    }

    void PutAddressesBack(RouteSocket& sock, int ifindex) {
        for (const AddressEntry& entry : addresses_) {
            sock.AddAddress(ifindex, entry, true);
        }
        for (const AddressEntry& entry : sock.Ipv4Addresses(ifindex)) {
            bool recorded = false;
            for (const AddressEntry& old : addresses_) {
                recorded = recorded || Same(old, entry);
            }
            if (!recorded) {
                sock.DeleteAddress(ifindex, entry);
            }
        }
        // Taking away a primary address takes its secondaries along, some of ours among them.
        auto now = sock.Ipv4Addresses(ifindex);
        for (const AddressEntry& entry : addresses_) {
            bool present = false;
            for (const AddressEntry& there : now) {
                present = present || Same(there, entry);
            }
            if (!present) {
                sock.AddAddress(ifindex, entry, true);
            }
        }
    }

    void PutRoutesBack(RouteSocket& sock, int ifindex) {
        // Routes straight onto the link first: a gateway may be reached through one of them.
        for (bool viaGateway : {false, true}) {
            for (const RouteEntry& route : routes_) {
                if ((route.gateway != 0) == viaGateway) {
                    sock.ReplaceRoute(route);
                }
            }
        }
        for (const RouteEntry& route : OwnRoutes(sock, ifindex)) {
            bool recorded = false;
            for (const RouteEntry& old : routes_) {
                recorded = recorded || Same(old, route);
            }
            if (!recorded) {
                sock.DeleteRoute(route);
            }
        }
    }

    std::string ifname_;
    int lock_ = -1;
    std::vector<AddressEntry> addresses_;
    std::vector<RouteEntry> routes_;
    bool linkUp_ = true;
    bool dhcpWanted_ = false;
    bool clientRan_ = false;
    std::optional<std::vector<std::string>> staticDns_;
    std::optional<Lease> lease_;
};

}  // namespace

std::unique_ptr<Snapshot> TakeNetlinkSnapshot(const std::string& ifname) {
    return std::make_unique<NetlinkSnapshot>(ifname);
}

}  // namespace quorv::netsh
