#include "core/ApplyRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <map>
#include <thread>

#include "TempFolder.h"
#include "core/CommaText.h"

namespace quorv::apply {
namespace {

using quorv::testing::ReadFile;
using quorv::testing::ScopedEnv;
using quorv::testing::TempFolder;
using Lines = std::vector<std::string>;
using Clock = std::chrono::steady_clock;

int PhaseOf(const std::string& line) {
    if (line.find(" dns ") != std::string::npos) {
        return 2;
    }
    return line.find(" gateway=") != std::string::npos ? 1 : 0;
}

// Records every call in one log, in order; its netsh says of each script line what netsh
// would, in the same words.
class RecordingServices : public ApplyServices {
  public:
    Lines log;
    std::map<std::string, std::string> said;  // by command line: after "line N: "; else "ok"
    bool needsRights = false;                 // netsh first ends with its privilege status
    bool startScripts = true;
    bool printerResult = true;
    std::string refusal;            // of the administrator rights
    Unasked unasked = Unasked::No;  // nobody could even be asked
    int elevatedRuns = 0;

    CommandOutcome RunAndWait(const NetshCommand& script, const OutputLine& onLine) override {
        log.push_back("netsh -f -");
        EXPECT_EQ(script.args, (Lines{"netsh", "-f", "-"}));
        if (needsRights) {
            return {77, "", "requires elevation (CAP_NET_ADMIN)"};
        }
        return Netsh(script, onLine, "run ");
    }
    ElevatedOutcome RunAndWaitElevated(const NetshCommand& script,
                                       const OutputLine& onLine) override {
        ++elevatedRuns;
        if (unasked != Unasked::No) {
            return {{127, "", ""}, "", unasked};
        }
        if (!refusal.empty()) {
            return {{127, "", ""}, refusal};
        }
        return {Netsh(script, onLine, "elevated "), ""};
    }
    bool WinExec(const std::string& commandLine, bool shown) override {
        log.push_back(std::string(shown ? "shown " : "hidden ") + commandLine);
        return startScripts;
    }
    bool SetDefaultPrinter(const std::string& printer) override {
        log.push_back("printer " + printer);
        return printerResult;
    }

