#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <memory>
#include <sstream>

#include "Dnsmasq.h"
#include "Netns.h"

namespace quorv::systest {
namespace {

const char* IpProgram() {
    return std::filesystem::exists("/usr/sbin/ip") ? "/usr/sbin/ip" : "/sbin/ip";
}

struct CheckOutput {
    std::map<std::string, std::string> answers;  // "gw 10.213.65.1" -> "yes"
    long elapsedMs = -1;
};

// A client at .2 with the server end (.1) as gateway and DNS server; the check runs inside
// the client namespace as the desktop would run it there.
class ReachabilitySystem : public ::testing::TestWithParam<bool> {
  protected:
    void SetUp() override {
        if (geteuid() != 0) {
            GTEST_SKIP() << "needs root for network namespaces";
        }
        net_ = std::make_unique<TestNetwork>(PingAllowed() ? 65 : 66);
        dnsmasq_ = std::make_unique<Dnsmasq>(*net_, net_->Address(1), net_->Address(1), true);
        InClient(
            {IpProgram(), "addr", "add", net_->Address(2) + "/24", "dev", TestNetwork::kClientIf});
        InClient({IpProgram(), "link", "set", TestNetwork::kClientIf, "up"});
        InClient({IpProgram(), "route", "add", "default", "via", net_->Address(1)});
        if (PingAllowed()) {
            InClient({"/usr/sbin/sysctl", "-w", "net.ipv4.ping_group_range=0 2147483647"});
        }
        // The check must take the way the test means: a fresh namespace refuses ping sockets.
        Result range = net_->InClient({"/usr/sbin/sysctl", "-n", "net.ipv4.ping_group_range"});
        ASSERT_EQ(range.out, PingAllowed() ? "0\t2147483647\n" : "1\t0\n");
    }

    bool PingAllowed() const { return GetParam(); }

    void InClient(const std::vector<std::string>& argv) {
        Result r = net_->InClient(argv);
        ASSERT_EQ(r.status, 0) << r.err;
    }

    CheckOutput Check(int timeoutMs, const std::vector<std::string>& targets) {
        std::vector<std::string> argv{QUORV_REACH_CHECK, std::to_string(timeoutMs)};
        argv.insert(argv.end(), targets.begin(), targets.end());
        RunOptions options;
        options.dropNetAdmin = true;
        options.timeoutMs = timeoutMs + 5000;
        Result r = net_->InClient(argv, options);
        EXPECT_EQ(r.status, 0) << r.err;
        CheckOutput out;
        std::istringstream lines(r.out);
        std::string kind, address, answer;
        while (lines >> kind >> address) {
            if (kind == "elapsed") {
                out.elapsedMs = std::stol(address);
            } else if (lines >> answer) {
                out.answers[kind + " " + address] = answer;
            }
        }
        return out;
    }

    std::unique_ptr<TestNetwork> net_;
    std::unique_ptr<Dnsmasq> dnsmasq_;
};

TEST_P(ReachabilitySystem, LiveTargetsAnswerDeadOnesDoNotWithinTheTimeout) {
    const std::string gw = net_->Address(1), deadGw = net_->Address(77),
                      deadDns = net_->Address(78);
    CheckOutput out = Check(1500, {"gw:" + gw, "gw:" + deadGw, "dns:" + gw, "dns:" + deadDns});
    EXPECT_EQ(out.answers["gw " + gw], "yes") << dnsmasq_->Log();
    EXPECT_EQ(out.answers["gw " + deadGw], "no");
    EXPECT_EQ(out.answers["dns " + gw], "yes") << dnsmasq_->Log();
    EXPECT_EQ(out.answers["dns " + deadDns], "no");
    // Dead targets hold the check until the timeout, and not longer.
    EXPECT_GE(out.elapsedMs, 1450);
    EXPECT_LT(out.elapsedMs, 2000);
}

TEST_P(ReachabilitySystem, ReturnsAsSoonAsEveryTargetAnswered) {
    const std::string gw = net_->Address(1);
    CheckOutput out = Check(8000, {"dns:" + gw, "gw:" + gw});
    EXPECT_EQ(out.answers["gw " + gw], "yes");
    EXPECT_EQ(out.answers["dns " + gw], "yes");
    EXPECT_LT(out.elapsedMs, 1500);
}

TEST_P(ReachabilitySystem, AHostWithoutDnsServiceAndAnUnroutedGatewayDoNotAnswer) {
    // The client itself answers pings but serves no DNS; 192.0.2.1 has no route at all.
    dnsmasq_.reset();
    InClient({IpProgram(), "route", "del", "default"});
    const std::string self = net_->Address(2), gw = net_->Address(1);
    CheckOutput out = Check(1000, {"dns:" + gw, "dns:" + self, "gw:192.0.2.1", "gw:not-an-ip"});
    EXPECT_EQ(out.answers["dns " + gw], "no");
    EXPECT_EQ(out.answers["dns " + self], "no");
    EXPECT_EQ(out.answers["gw 192.0.2.1"], "no");
    EXPECT_EQ(out.answers["gw not-an-ip"], "no");
    // Refusals and unroutable targets settle at once.
    EXPECT_LT(out.elapsedMs, 900);
}

INSTANTIATE_TEST_SUITE_P(PingSockets, ReachabilitySystem, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Allowed" : "Refused"; });

}  // namespace
}  // namespace quorv::systest
