#include "apply/ApplyRun.h"

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

    CommandOutcome RunAndWait(const std::string& commandLine) override {
        log.push_back("run " + commandLine);
        auto it = outcomes.find(commandLine);
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

}  // namespace
}  // namespace quorv::apply
