#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "Dnsmasq.h"
#include "Netns.h"

namespace quorv::systest {
namespace {

std::string WithoutNameservers(const std::string& conf) {
    std::istringstream in(conf);
    std::string line, out;
    while (std::getline(in, line)) {
        if (line.rfind("nameserver", 0) != 0) {
            out += line + "\n";
        }
    }
    return out;
}

using Addrs = std::vector<std::pair<std::string, int>>;

class NetshSystem : public ::testing::Test {
  protected:
    virtual int Subnet() const = 0;

    void SetUp() override {
        if (geteuid() != 0) {
            GTEST_SKIP() << "needs root for network namespaces";
        }
        host_ = HostResolvConfFingerprint();
        net_ = std::make_unique<TestNetwork>(Subnet());
    }

    void TearDown() override {
        net_.reset();
        if (!host_.empty()) {
            EXPECT_EQ(HostResolvConfFingerprint(), host_) << "the host's /etc/resolv.conf changed";
        }
    }

    void Ok(const std::vector<std::string>& args) {
        Result r = net_->Netsh(args);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
    }

    // One clear line on stderr and status 1.
    std::string Refused(const std::vector<std::string>& args, const RunOptions& options = {}) {
        Result r = net_->Netsh(args, options);
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_LT(r.err.size(), 400u);
        return r.err;
    }

    std::string A(int host) const { return net_->Address(host); }

    std::string host_;
    std::unique_ptr<TestNetwork> net_;
};

class NetshForms : public NetshSystem {
    int Subnet() const override { return 11; }
};

TEST_F(NetshForms, EveryFormChangesWhatItSays) {
    const std::string before = WithoutNameservers(net_->ResolvConf());
    Ok({"set", "address", "name=lan0", "source=static", "addr=" + A(5), "mask=255.255.255.0"});
    EXPECT_EQ(net_->Addresses(), (Addrs{{A(5), 24}}));
    EXPECT_TRUE(net_->ClientLinkUp());

    Ok({"add", "address", "name=lan0", "addr=" + A(6), "mask=255.255.0.0"});
    EXPECT_EQ(net_->Addresses(), (Addrs{{A(5), 24}, {A(6), 16}}));

    Ok({"set", "address", "name=lan0", "gateway=" + A(1), "gwmetric=0"});
    auto routes = net_->DefaultRoutes();
    ASSERT_EQ(routes.size(), 1u);
    EXPECT_EQ(routes[0].gateway, A(1));
    EXPECT_EQ(routes[0].dev, "lan0");
    EXPECT_EQ(routes[0].metric, 0u);

    // A second gateway replaces the first instead of adding to it.
    Ok({"SET", "Address", "NAME=lan0", "Gateway=" + A(2), "GWMETRIC=0"});
    routes = net_->DefaultRoutes();
    ASSERT_EQ(routes.size(), 1u);
    EXPECT_EQ(routes[0].gateway, A(2));

    Ok({"set", "dns", "name=lan0", "source=static", "addr=" + A(53), "register=PRIMARY"});
    EXPECT_EQ(Nameservers(net_->ResolvConf()), (std::vector<std::string>{A(53)}));
    Ok({"add", "dns", "name=lan0", "addr=" + A(54), "index=2"});
    EXPECT_EQ(Nameservers(net_->ResolvConf()), (std::vector<std::string>{A(53), A(54)}));
    Ok({"add", "dns", "name=lan0", "addr=" + A(55), "index=1"});
    EXPECT_EQ(Nameservers(net_->ResolvConf()), (std::vector<std::string>{A(55), A(53), A(54)}));
    // Lines the tool does not manage stay where they were.
    EXPECT_EQ(WithoutNameservers(net_->ResolvConf()), before);

    // Back to DHCP without a lease: no servers, other lines untouched.
    Ok({"set", "dns", "name=lan0", "source=dhcp"});
    EXPECT_TRUE(Nameservers(net_->ResolvConf()).empty());
    EXPECT_EQ(WithoutNameservers(net_->ResolvConf()), before);

    // A new static address replaces every old one.
    Ok({"set", "address", "name=lan0", "source=static", "addr=" + A(7), "mask=255.255.255.0"});
    EXPECT_EQ(net_->Addresses(), (Addrs{{A(7), 24}}));
}

TEST_F(NetshForms, AGatewayBesideAHostAddressIsOnTheLink) {
    Ok({"set", "address", "name=lan0", "source=static", "addr=" + A(5), "mask=255.255.255.255"});
    Ok({"set", "address", "name=lan0", "gateway=198.51.100.1", "gwmetric=0"});
    auto routes = net_->DefaultRoutes();
    ASSERT_EQ(routes.size(), 1u);
    EXPECT_EQ(routes[0].gateway, "198.51.100.1");
    EXPECT_EQ(routes[0].dev, "lan0");
}

// netsh -f: the apply run's way, one process for the whole profile.
class NetshScripts : public NetshSystem {
  protected:
    int Subnet() const override { return 16; }

