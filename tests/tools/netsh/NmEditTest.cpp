#include <gtest/gtest.h>

#include "netsh/NmEdit.h"

namespace quorv::netsh {
namespace {

Command Parse(const std::vector<std::string>& tail) {
    std::vector<std::string> args{"interface", "ip"};
    args.insert(args.end(), tail.begin(), tail.end());
    return ParseCommand(args);
}

// A wired connection as a desktop creates it: automatic addressing and DNS.
class NmEdit : public ::testing::Test {
  protected:
    NmEdit() : connection_(nm_simple_connection_new()) {
        NMSetting* s = nm_setting_connection_new();
        char* uuid = nm_utils_uuid_generate();
        g_object_set(s, NM_SETTING_CONNECTION_ID, "Wired connection 1", NM_SETTING_CONNECTION_UUID,
                     uuid, NM_SETTING_CONNECTION_TYPE, NM_SETTING_WIRED_SETTING_NAME, nullptr);
        g_free(uuid);
        nm_connection_add_setting(connection_, s);
        nm_connection_add_setting(connection_, nm_setting_wired_new());
        NMSetting* ip4 = nm_setting_ip4_config_new();
        g_object_set(ip4, NM_SETTING_IP_CONFIG_METHOD, NM_SETTING_IP4_CONFIG_METHOD_AUTO, nullptr);
        nm_connection_add_setting(connection_, ip4);
    }
    ~NmEdit() override { g_object_unref(connection_); }

    void Edit(const std::vector<std::string>& tail, const std::vector<std::string>& inUse = {}) {
        EditIp4(connection_, Parse(tail), inUse);
    }

    NMSettingIPConfig* Ip4() const { return nm_connection_get_setting_ip4_config(connection_); }
    std::string Method() const { return nm_setting_ip_config_get_method(Ip4()); }
    std::string Gateway() const {
        const char* g = nm_setting_ip_config_get_gateway(Ip4());
        return g ? g : "";
    }
    std::vector<std::string> Addresses() const {
        std::vector<std::string> out;
        for (guint i = 0; i < nm_setting_ip_config_get_num_addresses(Ip4()); ++i) {
            NMIPAddress* a = nm_setting_ip_config_get_address(Ip4(), int(i));
            out.push_back(std::string(nm_ip_address_get_address(a)) + "/" +
                          std::to_string(nm_ip_address_get_prefix(a)));
        }
        return out;
    }
    std::vector<std::string> Dns() const {
        std::vector<std::string> out;
        for (guint i = 0; i < nm_setting_ip_config_get_num_dns(Ip4()); ++i) {
            out.push_back(nm_setting_ip_config_get_dns(Ip4(), int(i)));
        }
        return out;
    }
    // Default routes standing in for a gateway: "via metric".
    std::vector<std::string> DefaultRoutes() const {
        std::vector<std::string> out;
        for (guint i = 0; i < nm_setting_ip_config_get_num_routes(Ip4()); ++i) {
            NMIPRoute* r = nm_setting_ip_config_get_route(Ip4(), int(i));
            if (nm_ip_route_get_prefix(r) == 0) {
                out.push_back(std::string(nm_ip_route_get_next_hop(r)) + " " +
                              std::to_string(nm_ip_route_get_metric(r)));
            }
        }
        return out;
    }
    bool IgnoreAutoDns() const { return nm_setting_ip_config_get_ignore_auto_dns(Ip4()); }

    NMConnection* connection_;
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
    EXPECT_EQ(nm_setting_ip_config_get_route_metric(Ip4()), 7);
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
    Edit({"set", "dns", "name=eth0", "source=static", "addr=10.0.0.2"});
    Edit({"add", "dns", "name=eth0", "addr=10.0.0.3", "index=2"});
    EXPECT_EQ(Dns(), (Strings{"10.0.0.2", "10.0.0.3"}));
}

TEST_F(NmEdit, AddAddressTurnsDisabledAddressingToManual) {
    g_object_set(Ip4(), NM_SETTING_IP_CONFIG_METHOD, NM_SETTING_IP4_CONFIG_METHOD_DISABLED,
                 nullptr);
    Edit({"add", "address", "name=eth0", "addr=10.0.0.6", "mask=255.255.255.0"});
    EXPECT_EQ(Method(), "manual");
    EXPECT_EQ(Addresses(), (Strings{"10.0.0.6/24"}));
}

}  // namespace
}  // namespace quorv::netsh
