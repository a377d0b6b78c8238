#include <gtest/gtest.h>

#include "netsh/NmEdit.h"
#include "netsh/NmSettings.h"

namespace quorv::netsh {
namespace {

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
        GVariant* dict = g_variant_parse(
            G_VARIANT_TYPE("a{sa{sv}}"),
            "{'connection': {'id': <'Wired connection 1'>, 'type': <'802-3-ethernet'>},"
            " 'ipv4': {'method': <'auto'>, 'address-data': <@aa{sv} []>,"
            "          'addresses': <@aau []>, 'route-data': <@aa{sv} []>,"
            "          'routes': <@aau []>, 'dns': <@au []>}}",
            nullptr, nullptr, nullptr);
        settings_ = NmSettings(dict);
        g_variant_unref(dict);
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
    // What goes back to NetworkManager, as text.
    std::string Sent() const {
        GVariant* v = g_variant_ref_sink(settings_.ToVariant());
        gchar* text = g_variant_print(v, FALSE);
        std::string out = text;
        g_free(text);
        g_variant_unref(v);
        return out;
    }

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
    settings_.Set("ipv4", "method", g_variant_new_string("disabled"));
    Edit({"add", "address", "name=eth0", "addr=10.0.0.6", "mask=255.255.255.0"});
    EXPECT_EQ(Method(), "manual");
    EXPECT_EQ(Addresses(), (Strings{"10.0.0.6/24"}));
}

// NetworkManager ignores address-data, gateway and route-data once the legacy forms are sent.
TEST_F(NmEdit, LegacyFormsAreReadAndNeverSentBack) {
    GVariant* dict = g_variant_parse(
        G_VARIANT_TYPE("a{sa{sv}}"),
        // 10.0.0.5/24 gateway 10.0.0.1 and a route to 10.9.0.0/16 via 10.0.0.7, network order.
        "{'ipv4': {'method': <'manual'>, 'addresses': <[[uint32 83886090, 24, 16777226]]>,"
        "          'routes': <[[uint32 2314, 16, 117440522, 3]]>, 'dns': <[uint32 33554442]>}}",
        nullptr, nullptr, nullptr);
    settings_ = NmSettings(dict);
    g_variant_unref(dict);
    EXPECT_EQ(Addresses(), (Strings{"10.0.0.5/24"}));
    EXPECT_EQ(Gateway(), "10.0.0.1");
    EXPECT_EQ(Dns(), (Strings{"10.0.0.2"}));
    Edit({"add", "address", "name=eth0", "addr=10.0.0.6", "mask=255.255.0.0"});
    EXPECT_EQ(Addresses(), (Strings{"10.0.0.5/24", "10.0.0.6/16"}));
    EXPECT_EQ(Gateway(), "10.0.0.1");
    ASSERT_EQ(Ip4Routes(settings_).size(), 1u);
    EXPECT_EQ(Ip4Routes(settings_)[0].dest, "10.9.0.0");
    EXPECT_EQ(Ip4Routes(settings_)[0].nextHop, "10.0.0.7");
    std::string sent = Sent();
    EXPECT_EQ(sent.find("'addresses'"), std::string::npos) << sent;
    EXPECT_EQ(sent.find("'routes'"), std::string::npos) << sent;
    EXPECT_NE(sent.find("'gateway': <'10.0.0.1'>"), std::string::npos) << sent;
}

}  // namespace
}  // namespace quorv::netsh
