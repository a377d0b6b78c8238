#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

#include "Dnsmasq.h"
#include "Netns.h"
#include "NmSandbox.h"

namespace quorv::systest {
namespace {

constexpr int kNobody = 65534;
constexpr int kDaemonUser = 1;

// nobody may not touch NetworkManager, the daemon user may: both are ordinary users.
const char* kRules = R"(polkit.addRule(function(action, subject) {
    if (action.id.indexOf("org.freedesktop.NetworkManager.") == 0) {
        if (subject.user == "nobody") return polkit.Result.NO;
        if (subject.user == "daemon") return polkit.Result.YES;
    }
});
)";

class NmSystem : public ::testing::Test {
  protected:
    void SetUp() override {
        if (geteuid() != 0) {
            GTEST_SKIP() << "needs root for namespaces";
        }
        if (!std::filesystem::exists("/usr/sbin/NetworkManager")) {
            GTEST_SKIP() << "NetworkManager is not installed";
        }
        hostConf_ = HostResolvConfFingerprint();
        net_ = std::make_unique<TestNetwork>(41);
    }

    void TearDown() override {
        nm_.reset();
        net_.reset();
        if (!hostConf_.empty()) {
            EXPECT_EQ(HostResolvConfFingerprint(), hostConf_);
        }
    }

    void StartNm(const NmSandboxOptions& options = {}) {
        nm_ = std::make_unique<NmSandbox>(*net_, options);
    }

    void Ok(const std::vector<std::string>& args, int uid = -1) {
        Result r = nm_->Netsh(args, uid);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
    }

    // nmcli's multi-value fields come as "a | b".
    std::string Ip4(const std::string& field) const { return nm_->DeviceField("IP4." + field); }

    // The device lists its addresses in its own order; the connection keeps ours.
    std::string DeviceAddresses() const {
        std::string text = Ip4("ADDRESS");
        std::vector<std::string> items;
        for (std::size_t start = 0; start < text.size();) {
            std::size_t end = text.find(" | ", start);
            items.push_back(text.substr(start, end - start));
            start = end == std::string::npos ? text.size() : end + 3;
        }
        std::sort(items.begin(), items.end());
        std::string out;
        for (const auto& item : items) {
            out += (out.empty() ? "" : " | ") + item;
        }
        return out;
    }

    std::string ConnectionField(const std::string& connection, const std::string& field) const {
        Result r = nm_->Nmcli({"-g", field, "connection", "show", connection});
        return r.out.empty() ? r.err : r.out.substr(0, r.out.find_last_not_of('\n') + 1);
    }

    void Cycle(const std::string& connection) const {
        ASSERT_EQ(nm_->Nmcli({"connection", "down", connection}).status, 0);
        Result up = nm_->Nmcli({"connection", "up", connection});
        ASSERT_EQ(up.status, 0) << up.err;
    }

    std::string A(int host) const { return net_->Address(host); }

    Result Qic(const std::string& data, const std::vector<std::string>& args) const {
        std::vector<std::string> argv{BinDir() + "/qic", "--data", data};
        argv.insert(argv.end(), args.begin(), args.end());
        return nm_->Exec(argv);
    }

    std::string hostConf_;
    std::unique_ptr<TestNetwork> net_;
    std::unique_ptr<NmSandbox> nm_;
};

