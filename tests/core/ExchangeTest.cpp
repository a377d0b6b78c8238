#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "ExchangeTestData.h"
#include "core/ConnectionCheck.h"
#include "core/ExchangeRules.h"
#include "core/ProfileExchange.h"
#include "system/IniFile.h"

namespace quorv::settings {
namespace {

using apply::Profile;
using quorv::testing::MakeProfile;
using quorv::testing::ReadFile;
using quorv::testing::TempDataFile;
using quorv::testing::TempFolder;

QString Q(const std::string& path) {
    return QString::fromStdString(path);
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::vector<std::string> Names(const std::vector<Profile>& list) {
    std::vector<std::string> names;
    for (const Profile& p : list) {
        names.push_back(p.Name);
    }
    return names;
}

// Overwrites every conflict and records the names asked about.
struct Answers {
    bool overwrite = true;
    std::vector<std::string> asked;
    TConflictAnswer operator()() {
        return [this](const std::string& name) {
            asked.push_back(name);
            return overwrite;
        };
    }
};

TEST(ExchangeRules, ExtensionIconAndScript) {
    EXPECT_EQ(WithExchangeExtension("list"), "list.qic");
    EXPECT_EQ(WithExchangeExtension("list.txt"), "list.txt.qic");
    EXPECT_EQ(WithExchangeExtension("/a.b/LIST.QIC"), "/a.b/LIST.QIC");
    EXPECT_EQ(WithExchangeExtension("/a.qic/list"), "/a.qic/list.qic");

    EXPECT_EQ(ParseIconValue("12"), 12);
    EXPECT_EQ(ParseIconValue("0x0C"), 12);
    EXPECT_EQ(ParseIconValue("0XD"), 13);
    EXPECT_EQ(ParseIconValue("$c"), 12);
    EXPECT_EQ(ParseIconValue("$1F"), 31);
    EXPECT_EQ(ParseIconValue("-3"), -3);
    for (const char* bad : {"", "abc", "12abc", "0x", "$", " 12x", "1e3", "0x1G", "99999999999",
                            "\xd9\xa1\xd9\xa2"}) {
        EXPECT_EQ(ParseIconValue(QString::fromUtf8(bad)), 11) << bad;
    }

    EXPECT_EQ(ScriptToExchange("ipconfig /release\r\nipconfig /renew\r\n"),
              "ipconfig /release,ipconfig /renew");
    EXPECT_EQ(ScriptToExchange("a\nb\rc\r\nd"), "a,b,c,d");
    EXPECT_EQ(ScriptToExchange("a\r\n\r\n"), "a,");
    EXPECT_EQ(ScriptFromExchange("ipconfig /release,ipconfig /renew"),
              "ipconfig /release\r\nipconfig /renew\r\n");
    EXPECT_EQ(ScriptFromExchange("a,,b,"), "a\r\n\r\nb\r\n\r\n");
    EXPECT_EQ(ScriptFromExchange(""), "");
}

TEST(ExchangeExport, TheExampleSectionByteForByte) {
    TempDataFile data;
    Profile office = MakeProfile("Office", "ipconfig /release\r\nipconfig /renew");
    office.Interface = "Local Area Connection";
    data.Add(office);
    const std::string file = data.Folder() / "out.qic";
    EXPECT_EQ(ExportProfiles(data.Profiles(), Q(file)), 1);
    EXPECT_EQ(ReadFile(file),
              "[Record_1]\r\n"
              "Name=Office\r\n"
              "IP=192.168.0.10,192.168.0.11\r\n"
              "Mask=255.255.255.0,255.255.255.0\r\n"
              "Gateway=192.168.0.1\r\n"
              "DNS1=192.168.0.1\r\n"
              "DNS2=\r\n"
              "Interface=Local Area Connection\r\n"
              "Printer=\r\n"
              "Icon=11\r\n"
              "Script=ipconfig /release,ipconfig /renew\r\n");
}

TEST(ExchangeExport, NumbersInTableOrderAndWritesAWholeNewFile) {
    TempDataFile data;
    const std::string file = data.Folder() / "out.qic";
    EXPECT_EQ(ExportProfiles(data.Profiles(), Q(file)), 0);
    EXPECT_FALSE(std::filesystem::exists(file));

    // An older, longer export: none of its sections may survive.
    WriteBytes(file, "[Record_7]\r\nName=stale\r\n[Notes]\r\nx=1\r\n");
    for (const char* name : {"zulu", "alpha", "mike"}) {
        data.Add(MakeProfile(name));
    }
    data.Profiles().Edit();  // the cursor stands on mike: a different Icon, written as decimal
    data.Profiles().FieldByName("Icon").SetAsInteger(13);
    data.Profiles().Post();
    EXPECT_EQ(ExportProfiles(data.Profiles(), Q(file)), 3);
    const platform::TIniFile ini = platform::TIniFile::Load(Q(file));
    EXPECT_EQ(ini.Sections(), (QStringList{"Record_1", "Record_2", "Record_3"}));
    EXPECT_EQ(ini.Value("Record_1", "Name"), "zulu");
    EXPECT_EQ(ini.Value("Record_2", "Name"), "alpha");
    EXPECT_EQ(ini.Value("Record_3", "Icon"), "13");
    EXPECT_EQ(ini.Keys("Record_2"), (QStringList{"Name", "IP", "Mask", "Gateway", "DNS1", "DNS2",
                                                 "Interface", "Printer", "Icon", "Script"}));

    // Scripts are as private as in the data file, and a link is never written through.
    EXPECT_EQ(std::filesystem::status(file).permissions(), std::filesystem::perms(0600));
    const std::string link = data.Folder() / "link.qic";
    std::filesystem::create_symlink(file, link);
    EXPECT_THROW(ExportProfiles(data.Profiles(), Q(link)), EExchangeError);
    EXPECT_EQ(platform::TIniFile::Load(Q(file)).Sections().size(), 3);
}

TEST(ExchangeRoundTrip, TenRoundTripsChangeNothing) {
    TempDataFile data;
    const std::vector<std::string> scripts{"",
                                           "ipconfig /release\r\nipconfig /renew\r\n",
                                           "a\r\nb\r\n\r\n",
                                           "one line\r\n",
                                           "x\r\ny",
                                           "lf\nonly\n",
                                           "cr\ronly"};
    for (size_t i = 0; i < scripts.size(); ++i) {
        data.Add(MakeProfile("p" + std::to_string(i), scripts[i]));
    }
    Profile dhcp;
    dhcp.Name = QString::fromUtf8("무선 랜 (집)").toStdString();
    dhcp.SetDhcp();
    dhcp.Interface = "wlan0";
    dhcp.Printer = "HP \"Laser\" = 3";
    dhcp.Icon = 12;
    data.Add(dhcp);

    const std::string file = data.Folder() / "trip.qic";
    std::vector<Profile> first;
    std::string firstFile;
    for (int round = 0; round < 10; ++round) {
        ASSERT_EQ(ExportProfiles(data.Profiles(), Q(file)), 8);
        Answers yes;
        ImportProfiles(data.Profiles(), ReadExchangeFile(Q(file)), yes());
        EXPECT_EQ(yes.asked.size(), 8u);
        if (round == 0) {
            first = data.All();
            firstFile = ReadFile(file);
        }
    }
    EXPECT_EQ(data.All(), first);
    EXPECT_EQ(ReadFile(file), firstFile);
    // Scripts in the form an import stores come back exactly; the rest gain the final break.
    EXPECT_EQ(first[1].Script, scripts[1]);
    EXPECT_EQ(first[2].Script, scripts[2]);
    EXPECT_EQ(first[0].Script, "");
    EXPECT_EQ(first[5].Script, "lf\r\nonly\r\n");
    EXPECT_EQ(first[7].Printer, dhcp.Printer);
    EXPECT_EQ(first[7].Name, dhcp.Name);

    // The same file into a fresh data file gives every profile exactly.
    TempDataFile fresh;
    Answers none;
    ImportProfiles(fresh.Profiles(), ReadExchangeFile(Q(file)), none());
    EXPECT_TRUE(none.asked.empty());
    EXPECT_EQ(fresh.All(), first);
}

TEST(ExchangeImport, ConflictsAskAndTheAnswerDecides) {
    TempDataFile data;
    data.Add(MakeProfile("Office", "old\r\n"));
    const std::string file = data.Folder() / "in.qic";
    WriteBytes(file,
               "[Record_1]\r\nName=Office\r\nIP=DHCP\r\nInterface=eth1\r\nIcon=0x0C\r\n"
               "[Record_2]\r\nName=Home\r\nIP=DHCP\r\nInterface=eth2\r\nIcon=abc\r\n"
               "[Record_3]\r\nName=Home\r\nIP=10.0.0.9\r\nMask=255.0.0.0\r\nInterface=eth2\r\n");
    const std::vector<Profile> incoming = ReadExchangeFile(Q(file));
    EXPECT_EQ(Names(incoming), (std::vector<std::string>{"Office", "Home", "Home"}));
    EXPECT_EQ(ConflictingNames(data.Profiles(), incoming),
              (std::vector<std::string>{"Office", "Home"}));

    Answers no{false, {}};
    std::vector<TImportOutcome> outcomes;
    ImportProfiles(data.Profiles(), incoming, no(),
                   [&](const std::string&, TImportOutcome o) { outcomes.push_back(o); });
    EXPECT_EQ(no.asked, (std::vector<std::string>{"Office", "Home"}));
    EXPECT_EQ(outcomes, (std::vector<TImportOutcome>{TImportOutcome::Kept, TImportOutcome::Added,
                                                     TImportOutcome::Kept}));
    std::vector<Profile> all = data.All();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0], MakeProfile("Office", "old\r\n"));
    EXPECT_EQ(all[1].IP, "DHCP");
    EXPECT_EQ(all[1].Icon, 11);

