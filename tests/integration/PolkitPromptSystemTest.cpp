// The password prompts of an apply, counted at a real polkit agent: pkttyagent on a
// terminal of the test's own, answering for a test user whom a polkit rule makes an
// administrator. The user, their password and PAM exist only in the test's mount namespace.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <regex>

#include "ChildProcess.h"
#include "Netns.h"
#include "PolkitSandbox.h"
#include "PromptTerminal.h"

namespace quorv::systest {
namespace {

namespace fs = std::filesystem;

constexpr const char* kUser = "quorvtest";
constexpr unsigned kUid = 64123;
constexpr const char* kPassword = "correct horse 8074";

// What the action grants an active session's user (auth_admin_keep), as a polkit result.
std::string ActiveSessionResult() {
    const std::string policy =
        ReadFile(std::string(QUORV_SOURCE_DIR) + "/packaging/com.quorv.ipchanger.policy.in");
    std::smatch match;
    if (!std::regex_search(policy, match, std::regex("<allow_active>([a-z_]+)</allow_active>"))) {
        return {};
    }
    std::string result = match[1];
    std::transform(result.begin(), result.end(), result.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return result;
}

class PolkitPrompt : public ::testing::Test {
  protected:
    void SetUp() override {
        if (geteuid() != 0) {
            GTEST_SKIP() << "needs root for namespaces, mounts and a private polkitd";
        }
        for (const char* program : {"/usr/bin/pkexec", "/usr/bin/pkttyagent",
                                    "/usr/lib/polkit-1/polkitd", "/usr/bin/dbus-daemon"}) {
            ASSERT_TRUE(fs::exists(program)) << program << " (scripts/setup-deps --test)";
        }
        sandbox_ = std::make_unique<PolkitSandbox>();
        sandbox_->CopyProgram(QUORV_APPLY_REPEAT);
        sandbox_->AddUser(kUser, kUid, kPassword);
        // There is no login session here, so polkit would take the action's defaults for
        // inactive users; the rule gives the test user what an active session gets.
        const std::string result = ActiveSessionResult();
        ASSERT_EQ(result, "AUTH_ADMIN_KEEP");
        sandbox_->Rules(std::string("polkit.addAdminRule(function(action, subject) {\n"
                                    "    return [\"unix-user:") +
                        kUser +
                        "\"];\n});\n"
                        "polkit.addRule(function(action, subject) {\n"
                        "    if (action.id == \"com.quorv.ipchanger.netsh\" &&\n"
                        "        subject.user == \"" +
                        kUser + "\") {\n        return polkit.Result." + result +
                        ";\n    }\n});\n");
        data_ = sandbox_->DataFolder(kUid) + "/QuorvIPChanger.dat";
        net_ = std::make_unique<TestNetwork>(44);

        const std::string uid = std::to_string(kUid);
        Result r = systest::Run({"/usr/bin/setpriv",
                                 "--reuid",
                                 uid,
                                 "--regid",
                                 uid,
                                 "--clear-groups",
                                 sandbox_->Program("qic"),
                                 "--data",
                                 data_,
                                 "add",
                                 "office",
                                 "--interface",
                                 "lan0",
                                 "--ip",
                                 net_->Address(5),
                                 "--mask",
                                 "255.255.255.0",
                                 "--gateway",
                                 net_->Address(1),
                                 "--dns1",
                                 net_->Address(53)});
        ASSERT_EQ(r.status, 0) << r.err;
    }
    void TearDown() override {
        net_.reset();
        sandbox_.reset();
    }

    // command, run as the test user inside the client namespace, with pkttyagent on terminal
    // as the user's agent.
    Result WithAgent(const PromptTerminal& terminal, const std::vector<std::string>& command) {
        std::vector<std::string> inner{
            fs::exists("/usr/bin/ip") ? "/usr/bin/ip" : "/sbin/ip",
            "netns",
            "exec",
            net_->Client(),
            std::string(QUORV_SOURCE_DIR) + "/tests/support/polkit-agent.sh",
            terminal.Path(),
            std::to_string(kUid)};
        inner.insert(inner.end(), command.begin(), command.end());
        RunOptions options;
        options.timeoutMs = 90000;
        return systest::Run(sandbox_->Command(inner), options);
    }

    std::unique_ptr<PolkitSandbox> sandbox_;
    std::string data_;
    std::unique_ptr<TestNetwork> net_;
};

TEST_F(PolkitPrompt, OneApplyAsksOnceAndTheSameProgramsNextApplyAsksNoMore) {
    const std::string hostConf = HostResolvConfFingerprint();
    {
        PromptTerminal terminal(std::string(kPassword) + "\n");
        const Result r =
            WithAgent(terminal, {sandbox_->Program("qic"), "--data", data_, "apply", "office"});
        ASSERT_EQ(r.status, 0) << r.err << terminal.Transcript();
        // Address, gateway and DNS all changed as root, after one password.
        EXPECT_EQ(terminal.Authentications(), 1) << terminal.Transcript();
        EXPECT_EQ(terminal.PasswordPrompts(), 1) << terminal.Transcript();
        EXPECT_EQ(net_->Addresses(),
                  (std::vector<std::pair<std::string, int>>{{net_->Address(5), 24}}));
        ASSERT_EQ(net_->DefaultRoutes().size(), 1u);
        EXPECT_EQ(net_->DefaultRoutes()[0].gateway, net_->Address(1));
        EXPECT_NE(net_->ResolvConf().find("nameserver " + net_->Address(53)), std::string::npos);
    }
    {
        // Two applies by one program, as the window's user applies again within the keep
        // period: the second finds the right still kept for the program.
        PromptTerminal terminal(std::string(kPassword) + "\n");
        const Result r = WithAgent(
            terminal, {sandbox_->Program("quorv-apply-repeat"), "2", "lan0", net_->Address(6),
                       "255.255.0.0", net_->Address(2), net_->Address(54)});
        ASSERT_EQ(r.status, 0) << r.out << r.err << terminal.Transcript();
        EXPECT_EQ(r.out, "apply 1 succeeded\napply 2 succeeded\n");
        EXPECT_EQ(terminal.Authentications(), 1) << terminal.Transcript();
        EXPECT_EQ(net_->Addresses(),
                  (std::vector<std::pair<std::string, int>>{{net_->Address(6), 16}}));
    }
    EXPECT_EQ(HostResolvConfFingerprint(), hostConf);
}

TEST_F(PolkitPrompt, CancellingThePromptFailsTheApplyAndChangesNothing) {
    // End of input at the prompt: pkttyagent gives up the authentication.
    PromptTerminal terminal("\x04");
    const Result r =
        WithAgent(terminal, {sandbox_->Program("qic"), "--data", data_, "apply", "office"});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("needs administrator rights, which were not granted"), std::string::npos)
        << r.err;
    // The gateway and DNS commands did not ask again.
    EXPECT_EQ(terminal.Authentications(), 1) << terminal.Transcript();
    EXPECT_TRUE(net_->Addresses().empty());
    EXPECT_TRUE(net_->DefaultRoutes().empty());
    EXPECT_EQ(net_->ResolvConf().find("nameserver " + net_->Address(53)), std::string::npos);
}

}  // namespace
}  // namespace quorv::systest
