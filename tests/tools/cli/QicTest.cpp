#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cstdlib>
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

// Every line fits an 80-column terminal, and no "[--option VALUE]" is broken across two.
void ExpectLaidOut(const std::string& text) {
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::string line = text.substr(start, end - start);
        EXPECT_LT(line.size(), 80u) << line;
        EXPECT_EQ(std::count(line.begin(), line.end(), '['),
                  std::count(line.begin(), line.end(), ']'))
            << line;
    }
}

// The usage and every command's help are made from the tables the command line is checked
// against; each command named in the usage has one, by either spelling.
// libcups brings some twenty libraries (TLS, Kerberos, Avahi) whose start-up every run
// would pay for; it is opened only when a printer is set or read.
TEST_F(Qic, StartsWithoutThePrinterLibrary) {
    ASSERT_EQ(setenv("LD_DEBUG", "libs", 1), 0);
    Outcome o = (*this)({"list"});
    unsetenv("LD_DEBUG");
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_NE(o.err.find("libQt6Core.so"), std::string::npos) << "the loader said nothing";
    EXPECT_EQ(o.err.find("libcups.so"), std::string::npos);
}

TEST_F(Qic, EveryCommandHasItsHelp) {
    const std::string usage = (*this)({"help"}).out;
    ExpectLaidOut(usage);
    for (const char* command : {"list", "show", "add", "delete", "apply", "interfaces", "printers",
                                "edit", "rename", "export", "import", "help"}) {
        EXPECT_NE(usage.find(std::string("\n  ") + command), std::string::npos) << command;
        const Outcome help = (*this)({command, "--help"});
        EXPECT_EQ(help.status, 0) << command << help.err;
        EXPECT_EQ(help.out.rfind(std::string("usage: qic [--data FILE] ") + command, 0), 0u)
            << help.out;
        EXPECT_NE(help.out.find("\nOptions:\n  --data <FILE>"), std::string::npos) << help.out;
        EXPECT_EQ((*this)({"help", command}).out, help.out);
        ExpectLaidOut(help.out);
    }
    const Outcome add = (*this)({"help", "add"});
    for (const char* option :
         {"--interface <IFACE>", "--dhcp", "--ip <A[,B...]>", "--mask", "--gateway", "--dns1",
          "--dns2", "--printer", "--icon <11|12|13>", "--script-file <F>"}) {
        EXPECT_NE(add.out.find(std::string("\n  ") + option), std::string::npos) << option;
    }
    Refused({"help", "nosuch"});
    EXPECT_FALSE(std::filesystem::exists(data_));
}

// A command line the parser refuses is exit 2 before the data file is even opened, and the
// offending argument cannot steer the terminal.
TEST_F(Qic, CommandLineMistakesChangeNothing) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"list", "--bogus"},
             {"-x", "list"},
             {"show", "p", "--json=yes"},
             {"show", "p", "--json", "--json"},
             {"add", "p", "--dhcp", "--interface", "a", "--interface", "b"},
             {"list", "--interface", "lan0"},
             {"import", "f.qic", "--yes", "--no"},
             {"rename", "p", "q", "r"},
             {"show", "p", "--data"},
         }) {
        Refused(args);
    }
    EXPECT_NE(
        (*this)({"list", "--interface", "lan0"}).err.find("--interface does not go with list"),
        std::string::npos);
    EXPECT_NE((*this)({"list", "--json", "--json"}).err.find("--json is given twice"),
              std::string::npos);
    const Outcome o = (*this)({"list", "--\x1b]0;owned\x07"});
    EXPECT_EQ(o.status, 2);
    EXPECT_EQ(o.err.find('\x1b'), std::string::npos) << o.err;
    EXPECT_FALSE(std::filesystem::exists(data_));
}