    Answers yes;
    ImportProfiles(data.Profiles(), incoming, yes());
    EXPECT_EQ(yes.asked, (std::vector<std::string>{"Office", "Home", "Home"}));
    all = data.All();
    ASSERT_EQ(all.size(), 2u);
    Profile office;
    office.Name = "Office";
    office.IP = "DHCP";
    office.Interface = "eth1";
    office.Icon = 12;
    EXPECT_EQ(all[0], office);  // every column overwritten, missing keys empty
    EXPECT_EQ(all[1].IP, "10.0.0.9");
}

TEST(ExchangeImport, LongNamesAreCutBeforeTheLookup) {
    TempDataFile data;
    const std::string file = data.Folder() / "long.qic";
    // 40 two-byte letters: the 50-byte column takes 25 of them.
    std::string longName;
    for (int i = 0; i < 40; ++i) {
        longName += "\xc3\xa9";
    }
    WriteBytes(file, "[R]\nName=" + longName +
                         "\nIP=DHCP\nInterface=eth0\nScript=" + std::string(60000, 's') + "\n");
    Answers answers;
    ImportProfiles(data.Profiles(), ReadExchangeFile(Q(file)), answers());
    ImportProfiles(data.Profiles(), ReadExchangeFile(Q(file)), answers());
    ASSERT_EQ(data.All().size(), 1u);
    EXPECT_EQ(answers.asked, std::vector<std::string>{longName.substr(0, 50)});
    EXPECT_EQ(data.All()[0].Script.size(), 60002u);
}

TEST(ExchangeImport, Cp949AndUtf8WithBom) {
    TempDataFile data;
    const std::string korean = "\xC7\xD1\xB1\xB9";  // "한국" in CP949
    WriteBytes(
        data.Folder() / "cp949.qic",
        "[Record_1]\r\nName=" + korean + "\r\nInterface=\xB7\xA3\r\nScript=dir,\xC7\xD1\r\n");
    WriteBytes(data.Folder() / "bom.qic",
               "\xEF\xBB\xBF[Record_1]\nName=\xEC\x9A\xB0\xEB\xA6\xAC\nInterface=eth0\n");
    Answers answers;
    ImportProfiles(data.Profiles(), ReadExchangeFile(Q(data.Folder() / "cp949.qic")), answers());
    ImportProfiles(data.Profiles(), ReadExchangeFile(Q(data.Folder() / "bom.qic")), answers());
    const std::vector<Profile> all = data.All();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].Name, "한국");
    EXPECT_EQ(all[0].Interface, "랜");
    EXPECT_EQ(all[0].Script, "dir\r\n한\r\n");
    EXPECT_EQ(all[1].Name, "우리");
}

