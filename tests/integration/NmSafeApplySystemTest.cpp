// netsh --keep-within where NetworkManager manages the device: its checkpoint brings the old
// settings back, through the watchdog or, when that is gone, by NetworkManager's own deadline.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

#include "Netns.h"
#include "NmSandbox.h"

namespace quorv::systest {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kDaemonUser = 1;

// The daemon user may change connections but not take checkpoints.
const char* kNoCheckpoints = R"(polkit.addRule(function(action, subject) {
    if (action.id == "org.freedesktop.NetworkManager.checkpoint-rollback") {
        return polkit.Result.NO;
    }
    if (action.id.indexOf("org.freedesktop.NetworkManager.") == 0 && subject.user == "daemon") {
        return polkit.Result.YES;
    }
});
)";

struct Shown {
    std::string address, gateway, dns;
    bool operator==(const Shown&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Shown& s) {
    return out << s.address << " via " << s.gateway << " dns " << s.dns;
}

class NmSafeApply : public ::testing::Test {
  protected:
    void SetUp() override {
        if (geteuid() != 0) {
            GTEST_SKIP() << "needs root for namespaces";
        }
        if (!std::filesystem::exists("/usr/sbin/NetworkManager")) {
            GTEST_SKIP() << "NetworkManager is not installed";
        }
        hostConf_ = HostResolvConfFingerprint();
        net_ = std::make_unique<TestNetwork>(61);
    }

    void TearDown() override {
        nm_.reset();
        net_.reset();
        if (!hostConf_.empty()) {
            EXPECT_EQ(HostResolvConfFingerprint(), hostConf_);
        }
    }

    std::string A(int host) const { return net_->Address(host); }

    std::string Script(int address, int gateway, int dns) const {
        const std::string path = net_->WorkDir() + "/script" + std::to_string(address) + ".txt";
        std::ofstream(path, std::ios::trunc)
            << "interface ip set address name=lan0 source=static addr=" << A(address)
            << " mask=255.255.255.0\n"
            << "interface ip set address name=lan0 gateway=" << A(gateway) << " gwmetric=0\n"
            << "interface ip set dns name=lan0 source=static addr=" << A(dns)
            << " register=PRIMARY\n";
        return path;
    }

    Result Netsh(const std::vector<std::string>& args, int uid = -1) const {
        std::vector<std::string> argv{BinDir() + "/netsh"};
        argv.insert(argv.end(), args.begin(), args.end());
        RunOptions options;
        options.timeoutMs = 40000;
        return nm_->Exec(argv, options, uid);
    }

    static std::string PendingId(const Result& r, int seconds) {
        const std::string tail = " " + std::to_string(seconds) + "\n";
        auto at = r.out.rfind("pending: ");
        if (at == std::string::npos || r.out.size() < at + 9 + 32 + tail.size() ||
            r.out.substr(at + 9 + 32) != tail) {
            return {};
        }
        return r.out.substr(at + 9, 32);
    }

    Shown Device() const {
        return {nm_->DeviceField("IP4.ADDRESS"), nm_->DeviceField("IP4.GATEWAY"),
                nm_->DeviceField("IP4.DNS")};
    }

    Shown Saved() const {
        auto field = [&](const std::string& name) {
            Result r = nm_->Nmcli({"-g", name, "connection", "show", "lan0"});
            return r.out.substr(0, r.out.find_last_not_of('\n') + 1);
        };
        return {field("ipv4.addresses"), field("ipv4.gateway"), field("ipv4.dns")};
    }

    Shown Profile(int address, int gateway, int dns) const {
        return {A(address) + "/24", A(gateway), A(dns)};
    }

    // Profile A in force, through netsh as the apply run does it.
    void StartWithA(const NmSandboxOptions& options = {}) {
        nm_ = std::make_unique<NmSandbox>(*net_, options);
        Result r = Netsh({"-f", Script(5, 1, 53)});
        ASSERT_EQ(r.status, 0) << r.err << r.out;
        ASSERT_EQ(Device(), Profile(5, 1, 53));
    }

    std::string hostConf_;
    std::unique_ptr<TestNetwork> net_;
    std::unique_ptr<NmSandbox> nm_;
};

TEST_F(NmSafeApply, WithoutAnAnswerTheCheckpointComesBackAndKeepHoldsTheNewOnes) {
    StartWithA();
    auto started = Clock::now();
    Result r = Netsh({"--keep-within", "3", "-f", Script(7, 2, 54)});
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    ASSERT_FALSE(PendingId(r, 3).empty()) << r.out;
    EXPECT_EQ(Device(), Profile(7, 2, 54));
    EXPECT_EQ(Saved(), Profile(7, 2, 54));

    ASSERT_TRUE(WaitFor([&] { return Device() == Profile(5, 1, 53); }, 6000)) << Device();
    EXPECT_GE(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started).count(),
              2500);
    EXPECT_EQ(Saved(), Profile(5, 1, 53));

    r = Netsh({"--keep-within", "3", "-f", Script(8, 2, 55)});
    const std::string id = PendingId(r, 3);
    ASSERT_FALSE(id.empty()) << r.out;
    Result kept = Netsh({"--pending", "keep", id});
    EXPECT_EQ(kept.out, "kept\n") << kept.err;
    // Past the watchdog's deadline and NetworkManager's own.
    std::this_thread::sleep_for(std::chrono::seconds(6));
    EXPECT_EQ(Device(), Profile(8, 2, 55));
    EXPECT_EQ(Saved(), Profile(8, 2, 55));
}

TEST_F(NmSafeApply, NetworkManagerRollsBackByItselfWhenTheWatchdogIsKilled) {
    StartWithA();
    Result r = Netsh({"--keep-within", "3", "-f", Script(7, 2, 54)});
    ASSERT_FALSE(PendingId(r, 3).empty()) << r.out << r.err;
    auto reported = Clock::now();
    std::vector<pid_t> watchdogs = net_->LiveProcesses("netsh");
    ASSERT_EQ(watchdogs.size(), 1u);
    kill(watchdogs[0], SIGKILL);
    EXPECT_TRUE(WaitFor([&] { return net_->LiveProcesses("netsh").empty(); }, 2000));
    EXPECT_EQ(Device(), Profile(7, 2, 54));

    // Three seconds and the two NetworkManager gives the watchdog, plus a little.
    ASSERT_TRUE(WaitFor([&] { return Device() == Profile(5, 1, 53); }, 8000)) << Device();
    EXPECT_GE(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - reported).count(),
        4000);
    EXPECT_EQ(Saved(), Profile(5, 1, 53));
}

TEST_F(NmSafeApply, ACheckpointPolkitRefusesAsksForThePrivilegeBeforeAnyChange) {
    NmSandboxOptions options;
    options.polkitRules = kNoCheckpoints;
    StartWithA(options);
    Result r = Netsh({"--keep-within", "3", "-f", Script(7, 2, 54)}, kDaemonUser);
    EXPECT_EQ(r.status, 77) << r.err;
    EXPECT_EQ(r.out.rfind("snapshot: failed: ", 0), 0u) << r.out;
    EXPECT_EQ(r.out.find("line "), std::string::npos) << r.out;
    EXPECT_EQ(Device(), Profile(5, 1, 53));
    EXPECT_EQ(Saved(), Profile(5, 1, 53));
}

}  // namespace
}  // namespace quorv::systest
