#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "TempFolder.h"
#include "system/Process.h"

namespace quorv::cli {
namespace {

using quorv::testing::ReadFile;
using quorv::testing::TempFolder;

const std::string kQic = std::string(QUORV_BIN_DIR) + "/qic";

struct Outcome {
    int status = -1;
    std::string out, err;
};

Outcome RunQic(const std::vector<std::string>& args) {
    std::vector<std::string> argv{kQic};
    argv.insert(argv.end(), args.begin(), args.end());
    platform::RunOutput run = platform::RunAndWaitCaptured(argv);
    return {run.exitCode, run.standardOutput, run.standardError};
}

// qic on a pseudo-terminal: every question it prints is answered with the next reply.
// Returns everything the terminal showed and the exit status.
Outcome RunQicOnTerminal(const std::vector<std::string>& args, std::vector<std::string> replies) {
    int master = -1;
    const pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
    if (pid == 0) {
        std::vector<char*> argv{const_cast<char*>(kQic.c_str())};
        for (const std::string& a : args) {
            argv.push_back(const_cast<char*>(a.c_str()));
        }
        argv.push_back(nullptr);
        ::execv(kQic.c_str(), argv.data());
        ::_exit(127);
    }
    Outcome o;
    char buffer[4096];
    size_t answered = 0;
    while (true) {
        const ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        o.out.append(buffer, static_cast<size_t>(n));
        // Count prompts seen so far; answer each one once.
        size_t prompts = 0;
        for (size_t at = o.out.find("[y/n] "); at != std::string::npos;
             at = o.out.find("[y/n] ", at + 1)) {
            ++prompts;
        }
        while (answered < prompts && answered < replies.size()) {
            const std::string reply = replies[answered++] + "\n";
            EXPECT_EQ(::write(master, reply.data(), reply.size()),
                      static_cast<ssize_t>(reply.size()));
        }
    }
    ::close(master);
    int status = 0;
    ::waitpid(pid, &status, 0);
    o.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return o;
}

class QicExchange : public ::testing::Test {
  protected:
    Outcome Run(const std::string& data, std::vector<std::string> args) {
        args.insert(args.begin(), {"--data", data});
        return RunQic(args);
    }
    Outcome operator()(std::vector<std::string> args) { return Run(data_, std::move(args)); }
    void Ok(std::vector<std::string> args) {
        const Outcome o = (*this)(std::move(args));
        ASSERT_EQ(o.status, 0) << o.err;
    }
    void Refused(std::vector<std::string> args, const std::string& reason = {}) {
        const Outcome o = (*this)(std::move(args));
        EXPECT_EQ(o.status, 2) << o.err;
        EXPECT_NE(o.err.find(reason), std::string::npos) << o.err;
    }
    std::string Show(const std::string& name, const std::string& data = {}) {
        return Run(data.empty() ? data_ : data, {"show", name, "--json"}).out;
    }
    void AddSamples() {
        std::ofstream(tmp_ / "script") << "ipconfig /release\nipconfig /renew\n";
        Ok({"add", "Office", "--interface", "eth0", "--ip", "192.168.0.10,192.168.0.11", "--mask",
            "255.255.255.0,255.255.255.0", "--gateway", "192.168.0.1", "--dns1", "192.168.0.1",
            "--script-file", tmp_ / "script"});
        Ok({"add", "집 무선", "--interface", "wlan0", "--dhcp", "--icon", "12", "--printer",
            "HP \"Laser\" = 3"});
        Ok({"add", "Lab", "--interface", "eth1", "--ip", "10.0.0.5", "--mask", "255.0.0.0",
            "--dns1", "10.0.0.2", "--dns2", "10.0.0.3", "--icon", "13"});
    }

    TempFolder tmp_;
    std::string data_ = tmp_ / "profiles.dat";
};

TEST_F(QicExchange, ExportThenImportIntoAFreshFileReproducesTheProfiles) {
    Outcome o = (*this)({"export", tmp_ / "none"});
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_FALSE(std::filesystem::exists(tmp_ / "none.qic"));

    AddSamples();
    o = (*this)({"export", tmp_ / "backup"});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, "3 profiles written to \"" + tmp_ / "backup.qic" + "\"\n");

    const std::string fresh = tmp_ / "fresh.dat";
    o = Run(fresh, {"import", tmp_ / "backup.qic"});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out.rfind("added \"Office\"\nadded \"집 무선\"\nadded \"Lab\"\n"
                          "3 added, 0 replaced, 0 kept, 0 skipped\n",
                          0),
              0u)
        << o.out;
    EXPECT_EQ(Run(fresh, {"list"}).out, (*this)({"list"}).out);
    for (const char* name : {"집 무선", "Lab"}) {
        EXPECT_EQ(Show(name, fresh), Show(name)) << name;
    }
    // The script comes back line for line; the import ends its last line too.
    std::string office = Show("Office");
    office.replace(office.find("renew\""), 6, "renew\\r\\n\"");
    EXPECT_EQ(Show("Office", fresh), office);

