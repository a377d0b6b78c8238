#include <gtest/gtest.h>

#include "netsh/NmEdit.h"
#include "netsh/NmSettings.h"

namespace quorv::netsh {
namespace {

using inventory::DbusValue;
using Keys = std::vector<std::pair<std::string, DbusValue>>;

DbusValue Empty(const char* elementSignature) {
    return DbusValue::Array(elementSignature, {});
}

DbusValue Legacy(std::vector<std::uint32_t> fields) {
    std::vector<DbusValue> items;
    for (auto f : fields) {
        items.push_back(DbusValue::Uint32(f));
    }
    return DbusValue::Array("u", std::move(items));
}

Command Parse(const std::vector<std::string>& tail) {
    std::vector<std::string> args{"interface", "ip"};
    args.insert(args.end(), tail.begin(), tail.end());
    return ParseCommand(args);
}

// A wired connection as NetworkManager hands it out: automatic addressing and DNS, the
// addresses and routes in both the current and the legacy forms.
class NmEdit : public ::testing::Test {
  protected:
    NmEdit() {
        settings_ = NmSettings(DbusValue::Dict(
            "a{sv}",
            {{"connection", DbusValue::Dict("v", {{"id", DbusValue::String("Wired connection 1")},
                                                  {"type", DbusValue::String("802-3-ethernet")}})},
             {"ipv4", DbusValue::Dict("v", {{"method", DbusValue::String("auto")},
                                            {"address-data", Empty("a{sv}")},
                                            {"addresses", Empty("au")},
                                            {"route-data", Empty("a{sv}")},
                                            {"routes", Empty("au")},
                                            {"dns", Empty("u")}})}}));
    }

    void Edit(const std::vector<std::string>& tail, const std::vector<std::string>& inUse = {}) {
        EditIp4(settings_, Parse(tail), inUse);
    }

    std::string Method() const { return Ip4Method(settings_); }
    std::string Gateway() const { return Ip4Gateway(settings_); }
    std::vector<std::string> Addresses() const {
        std::vector<std::string> out;
        for (const auto& [address, prefix] : Ip4Addresses(settings_)) {
            out.push_back(address + "/" + std::to_string(prefix));
        }
        return out;
    }
    std::vector<std::string> Dns() const { return Ip4Dns(settings_); }
    // Default routes standing in for a gateway: "via metric".
    std::vector<std::string> DefaultRoutes() const {
        std::vector<std::string> out;
        for (const auto& r : Ip4Routes(settings_)) {
            if (r.prefix == 0) {
                out.push_back(r.nextHop + " " + std::to_string(r.metric));
            }
        }
        return out;
    }
    bool IgnoreAutoDns() const { return Ip4IgnoreAutoDns(settings_); }
    // The IPv4 part of what goes back to NetworkManager.
    DbusValue SentIp4() const { return settings_.ToValue().Find("ipv4"); }

