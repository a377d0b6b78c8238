// qic apply --confirm on a terminal inside a namespace: the question, and every way of not
// answering it, bring the previous settings back; "y" and qic confirm keep the new ones.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>

#include "Netns.h"
#include "NmSandbox.h"
#include "TerminalSession.h"

namespace quorv::systest {
namespace {

using Clock = std::chrono::steady_clock;
using Addrs = std::vector<std::pair<std::string, int>>;

const std::vector<std::string> kEnglish{"LC_ALL=C.UTF-8", "LANGUAGE="};

long MsSince(Clock::time_point start) {
    return long(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

class QicConfirm : public ::testing::Test {
  protected:
    void SetUp() override {
        if (geteuid() != 0) {
            GTEST_SKIP() << "needs root for network namespaces";
        }
        hostConf_ = HostResolvConfFingerprint();
        net_ = std::make_unique<TestNetwork>(67);
        // Root applies only from a folder no other user can write.
        folder_ = net_->WorkDir() + "/qic";
        std::filesystem::create_directory(folder_);
        chmod(folder_.c_str(), 0700);
    }
    void TearDown() override {
        nm_.reset();
        net_.reset();
        if (!hostConf_.empty()) {
            EXPECT_EQ(HostResolvConfFingerprint(), hostConf_) << "the host's resolv.conf changed";
        }
    }

    std::string A(int host) const { return net_->Address(host); }
    std::vector<std::string> QicArgs(const std::vector<std::string>& args) const {
        std::vector<std::string> argv{BinDir() + "/qic", "--data", folder_ + "/QuorvIPChanger.dat"};
        argv.insert(argv.end(), args.begin(), args.end());
        return argv;
    }
    std::vector<std::string> InClient(const std::vector<std::string>& argv) const {
        std::vector<std::string> full{
            std::filesystem::exists("/usr/sbin/ip") ? "/usr/sbin/ip" : "/sbin/ip", "netns", "exec",
            net_->Client()};
        full.insert(full.end(), argv.begin(), argv.end());
        return full;
    }
    // qic in the client namespace without a terminal, as a script or another shell runs it.
    Result Qic(const std::vector<std::string>& args) const {
        RunOptions options;
        options.extraEnv = kEnglish;
        return net_->InClient(QicArgs(args), options);
    }

    // The old settings (host 10) in force and a profile of new ones (host 20) stored.
    void Prepare() {
        ASSERT_EQ(net_->Netsh({"set", "address", "name=lan0", "source=static", "addr=" + A(10),
                               "mask=255.255.255.0"})
                      .status,
                  0);
        ASSERT_EQ(Old(), net_->Addresses());
        Result r = Qic({"add", "office", "--interface", "lan0", "--ip", A(20), "--mask",
                        "255.255.255.0", "--gateway", A(1), "--dns1", A(53)});
        ASSERT_EQ(r.status, 0) << r.err;
    }
    Addrs Old() const { return {{A(10), 24}}; }
    Addrs New() const { return {{A(20), 24}}; }

    // qic apply office --confirm=SECONDS on a terminal, once it asks.
    std::unique_ptr<TerminalSession> AskOnTerminal(int seconds) {
        auto session = std::make_unique<TerminalSession>(
            InClient(QicArgs({"apply", "office", "--confirm=" + std::to_string(seconds)})),
            kEnglish);
        EXPECT_TRUE(session->WaitForText("Keep these settings? [y/N]", 15000))
            << session->Transcript();
        EXPECT_EQ(net_->Addresses(), New());
        return session;
    }

    std::string hostConf_;
    std::unique_ptr<TestNetwork> net_;
    std::unique_ptr<NmSandbox> nm_;
    std::string folder_;
};

TEST_F(QicConfirm, NoAnswerRestoresAndYesKeeps) {
    Prepare();
    auto session = AskOnTerminal(3);
    const std::string transcript = session->Transcript();
    EXPECT_NE(transcript.find("Gateway " + A(1) + " answers"), std::string::npos) << transcript;
    EXPECT_NE(transcript.find("DNS " + A(53) + " does not answer"), std::string::npos)
        << transcript;
    EXPECT_EQ(session->Wait(8000), 1) << session->Transcript();
    EXPECT_EQ(net_->Addresses(), Old());
    // The count went down on the prompt's own line while nobody answered.
    EXPECT_NE(session->Transcript().find("\0337\r"
                                         "Keep these settings? [y/N] (The previous "
                                         "settings come back in 1 s.) \0338"),
              std::string::npos)
        << session->Transcript();
    EXPECT_NE(session->Transcript().find("The previous settings of lan0 were restored: address"),
              std::string::npos)
        << session->Transcript();

    session = AskOnTerminal(3);
    session->Type("y\r");
    EXPECT_EQ(session->Wait(5000), 0) << session->Transcript();
    EXPECT_EQ(net_->Addresses(), New());
    // The watchdog was told and is gone: nothing is left to confirm.
    Result r = Qic({"confirm"});
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_NE(r.err.find("no change waits"), std::string::npos) << r.err;
}

TEST_F(QicConfirm, CtrlCEndOfInputTermAndHangUpRestoreAtOnceAndKillLeavesItToTheWatchdog) {
    Prepare();
    // Ctrl-C and Ctrl-D typed at the terminal, then the two signals a closing session sends.
    for (const std::string way : {"ctrl-c", "ctrl-d", "term", "hup"}) {
        auto session = AskOnTerminal(30);
        const auto interrupted = Clock::now();
        if (way == "ctrl-c") {
            session->Type("\x03");
        } else if (way == "ctrl-d") {
            session->Type("\x04");
        } else {
            ::kill(session->Pid(), way == "term" ? SIGTERM : SIGHUP);
        }
        EXPECT_EQ(session->Wait(5000), 1) << way << session->Transcript();
        EXPECT_LT(MsSince(interrupted), 5000) << way;
        EXPECT_EQ(net_->Addresses(), Old()) << way;
    }

    auto session = AskOnTerminal(3);
    ::kill(session->Pid(), SIGKILL);
    const auto killed = Clock::now();
    EXPECT_EQ(session->Wait(2000), 128 + SIGKILL);
    ASSERT_TRUE(WaitFor([&] { return net_->Addresses() == Old(); }, 5000))
        << "not restored within 3 + 2 s of the kill";
    RecordProperty("restored_after_kill_ms", std::to_string(MsSince(killed)));
}

TEST_F(QicConfirm, WithoutATerminalNothingChanges) {
    Prepare();
    Result r = Qic({"apply", "office", "--confirm"});
    EXPECT_EQ(r.status, 2) << r.out << r.err;
    EXPECT_NE(r.err.find("--confirm needs a terminal"), std::string::npos) << r.err;
    EXPECT_EQ(net_->Addresses(), Old());
}

TEST_F(QicConfirm, ConfirmAndRollbackFromAnotherShell) {
    Prepare();
    auto session = AskOnTerminal(30);
    // The asking qic is gone; the change waits for its watchdog.
    ::kill(session->Pid(), SIGKILL);
    session->Wait(2000);
    Result r = Qic({"rollback"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "The previous settings of lan0 were restored: address, gateway, DNS servers.\n");
    EXPECT_EQ(net_->Addresses(), Old());

    session = AskOnTerminal(30);
    ::kill(session->Pid(), SIGKILL);
    session->Wait(2000);
    r = Qic({"confirm", "nosuch"});
    EXPECT_EQ(r.status, 1) << r.err;
    r = Qic({"confirm", "lan0"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "The new settings of lan0 are kept.\n");
    EXPECT_EQ(net_->Addresses(), New());
}

TEST_F(QicConfirm, NetworkManagerCheckpointComesBackWithoutAnAnswer) {
    if (!std::filesystem::exists("/usr/sbin/NetworkManager")) {
        GTEST_SKIP() << "NetworkManager is not installed";
    }
    nm_ = std::make_unique<NmSandbox>(*net_);
    ASSERT_TRUE(nm_->WaitForDevice("lan0", 10000));
    Result r = nm_->Netsh(
        {"set", "address", "name=lan0", "source=static", "addr=" + A(10), "mask=255.255.255.0"});
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    ASSERT_TRUE(WaitFor([&] { return nm_->DeviceField("IP4.ADDRESS") == A(10) + "/24"; }, 10000))
        << nm_->DeviceField("IP4.ADDRESS");
    r = Qic({"add", "office", "--interface", "lan0", "--ip", A(20), "--mask", "255.255.255.0",
             "--gateway", A(1)});
    ASSERT_EQ(r.status, 0) << r.err;

    TerminalSession session(nm_->Command(QicArgs({"apply", "office", "--confirm=3"})), kEnglish);
    ASSERT_TRUE(session.WaitForText("Keep these settings? [y/N]", 20000)) << session.Transcript();
    EXPECT_EQ(nm_->DeviceField("IP4.ADDRESS"), A(20) + "/24");
    EXPECT_EQ(session.Wait(10000), 1) << session.Transcript();
    EXPECT_EQ(nm_->DeviceField("IP4.ADDRESS"), A(10) + "/24");
    EXPECT_NE(session.Transcript().find("were restored"), std::string::npos)
        << session.Transcript();
}

}  // namespace
}  // namespace quorv::systest
