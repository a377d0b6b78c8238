// netsh --keep-within through netlink: the watchdog it leaves restores the settings before the
// change unless told to keep them, whatever happens to whoever ran netsh.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <thread>

#include "Dnsmasq.h"
#include "Netns.h"

namespace quorv::systest {
namespace {

using Clock = std::chrono::steady_clock;
using Addrs = std::vector<std::pair<std::string, int>>;

constexpr const char* kSetpriv = "/usr/bin/setpriv";

struct Settings {
    Addrs addresses;
    std::string gateway;
    std::vector<std::string> dns;
    bool operator==(const Settings&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Settings& s) {
    for (const auto& [address, prefix] : s.addresses) {
        out << address << "/" << prefix << " ";
    }
    out << "via " << s.gateway << " dns";
    for (const auto& server : s.dns) {
        out << " " << server;
    }
    return out;
}

class SafeApply : public ::testing::Test {
  protected:
    void SetUp() override {
        if (geteuid() != 0) {
            GTEST_SKIP() << "needs root for network namespaces";
        }
        host_ = HostResolvConfFingerprint();
        net_ = std::make_unique<TestNetwork>(60);
    }

    void TearDown() override {
        net_.reset();
        if (!host_.empty()) {
            EXPECT_EQ(HostResolvConfFingerprint(), host_) << "the host's /etc/resolv.conf changed";
        }
    }

    std::string A(int host) const { return net_->Address(host); }

    std::string StaticScript(int address, int gateway, int dns) const {
        return "interface ip set address name=lan0 source=static addr=" + A(address) +
               " mask=255.255.255.0\n"
               "interface ip set address name=lan0 gateway=" +
               A(gateway) +
               " gwmetric=0\n"
               "interface ip set dns name=lan0 source=static addr=" +
               A(dns) + " register=PRIMARY\n";
    }

    std::string WriteScript(const std::string& text) const {
        const std::string path = net_->WorkDir() + "/script" + std::to_string(scripts_++) + ".txt";
        std::ofstream(path, std::ios::trunc) << text;
        return path;
    }

    Result Netsh(const std::vector<std::string>& args) const {
        std::vector<std::string> argv{BinDir() + "/netsh"};
        argv.insert(argv.end(), args.begin(), args.end());
        return net_->InClient(argv);
    }

    Result KeepWithin(int seconds, const std::string& text) const {
        return Netsh({"--keep-within", std::to_string(seconds), "-f", WriteScript(text)});
    }

    // The ID of the last report line "pending: ID SECONDS".
    static std::string PendingId(const Result& r, int seconds) {
        const std::string tail = " " + std::to_string(seconds) + "\n";
        auto at = r.out.rfind("pending: ");
        if (at == std::string::npos || r.out.size() < tail.size() ||
            r.out.compare(r.out.size() - tail.size(), tail.size(), tail) != 0) {
            return {};
        }
        std::string id = r.out.substr(at + 9, r.out.size() - tail.size() - at - 9);
        return id.size() == 32 ? id : std::string();
    }

    Settings Now() const {
        Settings s{net_->Addresses(), {}, Nameservers(net_->ResolvConf())};
        for (const RouteInfo& route : net_->DefaultRoutes()) {
            s.gateway += (s.gateway.empty() ? "" : ",") + route.gateway;
        }
        return s;
    }

    Settings Static(int address, int gateway, int dns) const {
        return {{{A(address), 24}}, A(gateway), {A(dns)}};
    }

