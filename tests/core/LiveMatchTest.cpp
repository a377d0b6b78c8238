#include "core/LiveMatch.h"

#include <gtest/gtest.h>

namespace quorv::apply {
namespace {

using inventory::LiveAdapter;
using inventory::LiveState;

LiveAdapter StaticAdapter() {
    LiveAdapter a;
    a.name = "eth0";
    a.addresses = {{"10.0.0.5", "255.0.0.0"}, {"192.168.7.2", "255.255.255.0"}};
    a.gateway = "10.0.0.1";
    a.dns = {"10.0.0.53", "10.0.0.54"};
    a.dnsOwn = true;
    return a;
}

Profile StaticProfile() {
    Profile p;
    p.Interface = "eth0";
    p.IP = "10.0.0.5,192.168.7.2";
    p.Mask = "255.0.0.0,255.255.255.0";
    p.Gateway = "10.0.0.1";
    p.DNS1 = "10.0.0.53";
    p.DNS2 = "10.0.0.54";
    return p;
}

LiveState With(LiveAdapter adapter, std::optional<std::string> printer = std::string()) {
    LiveState live;
    live.adapters.push_back(std::move(adapter));
    live.defaultPrinter = std::move(printer);
    return live;
}

TEST(LiveMatch, StaticProfileMatchesOnlyItsAddressesInOrder) {
    EXPECT_EQ(MatchLive(StaticProfile(), With(StaticAdapter())), LiveMismatch::None);

    LiveAdapter swapped = StaticAdapter();
    std::swap(swapped.addresses[0], swapped.addresses[1]);
    EXPECT_EQ(MatchLive(StaticProfile(), With(swapped)), LiveMismatch::Addresses);

    LiveAdapter extra = StaticAdapter();
    extra.addresses.push_back({"172.16.0.1", "255.255.0.0"});
    EXPECT_EQ(MatchLive(StaticProfile(), With(extra)), LiveMismatch::Addresses);

    LiveAdapter otherMask = StaticAdapter();
    otherMask.addresses[1].mask = "255.255.0.0";
    EXPECT_EQ(MatchLive(StaticProfile(), With(otherMask)), LiveMismatch::Addresses);

    // The apply run skips an address without a mask of its own, so the adapter lacks it too.
    Profile oneMask = StaticProfile();
    oneMask.Mask = "255.0.0.0";
    LiveAdapter first = StaticAdapter();
    first.addresses.resize(1);
    EXPECT_EQ(MatchLive(oneMask, With(first)), LiveMismatch::None);

    // Text that is not a strict dotted quad is never what an adapter has.
    Profile padded = StaticProfile();
    padded.IP = "010.0.0.5,192.168.7.2";
    EXPECT_EQ(MatchLive(padded, With(StaticAdapter())), LiveMismatch::Addresses);
}

TEST(LiveMatch, MethodAndAdapterComeFirst) {
    Profile dhcp;
    dhcp.Interface = "eth0";
    dhcp.SetDhcp();
    EXPECT_EQ(MatchLive(dhcp, With(StaticAdapter())), LiveMismatch::Method);

    LiveAdapter leased = StaticAdapter();
    leased.dhcp = true;
    EXPECT_EQ(MatchLive(StaticProfile(), With(leased)), LiveMismatch::Method);
    // Address, gateway and servers are the lease's business.
    EXPECT_EQ(MatchLive(dhcp, With(leased)), LiveMismatch::None);

    // "dhcp" in lower case is an address list to the apply run, so it is here.
    Profile lower = dhcp;
    lower.IP = "dhcp";
    EXPECT_EQ(MatchLive(lower, With(leased)), LiveMismatch::Method);

    Profile elsewhere = StaticProfile();
    elsewhere.Interface = "eth1";
    EXPECT_EQ(MatchLive(elsewhere, With(StaticAdapter())), LiveMismatch::NoAdapter);
    EXPECT_EQ(MatchLive(StaticProfile(), LiveState{}), LiveMismatch::NoAdapter);
}

TEST(LiveMatch, GatewayMustBeTheSameOrAbsentOnBothSides) {
    Profile noGateway = StaticProfile();
    noGateway.Gateway.clear();
    EXPECT_EQ(MatchLive(noGateway, With(StaticAdapter())), LiveMismatch::Gateway);
    LiveAdapter bare = StaticAdapter();
    bare.gateway.clear();
    EXPECT_EQ(MatchLive(noGateway, With(bare)), LiveMismatch::None);
    EXPECT_EQ(MatchLive(StaticProfile(), With(bare)), LiveMismatch::Gateway);
}

TEST(LiveMatch, DnsServersCompareInOrder) {
    LiveAdapter swapped = StaticAdapter();
    std::swap(swapped.dns[0], swapped.dns[1]);
    EXPECT_EQ(MatchLive(StaticProfile(), With(swapped)), LiveMismatch::Dns);

    Profile one = StaticProfile();
    one.DNS2.clear();
    EXPECT_EQ(MatchLive(one, With(StaticAdapter())), LiveMismatch::Dns);

    // DNS2 counts only beside DNS1.
    Profile automatic = StaticProfile();
    automatic.DNS1.clear();
    LiveAdapter none = StaticAdapter();
    none.dns.clear();
    EXPECT_EQ(MatchLive(automatic, With(none)), LiveMismatch::None);
    EXPECT_EQ(MatchLive(automatic, With(StaticAdapter())), LiveMismatch::Dns);

    // The system resolver's list holds other adapters' servers after ours.
    LiveAdapter shared = StaticAdapter();
    shared.dnsOwn = false;
    shared.dns = {"10.0.0.53", "10.0.0.54", "8.8.8.8"};
    EXPECT_EQ(MatchLive(StaticProfile(), With(shared)), LiveMismatch::None);
    EXPECT_EQ(MatchLive(automatic, With(shared)), LiveMismatch::None);
    shared.dns = {"8.8.8.8", "10.0.0.53", "10.0.0.54"};
    EXPECT_EQ(MatchLive(StaticProfile(), With(shared)), LiveMismatch::Dns);
    shared.dns = {"10.0.0.53"};
    EXPECT_EQ(MatchLive(StaticProfile(), With(shared)), LiveMismatch::Dns);

    // With a lease, static servers still have to be the ones in use.
    Profile dhcpStaticDns = StaticProfile();
    dhcpStaticDns.SetDhcp();
    LiveAdapter leased = StaticAdapter();
    leased.dhcp = true;
    EXPECT_EQ(MatchLive(dhcpStaticDns, With(leased)), LiveMismatch::None);
    leased.dns = {"192.0.2.1"};
    EXPECT_EQ(MatchLive(dhcpStaticDns, With(leased)), LiveMismatch::Dns);
}

TEST(LiveMatch, PrinterOnlyWhenTheProfileNamesOne) {
    Profile printing = StaticProfile();
    printing.Printer = "Office";
    EXPECT_EQ(MatchLive(printing, With(StaticAdapter(), "office")), LiveMismatch::None);
    EXPECT_EQ(MatchLive(printing, With(StaticAdapter(), "Lab")), LiveMismatch::Printer);
    EXPECT_EQ(MatchLive(printing, With(StaticAdapter(), "Office2")), LiveMismatch::Printer);
    // A scheduler that does not answer cannot confirm the printer.
    EXPECT_EQ(MatchLive(printing, With(StaticAdapter(), std::nullopt)), LiveMismatch::Printer);
    EXPECT_EQ(MatchLive(StaticProfile(), With(StaticAdapter(), std::nullopt)), LiveMismatch::None);
}

TEST(LiveMatch, CaptureMatchesWhatItWasTakenFrom) {
    LiveAdapter adapter = StaticAdapter();
    adapter.dns.push_back("10.0.0.55");
    adapter.dnsOwn = false;
    Profile captured = CaptureProfile(adapter, "Office");
    EXPECT_EQ(captured.IP, "10.0.0.5,192.168.7.2");
    EXPECT_EQ(captured.Mask, "255.0.0.0,255.255.255.0");
    EXPECT_EQ(captured.DNS1, "10.0.0.53");
    EXPECT_EQ(captured.DNS2, "10.0.0.54");
    EXPECT_EQ(MatchLive(captured, With(adapter, "Office")), LiveMismatch::None);

    LiveAdapter leased = adapter;
    leased.dhcp = true;
    captured = CaptureProfile(leased, "");
    EXPECT_EQ(captured.IP, "DHCP");
    EXPECT_TRUE(captured.Mask.empty() && captured.Gateway.empty() && captured.DNS1.empty());
    EXPECT_EQ(MatchLive(captured, With(leased)), LiveMismatch::None);

    // No servers: the profile takes automatic DNS.
    LiveAdapter quiet = StaticAdapter();
    quiet.dns.clear();
    captured = CaptureProfile(quiet, "");
    EXPECT_TRUE(captured.DNS1.empty());
    EXPECT_EQ(MatchLive(captured, With(quiet)), LiveMismatch::None);
}

}  // namespace
}  // namespace quorv::apply