  private:
    CommandOutcome Netsh(const NetshCommand& script, const OutputLine& onLine,
                         const std::string& prefix) {
        static const char* const kPhases[] = {"address", "gateway", "dns"};
        Lines lines = SplitLines(script.input);
        int failed = 0;
        for (size_t i = 0; i < lines.size(); ++i) {
            const std::string n = "line " + std::to_string(i + 1) + ": ";
            if (failed) {
                onLine(n + "not run: line " + std::to_string(failed) + " failed");
            } else {
                log.push_back(prefix + lines[i]);
                auto it = said.find(lines[i]);
                std::string word = it == said.end() ? "ok" : it->second;
                onLine(n + word);
                if (word.rfind("failed", 0) == 0) {
                    failed = int(i + 1);
                }
            }
            int next = i + 1 < lines.size() ? PhaseOf(lines[i + 1]) : 3;
            for (int p = PhaseOf(lines[i]); p < next; ++p) {
                onLine(std::string("done: ") + kPhases[p]);
            }
        }
        return {failed ? 1 : 0, "", ""};
    }
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
                  "netsh -f -",
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
              (Lines{"text IP 설정 중...", "netsh -f -",
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
    const std::string dns =
        "netsh interface ip set dns name=\"Office LAN\" source=static addr=10.0.0.2 "
        "register=PRIMARY";
    services.said[dns] = "failed: The address is not valid.";
    services.startScripts = false;
    services.printerResult = false;

    ApplyResult result = RunRecorded(services, p, true);
    // Every step still ran: six texts, one netsh with four lines, two scripts, the printer.
    EXPECT_EQ(services.log.size(), 14u);
    EXPECT_EQ(services.log.back(), "printer Gone");
    EXPECT_EQ(FailureSummary(result),
              "The profile was not applied completely. These steps failed:\n\n" + dns +
                  "\n    ended with exit code 1:\n    The address is not valid.\n\n"
                  "missing-program x\n    could not be started\n\nother\n"
                  "    could not be started\n\nThe printer \"Gone\" could not be made the "
                  "default printer.\n");
    EXPECT_EQ(FailureSummary(ApplyResult{}), "");
}

// A refused first line leaves the rest undone, and the list says which failure they wait on;
// a DHCP address without a lease is a failure, not a success.
TEST(ApplyRun, LinesNetshLeftUndoneAndMissingLeases) {
    RecordingServices services;
    Profile p = Office();
    const Lines commands = [&] {
        Lines lines;
        for (const NetshCommand& c : NetshCommands(p)) {
            lines.push_back(c.line);
        }
        return lines;
    }();
    services.said[commands[0]] = "failed: There is no interface named \"Office LAN\".";
    ApplyResult result = RunRecorded(services, p, false);
    ASSERT_EQ(result.failures.size(), 4u);
    EXPECT_EQ(result.failures[0].errorLines, Lines{"There is no interface named \"Office LAN\"."});
    for (size_t i = 1; i < 4; ++i) {
        EXPECT_EQ(result.failures[i].kind, ApplyFailure::Kind::NotRun);
        EXPECT_EQ(result.failures[i].commandLine, commands[i]);
        EXPECT_EQ(result.failures[i].reason, commands[0]);
    }
    // The progress texts still come in their order.
    Lines texts;
    std::copy_if(services.log.begin(), services.log.end(), std::back_inserter(texts),
                 [](const std::string& l) { return l.rfind("text ", 0) == 0; });
    EXPECT_EQ(texts,
              (Lines{"text IP 설정 중...", "text Gateway 설정 중...", "text DNS 설정 중..."}));

    RecordingServices dhcp;
    p.IP = "DHCP";
    p.Gateway = p.DNS1 = "";
    dhcp.said[SetDhcpAddressCommand("Office LAN").line] = "no lease";
    result = RunRecorded(dhcp, p, false);
    ASSERT_EQ(result.failures.size(), 1u);
    FailureTexts korean;
    korean.msgApplyIncomplete = "프로필이 완전히 적용되지 않았습니다:";
    korean.msgNoDhcpLease = "%1에서 DHCP 서버로부터 아직 주소를 받지 못했습니다";
    EXPECT_EQ(FailureSummary(result, korean),
              "프로필이 완전히 적용되지 않았습니다:\n\nnetsh interface ip set address "
              "name=\"Office LAN\" source=DHCP\n    Office LAN에서 DHCP 서버로부터 아직 주소를 "
              "받지 못했습니다\n");
    EXPECT_NE(
        FailureSummary(result).find("no address was obtained from a DHCP server on Office LAN yet"),
        std::string::npos);
}

// Only a netsh that ends with its privilege status runs again, the whole script in one
// elevated process, so the rights are asked for once per run whatever the answer.
TEST(ApplyRun, AsksForAdministratorRightsOncePerRun) {
    Profile p = Office();
    p.Script = "ipconfig";
    const std::string first =
        "netsh interface ip set address name=\"Office LAN\" source=static "
        "addr=10.0.0.5 mask=255.255.255.0";

    RecordingServices granted;
    granted.needsRights = true;
    EXPECT_TRUE(RunRecorded(granted, p, true).Succeeded());
    EXPECT_EQ(granted.elevatedRuns, 1);
    EXPECT_EQ(std::count(granted.log.begin(), granted.log.end(), "netsh -f -"), 1);
    EXPECT_EQ(std::count(granted.log.begin(), granted.log.end(), "elevated " + first), 1);
    EXPECT_EQ(granted.log.back(), "shown ipconfig");

    RecordingServices refused;
    refused.needsRights = true;
    refused.refusal = "the password prompt was cancelled";
    ApplyResult result = RunRecorded(refused, p, true);
    EXPECT_EQ(refused.elevatedRuns, 1);
    ASSERT_EQ(result.failures.size(), 4u);
    // One reason for every step: said once, after the steps.
    const std::string summary = FailureSummary(result);
    EXPECT_EQ(summary.find("needs administrator rights"),
              summary.rfind("needs administrator rights"));
    EXPECT_EQ(summary.substr(0, summary.find("\n\n    ")),
              "The profile was not applied completely. These steps failed:\n\n" + first +
                  "\nnetsh interface ip add address name=\"Office LAN\" addr=10.0.0.6 "
                  "mask=255.255.0.0\nnetsh interface ip set address name=\"Office LAN\" "
                  "gateway=10.0.0.1 gwmetric=0\nnetsh interface ip set dns name=\"Office LAN\" "
                  "source=static addr=10.0.0.2 register=PRIMARY");
    EXPECT_EQ(refused.log.back(), "shown ipconfig");
}

// A connection name with a line break could not stand on one script line: refused without
// netsh, which never sees a broken script.
TEST(ApplyRun, ALineBreakInAValueNeverReachesTheScript) {
    RecordingServices services;
    Profile p = Office();
    p.Interface = "LAN\ninterface ip set address name=eth0 source=dhcp";
    ApplyResult result = RunRecorded(services, p, false);
    EXPECT_EQ(std::count(services.log.begin(), services.log.end(), "netsh -f -"), 0);
    ASSERT_EQ(result.failures.size(), 4u);
    EXPECT_EQ(result.failures[0].kind, ApplyFailure::Kind::NotStarted);
}

TEST(ApplyRunRights, NobodyToAskIsSaidInTheLanguagesWordsAndAskedOnce) {
    Profile p;
    p.Interface = "lan0";
    p.SetAddresses({"10.0.0.5"}, {"255.255.255.0"});
    p.Gateway = "10.0.0.1";
    ProgressTexts english;
    english.msgNoPolkitDaemon = "no polkit daemon is running to decide";
    english.msgNoPolkitAgent = "";  // a language file without it: the built-in text stands
    for (const auto& [unasked, words] :
         {std::pair{Unasked::NoAuthority, std::string("no polkit daemon is running to decide")},
          std::pair{Unasked::NoAgent, std::string(core::BuiltInText("msgNoPolkitAgent"))}}) {
        RecordingServices services;
        services.needsRights = true;
        services.unasked = unasked;
        const ApplyResult result = ApplyRun(services, english, nullptr).Run(p, false);
        ASSERT_EQ(result.failures.size(), NetshCommands(p).size()) << FailureSummary(result);
        for (const ApplyFailure& failure : result.failures) {
            EXPECT_EQ(failure.kind, ApplyFailure::Kind::NotAuthorized);
            EXPECT_EQ(failure.reason, words);
        }
        EXPECT_EQ(services.elevatedRuns, 1);
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

    // A netsh that records its arguments and each script line it reads, and says "ok" to each
    // line but the alternate DNS server's.
    static std::string Netsh(const std::string& log, const std::string& first = "") {
        return "#!/bin/sh\n" + first + "printf '%s|' \"$@\" >> \"" + log + "\"\necho >> \"" + log +
               "\"\nn=0; status=0\nwhile IFS= read -r line; do n=$((n+1))\n"
               "  printf '%s\\n' \"$line\" >> \"" +
               log +
               "\"\n  case \"$line\" in *'add dns'*) echo \"line $n: failed: Element not "
               "found.\"; status=1;;\n  *) echo \"line $n: ok\";; esac\ndone\nexit $status\n";
    }

    void SetUp() override {
        folder.WriteProgram("netsh", Netsh(log));
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

    // One netsh for the whole profile, the commands on its standard input.
    std::string script;
    for (const NetshCommand& command : NetshCommands(p)) {
        script += command.line + '\n';
    }
    EXPECT_EQ(ReadFile(log), "-f|-|\n" + script);
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
    const std::string summary = FailureSummary(result);
    EXPECT_EQ(summary.find("program not found"), summary.rfind("program not found")) << summary;
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
        folder.WriteProgram(
            "netsh",
            Netsh(log, "[ -n \"$ELEVATED\" ] || { echo 'requires elevation' >&2; exit 77; }\n"));
    }
    void Pkexec(const std::string& body) {
        bin.WriteProgram("pkexec",
                         "#!/bin/sh\nprintf 'pkexec %s\\n' \"$1\" >> \"" + log + "\"\n" + body);
    }
};

TEST_F(ElevatedRunSystem, TheWholeScriptRunsAgainThroughOnePkexec) {
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
                                 "\n-f|-|\nnetsh interface ip set address name=\"My \\\"quoted\\\" "
                                 "LAN\" source=DHCP\nnetsh interface ip set dns name=\"My "
                                 "\\\"quoted\\\" LAN\" source=static addr=10.0.0.2 "
                                 "register=PRIMARY\n");
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
    EXPECT_FALSE(services.RunAndWaitElevated({{"other", "x"}, "other x", ""}, nullptr)
                     .notAuthorized.empty());
    EXPECT_EQ(ReadFile(log).find("pkexec " + folder.path() + "other"), std::string::npos);
}

}  // namespace
}  // namespace quorv::apply