    // A second export of the imported profiles is the same file, byte for byte.
    ASSERT_EQ(Run(fresh, {"export", tmp_ / "again.qic"}).status, 0);
    EXPECT_EQ(ReadFile(tmp_ / "again.qic"), ReadFile(tmp_ / "backup.qic"));

    o = Run(fresh, {"import", tmp_ / "again.qic", "--no"});
    EXPECT_EQ(o.out.rfind("kept \"Office\"\nkept \"집 무선\"\nkept \"Lab\"\n", 0), 0u);
    o = Run(fresh, {"import", tmp_ / "again.qic", "--yes"});
    EXPECT_EQ(o.out.rfind("replaced \"Office\"\nreplaced \"집 무선\"\nreplaced \"Lab\"\n", 0), 0u);
    EXPECT_EQ(Run(fresh, {"list"}).out, (*this)({"list"}).out);
    EXPECT_EQ(o.err, "");

    // A script line with a comma would come back as two lines: said at export.
    std::ofstream(tmp_ / "comma.txt") << "echo a,b\n";
    ASSERT_EQ(Run(fresh, {"add", "comma", "--interface", "eth0", "--dhcp", "--script-file",
                          tmp_ / "comma.txt"})
                  .status,
              0);
    o = Run(fresh, {"export", tmp_ / "comma.qic"});
    EXPECT_EQ(o.status, 0);
    EXPECT_NE(o.err.find("a script line of \"comma\" holds a comma"), std::string::npos) << o.err;
}

TEST_F(QicExchange, ConflictsWithoutATerminalOrFlagWriteNothing) {
    AddSamples();
    ASSERT_EQ((*this)({"export", tmp_ / "all.qic"}).status, 0);
    std::ofstream(tmp_ / "mixed.qic")
        << "[A]\nName=New one\nIP=DHCP\nInterface=e1\n[B]\nName=Lab\nIP=DHCP\nInterface=e2\n";
    const std::string before = (*this)({"list"}).out;
    Refused({"import", tmp_ / "mixed.qic"}, "give --yes to replace them or --no to keep them");
    EXPECT_EQ((*this)({"list"}).out, before);
    Refused({"import", tmp_ / "mixed.qic", "--yes", "--no"});

    // Two sections of one name in a new file conflict with each other too.
    const std::string other = tmp_ / "other.dat";
    std::ofstream(tmp_ / "twice.qic")
        << "[1]\nName=x\nIP=DHCP\nInterface=e1\n[2]\nName=x\nIP=DHCP\nInterface=e1\n";
    EXPECT_EQ(Run(other, {"import", tmp_ / "twice.qic"}).status, 2);
    EXPECT_EQ(Run(other, {"list"}).out, "");
    const Outcome o = Run(other, {"import", tmp_ / "all.qic"});
    EXPECT_EQ(o.status, 0) << o.err;
}

TEST_F(QicExchange, OnATerminalEachConflictIsAsked) {
    AddSamples();
    std::ofstream(tmp_ / "in.qic") << "[1]\nName=Office\nIP=DHCP\nInterface=x\n"
                                      "[2]\nName=Lab\nIP=DHCP\nInterface=y\n"
                                      "[3]\nName=New\nIP=DHCP\nInterface=z\n";
    const Outcome o = RunQicOnTerminal({"--data", data_, "import", tmp_ / "in.qic"}, {"y", "n"});
    EXPECT_EQ(o.status, 0) << o.out;
    EXPECT_NE(o.out.find("'Office' 이름의 데이터가 이미 동록되어 있습니다!"), std::string::npos)
        << o.out;
    EXPECT_NE(o.out.find("replaced \"Office\""), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("kept \"Lab\""), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("added \"New\""), std::string::npos) << o.out;
    EXPECT_NE(Show("Office").find("\"Interface\": \"x\""), std::string::npos);
    EXPECT_NE(Show("Lab").find("\"Interface\": \"eth1\""), std::string::npos);
}