TEST_F(NmSystem, NetshChangesTheActiveConnectionAndTheChangesPersist) {
    Dnsmasq dhcp(*net_, A(1), A(77));
    StartNm();
    ASSERT_EQ(nm_->Nmcli({"connection", "add", "type", "ethernet", "ifname", "lan0", "con-name",
                          "Office wired"})
                  .status,
              0);
    Result up = nm_->Nmcli({"connection", "up", "Office wired"});
    ASSERT_EQ(up.status, 0) << up.err << dhcp.Log();
    EXPECT_EQ(nm_->Exec({BinDir() + "/netsh", "--backend", "lan0"}).out,
              "lan0: NetworkManager (NetworkManager manages the device)\n");

    Ok({"set", "address", "name=lan0", "source=static", "addr=" + A(5), "mask=255.255.255.0"});
    Ok({"add", "address", "name=lan0", "addr=" + A(6), "mask=255.255.0.0"});
    Ok({"set", "address", "name=lan0", "gateway=" + A(1), "gwmetric=0"});
    Ok({"set", "dns", "name=lan0", "source=static", "addr=" + A(53), "register=PRIMARY"});
    Ok({"add", "dns", "name=lan0", "addr=" + A(54), "index=2"});
    auto staticState = [&] {
        EXPECT_EQ(DeviceAddresses(), A(5) + "/24 | " + A(6) + "/16");
        EXPECT_EQ(Ip4("GATEWAY"), A(1));
        EXPECT_EQ(Ip4("DNS"), A(53) + " | " + A(54));
        EXPECT_EQ(nm_->DeviceField("GENERAL.CONNECTION"), "Office wired");
        EXPECT_EQ(ConnectionField("Office wired", "ipv4.addresses"), A(5) + "/24, " + A(6) + "/16");
    };
    staticState();
    // Commands that change nothing neither save nor reapply: a profile applied again does not
    // wake NetworkManager's dispatcher scripts for its gateway and DNS.
    auto changes = [&] {
        std::string log = nm_->Log();
        int n = 0;
        for (const char* op : {"op=\"device-reapply\"", "op=\"connection-update\""}) {
            for (auto at = log.find(op); at != std::string::npos; at = log.find(op, at + 1)) {
                ++n;
            }
        }
        return n;
    };
    int changed = changes();
    Ok({"set", "address", "name=lan0", "gateway=" + A(1), "gwmetric=0"});
    Ok({"add", "address", "name=lan0", "addr=" + A(6), "mask=255.255.0.0"});
    Ok({"add", "dns", "name=lan0", "addr=" + A(54), "index=2"});
    EXPECT_EQ(changes(), changed);
    // A connection saved apart from what the device runs with is applied all the same.
    ASSERT_EQ(nm_->Nmcli({"connection", "modify", "Office wired", "ipv4.dns", A(55) + "," + A(54)})
                  .status,
              0);
    Ok({"add", "dns", "name=lan0", "addr=" + A(54), "index=2"});
    EXPECT_GT(changes(), changed);
    EXPECT_EQ(Ip4("DNS"), A(55) + " | " + A(54));
    Ok({"set", "dns", "name=lan0", "source=static", "addr=" + A(53), "register=PRIMARY"});
    Ok({"add", "dns", "name=lan0", "addr=" + A(54), "index=2"});
    staticState();
    // Saved in the connection itself, not only applied to the device.
    EXPECT_EQ(ConnectionField("Office wired", "ipv4.method"), "manual");
    EXPECT_EQ(ConnectionField("Office wired", "ipv4.ignore-auto-dns"), "yes");
    Cycle("Office wired");
    staticState();
    EXPECT_EQ(net_->LiveProcesses("dhclient"), std::vector<pid_t>{});

    // DHCP for both: the lease and its DNS, as ipconfig reports them.
    Ok({"set", "address", "name=lan0", "source=dhcp"});
    Ok({"set", "dns", "name=lan0", "source=dhcp"});
    std::string leased = Ip4("ADDRESS");
    EXPECT_EQ(leased.rfind(A(1).substr(0, A(1).size() - 1), 0), 0u) << leased;
    EXPECT_GE(std::stoi(leased.substr(A(0).size() - 1)), 100) << leased;
    EXPECT_EQ(Ip4("DNS"), A(77));
    Result all = nm_->Exec({BinDir() + "/ipconfig", "/all"});
    EXPECT_NE(all.out.find("   DHCP Enabled. . . . . . . . . . . : Yes\n"), std::string::npos)
        << all.out;
    EXPECT_NE(all.out.find("   DHCP Server . . . . . . . . . . . : " + A(1) + "\n"),
              std::string::npos)
        << all.out;
    EXPECT_NE(all.out.find("   DNS Servers . . . . . . . . . . . : " + A(77) + "\n"),
              std::string::npos)
        << all.out;

    // ipconfig gives the lease back and takes a new one through NetworkManager.
    Result released = nm_->Exec({BinDir() + "/ipconfig", "/release", "lan0"});
    ASSERT_EQ(released.status, 0) << released.err;
    EXPECT_EQ(nm_->DeviceField("GENERAL.STATE"), "30 (disconnected)");
    Result renewed = nm_->Exec({BinDir() + "/ipconfig", "/renew", "lan0"});
    ASSERT_EQ(renewed.status, 0) << renewed.err;
    EXPECT_EQ(nm_->DeviceField("GENERAL.CONNECTION"), "Office wired");
    EXPECT_NE(
        renewed.out.find("IPv4 Address. . . . . . . . . . . : " + A(0).substr(0, A(0).size() - 1)),
        std::string::npos)
        << renewed.out;
    // The inventory names the connection beside the adapter.
    EXPECT_EQ(Qic(net_->WorkDir() + "/inventory.dat", {"interfaces"}).out,
              "lan0\tveth (Office wired)\n");

    // Back to static: nothing of the lease stays.
    Ok({"set", "address", "name=lan0", "source=static", "addr=" + A(9), "mask=255.255.255.0"});
    EXPECT_EQ(Ip4("ADDRESS"), A(9) + "/24");
    EXPECT_EQ(Ip4("GATEWAY"), "");
    EXPECT_EQ(Ip4("DNS"), "");
    Cycle("Office wired");
    EXPECT_EQ(Ip4("ADDRESS"), A(9) + "/24");
}

