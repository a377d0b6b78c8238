#include "core/ApplyRun.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <thread>

#include "TempFolder.h"

namespace quorv::apply {
namespace {

using quorv::testing::ReadFile;
using quorv::testing::ScopedEnv;
using quorv::testing::TempFolder;
using Lines = std::vector<std::string>;
using Clock = std::chrono::steady_clock;

// Records every call in one log, in order.
class RecordingServices : public ApplyServices {
  public:
    Lines log;
    std::map<std::string, CommandOutcome> outcomes;  // by command line; default exit 0
    bool startScripts = true;
    bool printerResult = true;

    CommandOutcome RunAndWait(const NetshCommand& command) override {
        log.push_back("run " + command.line);
        auto it = outcomes.find(command.line);
        if (it != outcomes.end()) {
            return it->second;
        }
        CommandOutcome ok;
        ok.exitCode = 0;
        return ok;
    }
    bool WinExec(const std::string& commandLine, bool shown) override {
        log.push_back(std::string(shown ? "shown " : "hidden ") + commandLine);
        return startScripts;
    }
    bool SetDefaultPrinter(const std::string& printer) override {
        log.push_back("printer " + printer);
        return printerResult;
    }
    ElevatedOutcome RunAndWaitElevated(const NetshCommand& command) override {
        log.push_back("elevated " + command.line);
        return elevatedOutcome;
    }
    ElevatedOutcome elevatedOutcome{{0, "", ""}, ""};
};

ApplyResult RunRecorded(RecordingServices& services, const Profile& profile,
                        bool showScriptWindow) {
    ApplyRun run(services, ProgressTexts{},
                 [&](const std::string& text) { services.log.push_back("text " + text); });
    return run.Run(profile, showScriptWindow);
}

Profile Office() {
    Profile p;
    p.Name = "Office";
    p.Interface = "Office LAN";
    p.IP = "10.0.0.5,10.0.0.6";
    p.Mask = "255.255.255.0,255.255.0.0";
    p.Gateway = "10.0.0.1";
    p.DNS1 = "10.0.0.2";
    return p;
}

TEST(ApplyRun, StepsTextsAndOrder) {
    RecordingServices services;
    Profile p = Office();
    p.DNS2 = "10.0.0.3";
    p.Script = "ipconfig /renew\r\n   \r\n  route print";
    p.Printer = "Office Printer";
    ApplyResult result = RunRecorded(services, p, true);
    EXPECT_TRUE(result.Succeeded());
    EXPECT_EQ(services.log,
              (Lines{
                  "text IP 설정 중...",
                  "run netsh interface ip set address name=\"Office LAN\" source=static "
                  "addr=10.0.0.5 mask=255.255.255.0",
                  "run netsh interface ip add address name=\"Office LAN\" addr=10.0.0.6 "
                  "mask=255.255.0.0",
                  "text Gateway 설정 중...",
                  "run netsh interface ip set address name=\"Office LAN\" gateway=10.0.0.1 "
                  "gwmetric=0",
                  "text DNS 설정 중...",
                  "run netsh interface ip set dns name=\"Office LAN\" source=static "
                  "addr=10.0.0.2 register=PRIMARY",
                  "run netsh interface ip add dns name=\"Office LAN\" addr=10.0.0.3 index=2",
                  "text 스크립트 실행 중...(1/3)...",
                  "shown ipconfig /renew",
                  "text 스크립트 실행 중...(2/3)...",
                  "text 스크립트 실행 중...(3/3)...",
                  "shown   route print",
                  "text 기본 프린터 설정 중...",
                  "printer Office Printer",
              }));
}

TEST(ApplyRun, MinimalDhcpProfileWithHiddenScript) {
    RecordingServices services;
    Profile p = Office();
    p.IP = "DHCP";
    p.Mask = p.Gateway = p.DNS1 = "";
    p.DNS2 = "9.9.9.9";
    p.Script = "a\n";
    ProgressTexts texts;
    texts.msgChangeScript = "Running script...";
    ApplyRun run(services, texts,
                 [&](const std::string& t) { services.log.push_back("text " + t); });
    run.Run(p, false);
    // The gateway text shows even without a gateway; D2 is unused without D1.
    EXPECT_EQ(services.log,
              (Lines{"text IP 설정 중...",
                     "run netsh interface ip set address name=\"Office LAN\" source=DHCP",
                     "text Gateway 설정 중...", "text DNS 설정 중...",
                     "run netsh interface ip set dns name=\"Office LAN\" source=DHCP",
                     "text Running script...(1/1)...", "hidden a"}));
}

TEST(ApplyRun, CollectsFailuresAndKeepsGoing) {
    RecordingServices services;
    Profile p = Office();
    p.Script = "missing-program x\r\nother";
    p.Printer = "Gone";
    const std::string first =
        "netsh interface ip set address name=\"Office LAN\" source=static "
        "addr=10.0.0.5 mask=255.255.255.0";
    const std::string dns =
        "netsh interface ip set dns name=\"Office LAN\" source=static addr=10.0.0.2 "
        "register=PRIMARY";
    services.outcomes[first] = {-1, "program not found: netsh", ""};
    services.outcomes[dns] = {1, "", "\n  The address is not valid.\ntwo\n\nthree\nfour\n"};
    services.startScripts = false;
    services.printerResult = false;

    ApplyResult result = RunRecorded(services, p, true);
    // Every step still ran: six texts, four commands, two scripts, the printer.
    EXPECT_EQ(services.log.size(), 13u);
    EXPECT_EQ(services.log.back(), "printer Gone");
    EXPECT_EQ(FailureSummary(result),
              "The profile was not applied completely. These steps failed:\n\n" + first +
                  "\n    could not be started: program not found: netsh\n\n" + dns +
                  "\n    ended with exit code 1:\n    The address is not valid.\n    two\n"
                  "    three\n\nmissing-program x\n    could not be started\n\nother\n"
                  "    could not be started\n\nThe printer \"Gone\" could not be made the "
                  "default printer.\n");
    EXPECT_EQ(FailureSummary(ApplyResult{}), "");
}

// Only commands with netsh's privilege status are run again, and the rights are asked
// for once per run whatever the answer.
TEST(ApplyRun, AsksForAdministratorRightsOncePerRun) {
    const CommandOutcome needsRights{77, "", "requires elevation (CAP_NET_ADMIN)"};
    Profile p = Office();
    p.Script = "ipconfig";
    const std::string first =
        "netsh interface ip set address name=\"Office LAN\" source=static "
        "addr=10.0.0.5 mask=255.255.255.0";
    auto commandsRun = [](const Lines& log) {
        Lines runs;
        std::copy_if(log.begin(), log.end(), std::back_inserter(runs), [](const std::string& l) {
            return l.rfind("run ", 0) == 0 || l.rfind("elevated ", 0) == 0 ||
                   l.rfind("shown ", 0) == 0;
        });
        return runs;
    };

    RecordingServices granted;
    granted.outcomes[first] = needsRights;
    EXPECT_TRUE(RunRecorded(granted, p, true).Succeeded());
    Lines runs = commandsRun(granted.log);
    ASSERT_EQ(runs.size(), 6u);
    EXPECT_EQ(runs[0], "run " + first);
    EXPECT_EQ(runs[1], "elevated " + first);
    for (size_t i = 2; i < 5; ++i) {
        EXPECT_EQ(runs[i].rfind("elevated netsh ", 0), 0u) << runs[i];
    }
    EXPECT_EQ(runs[5], "shown ipconfig");

    RecordingServices refused;
    refused.elevatedOutcome.notAuthorized = "the password prompt was cancelled";
    const std::string gateway =
        "netsh interface ip set address name=\"Office LAN\" gateway=10.0.0.1 gwmetric=0";
    refused.outcomes[first] = needsRights;
    refused.outcomes[gateway] = needsRights;
    ApplyResult result = RunRecorded(refused, p, true);
    runs = commandsRun(refused.log);
    EXPECT_EQ(std::count_if(runs.begin(), runs.end(),
                            [](const std::string& l) { return l.rfind("elevated", 0) == 0; }),
              1);
    ASSERT_EQ(result.failures.size(), 2u);
    EXPECT_EQ(FailureSummary(result),
              "The profile was not applied completely. These steps failed:\n\n" + first +
                  "\n    needs administrator rights, which were not granted: the password "
                  "prompt was cancelled\n\n" +
                  gateway +
                  "\n    needs administrator rights, which were not granted: the password "
                  "prompt was cancelled\n");
    EXPECT_EQ(runs.back(), "shown ipconfig");
}

TEST(ApplyRunRights, NobodyToAskIsSaidInTheLanguagesWordsAndAskedOnce) {
    Profile p;
    p.Interface = "lan0";
    p.SetAddresses({"10.0.0.5"}, {"255.255.255.0"});
    p.Gateway = "10.0.0.1";
    CommandOutcome needsRights;
    needsRights.exitCode = 77;
    ProgressTexts english;
    english.msgNoPolkitDaemon = "no polkit daemon is running to decide";
    english.msgNoPolkitAgent = "";  // a language file without it: the built-in text stands
    for (const auto& [unasked, words] :
         {std::pair{Unasked::NoAuthority, std::string("no polkit daemon is running to decide")},
          std::pair{Unasked::NoAgent, std::string(core::BuiltInText("msgNoPolkitAgent"))}}) {
        RecordingServices services;
        for (const NetshCommand& command : AddressCommands(p)) {
            services.outcomes[command.line] = needsRights;
        }
        for (const NetshCommand& command : GatewayCommands(p)) {
            services.outcomes[command.line] = needsRights;
        }
        services.elevatedOutcome = ElevatedOutcome{};
        services.elevatedOutcome.unasked = unasked;
        const ApplyResult result = ApplyRun(services, english, nullptr).Run(p, false);
        ASSERT_EQ(result.failures.size(), 2u) << FailureSummary(result);
        for (const ApplyFailure& failure : result.failures) {
            EXPECT_EQ(failure.kind, ApplyFailure::Kind::NotAuthorized);
            EXPECT_EQ(failure.reason, words);
        }
        EXPECT_EQ(std::count(services.log.begin(), services.log.end(),
                             "elevated " + AddressCommands(p)[0].line),
                  1);
        EXPECT_EQ(std::count_if(services.log.begin(), services.log.end(),
                                [](const std::string& l) { return l.rfind("elevated", 0) == 0; }),
                  1);
    }
}

// The real services, with recording programs in a temporary program folder.
class ApplyRunSystem : public ::testing::Test {
  protected:
    TempFolder folder;
    std::string log = folder / "log";
    ScopedEnv display{"DISPLAY", nullptr};
    ScopedEnv wayland{"WAYLAND_DISPLAY", nullptr};
    ScopedEnv cups{"CUPS_SERVER", (folder / "no-cupsd.sock").c_str()};

