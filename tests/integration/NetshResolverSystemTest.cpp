#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <sstream>

#include "Netns.h"

namespace quorv::systest {
namespace {

namespace fs = std::filesystem;

using Servers = std::vector<std::string>;

class NetshResolver : public ::testing::Test {
  protected:
    void SetUp() override {
        if (geteuid() != 0) {
            GTEST_SKIP() << "needs root for network namespaces";
        }
        host_ = HostResolvConfFingerprint();
        net_ = std::make_unique<TestNetwork>(15);
    }

    void TearDown() override {
        net_.reset();
        if (!host_.empty()) {
            EXPECT_EQ(HostResolvConfFingerprint(), host_) << "the host's /etc/resolv.conf changed";
        }
    }

    Result Netsh(const std::vector<std::string>& args, const std::string& killAt = "") {
        RunOptions options;
        if (!killAt.empty()) {
            options.extraEnv = {"LD_PRELOAD=" + BinDir() + "/../tests/libquorv_kill_at.so",
                                "QUORV_KILL_AT=" + killAt};
        }
        return net_->Netsh(args, options);
    }

    void Ok(const std::vector<std::string>& args) {
        Result r = Netsh(args);
        ASSERT_EQ(r.status, 0) << r.err;
    }

    std::string StateDir() const {
        struct stat ns {};
        stat(("/run/netns/" + net_->Client()).c_str(), &ns);
        return "/run/quorv-netsh/net-" + std::to_string(ns.st_ino);
    }

    std::vector<std::string> Temporaries() const {
        std::vector<std::string> out;
        for (const auto& entry : fs::directory_iterator(StateDir())) {
            std::string name = entry.path().filename();
            if (name.find(".quorv-") != std::string::npos) {
                out.push_back(name);
            }
        }
        return out;
    }

    Result Hook(const std::vector<std::string>& env) {
        RunOptions options;
        options.extraEnv = {"reason=BOUND", "interface=lan0"};
        options.extraEnv.insert(options.extraEnv.end(), env.begin(), env.end());
        return net_->InClient({BinDir() + "/quorv-dhclient-hook"}, options);
    }

    std::string A(int host) const { return net_->Address(host); }