    std::string host_;
    std::unique_ptr<TestNetwork> net_;
    mutable int scripts_ = 0;
};

TEST_F(SafeApply, WithoutAnAnswerTheOldSettingsComeBackAndKeepHoldsTheNewOnes) {
    ASSERT_EQ(Netsh({"-f", WriteScript(StaticScript(5, 1, 53))}).status, 0);
    const Settings before = Now();
    ASSERT_EQ(before, Static(5, 1, 53));

    auto started = Clock::now();
    Result r = KeepWithin(3, StaticScript(7, 2, 54));
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    EXPECT_EQ(r.out.rfind("line 1: ok\n", 0), 0u) << r.out;
    const std::string id = PendingId(r, 3);
    ASSERT_FALSE(id.empty()) << r.out;
    // netsh itself is gone at once; the watchdog holds none of its output open.
    EXPECT_EQ(Now(), Static(7, 2, 54));
    Result list = Netsh({"--pending"});
    EXPECT_EQ(list.out.rfind(id + " lan0 ", 0), 0u) << list.out;

    ASSERT_TRUE(WaitFor([&] { return Now() == before; }, 5000)) << Now();
    auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started);
    EXPECT_GE(took.count(), 2500);
    EXPECT_EQ(Netsh({"--pending"}).out, "");

