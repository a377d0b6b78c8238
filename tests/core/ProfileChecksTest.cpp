#include <gtest/gtest.h>

#include "core/ProfileChecks.h"

namespace quorv::apply {
namespace {

Profile Static() {
    Profile p;
    p.Name = "office";
    p.Interface = "lan0";
    p.SetAddresses({"10.0.0.5", "10.0.1.6"}, {"255.255.255.0", "255.255.0.0"});
    p.Gateway = "10.0.0.1";
    p.DNS1 = "10.0.0.2";
    p.DNS2 = "127.0.0.53";
    p.Script = "ipconfig /all\r\necho done";
    return p;
}

std::string Reason(const Profile& p) {
    try {
        CheckProfileValues(p);
    } catch (const RefusedValue& e) {
        return e.what();
    }
    return "";
}

TEST(ProfileChecks, AcceptsWhatNetshApplies) {
    EXPECT_EQ(Reason(Static()), "");
    Profile dhcp = Static();
    dhcp.SetDhcp();
    dhcp.SetAutomaticDns();
    EXPECT_EQ(Reason(dhcp), "");
    // Point-to-point and host routes have no network or broadcast address.
    Profile p = Static();
    p.SetAddresses({"10.0.0.0", "10.0.0.255"}, {"255.255.255.254", "255.255.255.255"});
    EXPECT_EQ(Reason(p), "");
    // The kernel takes names of up to 15 bytes.
    p.Interface = std::string(kMaxInterfaceName, 'e');
    EXPECT_EQ(Reason(p), "");
}

TEST(ProfileChecks, OnlyThirtyOneAndThirtyTwoBitSubnetsLackNetworkAndBroadcast) {
    const Ipv4 base = *ParseIpv4("10.0.0.4");
    EXPECT_FALSE(IsHostInSubnet(base, 30));
    EXPECT_TRUE(IsHostInSubnet(base + 1, 30));
    EXPECT_TRUE(IsHostInSubnet(base + 2, 30));
    EXPECT_FALSE(IsHostInSubnet(base + 3, 30));
    for (int prefix : {31, 32}) {
        EXPECT_TRUE(IsHostInSubnet(base, prefix)) << prefix;
        EXPECT_TRUE(IsHostInSubnet(base + 1, prefix)) << prefix;
    }
    Profile p = Static();
    p.SetAddresses({"10.0.0.7"}, {"255.255.255.252"});
    EXPECT_NE(Reason(p).find("is the network or broadcast address of its subnet 10.0.0.4/30"),
              std::string::npos)
        << Reason(p);
}

TEST(ProfileChecks, RefusesValuesNetshWouldRefuse) {
    struct Case {
        const char* what;
        void (*change)(Profile&);
        const char* reason;
    } cases[] = {
        {"non-contiguous mask", [](Profile& p) { p.Mask = "255.0.255.0"; }, "is not a subnet mask"},
        {"zero mask", [](Profile& p) { p.Mask = "0.0.0.0"; }, "is not a subnet mask"},
        {"leading zero", [](Profile& p) { p.IP = "10.0.0.05"; }, "without leading zeros"},
        {"blank inside", [](Profile& p) { p.Gateway = "10.0.0.1 "; }, "without leading zeros"},
        {"0.0.0.0", [](Profile& p) { p.IP = "0.0.0.0"; }, "is not an address a host can use"},
        {"broadcast", [](Profile& p) { p.IP = "255.255.255.255"; }, "a host can use"},
        {"loopback", [](Profile& p) { p.IP = "127.0.0.1"; }, "a host can use"},
        {"gateway 0.0.0.0", [](Profile& p) { p.Gateway = "0.0.0.0"; }, "gateway \"0.0.0.0\""},
        {"network address", [](Profile& p) { p.IP = "10.0.0.0"; }, "network or broadcast"},
        {"broadcast of subnet", [](Profile& p) { p.IP = "10.0.0.255"; }, "network or broadcast"},
        {"second address", [](Profile& p) { p.IP = "10.0.0.5,10.0.255.255"; },
         "network or broadcast"},
        {"multicast DNS", [](Profile& p) { p.DNS1 = "224.0.0.251"; }, "DNS server \"224.0.0.251\""},
        {"DNS2 0.0.0.0", [](Profile& p) { p.DNS2 = "0.0.0.0"; }, "DNS server \"0.0.0.0\""},
        {"lower-case dhcp", [](Profile& p) { p.IP = "dhcp"; }, "IP address \"dhcp\""},
        {"empty item", [](Profile& p) { p.IP = "10.0.0.5,,10.0.0.6"; }, "IP address \"\""},
        {"long IP list", [](Profile& p) { p.IP = std::string(300, '1'); }, "IP list is longer"},
        {"interface too long", [](Profile& p) { p.Interface = std::string(16, 'e'); },
         "longer than 15 bytes"},
        {"interface as option", [](Profile& p) { p.Interface = "-x"; }, "starts with \"-\""},
        {"interface empty", [](Profile& p) { p.Interface.clear(); }, "is empty"},
        {"interface slash", [](Profile& p) { p.Interface = "a/b"; }, "\"/\""},
        {"interface blank", [](Profile& p) { p.Interface = "Office LAN"; }, "a blank"},
        {"interface dots", [](Profile& p) { p.Interface = ".."; }, "not allowed"},
    };
    for (const Case& c : cases) {
        Profile p = Static();
        c.change(p);
        std::string reason = Reason(p);
        EXPECT_NE(reason.find(c.reason), std::string::npos) << c.what << ": " << reason;
    }
}

TEST(ProfileChecks, ScriptLimits) {
    EXPECT_NO_THROW(CheckScript(""));
    std::string lines;
    for (int i = 0; i < 1000; ++i) {
        lines += "x\r\n";
    }
    EXPECT_NO_THROW(CheckScript(lines));
    EXPECT_THROW(CheckScript(lines + "x"), RefusedValue);
    // Bare CR and LF end lines as well.
    EXPECT_THROW(CheckScript(std::string(1001, '\n')), RefusedValue);
    EXPECT_NO_THROW(CheckScript(std::string(1000, '\r')));

    EXPECT_NO_THROW(CheckScript(std::string(kMaxScriptBytes, 'a')));
    EXPECT_THROW(CheckScript(std::string(kMaxScriptBytes + 1, 'a')), RefusedValue);
    try {
        CheckScript(std::string("echo a\0rm -rf /", 15));
        ADD_FAILURE() << "a NUL was accepted";
    } catch (const RefusedValue& e) {
        EXPECT_STREQ(e.what(), "the script contains a NUL character");
    }
    Profile p = Static();
    p.Script = std::string(kMaxScriptBytes + 1, 'a');
    EXPECT_NE(Reason(p).find("script is longer than 65536 bytes"), std::string::npos);
}

TEST(ProfileChecks, ReasonsShowHostileTextEscapedAndCut) {
    Profile p = Static();
    p.Interface = "\x1b[2J" + std::string(100, 'x');
    std::string reason = Reason(p);
    EXPECT_EQ(reason.find('\x1b'), std::string::npos);
    EXPECT_NE(reason.find("\\x1B[2J"), std::string::npos);
    EXPECT_LT(reason.size(), 150u);
}

// The column and item a refusal names, as "Column[item]".
std::string Where(const Profile& p) {
    try {
        CheckProfileValues(p);
    } catch (const RefusedValue& e) {
        return e.Column + "[" + std::to_string(e.Item) + "]";
    }
    return "";
}

TEST(ProfileChecks, TheGatewayMustBeOnALinkOfTheProfile) {
    Profile p = Static();      // 10.0.0.5/24 and 10.0.1.6/16
    p.Gateway = "10.0.200.1";  // in the second subnet only
    EXPECT_EQ(Reason(p), "");
    p.Gateway = "10.1.0.1";
    EXPECT_EQ(Reason(p),
              "gateway 10.1.0.1 is in none of the profile's subnets (10.0.0.0/24, 10.0.0.0/16)");
    EXPECT_EQ(Where(p), "Gateway[-1]");
    // netsh adds the gateway on-link beside a /31 or /32 address.
    for (const char* mask : {"255.255.255.254", "255.255.255.255"}) {
        p.SetAddresses({"10.0.0.5", "192.0.2.7"}, {"255.255.255.0", mask});
        EXPECT_EQ(Reason(p), "") << mask;
    }
    // No address: nothing to judge it against.
    p.SetDhcp();
    p.Gateway = "10.1.0.1";
    EXPECT_EQ(Reason(p), "");
}

TEST(ProfileChecks, ARefusalNamesItsColumnAndItem) {
    Profile p = Static();
    p.IP = "10.0.0.5,10.0.255.255";
    EXPECT_EQ(Where(p), "IP[1]");
    p = Static();
    p.Mask = "255.255.255.0,255.0.255.0";
    EXPECT_EQ(Where(p), "Mask[1]");
    p = Static();
    p.DNS2 = "239.1.1.1";
    EXPECT_EQ(Where(p), "DNS2[-1]");
    p = Static();
    p.Interface = "Local Area Connection";
    EXPECT_EQ(Where(p), "Interface[-1]");
    p = Static();
    p.Script = std::string("a\0b", 3);
    EXPECT_EQ(Where(p), "Script[-1]");
}

TEST(ProfileChecks, TheDialogsGiveEveryAddressItsMask) {
    Profile p = Static();
    EXPECT_NO_THROW(CheckMaskPerAddress(p));
    // The trailing comma of an empty last mask leaves no item.
    p.Mask = "255.255.255.0,";
    EXPECT_NO_THROW(CheckProfileValues(p));
    try {
        CheckMaskPerAddress(p);
        ADD_FAILURE() << "a missing mask was accepted";
    } catch (const RefusedValue& e) {
        EXPECT_STREQ(e.what(), "IP address \"10.0.1.6\" has no subnet mask");
        EXPECT_EQ(e.Column + "[" + std::to_string(e.Item) + "]", "Mask[1]");
    }
    p.SetDhcp();
    EXPECT_NO_THROW(CheckMaskPerAddress(p));
}

TEST(ProfileChecks, SettingsLeaveAForeignConnectionNameAlone) {
    for (const char* name : {"Local Area Connection", "", "a-very-long-adapter-name", "eth0"}) {
        Profile p = Static();
        p.Interface = name;
        EXPECT_NO_THROW(CheckProfileSettings(p)) << name;
        p.Gateway = "192.0.2.1";
        EXPECT_THROW(CheckProfileSettings(p), RefusedValue) << name;
    }
}

TEST(ProfileChecks, ClassfulMasksAndNames) {
    const auto mask = [](const char* address) {
        auto m = ClassfulMask(*ParseIpv4(address));
        return m ? FormatIpv4(*m) : std::string("none");
    };
    EXPECT_EQ(mask("10.20.30.40"), "255.0.0.0");
    EXPECT_EQ(mask("127.0.0.1"), "255.0.0.0");
    EXPECT_EQ(mask("128.0.0.1"), "255.255.0.0");
    EXPECT_EQ(mask("191.255.0.1"), "255.255.0.0");
    EXPECT_EQ(mask("192.0.2.2"), "255.255.255.0");
    EXPECT_EQ(mask("223.1.1.1"), "255.255.255.0");
    EXPECT_EQ(mask("224.0.0.1"), "none");

    EXPECT_NO_THROW(CheckProfileName("Office"));
    EXPECT_THROW(CheckProfileName(""), RefusedValue);
    EXPECT_THROW(CheckProfileName("Office\tLAN"), RefusedValue);
    EXPECT_THROW(CheckProfileName("\x7f"), RefusedValue);
}

TEST(ProfileChecks, DnsServerCount) {
    EXPECT_NO_THROW(CheckDnsServerCount(kMaxDnsServers));
    EXPECT_THROW(CheckDnsServerCount(kMaxDnsServers + 1), RefusedValue);
}

}  // namespace
}  // namespace quorv::apply