TEST_F(QicExchange, BadFilesAndFailedExportsChangeNothing) {
    AddSamples();
    const std::string before = (*this)({"list"}).out;
    std::ofstream(tmp_ / "junk.qic", std::ios::binary) << std::string("\0\1\2\x80\xff", 5);
    const Outcome junk = (*this)({"import", tmp_ / "junk.qic", "--yes"});
    EXPECT_EQ(junk.status, 1);
    EXPECT_EQ(junk.err, "qic: Cannot read \"" + tmp_ / "junk.qic" + "\": it is not a text file.\n");
    EXPECT_EQ((*this)({"list"}).out, before);

    // A value add would refuse skips that section only, listed with its reason.
    std::ofstream(tmp_ / "values.qic") << "[ok]\nName=fine\nIP=DHCP\nInterface=eth0\n"
                                          "[Record_2]\nName=bad\nIP=10.0.0.300\nMask=255.0.0.0\n"
                                          "Interface=eth0\n[Record_3]\nIP=DHCP\n";
    const Outcome values = (*this)({"import", tmp_ / "values.qic", "--yes"});
    EXPECT_EQ(values.status, 1);
    EXPECT_NE(values.out.find("added \"fine\"\nskipped \"bad\" (section [Record_2]): IP address "
                              "\"10.0.0.300\" is not a dotted quad"),
              std::string::npos)
        << values.out;
    EXPECT_NE(values.out.find("skipped \"\" (section [Record_3]): the profile name is empty\n"
                              "1 added, 0 replaced, 0 kept, 2 skipped\n"),
              std::string::npos)
        << values.out;
    ASSERT_EQ((*this)({"delete", "fine"}).status, 0);
    EXPECT_EQ((*this)({"list"}).out, before);

    std::filesystem::create_directory(tmp_ / "taken.qic");
    const Outcome o = (*this)({"export", tmp_ / "taken.qic"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err.rfind("qic: Cannot write", 0), 0u) << o.err;
    EXPECT_EQ((*this)({"export", tmp_ / "nowhere/x.qic"}).status, 1);

    // C1 controls (CSI here) from a file never reach the terminal raw: not in progress
    // lines, nor in errors that quote a section.
    std::ofstream(tmp_ / "c1.qic") << "[R\xC2\x9B"
                                      "1]\nName=csi\xC2\x9B"
                                      "31m\nIP=DHCP\n"
                                      "Interface=eth0\n";
    const Outcome c1 = (*this)({"import", tmp_ / "c1.qic", "--yes"});
    EXPECT_EQ(c1.status, 0) << c1.err;
    EXPECT_EQ(c1.out.find("\xC2\x9B"), std::string::npos) << c1.out;
    EXPECT_NE(c1.out.find("csi?31m"), std::string::npos) << c1.out;
    std::ofstream(tmp_ / "c1bad.qic") << "[R\xC2\x9B"
                                         "2]\nName=x\nIP=DHCP\nInterface=-x\n";
    const Outcome bad = (*this)({"import", tmp_ / "c1bad.qic", "--yes"});
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.out.find("\xC2\x9B"), std::string::npos) << bad.out;
    EXPECT_NE(bad.out.find("[R?2"), std::string::npos) << bad.out;
}

// Profiles of the Windows program come across with their connection names byte for byte,
// the ones this machine lacks are listed, and --map points names at adapters.
TEST_F(QicExchange, WindowsConnectionNamesComeAcrossAndCanBeMapped) {
    const std::string cp949 = "\xC0\xCC\xB4\xF5\xB3\xDD";  // "이더넷"
    std::ofstream(tmp_ / "win.qic", std::ios::binary)
        << "[Record_1]\r\nName=Office\r\nIP=192.168.0.10\r\nMask=255.255.255.0\r\n"
           "Interface=Local Area Connection\r\nScript=ipconfig /release,ipconfig /renew\r\n"
           "[Record_2]\r\nName=Home\r\nIP=DHCP\r\nInterface=" +
               cp949 +
               "\r\n"
               "[Record_3]\r\nName=Lab\r\nIP=DHCP\r\nInterface=\r\n";
    Outcome o = (*this)({"import", tmp_ / "win.qic"});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_NE(o.out.find("3 added, 0 replaced, 0 kept, 0 skipped\nneeds attention: "),
              std::string::npos)
        << o.out;
    EXPECT_NE(o.out.find("\n  \"Local Area Connection\": \"Office\"\n  \"이더넷\": \"Home\"\n"
                         "  (no connection): \"Lab\"\n  adapters here: "),
              std::string::npos)
        << o.out;
    EXPECT_NE(Show("Office").find("\"Interface\": \"Local Area Connection\""), std::string::npos);
    EXPECT_NE(Show("Home").find("\"Interface\": \"이더넷\""), std::string::npos);

    // export -> import -> export: the same values and the same file.
    ASSERT_EQ((*this)({"export", tmp_ / "out.qic"}).status, 0);
    const std::string fresh = tmp_ / "fresh.dat";
    ASSERT_EQ(Run(fresh, {"import", tmp_ / "out.qic"}).status, 0);
    ASSERT_EQ(Run(fresh, {"export", tmp_ / "again.qic"}).status, 0);
    EXPECT_EQ(ReadFile(tmp_ / "again.qic"), ReadFile(tmp_ / "out.qic"));
    EXPECT_NE(ReadFile(tmp_ / "out.qic").find("Interface=Local Area Connection\r\n"),
              std::string::npos);

    const std::string mapped = tmp_ / "mapped.dat";
    o = Run(mapped, {"import", tmp_ / "win.qic", "--map", "Local Area Connection=quorv-m0",
                     "--map=이더넷=quorv-m1"});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_NE(Run(mapped, {"show", "Office", "--json"}).out.find("\"Interface\": \"quorv-m0\""),
              std::string::npos);
    EXPECT_NE(Run(mapped, {"show", "Home", "--json"}).out.find("\"Interface\": \"quorv-m1\""),
              std::string::npos);
    EXPECT_EQ(Run(mapped, {"import", tmp_ / "win.qic", "--no", "--map", "x"}).status, 2);
    const Outcome badMap = Run(mapped, {"import", tmp_ / "win.qic", "--no", "--map", "a=-b"});
    EXPECT_EQ(badMap.status, 2);
    EXPECT_NE(badMap.err.find("starts with \"-\""), std::string::npos) << badMap.err;
}

