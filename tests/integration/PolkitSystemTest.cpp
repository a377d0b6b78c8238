// Applying as an ordinary user: netsh asks for the right, the apply run gets it through
// the real pkexec from a private polkitd on a private system bus, as a polkit rule says.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "ChildProcess.h"
#include "Netns.h"
#include "PolkitSandbox.h"
#include "core/MessageDefaults.h"

namespace quorv::systest {
namespace {

namespace fs = std::filesystem;

constexpr const char* kNobody = "65534";

class PolkitSystem : public ::testing::Test {
  protected:
    void SetUp() override {
        if (geteuid() != 0) {
            GTEST_SKIP() << "needs root for namespaces, mounts and a private polkitd";
        }
        for (const char* program : {"/usr/bin/pkexec", "/usr/lib/polkit-1/polkitd",
                                    "/usr/bin/dbus-daemon", "/usr/bin/dbus-send"}) {
            ASSERT_TRUE(fs::exists(program)) << program << " (scripts/setup-deps --test)";
        }
        sandbox_ = std::make_unique<PolkitSandbox>();
        data_ = sandbox_->DataFolder(65534) + "/QuorvIPChanger.dat";
        net_ = std::make_unique<TestNetwork>(43);
    }
    void TearDown() override {
        net_.reset();
        sandbox_.reset();
    }

    void Rule(const std::string& result) {
        sandbox_->Rules(
            "polkit.addRule(function(action, subject) {\n"
            "    if (action.id == \"com.quorv.ipchanger.netsh\" &&\n"
            "        subject.user == \"nobody\") {\n"
            "        return polkit.Result." +
            result + ";\n    }\n});\n");
    }

    std::vector<std::string> AsNobody(const std::vector<std::string>& args) const {
        std::vector<std::string> argv{"/usr/bin/setpriv", "--reuid", kNobody,
                                      "--regid",          kNobody,   "--clear-groups"};
        argv.insert(argv.end(), args.begin(), args.end());
        return argv;
    }

    Result Qic(const std::vector<std::string>& args) const {
        std::vector<std::string> qic{sandbox_->Program("qic"), "--data", data_};
        qic.insert(qic.end(), args.begin(), args.end());
        return systest::Run(AsNobody(qic));
    }

    // qic apply as nobody, inside the client namespace, beside the private polkitd (or, without
    // polkit, with no system bus at all).
    Result Apply(const std::string& profile, bool polkit = true) const {
        std::vector<std::string> inner{fs::exists("/usr/bin/ip") ? "/usr/bin/ip" : "/sbin/ip",
                                       "netns", "exec", net_->Client()};
        for (const std::string& arg :
             AsNobody({sandbox_->Program("qic"), "--data", data_, "apply", profile})) {
            inner.push_back(arg);
        }
        std::vector<std::string> argv = sandbox_->Command(inner);
        if (!polkit) {
            argv = {"/usr/bin/unshare",
                    "-m",
                    "--propagation",
                    "private",
                    "/bin/sh",
                    "-c",
                    "mkdir -p /run/dbus && mount -t tmpfs quorvt-nobus /run/dbus && exec \"$@\"",
                    "sh"};
            argv.insert(argv.end(), inner.begin(), inner.end());
        }
        RunOptions options;
        options.timeoutMs = 90000;
        return systest::Run(argv, options);
    }

    std::unique_ptr<PolkitSandbox> sandbox_;
    std::string data_;
    std::unique_ptr<TestNetwork> net_;
};

TEST_F(PolkitSystem, GrantedOnceTheUsersApplyChangesTheNetworkAndScriptsStayTheUsers) {
    const std::string hostConf = HostResolvConfFingerprint();
    const std::string marker = fs::path(data_).parent_path().string() + "/script-ran";
    const std::string script = sandbox_->Work() + "/script";
    WriteFile(script, "/usr/bin/touch " + marker + "\n");
    chmod(script.c_str(), 0644);
    Result r = Qic({"add", "office", "--interface", "lan0", "--ip", net_->Address(5), "--mask",
                    "255.255.255.0", "--gateway", net_->Address(1), "--dns1", net_->Address(53),
                    "--script-file", script});
    ASSERT_EQ(r.status, 0) << r.err;

    Rule("YES");
    r = Apply("office");
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(net_->Addresses(),
              (std::vector<std::pair<std::string, int>>{{net_->Address(5), 24}}));
    ASSERT_EQ(net_->DefaultRoutes().size(), 1u);
    EXPECT_EQ(net_->DefaultRoutes()[0].gateway, net_->Address(1));
    EXPECT_NE(net_->ResolvConf().find("nameserver " + net_->Address(53)), std::string::npos);

    // The script line ran, as the user who applied.
    ASSERT_TRUE(WaitFor([&] { return fs::exists(marker); }, 10000));
    struct stat st {};
    ASSERT_EQ(stat(marker.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, 65534u);
    EXPECT_EQ(HostResolvConfFingerprint(), hostConf);
}

TEST_F(PolkitSystem, RefusedOrUnaskableRightsChangeNothingAndSaySo) {
    ASSERT_EQ(Qic({"add", "office", "--interface", "lan0", "--ip", net_->Address(5), "--mask",
                   "255.255.255.0"})
                  .status,
              0);
    Rule("NO");
    Result r = Apply("office");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("needs administrator rights, which were not granted: the system's "
                         "policy does not allow this user"),
              std::string::npos)
        << r.err;
    EXPECT_TRUE(net_->Addresses().empty());

    // No rule: polkit wants a password, and nobody is there to ask for it.
    sandbox_->Rules("");
    r = Apply("office");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(core::BuiltInText("msgNoPolkitAgent")), std::string::npos) << r.err;
    EXPECT_TRUE(net_->Addresses().empty());

    // No polkit daemon, not even a system bus: nothing refused, so no refusal is claimed.
    r = Apply("office", false);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(core::BuiltInText("msgNoPolkitDaemon")), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("policy"), std::string::npos) << r.err;
    EXPECT_TRUE(net_->Addresses().empty());
}

TEST_F(PolkitSystem, ArgumentsReachNetshThroughPkexecIntact) {
    // Quotes and a backslash: what the command line's quoting rules must carry through. qic
    // applies only to a connection the machine has, so the test's namespace gets one of
    // that name, and netsh running as root must find it by the name exactly as written.
    const std::string odd = "My\"odd\"\\LAN";
    const std::string ip = fs::exists("/usr/bin/ip") ? "/usr/bin/ip" : "/sbin/ip";
    // (A veth pair: not every kernel here has the dummy device.)
    ASSERT_EQ(net_->InClient({ip, "link", "add", odd, "type", "veth", "peer", "name", "quorv-odd1"})
                  .status,
              0);
    ASSERT_EQ(net_->InClient({ip, "link", "set", odd, "up"}).status, 0);
    ASSERT_EQ(
        Qic({"add", "odd", "--interface", odd, "--ip", "10.77.0.5", "--mask", "255.255.255.0"})
            .status,
        0);
    Rule("YES");
    const Result r = Apply("odd");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err.find("administrator rights"), std::string::npos) << r.err;
    const Result shown = net_->InClient({ip, "-4", "addr", "show", "dev", odd});
    EXPECT_NE(shown.out.find("10.77.0.5/24"), std::string::npos) << shown.out << shown.err;
}

}  // namespace
}  // namespace quorv::systest
