#include <gtest/gtest.h>

#include "IpconfigOptions.h"
#include "Report.h"

namespace quorv::ipconfig {
namespace {

IpConfigModel Captured() {
    IpConfigModel model;
    model.hostName = "office-pc";
    model.dnsServers = {"10.0.0.2", "10.0.0.3"};

    AdapterModel lan;
    lan.name = "eth0";
    lan.kind = "Ethernet";
    lan.description = "Intel Corporation 82540EM Gigabit Ethernet Controller";
    lan.physicalAddress = "52-54-00-12-34-56";
    lan.connected = true;
    lan.addresses = {{"10.0.0.5", "255.255.255.0"}, {"10.0.0.6", "255.255.0.0"}};
    lan.gateways = {"10.0.0.1"};
    lan.dnsServers = {"10.0.0.2", "10.0.0.3"};
    model.adapters.push_back(lan);

    AdapterModel wifi;
    wifi.name = "wlan0";
    wifi.kind = "Wireless LAN";
    wifi.description = "iwlwifi";
    wifi.physicalAddress = "00-11-22-33-44-55";
    wifi.connected = false;
    wifi.dhcpEnabled = true;
    model.adapters.push_back(wifi);

    AdapterModel dhcp;
    dhcp.name = "veth1";
    dhcp.kind = "Ethernet";
    dhcp.description = "veth";
    dhcp.physicalAddress = "AA-BB-CC-DD-EE-FF";
    dhcp.connected = true;
    dhcp.dhcpEnabled = true;
    dhcp.dnsSuffix = "lab.example";
    dhcp.addresses = {{"10.213.1.77", "255.255.255.0"}};
    dhcp.gateways = {"10.213.1.1"};
    dhcp.dnsServers = {"10.213.1.53"};
    dhcp.dhcpServer = "10.213.1.1";
    dhcp.leaseObtained = "Monday, 01 January 2024 10:00:00";
    dhcp.leaseExpires = "Monday, 01 January 2024 11:00:00";
    model.adapters.push_back(dhcp);
    return model;
}

TEST(Report, AllShowsEveryDetailInTheFamiliarLayout) {
    EXPECT_EQ(FormatIpConfig(Captured(), true),
              "\n"
              "Linux IP Configuration\n"
              "\n"
              "   Host Name . . . . . . . . . . . . : office-pc\n"
              "   DNS Servers . . . . . . . . . . . : 10.0.0.2\n"
              "                                       10.0.0.3\n"
              "\n"
              "Ethernet adapter eth0:\n"
              "\n"
              "   Connection-specific DNS Suffix  . : \n"
              "   Description . . . . . . . . . . . : Intel Corporation 82540EM Gigabit Ethernet "
              "Controller\n"
              "   Physical Address. . . . . . . . . : 52-54-00-12-34-56\n"
              "   DHCP Enabled. . . . . . . . . . . : No\n"
              "   IPv4 Address. . . . . . . . . . . : 10.0.0.5(Preferred)\n"
              "   Subnet Mask . . . . . . . . . . . : 255.255.255.0\n"
              "   IPv4 Address. . . . . . . . . . . : 10.0.0.6(Preferred)\n"
              "   Subnet Mask . . . . . . . . . . . : 255.255.0.0\n"
              "   Default Gateway . . . . . . . . . : 10.0.0.1\n"
              "   DNS Servers . . . . . . . . . . . : 10.0.0.2\n"
              "                                       10.0.0.3\n"
              "\n"
              "Wireless LAN adapter wlan0:\n"
              "\n"
              "   Media State . . . . . . . . . . . : Media disconnected\n"
              "   Connection-specific DNS Suffix  . : \n"
              "   Description . . . . . . . . . . . : iwlwifi\n"
              "   Physical Address. . . . . . . . . : 00-11-22-33-44-55\n"
              "   DHCP Enabled. . . . . . . . . . . : Yes\n"
              "\n"
              "Ethernet adapter veth1:\n"
              "\n"
              "   Connection-specific DNS Suffix  . : lab.example\n"
              "   Description . . . . . . . . . . . : veth\n"
              "   Physical Address. . . . . . . . . : AA-BB-CC-DD-EE-FF\n"
              "   DHCP Enabled. . . . . . . . . . . : Yes\n"
              "   IPv4 Address. . . . . . . . . . . : 10.213.1.77(Preferred)\n"
              "   Subnet Mask . . . . . . . . . . . : 255.255.255.0\n"
              "   Lease Obtained. . . . . . . . . . : Monday, 01 January 2024 10:00:00\n"
              "   Lease Expires . . . . . . . . . . : Monday, 01 January 2024 11:00:00\n"
              "   Default Gateway . . . . . . . . . : 10.213.1.1\n"
              "   DHCP Server . . . . . . . . . . . : 10.213.1.1\n"
              "   DNS Servers . . . . . . . . . . . : 10.213.1.53\n");
}

TEST(Report, ShortFormKeepsAddressesMasksAndGateways) {
    IpConfigModel model = Captured();
    model.adapters.resize(2);
    EXPECT_EQ(FormatIpConfig(model, false),
              "\n"
              "Linux IP Configuration\n"
              "\n"
              "\n"
              "Ethernet adapter eth0:\n"
              "\n"
              "   Connection-specific DNS Suffix  . : \n"
              "   IPv4 Address. . . . . . . . . . . : 10.0.0.5\n"
              "   Subnet Mask . . . . . . . . . . . : 255.255.255.0\n"
              "   IPv4 Address. . . . . . . . . . . : 10.0.0.6\n"
              "   Subnet Mask . . . . . . . . . . . : 255.255.0.0\n"
              "   Default Gateway . . . . . . . . . : 10.0.0.1\n"
              "\n"
              "Wireless LAN adapter wlan0:\n"
              "\n"
              "   Media State . . . . . . . . . . . : Media disconnected\n"
              "   Connection-specific DNS Suffix  . : \n");
}

TEST(Report, EmptyListsStillPrintTheirLabel) {
    IpConfigModel model;
    model.hostName = "h";
    AdapterModel bare;
    bare.name = "eth9";
    bare.kind = "Ethernet";
    bare.connected = true;
    model.adapters.push_back(bare);
    std::string text = FormatIpConfig(model, true);
    EXPECT_NE(text.find("   DNS Servers . . . . . . . . . . . : \n\nEthernet"), std::string::npos);
    EXPECT_NE(text.find("   Default Gateway . . . . . . . . . : \n"), std::string::npos);
    EXPECT_EQ(text.find("IPv4 Address"), std::string::npos);
    EXPECT_EQ(text.find("DHCP Server"), std::string::npos);
}

TEST(Options, AcceptsTheFourFormsOnly) {
    EXPECT_EQ(ParseOptions({})->mode, Mode::Short);
    EXPECT_EQ(ParseOptions({"/all"})->mode, Mode::All);
    EXPECT_EQ(ParseOptions({"-ALL"})->mode, Mode::All);
    auto renew = ParseOptions({"/Renew", "eth0"});
    ASSERT_TRUE(renew);
    EXPECT_EQ(renew->mode, Mode::Renew);
    EXPECT_EQ(renew->adapter, "eth0");
    EXPECT_EQ(ParseOptions({"/release"})->adapter, "");
    EXPECT_FALSE(ParseOptions({"/all", "eth0"}));
    EXPECT_FALSE(ParseOptions({"all"}));
    EXPECT_FALSE(ParseOptions({"/renew", "eth0", "eth1"}));
    EXPECT_FALSE(ParseOptions({"/flushdns"}));
    EXPECT_FALSE(ParseOptions({"/"}));
}

}  // namespace
}  // namespace quorv::ipconfig
