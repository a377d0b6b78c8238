#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

#include "Cupsd.h"
#include "Dnsmasq.h"
#include "Netns.h"

namespace quorv::systest {
namespace {

class QicSystem : public ::testing::Test {
  protected:
    void SetUp() override {
        if (geteuid() != 0) {
            GTEST_SKIP() << "needs root for network namespaces and cupsd";
        }
        // Root applies only from a file no other user can write or replace.
        std::filesystem::create_directory(folder_);
        chmod(folder_.c_str(), 0700);
    }

    // qic on the host, or inside the client namespace.
    Result Qic(const std::vector<std::string>& args, const TestNetwork* net = nullptr) {
        std::vector<std::string> argv{BinDir() + "/qic", "--data", data_};
        argv.insert(argv.end(), args.begin(), args.end());
        return net ? net->InClient(argv, options_) : systest::Run(argv, options_);
    }

    std::string folder_ = "/tmp/quorvt-qic-" + std::to_string(getpid());
    std::string data_ = folder_ + "/QuorvIPChanger.dat";
    RunOptions options_;

    void TearDown() override { std::filesystem::remove_all(folder_); }
};

TEST_F(QicSystem, InventoryThenStaticProfileThenDhcpProfile) {
    TestNetwork net(31);
    PrivateCupsd cups;
    cups.AddPrinter("Office", "Office laser");
    cups.AddPrinter("Lab", "Lab inkjet");
    cups.SetServerDefault("Office");
    options_.extraEnv = cups.ClientEnv();
    // The progress lines follow the locale; these are the Korean ones.
    options_.extraEnv.push_back("LC_ALL=ko_KR.UTF-8");
    const std::string hostConf = HostResolvConfFingerprint();
    auto A = [&](int host) { return net.Address(host); };
    EXPECT_EQ(Qic({"interfaces"}, &net).out, "lan0\tveth\n");
    EXPECT_EQ(Qic({"printers"}).out, "Lab\tLab inkjet\nOffice\tOffice laser\tdefault\n");

    ASSERT_EQ(Qic({"add", "office", "--interface", "lan0", "--ip", A(5) + "," + A(6), "--mask",
                   "255.255.255.0,255.255.0.0", "--gateway", A(1), "--dns1", A(53), "--dns2", A(54),
                   "--printer", "Lab"})
                  .status,
              0);
    Result r = Qic({"apply", "office"}, &net);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "IP 설정 중...\nGateway 설정 중...\nDNS 설정 중...\n기본 프린터 설정 중...\n");
    EXPECT_EQ(net.Addresses(), (std::vector<std::pair<std::string, int>>{{A(5), 24}, {A(6), 16}}));
    EXPECT_EQ(cups.UserDefault(), "Lab");
    EXPECT_EQ(Qic({"printers"}).out, "Lab\tLab inkjet\tdefault\nOffice\tOffice laser\n");

    Result all = net.InClient({BinDir() + "/ipconfig", "/all"});
    ASSERT_EQ(all.status, 0) << all.err;
    std::string report;
    for (const std::string& line :
         std::vector<std::string>{"DHCP Enabled. . . . . . . . . . . : No",
                                  "IPv4 Address. . . . . . . . . . . : " + A(5) + "(Preferred)",
                                  "Subnet Mask . . . . . . . . . . . : 255.255.255.0",
                                  "IPv4 Address. . . . . . . . . . . : " + A(6) + "(Preferred)",
                                  "Subnet Mask . . . . . . . . . . . : 255.255.0.0",
                                  "Default Gateway . . . . . . . . . : " + A(1),
                                  "DNS Servers . . . . . . . . . . . : " + A(53),
                                  "                                    " + A(54)}) {
        report += "   " + line + "\n";
    }
    EXPECT_NE(all.out.find(report), std::string::npos) << all.out;

