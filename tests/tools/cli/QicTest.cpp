#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "TempFolder.h"
#include "system/Process.h"

namespace quorv::cli {
namespace {

using quorv::testing::TempFolder;

struct Outcome {
    int status = -1;
    std::string out, err;
};

Outcome RunProgram(const std::string& program, const std::vector<std::string>& args) {
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), args.begin(), args.end());
    platform::RunOutput run = platform::RunAndWaitCaptured(argv);
    return {run.exitCode, run.standardOutput, run.standardError};
}

class Qic : public ::testing::Test {
  protected:
    Outcome operator()(std::vector<std::string> args) {
        args.insert(args.begin(), {"--data", data_});
        return RunProgram(std::string(QUORV_BIN_DIR) + "/qic", args);
    }
    // Refused with status 2, one message on stderr, nothing on stdout.
    void Refused(const std::vector<std::string>& args) {
        Outcome o = (*this)(args);
        EXPECT_EQ(o.status, 2) << o.err;
        EXPECT_EQ(o.out, "");
        EXPECT_EQ(o.err.rfind("qic: ", 0), 0u) << o.err;
    }

    TempFolder tmp_;
    std::string data_ = tmp_ / "profiles.dat";
};

TEST_F(Qic, UsageAndTheDataFileBesideTheProgram) {
    // A copy of the program in a folder of its own keeps its data file there.
    const std::string copy = tmp_ / "qic";
    std::filesystem::copy_file(std::string(QUORV_BIN_DIR) + "/qic", copy);
    Outcome o = RunProgram(copy, {});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out.rfind("usage: qic", 0), 0u) << o.out;
    EXPECT_FALSE(std::filesystem::exists(tmp_ / "QuorvIPChanger.dat"));
    o = RunProgram(copy, {"list"});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, "");
    EXPECT_TRUE(std::filesystem::exists(tmp_ / "QuorvIPChanger.dat"));

    Refused({"frobnicate"});
    Refused({"show"});
    Refused({"list", "--dry-run"});
    Refused({"show", "nobody"});
    Refused({"delete", "nobody"});
}

TEST_F(Qic, AddRefusesBadValuesAndWritesNothing) {
    const std::vector<std::string> base{"add", "p", "--interface", "lan0"};
    auto refused = [&](std::vector<std::string> extra) {
        extra.insert(extra.begin(), base.begin(), base.end());
        Refused(extra);
    };
    refused({"--ip", "10.0.0.1;reboot", "--mask", "255.0.0.0"});
    refused({"--ip", "10.0.0.1,10.0.0.2", "--mask", "255.0.0.0"});
    refused({"--ip", "10.0.0.1", "--mask", "255.0.0.0", "--gateway", "10.0.0"});
    refused({"--ip", "10.0.0.1", "--mask", "255.0.0.0", "--dns2", "10.0.0.3"});
    refused({"--dhcp", "--gateway", "10.0.0.1"});
    refused({"--dhcp", "--script-file", tmp_ / "missing"});
    Refused({"add", std::string(51, 'n'), "--interface", "lan0", "--dhcp"});
    Refused({"add", "p", "--dhcp"});
    EXPECT_EQ((*this)({"list"}).out, "");

    ASSERT_EQ((*this)({"add", "p", "--interface", "lan0", "--dhcp"}).status, 0);
    Refused({"add", "p", "--interface", "eth1", "--dhcp"});
    EXPECT_EQ((*this)({"add", "P", "--interface", "eth1", "--dhcp"}).status, 0);
}