// netsh -f, as the apply run starts it: all lines of a profile are one saved change and one
// reapply, a refused line saves nothing, and DHCP from static needs no new activation.
TEST_F(NmSystem, AScriptIsOneChangeOfTheConnection) {
    Dnsmasq dhcp(*net_, A(1), A(77));
    StartNm();
    ASSERT_EQ(nm_->Nmcli({"connection", "add", "type", "ethernet", "ifname", "lan0", "con-name",
                          "Office wired"})
                  .status,
              0);
    Result up = nm_->Nmcli({"connection", "up", "Office wired"});
    ASSERT_EQ(up.status, 0) << up.err << dhcp.Log();
    auto count = [&](const std::string& op) {
        std::string log = nm_->Log();
        int n = 0;
        for (auto at = log.find(op); at != std::string::npos; at = log.find(op, at + 1)) {
            ++n;
        }
        return n;
    };
    auto script = [&](const std::vector<std::string>& lines) {
        const std::string path = net_->WorkDir() + "/script.txt";
        std::ofstream file(path, std::ios::trunc);
        for (const auto& line : lines) {
            file << "netsh interface ip " << line << "\r\n";
        }
        file.close();
        return nm_->Exec({BinDir() + "/netsh", "-f", path});
    };
    const char* kUpdate = "op=\"connection-update\"";
    const char* kReapply = "op=\"device-reapply\"";
    const char* kActivate = "op=\"connection-activate\"";
    int updates = count(kUpdate), reapplies = count(kReapply), activations = count(kActivate);

    Result r =
        script({"set address name=\"lan0\" source=static addr=" + A(5) + " mask=255.255.255.0",
                "add address name=\"lan0\" addr=" + A(6) + " mask=255.255.0.0",
                "set address name=\"lan0\" gateway=" + A(1) + " gwmetric=0",
                "set dns name=\"lan0\" source=static addr=" + A(53) + " register=PRIMARY",
                "add dns name=\"lan0\" addr=" + A(54) + " index=2"});
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    // The parts come as the device shows them, before the lines are known to be done.
    EXPECT_EQ(r.out,
              "done: address\ndone: gateway\ndone: dns\nline 1: ok\nline 2: ok\nline 3: ok\n"
              "line 4: ok\nline 5: ok\n");
    EXPECT_EQ(count(kUpdate), updates + 1);
    EXPECT_EQ(count(kReapply), reapplies + 1);
    EXPECT_EQ(count(kActivate), activations);
    EXPECT_EQ(DeviceAddresses(), A(5) + "/24 | " + A(6) + "/16");
    EXPECT_EQ(Ip4("GATEWAY"), A(1));
    EXPECT_EQ(Ip4("DNS"), A(53) + " | " + A(54));
    const std::string saved = ConnectionField("Office wired", "ipv4.addresses");

    // A fourth server is more than the resolver takes: refused, and nothing is saved, not
    // even the lines before it.
    r = script({"set address name=lan0 source=static addr=" + A(9) + " mask=255.255.255.0",
                "add dns name=lan0 addr=" + A(60), "add dns name=lan0 addr=" + A(61),
                "add dns name=lan0 addr=" + A(62)});
    EXPECT_EQ(r.status, 1);
    for (const std::string said :
         {"line 1: not run: line 3 failed\n", "line 2: not run: line 3 failed\n",
          "line 3: failed: The interface already has 3 DNS servers, as many as the resolver "
          "uses.\n",
          "line 4: not run: line 3 failed\n"}) {
        EXPECT_NE(r.out.find(said), std::string::npos) << r.out;
    }
    EXPECT_EQ(ConnectionField("Office wired", "ipv4.addresses"), saved);
    EXPECT_EQ(count(kUpdate), updates + 1);
    EXPECT_EQ(DeviceAddresses(), A(5) + "/24 | " + A(6) + "/16");

    // DHCP from static: reapplied, and the new lease brings its servers.
    activations = count(kActivate);
    r = script({"set address name=lan0 source=dhcp", "set dns name=lan0 source=dhcp"});
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    EXPECT_EQ(Ip4("DNS"), A(77));
    EXPECT_EQ(Ip4("GATEWAY"), A(1));
    EXPECT_EQ(count(kActivate), activations);
    EXPECT_EQ(ConnectionField("Office wired", "ipv4.method"), "auto");
}