    // DHCP for address and DNS; a script line runs after the commands, without a shell.
    Dnsmasq dhcp(net, A(1), A(77));
    const std::string marker = net.WorkDir() + "/script ran";
    std::filesystem::path script = net.WorkDir() + "/script.txt";
    WriteFile(script, "touch \"" + marker + "\"\n");
    ASSERT_EQ(Qic({"add", "home", "--interface", "lan0", "--dhcp", "--script-file", script}).status,
              0);
    r = Qic({"apply", "home"}, &net);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("스크립트 실행 중...(1/1)..."), std::string::npos) << r.err;
    ASSERT_TRUE(WaitFor(
        [&] {
            auto addrs = net.Addresses();
            // dnsmasq leases from .100 on.
            return addrs.size() == 1 && std::stoi(addrs[0].first.substr(A(0).size() - 1)) >= 100;
        },
        20000, 100))
        << dhcp.Log();
    EXPECT_TRUE(WaitFor([&] { return std::filesystem::exists(marker); }, 5000));
    ASSERT_TRUE(WaitFor([&] { return net.ResolvConf().find(A(77)) != std::string::npos; }, 5000));
    all = net.InClient({BinDir() + "/ipconfig", "/all"});
    EXPECT_NE(all.out.find("   DHCP Enabled. . . . . . . . . . . : Yes\n"), std::string::npos)
        << all.out;
    EXPECT_NE(all.out.find("   DNS Servers . . . . . . . . . . . : " + A(77) + "\n"),
              std::string::npos)
        << all.out;
    EXPECT_EQ(all.out.find(A(54)), std::string::npos) << all.out;
    EXPECT_EQ(HostResolvConfFingerprint(), hostConf);
}

// A link another user controls, swapped between root's file and theirs every half
// millisecond: root never takes the profile from their file, however the race falls.
TEST_F(QicSystem, RootNeverAppliesThroughALinkAnotherUserCanSwap) {
    TestNetwork net(32);
    const std::string hostConf = HostResolvConfFingerprint();
    const std::string theirFolder = folder_ + "/theirs";
    std::filesystem::create_directory(theirFolder);
    chmod(folder_.c_str(), 0755);
    ASSERT_EQ(chown(theirFolder.c_str(), 65534, 65534), 0);
    const std::string hostileData = theirFolder + "/hostile.dat";
    const std::string marker = net.WorkDir() + "/hostile script ran";
    const std::filesystem::path script = net.WorkDir() + "/hostile.txt";
    WriteFile(script, "touch \"" + marker + "\"\n");
    auto add = [&](const std::string& data, const std::vector<std::string>& extra) {
        std::vector<std::string> argv{BinDir() + "/qic", "--data", data,   "add",          "p",
                                      "--interface",     "lan0",   "--ip", net.Address(5), "--mask",
                                      "255.255.255.0"};
        argv.insert(argv.end(), extra.begin(), extra.end());
        return systest::Run(argv, options_).status;
    };
    ASSERT_EQ(add(data_, {}), 0);
    ASSERT_EQ(add(hostileData, {"--script-file", script}), 0);

    const std::string link = theirFolder + "/link.dat";
    ASSERT_EQ(symlink(data_.c_str(), link.c_str()), 0);
    std::atomic<bool> stop{false};
    std::thread swapper([&] {
        const std::string next = theirFolder + "/next.dat";
        for (bool hostile = true; !stop; hostile = !hostile) {
            std::filesystem::remove(next);
            if (symlink((hostile ? hostileData : data_).c_str(), next.c_str()) == 0) {
                rename(next.c_str(), link.c_str());
            }
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
    });
    int refused = 0;
    for (int i = 0; i < 40; ++i) {
        std::vector<std::string> argv{BinDir() + "/qic", "--data", link, "apply", "p"};
        const Result r = net.InClient(argv, options_);
        if (r.status == 1 &&
            r.err.find("refusing to apply a profile as root: the folder " + theirFolder +
                       " is not owned by root") != std::string::npos) {
            ++refused;
        }
    }
    stop = true;
    swapper.join();
    EXPECT_EQ(refused, 40);
    EXPECT_FALSE(std::filesystem::exists(marker));
    EXPECT_TRUE(net.Addresses().empty());
    EXPECT_EQ(HostResolvConfFingerprint(), hostConf);
}

}  // namespace
}  // namespace quorv::systest