    // Kept: still the new settings well after the deadline would have passed.
    r = KeepWithin(3, StaticScript(8, 2, 55));
    const std::string second = PendingId(r, 3);
    ASSERT_FALSE(second.empty()) << r.out;
    Result kept = Netsh({"--pending", "keep", second});
    EXPECT_EQ(kept.status, 0);
    EXPECT_EQ(kept.out, "kept\n");
    std::this_thread::sleep_for(std::chrono::seconds(5));
    EXPECT_EQ(Now(), Static(8, 2, 55));
    EXPECT_EQ(Netsh({"--pending", "keep", second}).out,
              "failed: no change " + second + " is waiting to be kept or restored\n");
}

TEST_F(SafeApply, TheCallerKilledStillRestoresAndRestoreActsAtOnce) {
    ASSERT_EQ(Netsh({"-f", WriteScript(StaticScript(5, 1, 53))}).status, 0);
    const Settings before = Now();
    const std::string script = WriteScript(StaticScript(9, 2, 54));
    const std::string log = net_->WorkDir() + "/caller.log";

    // The caller and everything of its process group die as soon as netsh reported.
    pid_t caller = fork();
    ASSERT_GE(caller, 0);
    if (caller == 0) {
        setpgid(0, 0);
        int out = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(out, 1);
        execl("/usr/sbin/ip", "ip", "netns", "exec", net_->Client().c_str(),
              (BinDir() + "/netsh").c_str(), "--keep-within", "3", "-f", script.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    auto started = Clock::now();
    EXPECT_TRUE(
        WaitFor([&] { return ReadFile(log).find("pending: ") != std::string::npos; }, 10000))
        << ReadFile(log);
    kill(-caller, SIGKILL);
    waitpid(caller, nullptr, 0);
    EXPECT_EQ(Now(), Static(9, 2, 54));
    ASSERT_TRUE(WaitFor([&] { return Now() == before; }, 5000)) << Now();
    EXPECT_GE(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started).count(),
              2500);

    // Asked to restore, it does so at once and says what came back.
    Result r = KeepWithin(60, StaticScript(9, 2, 54));
    const std::string id = PendingId(r, 60);
    ASSERT_FALSE(id.empty()) << r.out;
    Result restored = Netsh({"--pending", "restore", id});
    EXPECT_EQ(restored.status, 0) << restored.err;
    EXPECT_EQ(restored.out, "restored: address gateway dns\n");
    EXPECT_EQ(Now(), before);
    EXPECT_TRUE(WaitFor([&] { return net_->LiveProcesses("netsh").empty(); }, 2000));

    // Stopped as a shutdown stops it, the watchdog restores before it goes.
    r = KeepWithin(60, StaticScript(9, 2, 54));
    ASSERT_FALSE(PendingId(r, 60).empty()) << r.out;
    std::vector<pid_t> watchdogs = net_->LiveProcesses("netsh");
    ASSERT_EQ(watchdogs.size(), 1u);
    kill(watchdogs[0], SIGTERM);
    EXPECT_TRUE(WaitFor([&] { return Now() == before; }, 3000)) << Now();
}

TEST_F(SafeApply, ALeaseInForceComesBackWithItsClient) {
    Dnsmasq dhcp(*net_, A(1), A(77));
    ASSERT_EQ(Netsh({"-f", WriteScript("interface ip set address name=lan0 source=dhcp\n"
                                       "interface ip set dns name=lan0 source=dhcp\n")})
                  .status,
              0)
        << dhcp.Log();
    ASSERT_EQ(net_->LiveProcesses("dhclient").size(), 1u);
    ASSERT_EQ(Nameservers(net_->ResolvConf()), std::vector<std::string>{A(77)});

    Result r = KeepWithin(30, StaticScript(7, 2, 54));
    const std::string id = PendingId(r, 30);
    ASSERT_FALSE(id.empty()) << r.out;
    EXPECT_TRUE(net_->LiveProcesses("dhclient").empty());
    EXPECT_EQ(Now(), Static(7, 2, 54));

    Result restored = Netsh({"--pending", "restore", id});
    EXPECT_EQ(restored.out, "restored: address gateway dns\n");
    EXPECT_EQ(net_->LiveProcesses("dhclient").size(), 1u);
    Settings after = Now();
    ASSERT_EQ(after.addresses.size(), 1u) << after;
    EXPECT_GE(std::stoi(after.addresses[0].first.substr(A(0).size() - 1)), 100) << after;
    EXPECT_EQ(after.gateway, A(1));
    EXPECT_EQ(after.dns, std::vector<std::string>{A(77)});
}

TEST_F(SafeApply, AFailedLineStillLeavesTheWayBack) {
    ASSERT_EQ(Netsh({"-f", WriteScript(StaticScript(5, 1, 53))}).status, 0);
    const Settings before = Now();
    std::string script = "interface ip set address name=lan0 source=static addr=" + A(7) +
                         " mask=255.255.255.0\n"
                         "interface ip set dns name=lan0 source=static addr=" +
                         A(54) + "\n";
    for (int server = 55; server <= 57; ++server) {
        script += "interface ip add dns name=lan0 addr=" + A(server) + "\n";
    }
    Result r = KeepWithin(30, script);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("line 5: failed: "), std::string::npos) << r.out;
    const std::string id = PendingId(r, 30);
    ASSERT_FALSE(id.empty()) << r.out;
    EXPECT_EQ(net_->Addresses(), (Addrs{{A(7), 24}}));
    EXPECT_EQ(Netsh({"--pending", "restore", id}).out, "restored: address gateway dns\n");
    EXPECT_EQ(Now(), before);
}

TEST_F(SafeApply, RoutesOfTheDeviceAndItsLinkStateComeBack) {
    ASSERT_EQ(Netsh({"-f", WriteScript(StaticScript(5, 1, 53))}).status, 0);
    auto ip = [&](std::vector<std::string> args) {
        args.insert(args.begin(), "/usr/sbin/ip");
        return net_->InClient(args);
    };
    ASSERT_EQ(ip({"route", "add", "10.99.0.0/16", "via", A(1), "dev", "lan0"}).status, 0);
    ASSERT_EQ(ip({"route", "add", "10.98.0.0/24", "dev", "lan0", "metric", "7"}).status, 0);
    const std::string routes = ip({"-4", "route", "show", "dev", "lan0"}).out;
    ASSERT_NE(routes.find("10.99.0.0/16"), std::string::npos) << routes;

    Result r = KeepWithin(60, StaticScript(9, 2, 54));
    const std::string id = PendingId(r, 60);
    ASSERT_FALSE(id.empty()) << r.out;
    // Meanwhile the routes went (changing the address may already take them along), one came
    // that was not there, and the link went down.
    ip({"route", "del", "10.99.0.0/16"});
    ip({"route", "del", "10.98.0.0/24"});
    ASSERT_EQ(ip({"-4", "route", "show", "dev", "lan0"}).out.find("10.9"), std::string::npos);
    ASSERT_EQ(ip({"route", "add", "10.97.0.0/24", "dev", "lan0"}).status, 0);
    ASSERT_EQ(ip({"link", "set", "lan0", "down"}).status, 0);
    ASSERT_FALSE(net_->ClientLinkUp());

    EXPECT_EQ(Netsh({"--pending", "restore", id}).out, "restored: address gateway dns\n");
    EXPECT_TRUE(net_->ClientLinkUp());
    EXPECT_EQ(ip({"-4", "route", "show", "dev", "lan0"}).out, routes);

    // A link that was down goes down again.
    ASSERT_EQ(ip({"link", "set", "lan0", "down"}).status, 0);
    r = KeepWithin(60, StaticScript(9, 2, 54));
    const std::string downId = PendingId(r, 60);
    ASSERT_FALSE(downId.empty()) << r.out;
    ASSERT_EQ(ip({"link", "set", "lan0", "up"}).status, 0);
    EXPECT_EQ(Netsh({"--pending", "restore", downId}).status, 0);
    EXPECT_FALSE(net_->ClientLinkUp());
}

TEST_F(SafeApply, RefusalsChangeNothing) {
    ASSERT_EQ(Netsh({"-f", WriteScript(StaticScript(5, 1, 53))}).status, 0);
    const Settings before = Now();
    const std::string script = WriteScript(StaticScript(7, 2, 54));
    for (const std::string seconds : {"0", "601", "3x", "-1", "", "0010"}) {
        Result r = Netsh({"--keep-within", seconds, "-f", script});
        EXPECT_EQ(r.status, 1) << seconds;
        EXPECT_EQ(r.out, "") << seconds;
    }
    EXPECT_EQ(Netsh({"--keep-within", "5", script}).status, 1);
    EXPECT_EQ(Now(), before);

    // Two scripts of two devices cannot be answered as one.
    Result r = KeepWithin(5, StaticScript(7, 2, 54) +
                                 "interface ip set address name=lo source=static addr=" + A(8) +
                                 " mask=255.255.255.0\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "snapshot: failed: the script changes more than one interface\n");

    r = KeepWithin(30, StaticScript(7, 2, 54));
    const std::string id = PendingId(r, 30);
    ASSERT_FALSE(id.empty()) << r.out;
    r = KeepWithin(30, StaticScript(8, 2, 55));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out,
              "snapshot: failed: a change of lan0 is still waiting to be kept or restored\n");
    EXPECT_EQ(Now(), Static(7, 2, 54));
    // A watchdog too busy to say so still holds the device.
    std::vector<pid_t> watchdogs = net_->LiveProcesses("netsh");
    ASSERT_EQ(watchdogs.size(), 1u);
    kill(watchdogs[0], SIGSTOP);
    r = KeepWithin(30, StaticScript(8, 2, 55));
    kill(watchdogs[0], SIGCONT);
    EXPECT_EQ(r.out,
              "snapshot: failed: a change of lan0 is still waiting to be kept or restored\n");
    EXPECT_EQ(Now(), Static(7, 2, 54));

    // Someone else may neither see nor settle it.
    const std::string netsh = CopyForOtherUsers(BinDir() + "/netsh", net_->WorkDir() + "/bin");
    auto asNobody = [&](const std::vector<std::string>& args) {
        std::vector<std::string> argv{kSetpriv, "--reuid=65534", "--regid=65534", "--clear-groups",
                                      netsh};
        argv.insert(argv.end(), args.begin(), args.end());
        return net_->InClient(argv);
    };
    EXPECT_EQ(asNobody({"--pending"}).out, "");
    Result theirs = asNobody({"--pending", "restore", id});
    EXPECT_EQ(theirs.status, 1);
    EXPECT_EQ(theirs.out, "failed: not yours\n");
    EXPECT_EQ(Now(), Static(7, 2, 54));
    EXPECT_EQ(Netsh({"--pending", "restore", id}).out, "restored: address gateway dns\n");
    EXPECT_EQ(Now(), before);
}

}  // namespace
}  // namespace quorv::systest
