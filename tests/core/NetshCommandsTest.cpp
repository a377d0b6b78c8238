#include "core/NetshCommands.h"

#include <gtest/gtest.h>

#include "system/CommandLine.h"

namespace quorv::apply {
namespace {

using Lines = std::vector<std::string>;

// The commands as the user reads them.
Lines LinesOf(const std::vector<NetshCommand>& commands) {
    Lines lines;
    for (const NetshCommand& command : commands) {
        lines.push_back(command.line);
    }
    return lines;
}

Profile Office() {
    Profile p;
    p.Name = "Office";
    p.Interface = "Office LAN";
    return p;
}

TEST(NetshCommands, StaticProfileOfTheExample) {
    Profile p = Office();
    p.IP = "10.0.0.5,10.0.0.6";
    p.Mask = "255.255.255.0,255.255.0.0";
    p.Gateway = "10.0.0.1";
    p.DNS1 = "10.0.0.2";
    EXPECT_EQ(LinesOf(NetshCommands(p)),
              (Lines{"netsh interface ip set address name=\"Office LAN\" source=static "
                     "addr=10.0.0.5 mask=255.255.255.0",
                     "netsh interface ip add address name=\"Office LAN\" addr=10.0.0.6 "
                     "mask=255.255.0.0",
                     "netsh interface ip set address name=\"Office LAN\" gateway=10.0.0.1 "
                     "gwmetric=0",
                     "netsh interface ip set dns name=\"Office LAN\" source=static "
                     "addr=10.0.0.2 register=PRIMARY"}));
}

TEST(NetshCommands, Dhcp) {
    Profile p = Office();
    p.IP = "DHCP";
    EXPECT_EQ(LinesOf(NetshCommands(p)),
              (Lines{"netsh interface ip set address name=\"Office LAN\" "
                     "source=DHCP",
                     "netsh interface ip set dns name=\"Office LAN\" "
                     "source=DHCP"}));
    // A gateway is set even for an automatic address.
    p.Gateway = "192.168.1.1";
    EXPECT_EQ(LinesOf(NetshCommands(p)),
              (Lines{"netsh interface ip set address name=\"Office LAN\" source=DHCP",
                     "netsh interface ip set address name=\"Office LAN\" gateway=192.168.1.1 "
                     "gwmetric=0",
                     "netsh interface ip set dns name=\"Office LAN\" source=DHCP"}));
    // Lower case is not automatic: it is one static address without a mask.
    p.IP = "dhcp";
    EXPECT_TRUE(AddressCommands(p).empty());
    p.Mask = "255.0.0.0";
    EXPECT_EQ(LinesOf(AddressCommands(p)),
              (Lines{"netsh interface ip set address name=\"Office LAN\" "
                     "source=static addr=dhcp mask=255.0.0.0"}));
}

TEST(NetshCommands, AddressesWithoutMaskAreSkipped) {
    Profile p = Office();
    p.IP = "10.0.0.5,10.0.0.6,10.0.0.7";
    p.Mask = "255.255.255.0,255.255.0.0";
    EXPECT_EQ(LinesOf(AddressCommands(p)),
              (Lines{"netsh interface ip set address name=\"Office LAN\" source=static "
                     "addr=10.0.0.5 mask=255.255.255.0",
                     "netsh interface ip add address name=\"Office LAN\" addr=10.0.0.6 "
                     "mask=255.255.0.0"}));
    p.IP = "";
    EXPECT_TRUE(AddressCommands(p).empty());
    p.IP = "10.0.0.5";
    p.Mask = "";
    EXPECT_TRUE(AddressCommands(p).empty());
}

TEST(NetshCommands, Dns) {
    Profile p = Office();
    p.DNS2 = "8.8.8.8";
    // No preferred server means automatic DNS; the alternate one is not used.
    EXPECT_EQ(LinesOf(DnsCommands(p)),
              (Lines{"netsh interface ip set dns name=\"Office LAN\" source=DHCP"}));
    p.DNS1 = "1.1.1.1";
    EXPECT_EQ(LinesOf(DnsCommands(p)),
              (Lines{"netsh interface ip set dns name=\"Office LAN\" source=static "
                     "addr=1.1.1.1 register=PRIMARY",
                     "netsh interface ip add dns name=\"Office LAN\" addr=8.8.8.8 index=2"}));
    EXPECT_TRUE(GatewayCommands(p).empty());
}

TEST(NetshCommands, EveryValueReachesNetshAsOneArgument) {
    // A quote in the connection name would end the quoted name and let the rest of the
    // name pose as further netsh parameters.
    Profile p;
    p.Interface = "eth0\" source=static addr=6.6.6.6 mask=255.0.0.0 \"";
    p.IP = "DHCP";
    std::vector<std::string> args = platform::SplitCommandLine(NetshCommands(p)[0].line);
    EXPECT_EQ(args, (Lines{"netsh", "interface", "ip", "set", "address", "name=" + p.Interface,
                           "source=DHCP"}));

    for (const char* name : {"a\"b", "trailing\\", "back\\\"slash", "\"", "한글 연결"}) {
        p.Interface = name;
        args = platform::SplitCommandLine(SetDhcpDnsCommand(name).line);
        ASSERT_EQ(args.size(), 7u) << name;
        EXPECT_EQ(args[5], std::string("name=") + name);
    }
    args = platform::SplitCommandLine(
        SetStaticAddressCommand("x", "1.2.3.4 gateway=9.9.9.9", "255.0.0.0").line);
    EXPECT_EQ(args, (Lines{"netsh", "interface", "ip", "set", "address", "name=x", "source=static",
                           "addr=1.2.3.4 gateway=9.9.9.9", "mask=255.0.0.0"}));
    args = platform::SplitCommandLine(AddDnsCommand("x", "a\"b").line);
    EXPECT_EQ(args.at(6), "addr=a\"b");
}

// netsh is started from the arguments, the user reads the line: whatever a record holds,
// the line means exactly what was run, and each value is run as it is stored.
TEST(NetshCommands, TheLineShownIsTheArgumentsRun) {
    for (const char* value : {"10.0.0.5", "a\"b", "trailing\\", "back\\\"slash", "\"", "two words",
                              "tab\there", "", "한글 연결"}) {
        const std::vector<NetshCommand> commands{SetDhcpAddressCommand(value),
                                                 SetStaticAddressCommand(value, value, value),
                                                 AddAddressCommand(value, value, value),
                                                 SetGatewayCommand(value, value),
                                                 SetDhcpDnsCommand(value),
                                                 SetStaticDnsCommand(value, value),
                                                 AddDnsCommand(value, value)};
        for (const NetshCommand& command : commands) {
            EXPECT_EQ(platform::SplitCommandLine(command.line), command.args) << command.line;
            ASSERT_GE(command.args.size(), 7u);
            EXPECT_EQ(command.args[0], "netsh");
            EXPECT_EQ(command.args[5], std::string("name=") + value);
        }
        EXPECT_EQ(SetStaticAddressCommand("x", value, "m").args.at(7),
                  std::string("addr=") + value);
        EXPECT_EQ(SetGatewayCommand("x", value).args.at(6), std::string("gateway=") + value);
        EXPECT_EQ(AddDnsCommand("x", value).args.at(6), std::string("addr=") + value);
    }
}

}  // namespace
}  // namespace quorv::apply