    NmSettings settings_;
};

using Strings = std::vector<std::string>;

TEST_F(NmEdit, StaticProfileThenDhcpProfile) {
    Edit({"set", "address", "name=eth0", "source=static", "addr=10.0.0.5", "mask=255.255.255.0"});
    Edit({"add", "address", "name=eth0", "addr=10.0.0.6", "mask=255.255.0.0"});
    Edit({"set", "address", "name=eth0", "gateway=10.0.0.1", "gwmetric=7"});
    Edit({"set", "dns", "name=eth0", "source=static", "addr=10.0.0.2", "register=PRIMARY"});
    EXPECT_EQ(Method(), "manual");
    EXPECT_EQ(Addresses(), (Strings{"10.0.0.5/24", "10.0.0.6/16"}));
    EXPECT_EQ(Gateway(), "10.0.0.1");
    EXPECT_EQ(Ip4RouteMetric(settings_), 7);
    EXPECT_EQ(Dns(), (Strings{"10.0.0.2"}));
    EXPECT_TRUE(IgnoreAutoDns());

    // The address form leaves DNS alone; the DNS form gives it back to DHCP.
    Edit({"set", "address", "name=eth0", "source=dhcp"});
    EXPECT_EQ(Method(), "auto");
    EXPECT_EQ(Addresses(), Strings{});
    EXPECT_EQ(Gateway(), "");
    EXPECT_EQ(Dns(), (Strings{"10.0.0.2"}));
    Edit({"set", "dns", "name=eth0", "source=dhcp"});
    EXPECT_EQ(Dns(), Strings{});
    EXPECT_FALSE(IgnoreAutoDns());
}

TEST_F(NmEdit, NewStaticAddressDropsTheOldAddressesAndGateway) {
    Edit({"set", "address", "name=eth0", "source=static", "addr=10.0.0.5", "mask=255.255.255.0"});
    Edit({"add", "address", "name=eth0", "addr=10.0.0.6", "mask=255.255.0.0"});
    Edit({"set", "address", "name=eth0", "gateway=10.0.0.1", "gwmetric=0"});
    Edit({"set", "address", "name=eth0", "source=static", "addr=10.1.0.5", "mask=255.255.0.0"});
    EXPECT_EQ(Addresses(), (Strings{"10.1.0.5/16"}));
    EXPECT_EQ(Gateway(), "");
    // The same address again takes the new mask instead of a second entry.
    Edit({"add", "address", "name=eth0", "addr=10.1.0.5", "mask=255.255.255.0"});
    EXPECT_EQ(Addresses(), (Strings{"10.1.0.5/24"}));
}

TEST_F(NmEdit, GatewayOnDhcpWithoutAddressesBecomesADefaultRoute) {
    // NetworkManager refuses ipv4.gateway without addresses; the route keeps the gateway.
    Edit({"set", "address", "name=eth0", "gateway=10.0.0.1", "gwmetric=5"});
    EXPECT_EQ(Method(), "auto");
    EXPECT_EQ(Gateway(), "");
    EXPECT_EQ(DefaultRoutes(), (Strings{"10.0.0.1 5"}));
    Edit({"set", "address", "name=eth0", "gateway=10.0.0.2", "gwmetric=5"});
    EXPECT_EQ(DefaultRoutes(), (Strings{"10.0.0.2 5"}));
    Edit({"set", "address", "name=eth0", "source=static", "addr=10.0.0.5", "mask=255.255.255.0"});
    EXPECT_EQ(DefaultRoutes(), Strings{});
}

TEST_F(NmEdit, AddDnsBuildsOnTheServersInUse) {
    // Still automatic: the lease's servers are kept, now as static ones.
    Edit({"add", "dns", "name=eth0", "addr=10.0.0.9", "index=1"}, {"10.0.0.77", "10.0.0.78"});
    EXPECT_EQ(Dns(), (Strings{"10.0.0.9", "10.0.0.77", "10.0.0.78"}));
    EXPECT_TRUE(IgnoreAutoDns());
    // A server already there moves instead of appearing twice; a far index appends.
    Edit({"add", "dns", "name=eth0", "addr=10.0.0.77", "index=9"}, {"ignored"});
    EXPECT_EQ(Dns(), (Strings{"10.0.0.9", "10.0.0.78", "10.0.0.77"}));
    // As on the netlink path, no more servers than the resolver uses; nothing changes.
    EXPECT_THROW(Edit({"add", "dns", "name=eth0", "addr=10.0.0.10"}), NetshError);
    EXPECT_EQ(Dns(), (Strings{"10.0.0.9", "10.0.0.78", "10.0.0.77"}));
    Edit({"set", "dns", "name=eth0", "source=static", "addr=10.0.0.2"});
    Edit({"add", "dns", "name=eth0", "addr=10.0.0.3", "index=2"});
    EXPECT_EQ(Dns(), (Strings{"10.0.0.2", "10.0.0.3"}));
}

TEST_F(NmEdit, AddAddressTurnsDisabledAddressingToManual) {
    settings_.Set("ipv4", "method", DbusValue::String("disabled"));
    Edit({"add", "address", "name=eth0", "addr=10.0.0.6", "mask=255.255.255.0"});
    EXPECT_EQ(Method(), "manual");
    EXPECT_EQ(Addresses(), (Strings{"10.0.0.6/24"}));
}

// NetworkManager ignores address-data, gateway and route-data once the legacy forms are sent.
TEST_F(NmEdit, LegacyFormsAreReadAndNeverSentBack) {
    // 10.0.0.5/24 gateway 10.0.0.1 and a route to 10.9.0.0/16 via 10.0.0.7, network order.
    settings_ = NmSettings(DbusValue::Dict(
        "a{sv}",
        {{"ipv4",
          DbusValue::Dict(
              "v", {{"method", DbusValue::String("manual")},
                    {"addresses", DbusValue::Array("au", {Legacy({83886090, 24, 16777226})})},
                    {"routes", DbusValue::Array("au", {Legacy({2314, 16, 117440522, 3})})},
                    {"dns", Legacy({33554442})}})}}));
    EXPECT_EQ(Addresses(), (Strings{"10.0.0.5/24"}));
    EXPECT_EQ(Gateway(), "10.0.0.1");
    EXPECT_EQ(Dns(), (Strings{"10.0.0.2"}));
    Edit({"add", "address", "name=eth0", "addr=10.0.0.6", "mask=255.255.0.0"});
    EXPECT_EQ(Addresses(), (Strings{"10.0.0.5/24", "10.0.0.6/16"}));
    EXPECT_EQ(Gateway(), "10.0.0.1");
    ASSERT_EQ(Ip4Routes(settings_).size(), 1u);
    EXPECT_EQ(Ip4Routes(settings_)[0].dest, "10.9.0.0");
    EXPECT_EQ(Ip4Routes(settings_)[0].nextHop, "10.0.0.7");
    DbusValue sent = SentIp4();
    EXPECT_TRUE(sent.Find("addresses").Empty());
    EXPECT_TRUE(sent.Find("routes").Empty());
    EXPECT_TRUE(sent.Find("gateway").Is("s"));
    EXPECT_EQ(sent.Find("gateway").Text(), "10.0.0.1");
}

}  // namespace
}  // namespace quorv::netsh