    void SetUp() override {
        // netsh: records its arguments; refuses the alternate DNS server.
        folder.WriteProgram("netsh",
                            "#!/bin/sh\nprintf '%s|' \"$@\" >> \"" + log + "\"\necho >> \"" + log +
                                "\"\ncase \"$*\" in *'add dns'*) echo 'Element not found.' "
                                ">&2; exit 1;; esac\nexit 0\n");
        folder.WriteProgram("later",
                            "#!/bin/sh\nsleep 2\necho \"$1\" > \"" + (folder / "done") + "\"\n");
    }
};

TEST_F(ApplyRunSystem, RunsTheRecordingProgramsInOrderWithoutWaitingForScripts) {
    Profile p = Office();
    p.DNS2 = "10.0.0.3";
    p.Script = "later finished\r\nno-such-program-anywhere";
    p.Printer = "Office Printer";
    SystemServices services(folder.path());
    ApplyRun run(services, ProgressTexts{}, nullptr);

    auto begin = Clock::now();
    ApplyResult result = run.Run(p, true);
    EXPECT_LT(Clock::now() - begin, std::chrono::milliseconds(1500));
    EXPECT_FALSE(std::filesystem::exists(folder / "done"));

    EXPECT_EQ(ReadFile(log),
              "interface|ip|set|address|name=Office LAN|source=static|addr=10.0.0.5|mask=255."
              "255.255.0|\n"
              "interface|ip|add|address|name=Office LAN|addr=10.0.0.6|mask=255.255.0.0|\n"
              "interface|ip|set|address|name=Office LAN|gateway=10.0.0.1|gwmetric=0|\n"
              "interface|ip|set|dns|name=Office LAN|source=static|addr=10.0.0.2|register="
              "PRIMARY|\n"
              "interface|ip|add|dns|name=Office LAN|addr=10.0.0.3|index=2|\n");
    ASSERT_EQ(result.failures.size(), 3u);
    EXPECT_EQ(result.failures[0].exitCode, 1);
    EXPECT_EQ(result.failures[0].errorLines, Lines{"Element not found."});
    EXPECT_EQ(result.failures[1].commandLine, "no-such-program-anywhere");
    EXPECT_EQ(result.failures[2].kind, ApplyFailure::Kind::PrinterNotSet);

    // The script program was started and ends on its own.
    auto end = Clock::now() + std::chrono::seconds(6);
    while (!std::filesystem::exists(folder / "done") && Clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_EQ(ReadFile(folder / "done"), "finished\n");
}

TEST_F(ApplyRunSystem, ConnectionNameReachesNetshAsStored) {
    Profile p = Office();
    p.Interface = "LAN \"2\" back\\";
    p.IP = "DHCP";
    p.Gateway = "";
    SystemServices services(folder.path());
    EXPECT_TRUE(ApplyRun(services, ProgressTexts{}, nullptr).Run(p, false).Succeeded());
    EXPECT_EQ(ReadFile(log),
              "interface|ip|set|address|name=LAN \"2\" back\\|source=DHCP|\n"
              "interface|ip|set|dns|name=LAN \"2\" back\\|source=static|addr=10.0.0.2|register="
              "PRIMARY|\n");
}

TEST_F(ApplyRunSystem, MissingNetshIsReportedForEveryCommand) {
    std::filesystem::remove(folder / "netsh");
    ScopedEnv path("PATH", folder.path().c_str());
    Profile p = Office();
    SystemServices services(folder.path());
    ApplyRun run(services, ProgressTexts{}, nullptr);
    ApplyResult result = run.Run(p, false);
    ASSERT_EQ(result.failures.size(), 4u);
    for (const ApplyFailure& failure : result.failures) {
        EXPECT_EQ(failure.kind, ApplyFailure::Kind::NotStarted);
        EXPECT_EQ(failure.reason, "program not found: netsh");
    }
}

// Windows-style tools print their errors on standard output; a blank line on stderr is no error.
TEST_F(ApplyRunSystem, AnErrorPrintedOnStandardOutputIsListed) {
    folder.WriteProgram(
        "netsh", "#!/bin/sh\necho\necho ' The parameter is incorrect. '\necho >&2\nexit 1\n");
    Profile p = Office();
    p.IP = "DHCP";
    p.Gateway = "";
    SystemServices services(folder.path());
    ApplyResult result = ApplyRun(services, ProgressTexts{}, nullptr).Run(p, false);
    ASSERT_EQ(result.failures.size(), 2u);
    for (const ApplyFailure& failure : result.failures) {
        EXPECT_EQ(failure.errorLines, Lines{"The parameter is incorrect."});
    }
    EXPECT_NE(
        FailureSummary(result).find("ended with exit code 1:\n    The parameter is incorrect.\n"),
        std::string::npos)
        << FailureSummary(result);
}

// A stand-in pkexec: records its arguments and runs them with ELEVATED set, or refuses.
class ElevatedRunSystem : public ApplyRunSystem {
  protected:
    TempFolder bin;
    ScopedEnv path{"PATH", bin.path().c_str()};

    void SetUp() override {
        folder.WriteProgram("netsh",
                            "#!/bin/sh\n[ -n \"$ELEVATED\" ] || { echo 'requires elevation' >&2; "
                            "exit 77; }\nprintf '%s|' \"$@\" >> \"" +
                                log + "\"\necho >> \"" + log + "\"\n");
    }
    void Pkexec(const std::string& body) {
        bin.WriteProgram("pkexec",
                         "#!/bin/sh\nprintf 'pkexec %s\\n' \"$1\" >> \"" + log + "\"\n" + body);
    }
};

TEST_F(ElevatedRunSystem, NetshRunsAgainThroughPkexecWithItsArgumentsIntact) {
    Pkexec("ELEVATED=1 exec \"$@\"\n");
    Profile p = Office();
    p.Interface = "My \"quoted\" LAN";
    p.IP = "DHCP";
    p.Gateway = "";
    SystemServices services(folder.path());
    ApplyResult result = ApplyRun(services, ProgressTexts{}, nullptr).Run(p, false);
    EXPECT_TRUE(result.Succeeded()) << FailureSummary(result);
    const std::string netsh = std::filesystem::canonical(folder / "netsh").string();
    EXPECT_EQ(ReadFile(log), "pkexec " + netsh +
                                 "\ninterface|ip|set|address|name=My \"quoted\" LAN|source=DHCP|\n"
                                 "pkexec " +
                                 netsh +
                                 "\ninterface|ip|set|dns|name=My \"quoted\" LAN|source=static|"
                                 "addr=10.0.0.2|register=PRIMARY|\n");
}

TEST_F(ElevatedRunSystem, AnErrorPrintedOnStandardOutputIsListed) {
    Pkexec("ELEVATED=1 exec \"$@\"\n");
    folder.WriteProgram("netsh",
                        "#!/bin/sh\n[ -n \"$ELEVATED\" ] || { echo 'requires elevation' >&2; "
                        "exit 77; }\necho 'Element not found.'\nexit 1\n");
    Profile p = Office();
    p.IP = "DHCP";
    p.Gateway = "";
    SystemServices services(folder.path());
    ApplyResult result = ApplyRun(services, ProgressTexts{}, nullptr).Run(p, false);
    ASSERT_EQ(result.failures.size(), 2u) << FailureSummary(result);
    for (const ApplyFailure& failure : result.failures) {
        EXPECT_EQ(failure.errorLines, Lines{"Element not found."}) << FailureSummary(result);
    }
}

TEST_F(ElevatedRunSystem, RefusalsAreSaidInPlainWords) {
    const ProgressTexts texts;
    const std::pair<std::string, std::string> cases[] = {
        {"exit 126\n", "the password prompt was cancelled"},
        {"echo 'Error executing command as another user: No authentication agent found.' "
         ">&2\nexit 127\n",
         texts.msgNoPolkitAgent},
        // No system bus, and a bus without polkitd: nobody refused, nobody could be asked.
        {"echo 'Error getting authority: Error initializing authority: Could not connect: No "
         "such file or directory' >&2\nexit 127\n",
         texts.msgNoPolkitDaemon},
        {"echo 'Error checking for authorization com.quorv.ipchanger.netsh: "
         "GDBus.Error:org.freedesktop.DBus.Error.ServiceUnknown' >&2\nexit 127\n",
         texts.msgNoPolkitDaemon},
        {"echo 'Error executing command as another user: Not authorized' >&2\nexit 127\n",
         "does not allow this user"},
    };
    for (const auto& [body, words] : cases) {
        Pkexec(body);
        std::filesystem::remove(log);
        SystemServices services(folder.path());
        ApplyResult result = ApplyRun(services, texts, nullptr).Run(Office(), false);
        ASSERT_EQ(result.failures.size(), 4u);
        EXPECT_NE(FailureSummary(result).find(words), std::string::npos) << FailureSummary(result);
        // One question per run, whatever the answer.
        EXPECT_EQ(ReadFile(log).find("pkexec"), ReadFile(log).rfind("pkexec"));
    }
    // Only the program folder's netsh is ever handed to pkexec.
    Pkexec("ELEVATED=1 exec \"$@\"\n");
    folder.WriteProgram("other", "#!/bin/sh\nexit 77\n");
    SystemServices services(folder.path());
    EXPECT_FALSE(services.RunAndWaitElevated({{"other", "x"}, "other x"}).notAuthorized.empty());
    EXPECT_EQ(ReadFile(log).find("pkexec " + folder.path() + "other"), std::string::npos);
}

}  // namespace
}  // namespace quorv::apply