    Result Script(const std::string& text, const RunOptions& options = {}) {
        const std::string path = net_->WorkDir() + "/script.txt";
        std::ofstream(path, std::ios::trunc) << text;
        return net_->InClient({BinDir() + "/netsh", "-f", path}, options);
    }

    std::string Line(const std::string& tail) const { return "interface ip " + tail + "\n"; }
};

TEST_F(NetshScripts, OneProcessAppliesTheProfileAndStopsAtARefusedLine) {
    const std::string profile =
        Line("set address name=\"lan0\" source=static addr=" + A(5) + " mask=255.255.255.0") +
        Line("add address name=\"lan0\" addr=" + A(6) + " mask=255.255.0.0") +
        Line("set address name=\"lan0\" gateway=" + A(1) + " gwmetric=0") +
        Line("set dns name=\"lan0\" source=static addr=" + A(53) + " register=PRIMARY") +
        Line("add dns name=\"lan0\" addr=" + A(54) + " index=2");

    // Without the capability nothing is changed or reported, so the whole script may go again
    // with it (the apply run's one pkexec).
    RunOptions plain;
    plain.dropNetAdmin = true;
    Result r = Script(profile, plain);
    EXPECT_EQ(r.status, 77);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(net_->Addresses(), Addrs{});

    r = Script(profile);
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    EXPECT_EQ(r.out,
              "line 1: ok\nline 2: ok\ndone: address\nline 3: ok\ndone: gateway\nline 4: ok\n"
              "line 5: ok\ndone: dns\n");
    EXPECT_EQ(net_->Addresses(), (Addrs{{A(5), 24}, {A(6), 16}}));
    ASSERT_EQ(net_->DefaultRoutes().size(), 1u);
    EXPECT_EQ(net_->DefaultRoutes()[0].gateway, A(1));
    EXPECT_EQ(Nameservers(net_->ResolvConf()), (std::vector<std::string>{A(53), A(54)}));

    // The kernel refuses the off-link gateway: what came before stays done, what follows is
    // not run.
    r = Script(Line("set address name=lan0 source=static addr=" + A(7) + " mask=255.255.255.0") +
               Line("set address name=lan0 gateway=10.99.0.1 gwmetric=0") +
               Line("set dns name=lan0 source=static addr=" + A(55)));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out.substr(0, r.out.find("failed: ")), "line 1: ok\ndone: address\nline 2: ");
    EXPECT_NE(r.out.find("Nexthop has invalid gateway"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\nline 3: not run: line 2 failed\n"), std::string::npos) << r.out;
    EXPECT_EQ(net_->Addresses(), (Addrs{{A(7), 24}}));
    EXPECT_EQ(Nameservers(net_->ResolvConf()), (std::vector<std::string>{A(53), A(54)}));

    // A line netsh cannot read stops the script before anything changes.
    r = Script(Line("set address name=lan0 source=static addr=" + A(8) + " mask=255.255.255.0") +
               Line("set dns name=lan0 source=sometimes"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("line 1: not run: line 2 failed\n"), std::string::npos) << r.out;
    EXPECT_EQ(net_->Addresses(), (Addrs{{A(7), 24}}));
    // No DHCP server answers: the script says so rather than reporting success.
    r = Script(Line("set address name=lan0 source=dhcp") + Line("set dns name=lan0 source=dhcp"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "line 2: ok\nline 1: no lease\ndone: address\ndone: gateway\ndone: dns\n");
    EXPECT_EQ(net_->Addresses(), Addrs{});
}

class NetshRefusals : public NetshSystem {
    int Subnet() const override { return 12; }
};

TEST_F(NetshRefusals, KernelAndArgumentErrorsChangeNothing) {
    Ok({"set", "address", "name=lan0", "source=static", "addr=" + A(5), "mask=255.255.255.0"});
    Ok({"set", "address", "name=lan0", "gateway=" + A(1), "gwmetric=0"});
    Ok({"set", "dns", "name=lan0", "source=static", "addr=" + A(53)});
    auto addrs = net_->Addresses();
    auto conf = net_->ResolvConf();

    std::string err =
        Refused({"add", "address", "name=lan0", "addr=" + A(5), "mask=255.255.255.0"});
    EXPECT_NE(err.find("File exists"), std::string::npos) << err;
    EXPECT_NE(err.find("Address already assigned"), std::string::npos) << err;

    // An off-link gateway: the kernel's reason is passed on and the old route stays.
    err = Refused({"set", "address", "name=lan0", "gateway=10.99.0.1", "gwmetric=0"});
    EXPECT_NE(err.find("Nexthop has invalid gateway"), std::string::npos) << err;
    ASSERT_EQ(net_->DefaultRoutes().size(), 1u);
    EXPECT_EQ(net_->DefaultRoutes()[0].gateway, A(1));

    err = Refused(
        {"set", "address", "name=eth7", "source=static", "addr=" + A(9), "mask=255.255.255.0"});
    EXPECT_EQ(err, "There is no interface named \"eth7\".\n");

    err = Refused(
        {"set", "address", "name=lo", "source=static", "addr=" + A(9), "mask=255.255.255.0"});
    EXPECT_EQ(err, "The loopback interface \"lo\" cannot be configured.\n");

    // Mask checked before the interface is touched, even for a valid address.
    err = Refused(
        {"set", "address", "name=lan0", "source=static", "addr=" + A(9), "mask=255.255.0.255"});
    EXPECT_EQ(err, "Invalid mask parameter (255.255.0.255). It should be a valid subnet mask.\n");

    // Without the right: its own status, which the apply run answers with pkexec.
    RunOptions unprivileged;
    unprivileged.dropNetAdmin = true;
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"set", "address", "name=lan0", "source=dhcp"},
          std::vector<std::string>{"set", "dns", "name=lan0", "source=static", "addr=" + A(99)}}) {
        Result r = net_->Netsh(args, unprivileged);
        EXPECT_EQ(r.status, 77);
        EXPECT_NE(r.err.find("requires elevation (CAP_NET_ADMIN)"), std::string::npos) << r.err;
    }

    EXPECT_EQ(net_->Addresses(), addrs);
    EXPECT_EQ(net_->ResolvConf(), conf);
    EXPECT_TRUE(net_->LiveProcesses("dhclient").empty());
}

TEST_F(NetshRefusals, HostileInputRunsNothingAndChangesNothing) {
    Ok({"set", "address", "name=lan0", "source=static", "addr=" + A(5), "mask=255.255.255.0"});
    auto addrs = net_->Addresses();
    auto conf = net_->ResolvConf();
    const std::string canary = "/tmp/quorvt-canary-" + std::to_string(getpid());
    const std::string touch = "touch " + canary;

    const std::vector<std::string> names = {
        "lan0\"; " + touch + "; echo \"",
        "$(" + touch + ")",
        "`" + touch + "`",
        "lan0 source=dhcp",
        "lan0;" + touch,
        "'lan0'",
        "../../../etc/passwd",
        std::string(100000, 'x'),
        "lan0\n" + touch,
    };
    for (const auto& name : names) {
        std::string err = Refused({"set", "address", "name=" + name, "source=dhcp"});
        EXPECT_NE(err.find("There is no interface named"), std::string::npos) << err.substr(0, 100);
        err = Refused({"set", "dns", "name=" + name, "source=static", "addr=" + A(53)});
        EXPECT_NE(err.find("There is no interface named"), std::string::npos) << err.substr(0, 100);
    }
    const std::vector<std::vector<std::string>> values = {
        {"set", "address", "name=lan0", "source=static", "addr=" + A(9) + ";" + touch,
         "mask=255.255.255.0"},
        {"set", "address", "name=lan0", "source=static", "addr=" + A(9) + " mask=255.0.0.0"},
        {"set", "address", "name=lan0", "source=static", "addr=" + A(9),
         "mask=255.255.255.0\"|" + touch},
        {"set", "address", "name=lan0", "gateway=$(" + touch + ")", "gwmetric=0"},
        {"set", "address", "name=lan0", "gateway=" + A(1), "gwmetric=0;" + touch},
        {"set", "dns", "name=lan0", "source=static", "addr=" + std::string(100000, '9')},
        {"add", "dns", "name=lan0", "addr=" + A(54), "index=2 " + touch},
        {"set", "address", "name=lan0", "source=\"dhcp\""},
    };
    for (const auto& args : values) {
        std::string err = Refused(args);
        EXPECT_TRUE(err.find("Invalid") == 0 || err.find("The syntax supplied") == 0)
            << err.substr(0, 200);
    }
    EXPECT_FALSE(std::filesystem::exists(canary));
    EXPECT_EQ(net_->Addresses(), addrs);
    EXPECT_EQ(net_->ResolvConf(), conf);
    EXPECT_TRUE(net_->DefaultRoutes().empty());
    EXPECT_TRUE(net_->LiveProcesses("dhclient").empty());
}

class NetshDhcp : public NetshSystem {
    int Subnet() const override { return 13; }

