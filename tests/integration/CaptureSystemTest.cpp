// The live state in a namespace: how soon a change is told, and `qic capture` giving a
// profile that applies back to the settings it was taken from.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "Dnsmasq.h"
#include "Netns.h"

namespace quorv::systest {
namespace {

std::string IpProgram() {
    return std::filesystem::exists("/usr/sbin/ip") ? "/usr/sbin/ip" : "/sbin/ip";
}

class CaptureSystem : public ::testing::Test {
  protected:
    void SetUp() override {
        if (geteuid() != 0) {
            GTEST_SKIP() << "needs root for network namespaces";
        }
        std::filesystem::create_directory(folder_);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    Result Qic(const std::vector<std::string>& args, const TestNetwork& net) {
        std::vector<std::string> argv{BinDir() + "/qic", "--data", folder_ + "/QuorvIPChanger.dat"};
        argv.insert(argv.end(), args.begin(), args.end());
        return net.InClient(argv);
    }
    void Ip(const TestNetwork& net, const std::vector<std::string>& args) {
        std::vector<std::string> argv{IpProgram(), "-n", net.Client()};
        argv.insert(argv.end(), args.begin(), args.end());
        Result r = systest::Run(argv);
        ASSERT_EQ(r.status, 0) << r.err;
    }

    std::string folder_ = "/tmp/quorvt-capture-" + std::to_string(getpid());
};

TEST_F(CaptureSystem, AnAddressChangeIsToldWithinASecond) {
    TestNetwork net(41);
    const std::string log = net.WorkDir() + "/watch.log";
    Child watch({IpProgram(), "netns", "exec", net.Client(), QUORV_LIVE_WATCH}, log);
    ASSERT_TRUE(WaitFor([&] { return ReadFile(log).find("ready") != std::string::npos; }, 5000));

    for (int round = 0; round < 3; ++round) {
        const std::string address = net.Address(10 + round);
        const auto start = std::chrono::steady_clock::now();
        Ip(net, {"addr", "add", address + "/24", "dev", "lan0"});
        ASSERT_TRUE(WaitFor(
            [&] { return ReadFile(log).find(address + "/255.255.255.0") != std::string::npos; },
            1000, 10))
            << ReadFile(log);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    }
    // A resolver change alone is told too.
    const size_t before = ReadFile(log).size();
    WriteFile(net.ResolvConfPath(), "nameserver 192.0.2.99\n");
    EXPECT_TRUE(WaitFor([&] { return ReadFile(log).size() > before; }, 1000, 10)) << ReadFile(log);
}

TEST_F(CaptureSystem, StaticSettingsComeBackFromTheCapturedProfile) {
    TestNetwork net(42);
    auto A = [&](int host) { return net.Address(host); };
    Ip(net, {"link", "set", "lan0", "up"});
    Ip(net, {"addr", "add", A(5) + "/24", "dev", "lan0"});
    Ip(net, {"addr", "add", "172.20.1.7/16", "dev", "lan0"});
    Ip(net, {"route", "add", "default", "via", A(1), "dev", "lan0"});
    WriteFile(net.ResolvConfPath(),
              "search quorv.test\nnameserver " + A(53) + "\nnameserver " + A(54) + "\n");

    Result r = Qic({"capture", "office", "--interface", "lan0"}, net);
    ASSERT_EQ(r.status, 0) << r.err;
    r = Qic({"show", "office", "--json"}, net);
    EXPECT_NE(r.out.find("\"IP\": \"" + A(5) + ",172.20.1.7\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"Mask\": \"255.255.255.0,255.255.0.0\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"Gateway\": \"" + A(1) + "\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"DNS1\": \"" + A(53) + "\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"DNS2\": \"" + A(54) + "\""), std::string::npos) << r.out;

    // Refused like add: the name is taken, the interface does not exist.
    EXPECT_EQ(Qic({"capture", "office", "--interface", "lan0"}, net).status, 2);
    r = Qic({"capture", "other", "--interface", "nosuch0"}, net);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("nosuch0"), std::string::npos) << r.err;
    EXPECT_EQ(Qic({"capture", "other"}, net).status, 2);

    const auto addresses = net.Addresses();
    Ip(net, {"addr", "flush", "dev", "lan0"});
    WriteFile(net.ResolvConfPath(), "nameserver 192.0.2.1\n");
    r = Qic({"apply", "office"}, net);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(net.Addresses(), addresses);
    ASSERT_EQ(net.DefaultRoutes().size(), 1u);
    EXPECT_EQ(net.DefaultRoutes()[0].gateway, A(1));
    EXPECT_EQ(Nameservers(net.ResolvConf()), (std::vector<std::string>{A(53), A(54)}));
}

TEST_F(CaptureSystem, ALeaseIsCapturedAsDhcpAndAppliesBackToALease) {
    TestNetwork net(43);
    auto A = [&](int host) { return net.Address(host); };
    Dnsmasq dhcp(net, A(1), A(77));
    auto leased = [&] {
        auto addrs = net.Addresses();
        return addrs.size() == 1 && std::stoi(addrs[0].first.substr(A(0).size() - 1)) >= 100;
    };
    Result r = net.Netsh({"set", "address", "name=lan0", "source=dhcp"});
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_TRUE(WaitFor(leased, 20000, 100)) << dhcp.Log();

    r = Qic({"capture", "home", "--interface", "lan0"}, net);
    ASSERT_EQ(r.status, 0) << r.err;
    r = Qic({"show", "home", "--json"}, net);
    EXPECT_NE(r.out.find("\"IP\": \"DHCP\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"DNS1\": \"\""), std::string::npos) << r.out;

    r = net.Netsh(
        {"set", "address", "name=lan0", "source=static", "addr=" + A(9), "mask=255.255.255.0"});
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_FALSE(leased());
    r = Qic({"apply", "home"}, net);
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_TRUE(WaitFor(leased, 20000, 100)) << dhcp.Log();
    EXPECT_TRUE(WaitFor(
        [&] { return Nameservers(net.ResolvConf()) == std::vector<std::string>{A(77)}; }, 5000));
}

// Two clicks from the panel: the tray's menu, then the profile; the window program runs in
// the namespace under its own X server and tray.
TEST_F(CaptureSystem, AProfileChosenInTheTrayIsApplied) {
    const std::string program = BinDir() + "/../tests/test_tray_gui";
    if (!std::filesystem::exists("/usr/bin/trayer") || !std::filesystem::exists(program)) {
        GTEST_SKIP() << "needs trayer and the tray test program";
    }
    TestNetwork net(44);
    RunOptions options;
    options.timeoutMs = 60000;
    options.extraEnv = {"QUORV_TRAY_APPLY_ADDRESS=" + net.Address(5),
                        "PATH=" + BinDir() + ":/usr/sbin:/usr/bin:/sbin:/bin", "LANG=C.UTF-8"};
    Result r = net.InClient({program, "--gtest_filter=TrayTest.AProfileChosen*"}, options);
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("[  PASSED  ] 1 test"), std::string::npos) << r.out;
    EXPECT_EQ(net.Addresses(), (std::vector<std::pair<std::string, int>>{{net.Address(5), 24}}));
}

}  // namespace
}  // namespace quorv::systest