TEST_F(NmSystem, QicAppliesProfilesThatSurviveACycle) {
    Dnsmasq dhcp(*net_, A(1), A(77));
    StartNm();
    const std::string data = net_->WorkDir() + "/profiles.dat";
    ASSERT_EQ(Qic(data, {"add", "office", "--interface", "lan0", "--ip", A(5) + "," + A(6),
                         "--mask", "255.255.255.0,255.255.0.0", "--gateway", A(1), "--dns1", A(53),
                         "--dns2", A(54)})
                  .status,
              0);
    ASSERT_EQ(Qic(data, {"add", "home", "--interface", "lan0", "--dhcp"}).status, 0);

    // No connection yet: netsh makes one for the device.
    Result r = Qic(data, {"apply", "office"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(nm_->DeviceField("GENERAL.CONNECTION"), "lan0");
    Cycle("lan0");
    EXPECT_EQ(DeviceAddresses(), A(5) + "/24 | " + A(6) + "/16");
    EXPECT_EQ(Ip4("GATEWAY"), A(1));
    EXPECT_EQ(Ip4("DNS"), A(53) + " | " + A(54));

    r = Qic(data, {"apply", "home"});
    ASSERT_EQ(r.status, 0) << r.err;
    Cycle("lan0");
    ASSERT_TRUE(WaitFor([&] { return Ip4("DNS") == A(77); }, 15000)) << Ip4("DNS");
    std::string leased = Ip4("ADDRESS");
    EXPECT_GE(std::stoi(leased.substr(A(0).size() - 1)), 100) << leased;
    EXPECT_EQ(Ip4("GATEWAY"), A(1));
    EXPECT_EQ(ConnectionField("lan0", "ipv4.method"), "auto");
}

TEST_F(NmSystem, AuthorisationIsNetworkManagersOwn) {
    NmSandboxOptions options;
    options.polkitRules = kRules;
    StartNm(options);
    // An ordinary user that polkit allows needs no capability of its own.
    Ok({"set", "address", "name=lan0", "source=static", "addr=" + A(5), "mask=255.255.255.0"},
       kDaemonUser);
    EXPECT_EQ(Ip4("ADDRESS"), A(5) + "/24");
    const std::string saved = ConnectionField("lan0", "ipv4.addresses");

    Result r = nm_->Netsh(
        {"set", "address", "name=lan0", "source=static", "addr=" + A(7), "mask=255.255.255.0"},
        kNobody);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_NE(r.err.find("NetworkManager does not allow this user to change \"lan0\""),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("org.freedesktop.NetworkManager.settings.modify.system"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.err.find("CAP_NET_ADMIN"), std::string::npos) << r.err;
    EXPECT_EQ(Ip4("ADDRESS"), A(5) + "/24");
    EXPECT_EQ(ConnectionField("lan0", "ipv4.addresses"), saved);
}

TEST_F(NmSystem, ADeviceThatNeverGetsThereIsReportedWithItsState) {
    StartNm();
    Ok({"set", "address", "name=lan0", "source=static", "addr=" + A(5), "mask=255.255.255.0"});
    // No DHCP server answers: NetworkManager would go on asking for longer than netsh waits.
    auto started = std::chrono::steady_clock::now();
    Result r = nm_->Netsh({"set", "address", "name=lan0", "source=dhcp"});
    auto waited = std::chrono::steady_clock::now() - started;
    EXPECT_GE(waited, std::chrono::seconds(20));
    EXPECT_LT(waited, std::chrono::seconds(25));
    EXPECT_EQ(r.status, 1);
    const std::string prefix =
        "NetworkManager did not bring \"lan0\" to the new settings within 20 s (state ";
    EXPECT_EQ(r.err.substr(0, prefix.size()), prefix) << r.err;
    EXPECT_NE(r.err.find(", reason "), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    // What was asked for is saved all the same: NetworkManager goes on with it.
    EXPECT_EQ(ConnectionField("lan0", "ipv4.method"), "auto");
}

TEST_F(NmSystem, NetworkManagerStoppingMidwayIsAClearError) {
    StartNm();
    Ok({"set", "address", "name=lan0", "source=static", "addr=" + A(5), "mask=255.255.255.0"});
    // Without a DHCP server netsh is still waiting for a lease when NetworkManager goes.
    Result r;
    std::thread waiting([&] { r = nm_->Netsh({"set", "address", "name=lan0", "source=dhcp"}); });
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    auto stopped = std::chrono::steady_clock::now();
    nm_->StopNetworkManager();
    waiting.join();
    EXPECT_LT(std::chrono::steady_clock::now() - stopped, std::chrono::seconds(5));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "NetworkManager stopped while \"lan0\" was being changed.\n");
    // Stopped, it is no backend any more.
    EXPECT_EQ(nm_->Exec({BinDir() + "/netsh", "--backend", "lan0"}).out,
              "lan0: netlink (NetworkManager does not run on the system bus)\n");
}

// Any user on the system bus may send netsh's connection signals; none of them may make netsh
// give NetworkManager up (and go to netlink, or ask for a password), cost it much memory or
// keep it from finishing.
TEST_F(NmSystem, AnotherUsersSignalsDoNotDerailAChange) {
    StartNm();
    auto setStatic = [&](int host) {
        return std::vector<std::string>{"set",           "address",         "name=lan0",
                                        "source=static", "addr=" + A(host), "mask=255.255.255.0"};
    };
    Result quiet = nm_->Netsh(setStatic(4));
    ASSERT_EQ(quiet.status, 0) << quiet.err;

    const std::string log = net_->WorkDir() + "/attacker.log";
    auto attacker = nm_->Start({QUORV_BUS_ATTACKER, "netsh", "40"}, log, kNobody);
    ASSERT_TRUE(WaitFor([&] { return ReadFile(log).find("ready\n") != std::string::npos; }, 5000))
        << ReadFile(log);
    long peak = 0;
    for (int host : {5, 6, 7}) {
        Result r = nm_->Netsh(setStatic(host));
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
        EXPECT_EQ(ConnectionField("lan0", "ipv4.addresses"), A(host) + "/24");
        peak = std::max(peak, r.maxRssKb);
    }
    // A lease that comes late keeps netsh waiting, and reading what it is sent, for seconds.
    Result lease;
    std::thread waiting([&] {
        lease = nm_->Netsh({"set", "address", "name=lan0", "source=dhcp"});
    });
    std::this_thread::sleep_for(std::chrono::seconds(2));
    Dnsmasq dhcp(*net_, A(1), A(77));
    waiting.join();
    attacker.reset();
    ASSERT_TRUE(WaitFor([&] { return ReadFile(log).find("targets ") != std::string::npos; }, 5000))
        << ReadFile(log);
    const std::string report = ReadFile(log);
    RecordProperty("attacker", report);

    EXPECT_EQ(lease.status, 0) << lease.err;
    EXPECT_EQ(lease.err, "");
    EXPECT_EQ(ConnectionField("lan0", "ipv4.method"), "auto");
    EXPECT_EQ(nm_->Exec({BinDir() + "/netsh", "--backend", "lan0"}).out,
              "lan0: NetworkManager (NetworkManager manages the device)\n");

    // The bus took each kind for netsh: "KIND SIZE sent N refused ...", SIZE the last it took.
    auto taken = [&](const std::string& kind) {
        std::size_t at = report.find("\n" + kind + " ");
        std::istringstream line(at == std::string::npos ? "" : report.substr(at + kind.size() + 2));
        std::string size, word;
        int sent = 0;
        line >> size >> word >> sent;
        EXPECT_GT(sent, 0) << kind << "\n" << report;
        return size;
    };
    EXPECT_EQ(taken("variants"), "64") << report;
    const long arrayKb = std::stol("0" + taken("bytes")) / 1024;
    EXPECT_GE(arrayKb, 16 * 1024) << report;
    taken("empty-arrays");
    // The waiting netsh read some of the large arrays, and never held much more than one.
    EXPECT_GE(lease.maxRssKb, arrayKb);
    EXPECT_LT(lease.maxRssKb, quiet.maxRssKb + 2 * arrayKb);
    EXPECT_LT(peak, quiet.maxRssKb + 2 * arrayKb);
}

TEST_F(NmSystem, UnmanagedDeviceFallsBackToNetlink) {
    ASSERT_EQ(systest::Run({"/usr/sbin/ip", "link", "add", "lan1", "netns", net_->Client(), "type",
                            "veth", "peer", "name", "srv1", "netns", net_->Server()})
                  .status,
              0);
    StartNm();
    EXPECT_EQ(nm_->Exec({BinDir() + "/netsh", "--backend", "lan1"}).out,
              "lan1: netlink (NetworkManager leaves the device unmanaged)\n");
    Ok({"set", "address", "name=lan1", "source=static", "addr=10.213.42.5", "mask=255.255.255.0"});
    Result addr = nm_->Exec({"/usr/sbin/ip", "-4", "-o", "addr", "show", "dev", "lan1"});
    EXPECT_NE(addr.out.find("inet 10.213.42.5/24"), std::string::npos) << addr.out;
    EXPECT_EQ(nm_->DeviceField("GENERAL.STATE", "lan1"), "10 (unmanaged)");
}

TEST_F(NmSystem, ADeviceOfTheSameNameElsewhereIsNotNetworkManagers) {
    StartNm();
    ASSERT_EQ(systest::Run({"/usr/sbin/ip", "-n", net_->Server(), "link", "add", "lan0", "type",
                            "veth", "peer", "name", "lan0p"})
                  .status,
              0);
    // Same bus, same NetworkManager, but the network namespace of the server end.
    Result r = systest::Run({"/usr/bin/nsenter", "-t", std::to_string(nm_->InitPid()), "-m", "-p",
                             "--net=/run/netns/" + net_->Server(), "--", BinDir() + "/netsh",
                             "--backend", "lan0"});
    EXPECT_EQ(r.out,
              "lan0: netlink (NetworkManager's device of that name is in another network "
              "namespace)\n")
        << r.err;
}

// What NetworkManager has on its device comes back as a profile that applies back to it.
TEST_F(NmSystem, CaptureTakesWhatNetworkManagerHasAndAppliesBack) {
    Dnsmasq dhcp(*net_, A(1), A(77));
    StartNm();
    const std::string data = net_->WorkDir() + "/capture.dat";
    ASSERT_EQ(Qic(data, {"add", "office", "--interface", "lan0", "--ip", A(5) + "," + A(6),
                         "--mask", "255.255.255.0,255.255.0.0", "--gateway", A(1), "--dns1", A(53),
                         "--dns2", A(54)})
                  .status,
              0);
    ASSERT_EQ(Qic(data, {"add", "home", "--interface", "lan0", "--dhcp"}).status, 0);
    Result r = Qic(data, {"apply", "office"});
    ASSERT_EQ(r.status, 0) << r.err;

    r = Qic(data, {"capture", "taken", "--interface", "lan0"});
    ASSERT_EQ(r.status, 0) << r.err;
    r = Qic(data, {"show", "taken", "--json"});
    EXPECT_NE(r.out.find("\"Gateway\": \"" + A(1) + "\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"DNS1\": \"" + A(53) + "\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\"DNS2\": \"" + A(54) + "\""), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(A(5)), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(A(6)), std::string::npos) << r.out;

    r = Qic(data, {"apply", "home"});
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_TRUE(WaitFor([&] { return Ip4("DNS") == A(77); }, 15000)) << Ip4("DNS");
    r = Qic(data, {"capture", "leased", "--interface", "lan0"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(Qic(data, {"show", "leased", "--json"}).out.find("\"IP\": \"DHCP\""),
              std::string::npos);

    r = Qic(data, {"apply", "taken"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(DeviceAddresses(), A(5) + "/24 | " + A(6) + "/16");
    EXPECT_EQ(Ip4("GATEWAY"), A(1));
    EXPECT_EQ(Ip4("DNS"), A(53) + " | " + A(54));
    EXPECT_EQ(ConnectionField("lan0", "ipv4.method"), "manual");
}

}  // namespace
}  // namespace quorv::systest