  protected:
    bool LeaseArrives() {
        return WaitFor(
            [&] {
                auto addrs = net_->Addresses();
                if (addrs.size() != 1 || addrs[0].second != 24 ||
                    addrs[0].first.rfind("10.213.13.", 0) != 0) {
                    return false;
                }
                int host = std::stoi(addrs[0].first.substr(10));
                return host >= 100 && host <= 150;
            },
            20000, 100);
    }
};

TEST_F(NetshDhcp, LeaseThenStaticStopsTheClientThenLeaseAgain) {
    Dnsmasq dhcp(*net_, A(1), A(53));
    Ok({"set", "address", "name=lan0", "source=static", "addr=" + A(5), "mask=255.255.255.0"});
    Ok({"set", "dns", "name=lan0", "source=dhcp"});

    Ok({"set", "address", "name=lan0", "source=DHCP"});
    ASSERT_TRUE(LeaseArrives()) << dhcp.Log();
    EXPECT_EQ(net_->LiveProcesses("dhclient").size(), 1u);
    ASSERT_TRUE(WaitFor([&] { return net_->DefaultRoutes().size() == 1; }, 5000));
    EXPECT_EQ(net_->DefaultRoutes()[0].gateway, A(1));
    EXPECT_EQ(Nameservers(net_->ResolvConf()), (std::vector<std::string>{A(53)}));
    EXPECT_NE(net_->ResolvConf().find("search quorv.test\n"), std::string::npos);

    Ok({"set", "address", "name=lan0", "source=static", "addr=" + A(5), "mask=255.255.255.0"});
    EXPECT_TRUE(net_->LiveProcesses("dhclient").empty());
    EXPECT_EQ(net_->Addresses(), (Addrs{{A(5), 24}}));
    // The lease's DNS server went with the lease.
    EXPECT_TRUE(Nameservers(net_->ResolvConf()).empty());
    // Nothing brings the DHCP address back behind our back.
    usleep(1500 * 1000);
    EXPECT_EQ(net_->Addresses(), (Addrs{{A(5), 24}}));

    Ok({"set", "address", "name=lan0", "source=dhcp"});
    ASSERT_TRUE(LeaseArrives()) << dhcp.Log();
    EXPECT_EQ(net_->LiveProcesses("dhclient").size(), 1u);

    // Static DNS wins over the lease's servers until DNS goes back to DHCP.
    Ok({"set", "dns", "name=lan0", "source=static", "addr=" + A(77)});
    EXPECT_EQ(Nameservers(net_->ResolvConf()), (std::vector<std::string>{A(77)}));
    Ok({"set", "dns", "name=lan0", "source=dhcp"});
    EXPECT_EQ(Nameservers(net_->ResolvConf()), (std::vector<std::string>{A(53)}));
}

TEST_F(NetshDhcp, IpconfigReleaseAndRenew) {
    Dnsmasq dhcp(*net_, A(1), A(53));
    Ok({"set", "address", "name=lan0", "source=dhcp"});
    ASSERT_TRUE(LeaseArrives()) << dhcp.Log();
    ASSERT_TRUE(WaitFor([&] { return !Nameservers(net_->ResolvConf()).empty(); }, 5000));

    Result all = net_->InClient({BinDir() + "/ipconfig", "/all"});
    ASSERT_EQ(all.status, 0) << all.err;
    EXPECT_NE(all.out.find("   DHCP Enabled. . . . . . . . . . . : Yes\n"), std::string::npos)
        << all.out;
    EXPECT_NE(all.out.find("   DHCP Server . . . . . . . . . . . : " + A(1) + "\n"),
              std::string::npos);
    EXPECT_NE(all.out.find("   Lease Obtained. . . . . . . . . . : "), std::string::npos);
    EXPECT_NE(all.out.find("   DNS Servers . . . . . . . . . . . : " + A(53) + "\n"),
              std::string::npos);

    Result release = net_->InClient({BinDir() + "/ipconfig", "/release", "lan0"});
    ASSERT_EQ(release.status, 0) << release.err;
    EXPECT_TRUE(net_->Addresses().empty());
    EXPECT_TRUE(net_->LiveProcesses("dhclient").empty());
    all = net_->InClient({BinDir() + "/ipconfig", "/all"});
    EXPECT_NE(all.out.find("   DHCP Enabled. . . . . . . . . . . : Yes\n"), std::string::npos)
        << all.out;

    Result renew = net_->InClient({BinDir() + "/ipconfig", "/renew"});
    ASSERT_EQ(renew.status, 0) << renew.err;
    EXPECT_TRUE(LeaseArrives());
    EXPECT_NE(renew.out.find("   IPv4 Address. . . . . . . . . . . : 10.213.13.1"),
              std::string::npos)
        << renew.out;
    EXPECT_EQ(net_->LiveProcesses("dhclient").size(), 1u);

    Result wrong = net_->InClient({BinDir() + "/ipconfig", "/renew", "eth9"});
    EXPECT_EQ(wrong.status, 1);
    EXPECT_EQ(
        wrong.err,
        "The operation failed as no adapter is in the state permissible for this operation.\n");
}

class IpconfigReport : public NetshSystem {
    int Subnet() const override { return 14; }
};

TEST_F(IpconfigReport, AllShowsTheStaticProfileThatWasApplied) {
    // The commands an apply run makes of a profile with two addresses, a gateway and two servers.
    Ok({"set", "address", "name=lan0", "source=static", "addr=" + A(5), "mask=255.255.255.0"});
    Ok({"add", "address", "name=lan0", "addr=" + A(6), "mask=255.255.0.0"});
    Ok({"set", "address", "name=lan0", "gateway=" + A(1), "gwmetric=0"});
    Ok({"set", "dns", "name=lan0", "source=static", "addr=" + A(53), "register=PRIMARY"});
    Ok({"add", "dns", "name=lan0", "addr=" + A(54), "index=2"});

    Result r = net_->InClient({BinDir() + "/ipconfig", "/all"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string& out = r.out;
    EXPECT_EQ(out.rfind("\nLinux IP Configuration\n\n   Host Name . . . . . . . . . . . . : ", 0),
              0u)
        << out;
    EXPECT_NE(out.find("\nEthernet adapter lan0:\n\n"), std::string::npos) << out;
    EXPECT_EQ(out.find("adapter lo:"), std::string::npos);
    EXPECT_NE(out.find("   Description . . . . . . . . . . . : veth\n"), std::string::npos);
    EXPECT_NE(out.find("   DHCP Enabled. . . . . . . . . . . : No\n"), std::string::npos);
    EXPECT_NE(out.find("   IPv4 Address. . . . . . . . . . . : " + A(5) +
                       "(Preferred)\n"
                       "   Subnet Mask . . . . . . . . . . . : 255.255.255.0\n"
                       "   IPv4 Address. . . . . . . . . . . : " +
                       A(6) +
                       "(Preferred)\n"
                       "   Subnet Mask . . . . . . . . . . . : 255.255.0.0\n"
                       "   Default Gateway . . . . . . . . . : " +
                       A(1) +
                       "\n"
                       "   DNS Servers . . . . . . . . . . . : " +
                       A(53) + "\n                                       " + A(54) + "\n"),
              std::string::npos)
        << out;

    Result brief = net_->InClient({BinDir() + "/ipconfig"});
    ASSERT_EQ(brief.status, 0);
    EXPECT_NE(brief.out.find("   IPv4 Address. . . . . . . . . . . : " + A(5) + "\n"),
              std::string::npos);
    EXPECT_EQ(brief.out.find("Description"), std::string::npos);

    Result bad = net_->InClient({BinDir() + "/ipconfig", "/all;reboot"});
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.err.rfind("Error: unrecognized or incomplete command line.", 0), 0u);
}

}  // namespace
}  // namespace quorv::systest
