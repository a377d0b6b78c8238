// Applying as an ordinary user: netsh asks for the right, the apply run gets it through
// the real pkexec from a private polkitd on a private system bus, as a polkit rule says.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "ChildProcess.h"
#include "Netns.h"

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
        char pattern[] = "/var/tmp/quorvt-polkit-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        work_ = pattern;
        for (const char* dir : {"", "/actions", "/rules", "/data"}) {
            fs::create_directories(work_ + dir);
            chmod((work_ + dir).c_str(), 0755);
        }
        // The action as installed, naming this build's netsh.
        std::string policy =
            ReadFile(std::string(QUORV_SOURCE_DIR) + "/packaging/com.quorv.ipchanger.policy.in");
        const std::string token = "@QUORV_NETSH_PATH@";
        policy.replace(policy.find(token), token.size(),
                       fs::canonical(BinDir() + "/netsh").string());
        WriteFile(work_ + "/actions/com.quorv.ipchanger.policy", policy);
        chown((work_ + "/data").c_str(), 65534, 65534);
        data_ = work_ + "/data/QuorvIPChanger.dat";
        net_ = std::make_unique<TestNetwork>(43);
    }
    void TearDown() override {
        net_.reset();
        if (!work_.empty()) {
            std::error_code ignored;
            fs::remove_all(work_, ignored);
        }
    }

    void Rule(const std::string& result) {
        WriteFile(work_ + "/rules/10-quorv-test.rules",
                  "polkit.addRule(function(action, subject) {\n"
                  "    if (action.id == \"com.quorv.ipchanger.netsh\" &&\n"
                  "        subject.user == \"nobody\") {\n"
                  "        return polkit.Result." +
                      result + ";\n    }\n});\n");
        chmod((work_ + "/rules/10-quorv-test.rules").c_str(), 0644);
    }

    std::vector<std::string> AsNobody(const std::vector<std::string>& args) const {
        std::vector<std::string> argv{"/usr/bin/setpriv", "--reuid", kNobody,
                                      "--regid",          kNobody,   "--clear-groups"};
        argv.insert(argv.end(), args.begin(), args.end());
        return argv;
    }

    Result Qic(const std::vector<std::string>& args) const {
        std::vector<std::string> qic{BinDir() + "/qic", "--data", data_};
        qic.insert(qic.end(), args.begin(), args.end());
        return systest::Run(AsNobody(qic));
    }

    // qic apply as nobody, inside the client namespace, beside the private polkitd.
    Result Apply(const std::string& profile) const {
        std::vector<std::string> argv{
            "/usr/bin/unshare",
            "-m",
            "--propagation",
            "private",
            std::string(QUORV_SOURCE_DIR) + "/tests/support/polkit-bus.sh",
            work_ + "/actions",
            work_ + "/rules",
            fs::exists("/usr/bin/ip") ? "/usr/bin/ip" : "/sbin/ip",
            "netns",
            "exec",
            net_->Client()};
        for (const std::string& arg :
             AsNobody({BinDir() + "/qic", "--data", data_, "apply", profile})) {
            argv.push_back(arg);
        }
        RunOptions options;
        options.timeoutMs = 90000;
        return systest::Run(argv, options);
    }

    std::string work_;
    std::string data_;
    std::unique_ptr<TestNetwork> net_;
};

TEST_F(PolkitSystem, GrantedOnceTheUsersApplyChangesTheNetworkAndScriptsStayTheUsers) {
    const std::string hostConf = HostResolvConfFingerprint();
    const std::string marker = work_ + "/data/script-ran";
    WriteFile(work_ + "/script", "/usr/bin/touch " + marker + "\n");
    chmod((work_ + "/script").c_str(), 0644);
    Result r = Qic({"add", "office", "--interface", "lan0", "--ip", net_->Address(5), "--mask",
                    "255.255.255.0", "--gateway", net_->Address(1), "--dns1", net_->Address(53),
                    "--script-file", work_ + "/script"});
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
    fs::remove(work_ + "/rules/10-quorv-test.rules");
    r = Apply("office");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("no authentication agent is running"), std::string::npos) << r.err;
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