// Arguments reach the data file byte for byte, UTF-8 or not, and "--" makes a dash a name.
TEST_F(Qic, ArgumentsKeepTheirBytes) {
    data_ = tmp_ / "d\xff\xe9.dat";
    ASSERT_EQ((*this)({"add", "caf\xe9", "--interface", "eth0", "--dhcp", "--printer="}).status, 0);
    EXPECT_TRUE(std::filesystem::exists(data_));
    EXPECT_EQ((*this)({"list"}).out, "caf\xe9\tDHCP\t\t\t\t\teth0\n");
    EXPECT_EQ((*this)({"show", "caf\xe9"}).status, 0);
    ASSERT_EQ((*this)({"rename", "--", "caf\xe9", "-x"}).status, 0);
    EXPECT_EQ((*this)({"show", "--", "-x"}).status, 0);
}

// list --json: one object to a line, each as show --json writes it, and valid JSON whatever
// bytes the profiles hold.
TEST_F(Qic, ListJsonIsShowJsonForEveryProfile) {
    EXPECT_EQ((*this)({"list", "--json"}).out, "[]\n");
    std::ofstream(tmp_ / "script") << "tput bel \x07\x08\x0c\x7f \xc2\x85\n";
    ASSERT_EQ((*this)({"add", "b", "--interface", "eth0", "--dhcp", "--printer", "P\xff\"\\",
                       "--script-file", tmp_ / "script"})
                  .status,
              0);
    ASSERT_EQ((*this)({"add", "a", "--interface", "eth1", "--dhcp"}).status, 0);
    auto shown = [&](const char* name) {
        std::string json = (*this)({"show", name, "--json"}).out;
        return json.substr(0, json.size() - 1);
    };
    const std::string list = (*this)({"list", "--json"}).out;
    EXPECT_EQ(list, "[\n " + shown("a") + ",\n " + shown("b") + "\n]\n");

    QJsonParseError error{};
    const QJsonArray parsed =
        QJsonDocument::fromJson(QByteArray::fromStdString(list), &error).array();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << list;
    ASSERT_EQ(parsed.size(), 2);
    const QJsonObject b = parsed[1].toObject();
    EXPECT_EQ(b["Printer"].toString(), QString::fromUtf8("P\uFFFD\"\\"));
    EXPECT_EQ(b["Script"].toString(), QString::fromUtf8("tput bel \x07\x08\x0c\x7f \xc2\x85"));
    EXPECT_EQ(b["Icon"].toInt(), 11);
    EXPECT_EQ(list.find("\xc2\x85"), std::string::npos);
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

TEST_F(Qic, ApplyOfAConnectionThisMachineLacksStopsBeforeNetsh) {
    // A name no interface has, and a Windows name that only an import can bring.
    ASSERT_EQ((*this)({"add", "gone", "--interface", "quorv-none0", "--ip", "10.9.0.5", "--mask",
                       "255.255.255.0", "--dns1", "10.9.0.2"})
                  .status,
              0);
    std::ofstream(tmp_ / "win.qic") << "[Record_1]\r\nName=Office\r\nIP=DHCP\r\n"
                                       "Interface=Local Area Connection\r\n";
    ASSERT_EQ((*this)({"import", tmp_ / "win.qic"}).status, 0);
    for (const auto& [name, connection] :
         {std::pair<std::string, std::string>{"gone", "quorv-none0"},
          {"Office", "Local Area Connection"}}) {
        const Outcome o = (*this)({"apply", name});
        EXPECT_EQ(o.status, 2) << o.err;
        EXPECT_EQ(o.err.rfind("qic: the profile \"" + name + "\" names connection \"" + connection +
                                  "\", which this machine does not have; the adapters here are ",
                              0),
                  0u)
            << o.err;
        EXPECT_NE(o.err.find("; edit the profile (qic edit \"" + name +
                             "\" --interface IF, or "
                             "the IP dialog)\n"),
                  std::string::npos)
            << o.err;
        // Nothing ran: no progress line of the apply run.
        EXPECT_EQ(o.err.find("설정 중"), std::string::npos) << o.err;
    }
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