TEST_F(Qic, AddRefusesWhatNetshWouldRefuseAtApply) {
    const struct {
        std::vector<std::string> args;
        const char* reason;
    } cases[] = {
        {{"--ip", "10.0.0.5", "--mask", "255.0.255.0"}, "is not a subnet mask"},
        {{"--ip", "10.0.0.05", "--mask", "255.0.0.0"}, "without leading zeros"},
        {{"--ip", "0.0.0.0", "--mask", "255.0.0.0"}, "not an address a host can use"},
        {{"--ip", "255.255.255.255", "--mask", "255.255.255.255"}, "a host can use"},
        {{"--ip", "10.0.0.0", "--mask", "255.255.255.0"}, "network or broadcast"},
        {{"--dhcp", "--dns1", "224.0.0.251"}, "DNS server \"224.0.0.251\""},
        {{"--ip", "10.0.0.5", "--mask", "255.0.0.0", "--gateway", "0.0.0.0"}, "gateway"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{"add", "p", "--interface", "lan0"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        Outcome o = (*this)(args);
        EXPECT_EQ(o.status, 2) << c.reason;
        EXPECT_NE(o.err.find(c.reason), std::string::npos) << o.err;
    }
    for (const char* name : {"sixteen-chars-xx", "-x", "Office LAN"}) {
        Outcome o = (*this)({"add", "p", "--interface", name, "--dhcp"});
        EXPECT_EQ(o.status, 2) << name;
        EXPECT_NE(o.err.find("the interface name"), std::string::npos) << o.err;
    }
    EXPECT_EQ((*this)({"list"}).out, "");
    EXPECT_EQ((*this)({"add", "p", "--interface", "fifteen-chars-x", "--dhcp"}).status, 0);
}

TEST_F(Qic, ScriptsAreBounded) {
    const std::vector<std::string> base{"add",  "p",      "--interface",
                                        "lan0", "--dhcp", "--script-file"};
    auto add = [&](const std::string& file) {
        std::vector<std::string> args = base;
        args.push_back(file);
        return (*this)(args);
    };
    // An endless file is refused after the limit, not read into memory.
    Outcome o = add("/dev/zero");
    EXPECT_EQ(o.status, 2);
    EXPECT_NE(o.err.find("longer than 65536 bytes"), std::string::npos) << o.err;

    std::string lines;
    for (int i = 0; i < 1001; ++i) {
        lines += "true\n";
    }
    std::ofstream(tmp_ / "long") << lines;
    o = add(tmp_ / "long");
    EXPECT_EQ(o.status, 2);
    EXPECT_NE(o.err.find("more than 1000 lines"), std::string::npos) << o.err;

    std::ofstream(tmp_ / "nul") << std::string("echo a\0rm -rf ~\n", 16);
    o = add(tmp_ / "nul");
    EXPECT_EQ(o.status, 2);
    EXPECT_NE(o.err.find("NUL"), std::string::npos) << o.err;
    EXPECT_EQ((*this)({"list"}).out, "");

    std::ofstream(tmp_ / "fits") << lines.substr(5);
    EXPECT_EQ(add(tmp_ / "fits").status, 0);
}

TEST_F(Qic, StoredControlCharactersReachTheTerminalEscaped) {
    std::ofstream(tmp_ / "script") << "echo \x1b]0;owned\x07 \xc2\x9b"
                                      "31m\tdone\n";
    ASSERT_EQ(
        (*this)({"add", "p", "--interface", "lan0", "--dhcp", "--script-file", tmp_ / "script"})
            .status,
        0);
    const std::string shown = "echo \\x1B]0;owned\\x07 \\u009b31m\\x09done";
    EXPECT_NE((*this)({"show", "p"}).out.find("    " + shown + "\n"), std::string::npos);
    EXPECT_NE((*this)({"apply", "p", "--dry-run"}).out.find("script: " + shown + "\n"),
              std::string::npos);
    const std::string json = (*this)({"show", "p", "--json"}).out;
    EXPECT_EQ(json.find('\x1b'), std::string::npos);
    EXPECT_EQ(json.find("\xc2\x9b"), std::string::npos);
    EXPECT_NE(json.find("\\u009b31m"), std::string::npos) << json;
}

TEST_F(Qic, ListShowDryRunAndDelete) {
    std::ofstream(tmp_ / "script") << "\n  ipconfig /renew\n\nnotify-send x  \n";
    ASSERT_EQ((*this)({"add",           "beta",
                       "--interface",   "office-lan",
                       "--ip",          "10.0.0.5,10.0.0.6",
                       "--mask",        "255.255.255.0,255.255.0.0",
                       "--gateway",     "10.0.0.1",
                       "--dns1",        "10.0.0.2",
                       "--dns2",        "10.0.0.3",
                       "--printer",     "Office Printer",
                       "--icon",        "12",
                       "--script-file", tmp_ / "script"})
                  .status,
              0);
    ASSERT_EQ((*this)({"add", "Alpha", "--interface=wlan0", "--dhcp"}).status, 0);
    ASSERT_EQ(
        (*this)({"add", "alpha", "--interface", "eth0", "--dhcp", "--dns1", "1.1.1.1"}).status, 0);

    // The list's collation: letter case decides only between otherwise equal names.
    EXPECT_EQ((*this)({"list"}).out,
              "alpha\tDHCP\t\t\t1.1.1.1\t\teth0\n"
              "Alpha\tDHCP\t\t\t\t\twlan0\n"
              "beta\t10.0.0.5\t255.255.255.0\t10.0.0.1\t10.0.0.2\t10.0.0.3\toffice-lan\n");

    EXPECT_EQ((*this)({"show", "beta", "--json"}).out,
              "{\"Num\": 1, \"Name\": \"beta\", \"IP\": \"10.0.0.5,10.0.0.6\", "
              "\"Mask\": \"255.255.255.0,255.255.0.0\", \"Gateway\": \"10.0.0.1\", \"DNS1\": "
              "\"10.0.0.2\", \"DNS2\": \"10.0.0.3\", \"Interface\": \"office-lan\", \"Printer\": "
              "\"Office Printer\", \"Icon\": 12, \"Script\": \"ipconfig /renew\\r\\n\\r\\n"
              "notify-send x\"}\n");

    EXPECT_EQ((*this)({"apply", "beta", "--dry-run"}).out,
              "netsh interface ip set address name=\"office-lan\" source=static addr=10.0.0.5 "
              "mask=255.255.255.0\n"
              "netsh interface ip add address name=\"office-lan\" addr=10.0.0.6 mask=255.255.0.0\n"
              "netsh interface ip set address name=\"office-lan\" gateway=10.0.0.1 gwmetric=0\n"
              "netsh interface ip set dns name=\"office-lan\" source=static addr=10.0.0.2 "
              "register=PRIMARY\n"
              "netsh interface ip add dns name=\"office-lan\" addr=10.0.0.3 index=2\n"
              "script: ipconfig /renew\n"
              "script: notify-send x\n"
              "printer: Office Printer\n");

    EXPECT_EQ((*this)({"delete", "Alpha"}).status, 0);
    EXPECT_EQ((*this)({"list"}).out.find("wlan0"), std::string::npos);
}

TEST_F(Qic, RootAppliesNoProfileFromAFileOthersCanWrite) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "the refusal is root's";
    }
    ASSERT_EQ((*this)({"add", "home", "--interface", "quorv-none0", "--dhcp"}).status, 0);
    chmod(tmp_.path().c_str(), 0777);
    Outcome o = (*this)({"apply", "home"});
    chmod(tmp_.path().c_str(), 0700);
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "qic: refusing to apply a profile as root: the folder " +
                         tmp_.path().substr(0, tmp_.path().size() - 1) +
                         " can be written by other users, and the profile's script lines would "
                         "run as root\n");
    // Looking is still allowed.
    EXPECT_EQ((*this)({"apply", "home", "--dry-run"}).status, 0);
}