    std::string host_;
    std::unique_ptr<TestNetwork> net_;
};

TEST_F(NetshResolver, EachInterfaceKeepsItsServers) {
    // A second interface; veth, since not every kernel has the dummy driver.
    ASSERT_EQ(net_->InClient({"/usr/sbin/ip", "link", "add", "dum0", "type", "veth", "peer", "name",
                              "dum1"})
                  .status,
              0);
    Ok({"set", "dns", "name=lan0", "source=static", "addr=" + A(53)});
    Ok({"add", "dns", "name=lan0", "addr=" + A(54)});
    Ok({"set", "dns", "name=dum0", "source=static", "addr=" + A(60)});
    // The interface changed last comes first; the C library reads three lines at most.
    EXPECT_EQ(Nameservers(net_->ResolvConf()), (Servers{A(60), A(53), A(54)}));
    Ok({"add", "dns", "name=dum0", "addr=" + A(61)});
    EXPECT_EQ(Nameservers(net_->ResolvConf()), (Servers{A(60), A(61), A(53)}));

    // Adapters without a carrier show no servers.
    for (const char* link : {"lan0", "dum0", "dum1"}) {
        ASSERT_EQ(net_->InClient({"/usr/sbin/ip", "link", "set", link, "up"}).status, 0);
    }
    Result all = net_->InClient({BinDir() + "/ipconfig", "/all"});
    ASSERT_EQ(all.status, 0) << all.err;
    std::size_t lan = all.out.find("adapter lan0:"), dum = all.out.find("adapter dum0:");
    ASSERT_NE(lan, std::string::npos);
    ASSERT_NE(dum, std::string::npos);
    for (const auto& [at, server] : {std::pair{lan, A(53)}, std::pair{lan, A(54)},
                                     std::pair{dum, A(60)}, std::pair{dum, A(61)}}) {
        std::size_t next = all.out.find("adapter ", at + 8);
        std::size_t found = all.out.find(server + "\n", at);
        EXPECT_TRUE(found != std::string::npos && found < next) << server << "\n" << all.out;
    }

    // Automatic DNS on one interface leaves the other's servers alone.
    Ok({"set", "dns", "name=dum0", "source=dhcp"});
    EXPECT_EQ(Nameservers(net_->ResolvConf()), (Servers{A(53), A(54)}));
    EXPECT_NE(net_->ResolvConf().find("search quorv.test\n"), std::string::npos);

    Ok({"add", "dns", "name=lan0", "addr=" + A(55)});
    Result fourth = Netsh({"add", "dns", "name=lan0", "addr=" + A(56)});
    EXPECT_EQ(fourth.status, 1);
    EXPECT_NE(fourth.err.find("already has 3 DNS servers"), std::string::npos) << fourth.err;

    // An interface that is gone takes its servers along at the next change.
    Ok({"set", "dns", "name=dum0", "source=static", "addr=" + A(62)});
    ASSERT_EQ(net_->InClient({"/usr/sbin/ip", "link", "del", "dum0"}).status, 0);
    Ok({"set", "dns", "name=lan0", "source=static", "addr=" + A(57)});
    EXPECT_EQ(Nameservers(net_->ResolvConf()), (Servers{A(57)}));
}

TEST_F(NetshResolver, AKillLeavesTheOldOrTheNewTextAndNoTemporaries) {
    Ok({"set", "dns", "name=lan0", "source=static", "addr=" + A(153)});
    Ok({"add", "dns", "name=lan0", "addr=" + A(154)});
    Ok({"add", "dns", "name=lan0", "addr=" + A(155)});
    const std::string expected =
        "# resolver of a quorv test namespace\n"
        "search quorv.test\n"
        "nameserver " +
        A(9) +
        "\n"
        "options ndots:1\n";

    // The namespace's resolv.conf is a bind mount: rewritten in place, and killed before the
    // shorter text is cut to length.
    Result killed =
        Netsh({"set", "dns", "name=lan0", "source=static", "addr=" + A(9)}, "ftruncate");
    ASSERT_EQ(killed.status, 128 + SIGKILL) << killed.err;
    std::string text = net_->ResolvConf();
    EXPECT_EQ(text.substr(0, text.find_last_not_of('\n') + 1) + "\n", expected);
    Ok({"set", "dns", "name=lan0", "source=static", "addr=" + A(9)});
    EXPECT_EQ(net_->ResolvConf(), expected);

    // Killed before a state file's rename: the next write clears the temporary away.
    killed = Netsh({"set", "dns", "name=lan0", "source=static", "addr=" + A(10)}, "rename");
    ASSERT_EQ(killed.status, 128 + SIGKILL) << killed.err;
    EXPECT_FALSE(Temporaries().empty());
    Ok({"set", "dns", "name=lan0", "source=static", "addr=" + A(11)});
    EXPECT_EQ(Temporaries(), std::vector<std::string>{});
    EXPECT_EQ(Nameservers(net_->ResolvConf()), (Servers{A(11)}));
}

TEST_F(NetshResolver, TheDhcpHookTakesOnlyWhatNetshWould) {
    Result r = Hook({"new_ip_address=127.0.0.5", "new_subnet_mask=255.0.0.0"});
    EXPECT_EQ(r.status, 1);
    r = Hook({"new_ip_address=255.255.255.255", "new_subnet_mask=255.255.255.255"});
    EXPECT_EQ(r.status, 1);
    r = Hook({"new_ip_address=" + A(0), "new_subnet_mask=255.255.255.0"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(net_->Addresses().empty());

    std::string servers = "224.0.0.1 0.0.0.0";
    for (int i = 0; i < 20; ++i) {
        servers += " " + A(30 + i);
    }
    r = Hook({"new_ip_address=" + A(120), "new_subnet_mask=255.255.255.0", "new_routers=0.0.0.0",
              "new_domain_name_servers=" + servers});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(net_->Addresses(), (std::vector<std::pair<std::string, int>>{{A(120), 24}}));
    EXPECT_TRUE(net_->DefaultRoutes().empty());
    EXPECT_EQ(Nameservers(net_->ResolvConf()), (Servers{A(30), A(31), A(32)}));
}

TEST_F(NetshResolver, ANameLikeAnOptionNeverReachesDhclient) {
    // The kernel takes such a name; dhclient would read it as its option -x (stop the client).
    ASSERT_EQ(net_->InClient({"/usr/sbin/ip", "link", "add", "name", "-x", "type", "veth", "peer",
                              "name", "y0"})
                  .status,
              0);
    for (const char* form : {"address", "dns"}) {
        Result r = Netsh({"set", form, "name=-x", "source=dhcp"});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err,
                  "Invalid name parameter (-x). An interface name cannot start with \"-\".\n");
    }
    EXPECT_TRUE(net_->LiveProcesses("dhclient").empty());
}

// The kernel gives a new namespace the number of one that is gone; what that one left
// under the number (its DNS servers, its lease, that DHCP was on) is not this one's.
TEST_F(NetshResolver, StateAnEarlierNamespaceLeftUnderTheSameNumberIsDropped) {
    fs::create_directories(StateDir());
    WriteFile(StateDir() + "/dns.lan0", "10.66.0.9\n");
    WriteFile(StateDir() + "/dhcp.lan0", "yes\n");
    WriteFile(StateDir() + "/lease.lan0", "address=10.66.0.7\nmask=255.255.255.0\ndns=10.66.0.8\n");
    ASSERT_EQ(net_->InClient({"/usr/sbin/ip", "link", "set", "lan0", "up"}).status, 0);
    Result all = net_->InClient({BinDir() + "/ipconfig", "/all"});
    ASSERT_EQ(all.status, 0) << all.err;
    EXPECT_EQ(all.out.find("10.66.0."), std::string::npos) << all.out;
    EXPECT_FALSE(fs::exists(StateDir() + "/lease.lan0"));

    // This namespace's own state is kept from one command to the next.
    Ok({"set", "dns", "name=lan0", "source=static", "addr=" + A(53)});
    all = net_->InClient({BinDir() + "/ipconfig", "/all"});
    EXPECT_NE(all.out.find("DNS Servers . . . . . . . . . . . : " + A(53)), std::string::npos)
        << all.out;
    EXPECT_EQ(Nameservers(net_->ResolvConf()), (Servers{A(53)}));
}

}  // namespace
}  // namespace quorv::systest