TEST_F(QicExchange, EditChangesOnlyTheGivenColumns) {
    AddSamples();
    const std::string lab = Show("Lab");
    Ok({"edit", "Lab", "--printer", "Front desk"});
    std::string expected = lab;
    expected.replace(expected.find("\"Printer\": \"\""), 13, "\"Printer\": \"Front desk\"");
    EXPECT_EQ(Show("Lab"), expected);

    Ok({"edit", "Lab", "--dns1", ""});  // automatic DNS empties both servers
    EXPECT_NE(Show("Lab").find("\"DNS1\": \"\", \"DNS2\": \"\""), std::string::npos) << Show("Lab");
    Ok({"edit", "Lab", "--mask", "255.255.0.0", "--gateway", "10.0.0.1"});
    EXPECT_NE(Show("Lab").find("\"IP\": \"10.0.0.5\", \"Mask\": \"255.255.0.0\", "
                               "\"Gateway\": \"10.0.0.1\""),
              std::string::npos)
        << Show("Lab");
    Ok({"edit", "Lab", "--dhcp"});
    EXPECT_NE(Show("Lab").find("\"IP\": \"DHCP\", \"Mask\": \"\", \"Gateway\": \"\""),
              std::string::npos);

    const std::string office = Show("Office");
    const std::string home = Show("집 무선");
    Refused({"edit", "Office", "--ip", "10.0.0.1"}, "every address needs its mask");
    Refused({"edit", "Office", "--dns2", "1.2.3.4;rm"}, "not a dotted quad");
    Refused({"edit", "Office", "--icon", "14"});
    Refused({"edit", "Office", "--dhcp", "--gateway", "10.0.0.1"});
    Refused({"edit", "집 무선", "--gateway", "10.0.0.1"}, "automatically");
    Refused({"edit", "집 무선", "--ip", "10.0.0.1"}, "--mask");
    Refused({"edit", "집 무선", "--dns2", "10.0.0.3"}, "--dns2 needs --dns1");
    Refused({"edit", "nobody", "--icon", "12"}, "no profile");
    EXPECT_EQ(Show("Office"), office);
    EXPECT_EQ(Show("집 무선"), home);
}

TEST_F(QicExchange, RenameFollowsTheWindowsRules) {
    AddSamples();
    const std::string lab = Show("Lab");
    Refused({"rename", "Lab", "Office"}, "exists already");
    Refused({"rename", "Lab", "Lab"}, "exists already");
    Refused({"rename", "Lab", std::string(51, 'n')}, "longer than 50");
    Refused({"rename", "Lab", "a\tb"}, "control character");
    Refused({"rename", "nobody", "x"}, "no profile");
    Refused({"rename", "Lab"}, "the old and the new name");
    EXPECT_EQ(Show("Lab"), lab);

    Ok({"rename", "Lab", "lab"});  // another case is another name
    std::string expected = lab;
    expected.replace(expected.find("\"Lab\""), 5, "\"lab\"");
    EXPECT_EQ(Show("lab"), expected);
    EXPECT_EQ((*this)({"show", "Lab"}).status, 2);
    Ok({"rename", "lab", ""});
    EXPECT_EQ((*this)({"show", ""}).status, 0);
}

}  // namespace
}  // namespace quorv::cli