TEST_F(Qic, ApplyListsTheCommandsThatFailed) {
    // No such interface: netsh refuses every command without changing anything.
    ASSERT_EQ((*this)({"add", "gone", "--interface", "quorv-none0", "--ip", "10.9.0.5", "--mask",
                       "255.255.255.0", "--dns1", "10.9.0.2"})
                  .status,
              0);
    Outcome o = (*this)({"apply", "gone"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err.rfind("IP 설정 중...\nGateway 설정 중...\nDNS 설정 중...\n", 0), 0u) << o.err;
    EXPECT_NE(o.err.find("not applied completely"), std::string::npos) << o.err;
    EXPECT_NE(o.err.find("netsh interface ip set address name=\"quorv-none0\" source=static "
                         "addr=10.9.0.5 mask=255.255.255.0\n    ended with exit code"),
              std::string::npos)
        << o.err;
    EXPECT_NE(o.err.find("netsh interface ip set dns name=\"quorv-none0\""), std::string::npos);
}

// A profile the file counts but cannot give back is left out with a warning, not silently.
TEST_F(Qic, ListAndShowWarnOfProfilesTheFileCannotGive) {
    std::string script;
    for (unsigned k = 0; k < 3000; ++k) {
        script += k % 60 == 59 ? '\n' : static_cast<char>('a' + (k * 7919u + k / 3u) % 26u);
    }
    std::ofstream(tmp_ / "script") << script;
    for (const char* name : {"home", "office"}) {
        ASSERT_EQ((*this)({"add", name, "--interface", "eth0", "--dhcp", "--script-file",
                           tmp_ / "script"})
                      .status,
                  0);
    }
    std::filesystem::resize_file(data_, std::filesystem::file_size(data_) - 100);
    const std::string warning = "qic: warning: 1 profile in \"" + data_ +
                                "\" could not be read and is left out; check the file with: "
                                "quorv-store check \"" +
                                data_ + "\" --password 8074\n";
    Outcome o = (*this)({"list"});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, "home\tDHCP\t\t\t\t\teth0\n");
    EXPECT_EQ(o.err, warning);
    o = (*this)({"show", "home", "--json"});
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.err, warning);
    EXPECT_EQ((*this)({"show", "office"}).status, 2);
}

}  // namespace
}  // namespace quorv::cli