TEST(ExchangeImport, BadFilesAreRefusedBeforeAnythingChanges) {
    TempDataFile data;
    data.Add(MakeProfile("keep"));
    const TempFolder& dir = data.Folder();
    WriteBytes(dir / "junk.qic", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\xff\xd8", 18));
    WriteBytes(dir / "orphan.qic", "Name=x\r\n[Record_1]\r\nName=y\r\n");
    WriteBytes(dir / "longline.qic", "[R]\nName=x\nScript=" + std::string(1 << 20, 'a') + "\n");
    {
        std::ofstream big(dir / "big.qic", std::ios::binary);
        const std::string block = "[Record]\r\nName=" + std::string(1000, 'n') + "\r\n";
        for (size_t written = 0; written < 50u * 1024 * 1024; written += block.size()) {
            big << block;
        }
    }
    // A pipe would make the import wait for a writer that never comes.
    ASSERT_EQ(::mkfifo((dir / "pipe.qic").c_str(), 0600), 0);
    // /proc/self/mem opens but cannot be read, even by root.
    const std::vector<std::string> bad{dir / "junk.qic", dir / "orphan.qic", dir / "longline.qic",
                                       dir / "big.qic",  dir.path(),         dir / "missing.qic",
                                       "/proc/self/mem", dir / "pipe.qic"};
    for (const std::string& path : bad) {
        try {
            ReadExchangeFile(Q(path));
            ADD_FAILURE() << "read " << path;
        } catch (const EExchangeError& e) {
            const std::string message = e.what();
            EXPECT_EQ(message.rfind("Cannot read \"" + path + "\": ", 0), 0u) << message;
        }
    }
    EXPECT_EQ(Names(data.All()), std::vector<std::string>{"keep"});

    // Values the profiles may not hold: that section is left out with its reason, the
    // others come across.
    const std::vector<std::pair<std::string, std::string>> refused{
        {"Interface=eth0\nIP=10.0.0.0\nMask=255.255.255.0", "network or broadcast"},
        {"Interface=eth0\nIP=10.0.0.1,10.0.0.2\nMask=255.0.0.0,255.0.255.0", "subnet mask"},
        {"Interface=eth0\nIP=DHCP", "profile name is empty"},
        {"Interface=eth0\nIP=DHCP\nDNS1=224.0.0.1", "DNS server"},
        {"Interface=eth0\nIP=DHCP\nName=a\tb", "control character"},
        {"Interface=-x\nIP=DHCP\nName=d", "starts with \"-\""},
        {"Interface=a/b\nIP=DHCP\nName=e", "contains \"/\""},
        {"Interface=eth\t0\nIP=DHCP\nName=c", "connection name \"eth\\x090\" contains a control"},
        {"Interface=" + std::string(257, 'i') + "\nIP=DHCP\nName=w", "longer than 256 bytes"},
        {"Interface=eth0\nIP=DHCP\nScript=" + std::string(70000, 'x'), "script is longer"},
    };
    for (const auto& [keys, reason] : refused) {
        WriteBytes(dir / "values.qic", "[Good]\nName=ok\nIP=DHCP\nInterface=eth0\n[Bad]\n" + keys +
                                           "\n[Also]\nName=ok2\n");
        std::vector<SkippedSection> skipped;
        EXPECT_EQ(Names(ReadExchangeFile(Q(dir / "values.qic"), &skipped)),
                  (std::vector<std::string>{"ok", "ok2"}))
            << keys;
        ASSERT_EQ(skipped.size(), 1u) << keys;
        EXPECT_EQ(skipped[0].Section, "Bad");
        EXPECT_NE(skipped[0].Reason.find(reason), std::string::npos) << skipped[0].Reason;
    }
}

// Files of the Windows program name its connections; they come across byte for byte and
// are listed for attention, and a mapping points them at this machine's adapters.
TEST(ExchangeImport, WindowsConnectionNamesAreKeptAndListed) {
    TempDataFile data;
    const std::string lan = "Local Area Connection";
    const std::string ethernet = "이더넷";
    WriteBytes(data.Folder() / "win.qic",
               "[Record_1]\r\nName=Office\r\nIP=192.168.0.10\r\nMask=255.255.255.0\r\n"
               "Interface=" +
                   lan +
                   "\r\nScript=ipconfig /release,ipconfig /renew\r\n"
                   "[Record_2]\r\nName=Home\r\nIP=DHCP\r\nInterface=" +
                   ethernet +
                   "\r\n"
                   "[Record_3]\r\nName=Lab\r\nIP=DHCP\r\nInterface=\r\n"
                   "[Record_4]\r\nName=Cafe\r\nIP=DHCP\r\nInterface=" +
                   lan +
                   "\r\n"
                   "[Record_5]\r\nName=Here\r\nIP=DHCP\r\nInterface=eth0\r\n");
    WriteBytes(data.Folder() / "cp949.qic",
               "[Record_1]\r\nName=Old\r\nIP=DHCP\r\nInterface=\xC0\xCC\xB4\xF5\xB3\xDD\r\n");

    std::vector<SkippedSection> skipped;
    Answers answers;
    const TImportSummary summary = ImportProfiles(
        data.Profiles(), ReadExchangeFile(Q(data.Folder() / "win.qic"), &skipped), answers());
    ImportProfiles(data.Profiles(), ReadExchangeFile(Q(data.Folder() / "cp949.qic"), &skipped),
                   answers());
    EXPECT_TRUE(skipped.empty());
    EXPECT_EQ(summary.Added, 5);
    std::vector<Profile> all = data.All();
    ASSERT_EQ(all.size(), 6u);
    EXPECT_EQ(all[0].Interface, lan);
    EXPECT_EQ(all[1].Interface, ethernet);
    EXPECT_EQ(all[2].Interface, "");
    EXPECT_EQ(all[5].Interface, ethernet);

    EXPECT_EQ(apply::UnknownConnections(summary.Stored, {"eth0", "wlan0"}),
              (std::vector<apply::UnknownConnection>{
                  {lan, {"Office", "Cafe"}}, {ethernet, {"Home"}}, {"", {"Lab"}}}));

    // export -> import -> export gives the same file and the same profiles.
    const std::string first = data.Folder() / "first.qic";
    const std::string second = data.Folder() / "second.qic";
    ASSERT_EQ(ExportProfiles(data.Profiles(), Q(first)), 6);
    TempDataFile fresh;
    ImportProfiles(fresh.Profiles(), ReadExchangeFile(Q(first)), answers());
    ExportProfiles(fresh.Profiles(), Q(second));
    EXPECT_EQ(ReadFile(second), ReadFile(first));
    EXPECT_EQ(fresh.All(), all);
    EXPECT_NE(ReadFile(first).find("Script=ipconfig /release,ipconfig /renew\r\n"),
              std::string::npos);

    // Mapped, every profile that used the name takes the adapter.
    std::vector<Profile> incoming = ReadExchangeFile(Q(data.Folder() / "win.qic"));
    MapConnections(incoming, {{lan, "enp3s0"}, {"", "wlan0"}});
    EXPECT_EQ(incoming[0].Interface, "enp3s0");
    EXPECT_EQ(incoming[1].Interface, ethernet);
    EXPECT_EQ(incoming[2].Interface, "wlan0");
    EXPECT_EQ(incoming[3].Interface, "enp3s0");
}

// A stopped import keeps what it stored; nothing after the stop is written.
TEST(ExchangeImport, AnAnswerCanStopTheImport) {
    TempDataFile data;
    data.Add(MakeProfile("b"));
    WriteBytes(data.Folder() / "in.qic",
               "[1]\nName=a\nIP=DHCP\nInterface=eth0\n[2]\nName=b\nIP=DHCP\nInterface=eth0\n"
               "[3]\nName=c\nIP=DHCP\nInterface=eth0\n");
    const TImportSummary summary =
        ImportProfiles(data.Profiles(), ReadExchangeFile(Q(data.Folder() / "in.qic")),
                       [](const std::string&) -> std::optional<bool> { return std::nullopt; });
    EXPECT_TRUE(summary.Stopped);
    EXPECT_EQ(summary.Added, 1);
    EXPECT_EQ(Names(data.All()), (std::vector<std::string>{"b", "a"}));
}

}  // namespace
}  // namespace quorv::settings
