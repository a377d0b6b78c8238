#include <gtest/gtest.h>

#include "netsh/AddressParsing.h"
#include "netsh/Command.h"
#include "netsh/Netlink.h"

namespace quorv::netsh {
namespace {

std::vector<std::string> Args(std::initializer_list<const char*> tail) {
    std::vector<std::string> out{"interface", "ip"};
    out.insert(out.end(), tail.begin(), tail.end());
    return out;
}

std::string ErrorOf(const std::vector<std::string>& args) {
    try {
        ParseCommand(args);
    } catch (const NetshError& e) {
        return e.what();
    }
    return "";
}

TEST(Ipv4, ParsesOnlyStrictDottedQuads) {
    EXPECT_EQ(ParseIpv4("10.0.0.5"), 0x0a000005u);
    EXPECT_EQ(ParseIpv4("255.255.255.255"), 0xffffffffu);
    for (const char* bad :
         {"", "1.2.3", "1.2.3.4.5", "256.0.0.1", "010.0.0.1", "1..3.4", " 1.2.3.4", "1.2.3.4 ",
          "1.2.3.-4", "1.2.3.4;", "0x1.2.3.4", "1.2.3.1000"}) {
        EXPECT_FALSE(ParseIpv4(bad)) << bad;
    }
    EXPECT_EQ(FormatIpv4(0xc0a80001u), "192.168.0.1");
}

TEST(Ipv4, MasksMustBeContiguous) {
    EXPECT_EQ(MaskToPrefix(0xffffff00u), 24);
    EXPECT_EQ(MaskToPrefix(0xffffffffu), 32);
    EXPECT_EQ(MaskToPrefix(0), 0);
    EXPECT_FALSE(MaskToPrefix(0xff00ff00u));
    EXPECT_FALSE(MaskToPrefix(0x00ffffffu));
    EXPECT_EQ(PrefixToMask(16), 0xffff0000u);
}

TEST(ParseCommand, TheSevenForms) {
    Command c = ParseCommand(Args({"set", "address", "name=Office LAN", "source=DHCP"}));
    EXPECT_EQ(c.action, Action::SetAddressDhcp);
    EXPECT_EQ(c.name, "Office LAN");

    c = ParseCommand(Args(
        {"set", "address", "name=eth0", "source=static", "addr=10.0.0.5", "mask=255.255.255.0"}));
    EXPECT_EQ(c.action, Action::SetAddressStatic);
    EXPECT_EQ(c.address, 0x0a000005u);
    EXPECT_EQ(c.prefix, 24);

    c = ParseCommand(Args({"add", "address", "name=eth0", "addr=10.0.0.6", "mask=255.255.0.0"}));
    EXPECT_EQ(c.action, Action::AddAddress);
    EXPECT_EQ(c.prefix, 16);

    c = ParseCommand(Args({"set", "address", "name=eth0", "gateway=10.0.0.1", "gwmetric=0"}));
    EXPECT_EQ(c.action, Action::SetGateway);
    EXPECT_EQ(c.gateway, 0x0a000001u);
    EXPECT_EQ(c.metric, 0u);

    c = ParseCommand(Args({"set", "dns", "name=eth0", "source=DHCP"}));
    EXPECT_EQ(c.action, Action::SetDnsDhcp);

    c = ParseCommand(
        Args({"set", "dns", "name=eth0", "source=static", "addr=10.0.0.2", "register=PRIMARY"}));
    EXPECT_EQ(c.action, Action::SetDnsStatic);
    EXPECT_EQ(c.dns, 0x0a000002u);

    c = ParseCommand(Args({"add", "dns", "name=eth0", "addr=10.0.0.3", "index=2"}));
    EXPECT_EQ(c.action, Action::AddDns);
    EXPECT_EQ(c.index, 2);
}

TEST(ParseCommand, KeywordsAndTagsIgnoreCaseAndOrder) {
    Command c = ParseCommand({"INTERFACE", "Ip", "SET", "Address", "MASK=255.255.255.0",
                              "Source=Static", "ADDR=10.0.0.5", "NAME=eth0"});
    EXPECT_EQ(c.action, Action::SetAddressStatic);
    EXPECT_EQ(c.name, "eth0");
    // The connection name keeps its case; only keywords are folded.
    EXPECT_EQ(ParseCommand(Args({"set", "dns", "name=Eth0", "source=dhcp"})).name, "Eth0");
}

TEST(ParseCommand, UnknownFormsNameTheCommand) {
    EXPECT_EQ(ErrorOf(Args({"sett", "address", "name=eth0"})),
              "The following command was not found: interface ip sett address name=eth0.");
    EXPECT_NE(ErrorOf({"interface", "ipv6", "set", "address", "name=eth0", "source=dhcp"})
                  .find("was not found"),
              std::string::npos);
    EXPECT_NE(ErrorOf({"interface"}).find("was not found"), std::string::npos);
    EXPECT_NE(ErrorOf(Args({"delete", "address", "name=eth0"})).find("was not found"),
              std::string::npos);
}

TEST(ParseCommand, SyntaxErrors) {
    struct Case {
        std::vector<std::string> args;
        const char* detail;
    } cases[] = {
        {Args({"set", "address", "source=dhcp"}), "parameter name is missing"},
        {Args({"set", "address", "name=eth0", "source=static", "addr=10.0.0.5"}),
         "parameter mask is missing"},
        {Args({"set", "address", "name=eth0", "source=dhcp", "addr=10.0.0.5"}),
         "addr does not belong"},
        {Args({"set", "address", "name=eth0", "source=auto"}), "source must be dhcp or static"},
        {Args({"set", "address", "name=eth0", "name=eth1", "source=dhcp"}), "given twice"},
        {Args({"set", "address", "name=", "source=dhcp"}), "parameter name has no value"},
        {Args({"set", "address", "eth0", "dhcp"}), "is not of the form tag=value"},
        {Args({"add", "address", "name=eth0", "addr=10.0.0.5", "mask=255.0.0.0",
               "gateway=10.0.0.1"}),
         "unknown parameter"},
        {Args({"set", "dns", "name=eth0", "source=static", "addr=10.0.0.2", "register=always"}),
         "register must be"},
        {Args({"set", "dns", "name=eth0"}), "parameter source is missing"},
    };
    for (const auto& c : cases) {
        std::string error = ErrorOf(c.args);
        EXPECT_EQ(error.rfind("The syntax supplied for this command is not valid: ", 0), 0u)
            << error;
        EXPECT_NE(error.find(c.detail), std::string::npos) << error;
    }
}

TEST(ParseCommand, AddressesAndMasksAreJudgedBeforeAnythingHappens) {
    EXPECT_EQ(ErrorOf(Args({"set", "address", "name=eth0", "source=static", "addr=10.0.0.300",
                            "mask=255.255.255.0"})),
              "Invalid addr parameter (10.0.0.300). It should be a valid IPv4 address.");
    EXPECT_EQ(ErrorOf(Args({"add", "address", "name=eth0", "addr=10.0.0.5", "mask=255.0.255.0"})),
              "Invalid mask parameter (255.0.255.0). It should be a valid subnet mask.");
    EXPECT_NE(ErrorOf(Args({"add", "address", "name=eth0", "addr=10.0.0.5", "mask=0.0.0.0"})), "");
    EXPECT_EQ(ErrorOf(Args({"set", "address", "name=eth0", "gateway=224.0.0.1", "gwmetric=0"})),
              "Invalid gateway parameter (224.0.0.1). It should be a valid IPv4 address.");
    EXPECT_NE(ErrorOf(Args({"set", "address", "name=eth0", "gateway=10.0.0.1", "gwmetric=-1"}))
                  .find("Invalid gwmetric parameter (-1)"),
              std::string::npos);
    EXPECT_NE(ErrorOf(Args({"add", "dns", "name=eth0", "addr=10.0.0.3", "index=0"}))
                  .find("Invalid index parameter (0)"),
              std::string::npos);
    // Network and broadcast addresses of the subnet cannot be a host's address.
    EXPECT_NE(ErrorOf(Args({"add", "address", "name=eth0", "addr=10.0.0.0", "mask=255.255.255.0"}))
                  .find("combination of IP address and subnet mask is invalid"),
              std::string::npos);
    EXPECT_NE(
        ErrorOf(Args({"add", "address", "name=eth0", "addr=10.0.0.255", "mask=255.255.255.0"})),
        "");
    EXPECT_EQ(
        ErrorOf(Args({"add", "address", "name=eth0", "addr=10.0.0.0", "mask=255.255.255.254"})),
        "");
    // A /30 link still has both.
    for (const char* addr : {"addr=10.0.0.4", "addr=10.0.0.7"}) {
        EXPECT_NE(ErrorOf(Args({"add", "address", "name=eth0", addr, "mask=255.255.255.252"}))
                      .find("combination of IP address and subnet mask is invalid"),
                  std::string::npos)
            << addr;
    }
    EXPECT_EQ(
        ErrorOf(Args({"add", "address", "name=eth0", "addr=10.0.0.5", "mask=255.255.255.252"})),
        "");
    EXPECT_EQ(
        ErrorOf(Args({"add", "address", "name=eth0", "addr=10.0.0.7", "mask=255.255.255.255"})),
        "");
    // A name that dhclient or resolvectl would read as an option.
    EXPECT_EQ(ErrorOf(Args({"set", "address", "name=-x", "source=dhcp"})),
              "Invalid name parameter (-x). An interface name cannot start with \"-\".");
    EXPECT_NE(ErrorOf(Args({"set", "dns", "name=--help", "source=dhcp"})), "");
    // A local stub resolver is a valid DNS server, though not a host address.
    EXPECT_EQ(ErrorOf(Args({"set", "dns", "name=eth0", "source=static", "addr=127.0.0.53"})), "");
    EXPECT_NE(ErrorOf(Args({"add", "address", "name=eth0", "addr=127.0.0.2", "mask=255.0.0.0"})),
              "");
}

TEST(InterfaceNames, OnlyNamesTheKernelCouldHoldReachIt) {
    EXPECT_TRUE(IsPlausibleInterfaceName("eth0"));
    EXPECT_TRUE(IsPlausibleInterfaceName(std::string(15, 'e')));
    EXPECT_FALSE(IsPlausibleInterfaceName(std::string(16, 'e')));
    for (const char* name : {"", ".", "..", "a/b", "a:1", "a b", "a\x7f"}) {
        EXPECT_FALSE(IsPlausibleInterfaceName(name)) << name;
    }
}

TEST(AddDns, PlacesTheServerAndRefusesAFourth) {
    Command add = ParseCommand(Args({"add", "dns", "name=eth0", "addr=10.0.0.3", "index=1"}));
    EXPECT_EQ(WithAddedDns({"10.0.0.1", "10.0.0.2"}, add),
              (std::vector<std::string>{"10.0.0.3", "10.0.0.1", "10.0.0.2"}));
    // Already there: moved, not counted twice.
    EXPECT_EQ(WithAddedDns({"10.0.0.1", "10.0.0.2", "10.0.0.3"}, add),
              (std::vector<std::string>{"10.0.0.3", "10.0.0.1", "10.0.0.2"}));
    try {
        WithAddedDns({"10.0.0.1", "10.0.0.2", "10.0.0.4"}, add);
        ADD_FAILURE() << "a fourth server was taken";
    } catch (const NetshError& e) {
        EXPECT_NE(std::string(e.what()).find("already has 3 DNS servers"), std::string::npos);
    }
}

TEST(ParseCommand, HostileTextIsQuotedSafelyAndCut) {
    std::string error = ErrorOf(Args({"set", "address", "name=eth0", "source=static",
                                      "addr=1.2.3.4\"; reboot; \"", "mask=255.0.0.0"}));
    EXPECT_EQ(error,
              "Invalid addr parameter (1.2.3.4\"; reboot; \"). It should be a valid IPv4 address.");

    std::string escape = ErrorOf(Args({"set", "address", "name=eth0", "source=\x1b[2Jx\n"}));
    EXPECT_EQ(escape.find('\x1b'), std::string::npos);
    EXPECT_EQ(escape.find('\n'), std::string::npos);
    EXPECT_NE(escape.find("\\x1B[2Jx\\x0A"), std::string::npos);

    std::string longValue(100000, 'A');
    std::string cut = ErrorOf(
        Args({"add", "address", "name=eth0", ("addr=" + longValue).c_str(), "mask=255.0.0.0"}));
    EXPECT_LT(cut.size(), 200u);
    EXPECT_NE(cut.find("AAA...)"), std::string::npos);
}

TEST(Printable, KeepsUtf8WholeWhenCutting) {
    // Korean connection names are common; a cut never splits a character.
    std::string name = "\xEB\xA1\x9C\xEC\xBB\xAC";  // two three-byte characters
    EXPECT_EQ(Printable(name, 1), "\xEB\xA1\x9C...");
    EXPECT_EQ(Printable(name), name);
}

}  // namespace
}  // namespace quorv::netsh
