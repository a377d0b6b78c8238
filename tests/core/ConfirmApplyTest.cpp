#include "core/ConfirmApply.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "core/ApplyRun.h"
#include "core/CommaText.h"
#include "core/NetshReport.h"

namespace quorv::apply {
namespace {

using Lines = std::vector<std::string>;
using platform::ReachTarget;
using Kind = ReachTarget::Kind;

// netsh with a watchdog, as the run sees it: every line ok, then the pending line or the
// snapshot failure; keep, restore and the printer recorded in one log.
class WatchdogServices : public ApplyServices {
  public:
    Lines log;
    std::string snapshotFailure;  // set: netsh refuses to change anything
    bool silentNetsh = false;     // an older netsh that says nothing of a snapshot
    bool refuseScript = false;    // netsh rejects the script before any line
    std::string printer = "Hall";
    std::vector<ReachTarget> live;
    std::vector<platform::PendingChange> pending;
    bool restoreWorks = true;

    CommandOutcome RunAndWait(const NetshCommand& script, const OutputLine& onLine) override {
        log.push_back(JoinArgs(script.args));
        if (!snapshotFailure.empty()) {
            onLine("snapshot: failed: " + snapshotFailure);
            return {1, "", ""};
        }
        if (refuseScript) {
            return {1, "", "netsh: unknown option --keep-within"};
        }
        const Lines lines = SplitLines(script.input);
        for (size_t i = 0; i < lines.size(); ++i) {
            onLine("line " + std::to_string(i + 1) + ": ok");
        }
        if (!silentNetsh) {
            onLine("pending: w42 17");
        }
        return {0, "", ""};
    }
    bool WinExec(const std::string& line, bool) override {
        log.push_back("script " + line);
        return true;
    }
    bool SetDefaultPrinter(const std::string& name) override {
        log.push_back("printer " + name);
        printer = name;
        return true;
    }
    std::optional<std::string> DefaultPrinter() override { return printer; }
    std::vector<ReachTarget> LiveTargets(const std::string& interface) override {
        log.push_back("live " + interface);
        return live;
    }
    std::vector<platform::ReachResult> CheckReachable(const std::vector<ReachTarget>& targets,
                                                      std::chrono::milliseconds) override {
        std::vector<platform::ReachResult> results;
        for (const ReachTarget& target : targets) {
            results.push_back({target, target.kind == Kind::Gateway});
        }
        return results;
    }
    std::vector<platform::PendingChange> ListPending() override { return pending; }
    platform::PendingAnswer KeepPending(const std::string& id) override {
        log.push_back("keep " + id);
        return {true, "", ""};
    }
    platform::PendingAnswer RestorePending(const std::string& id) override {
        log.push_back("restore " + id);
        if (!restoreWorks) {
            return {false, "", "the watchdog is gone"};
        }
        return {true, "address gateway dns", ""};
    }

  private:
    static std::string JoinArgs(const Lines& args) {
        std::string text;
        for (const std::string& arg : args) {
            text += (text.empty() ? "" : " ") + arg;
        }
        return text;
    }
};

Profile Office() {
    Profile p;
    p.Name = "Office";
    p.Interface = "eth1";
    p.IP = "10.0.0.5";
    p.Mask = "255.255.255.0";
    p.Gateway = "10.0.0.1";
    p.DNS1 = "10.0.0.2";
    p.DNS2 = "10.0.0.3";
    return p;
}

ApplyResult SafeRun(WatchdogServices& services, const Profile& profile, int seconds = 15) {
    ApplyRun run(services, ProgressTexts{}, nullptr);
    run.KeepWithin(seconds);
    return run.Run(profile, false);
}

// Records the question and gives the answer.
struct Asker {
    explicit Asker(KeepAnswer given) : answer(given) {}
    KeepAnswer answer;
    std::vector<KeepQuestion> asked;
    AskKeep Ask() {
        return [this](const KeepQuestion& question) {
            asked.push_back(question);
            return answer;
        };
    }
};

TEST(SafeApply, KeepTellsTheWatchdogAndRestoresNothing) {
    WatchdogServices services;
    Profile p = Office();
    p.Printer = "Office Printer";
    const ApplyResult result = SafeRun(services, p);
    ASSERT_TRUE(result.Succeeded()) << FailureSummary(result);
    ASSERT_TRUE(result.pending);
    EXPECT_EQ(result.pending->id, "w42");
    // The watchdog waits longer than the question, which needs time for the check first.
    EXPECT_EQ(services.log.front(), "netsh --keep-within 17 -f -");

    Asker asker{KeepAnswer::Keep};
    const SafeOutcome outcome = ConfirmApply(services, *result.pending, asker.Ask());
    EXPECT_EQ(outcome.kind, SafeOutcome::Kind::Kept);
    EXPECT_EQ(services.log.back(), "keep w42");
    EXPECT_EQ(services.printer, "Office Printer");
    SafeTexts kept;
    kept.msgKept = "The new settings of %1 are kept.";
    EXPECT_EQ(OutcomeText(outcome, kept), "The new settings of eth1 are kept.");

    ASSERT_EQ(asker.asked.size(), 1u);
    const KeepQuestion& question = asker.asked[0];
    EXPECT_EQ(question.interface, "eth1");
    EXPECT_FALSE(question.hasScript);
    // Short of the watchdog's 17 seconds by the margin that keeps the restore ours.
    EXPECT_GE(question.secondsLeft, 15);
    EXPECT_LE(question.secondsLeft, 16);
    ASSERT_EQ(question.checks.size(), 3u);
    SafeTexts english;
    english.msgGatewayAnswers = "Gateway %1 answers";
    english.msgDnsNoAnswer = "DNS %1 does not answer";
    EXPECT_EQ(CheckLine(question.checks[0], english), "Gateway 10.0.0.1 answers");
    EXPECT_EQ(CheckLine(question.checks[2], english), "DNS 10.0.0.3 does not answer");
}

TEST(SafeApply, RestoreAndTimeoutSetThePrinterBackOnlyWhenTheRunChangedIt) {
    for (KeepAnswer answer : {KeepAnswer::Restore, KeepAnswer::TimedOut}) {
        WatchdogServices services;
        Profile p = Office();
        p.Printer = "Office Printer";
        p.Script = "ipconfig /renew";
        const ApplyResult result = SafeRun(services, p);
        ASSERT_TRUE(result.pending);
        EXPECT_TRUE(result.pending->hasScript);
        Asker asker{answer};
        const SafeOutcome outcome = ConfirmApply(services, *result.pending, asker.Ask());
        EXPECT_EQ(outcome.kind, SafeOutcome::Kind::Restored);
        EXPECT_EQ(services.log, (Lines{"netsh --keep-within 17 -f -", "script ipconfig /renew",
                                       "printer Office Printer", "restore w42", "printer Hall"}));
        SafeTexts texts;
        texts.msgRestored = "The previous settings of %1 were restored: %2.";
        texts.msgRestoredAddress = "address";
        texts.msgRestoredGateway = "gateway";
        texts.msgRestoredDns = "DNS servers";
        texts.msgRestoredPrinter = "default printer %1";
        EXPECT_EQ(OutcomeText(outcome, texts),
                  "The previous settings of eth1 were restored: address, gateway, DNS servers, "
                  "default printer Hall.");
    }

    // Already the default: nothing to set back.
    WatchdogServices services;
    Profile p = Office();
    p.Printer = "Hall";
    const ApplyResult result = SafeRun(services, p);
    ASSERT_TRUE(result.pending);
    Asker asker{KeepAnswer::Restore};
    ConfirmApply(services, *result.pending, asker.Ask());
    EXPECT_EQ(services.log.back(), "restore w42");
    EXPECT_EQ(std::count(services.log.begin(), services.log.end(), "printer Hall"), 1);

    // A restore the watchdog cannot do is said, not passed over.
    WatchdogServices failing;
    failing.restoreWorks = false;
    const ApplyResult second = SafeRun(failing, Office());
    ASSERT_TRUE(second.pending);
    const SafeOutcome outcome = ConfirmApply(failing, *second.pending, asker.Ask());
    EXPECT_EQ(outcome.kind, SafeOutcome::Kind::RestoreFailed);
    SafeTexts texts;
    texts.msgRestoreFailed = "The previous settings of %1 could not be restored: %2";
    EXPECT_EQ(OutcomeText(outcome, texts),
              "The previous settings of eth1 could not be restored: the watchdog is gone");
}

TEST(SafeApply, AFailedSnapshotStopsTheRunBeforeAnythingChanges) {
    WatchdogServices services;
    services.snapshotFailure = "no NetworkManager checkpoint: not authorized";
    Profile p = Office();
    p.Script = "touch /tmp/x";
    p.Printer = "Office Printer";
    const ApplyResult result = SafeRun(services, p);
    EXPECT_FALSE(result.pending);
    ASSERT_EQ(result.failures.size(), 1u);
    EXPECT_EQ(result.failures[0].kind, ApplyFailure::Kind::SnapshotFailed);
    // No script line, no printer, and so nothing to ask about.
    EXPECT_EQ(services.log, (Lines{"netsh --keep-within 17 -f -"}));
    EXPECT_NE(FailureSummary(result).find("nothing was changed: no NetworkManager checkpoint: "
                                          "not authorized"),
              std::string::npos);

    // A netsh that changed things without a snapshot is a failure too, not a quiet success.
    WatchdogServices silent;
    silent.silentNetsh = true;
    const ApplyResult unsafe = SafeRun(silent, Office());
    EXPECT_FALSE(unsafe.pending);
    ASSERT_EQ(unsafe.failures.size(), 1u);
    EXPECT_EQ(unsafe.failures[0].kind, ApplyFailure::Kind::NoSnapshot);

    // One that refused the script outright changed nothing, and says so in its own words.
    WatchdogServices refusing;
    refusing.silentNetsh = true;
    refusing.refuseScript = true;
    const ApplyResult refused = SafeRun(refusing, Office());
    ASSERT_FALSE(refused.failures.empty());
    for (const ApplyFailure& failure : refused.failures) {
        EXPECT_NE(failure.kind, ApplyFailure::Kind::NoSnapshot);
    }
}

TEST(SafeApply, TargetsAreTheProfilesOwnOrThoseInForceForWhatDhcpGives) {
    const std::vector<ReachTarget> live = {{Kind::Gateway, "192.168.1.1"},
                                           {Kind::Dns, "192.168.1.53"}};
    auto addresses = [](const std::vector<ReachTarget>& targets) {
        Lines out;
        for (const ReachTarget& t : targets) {
            out.push_back((t.kind == Kind::Gateway ? "gw " : "dns ") + t.address);
        }
        return out;
    };
    EXPECT_EQ(addresses(ReachTargets(Office(), live)),
              (Lines{"gw 10.0.0.1", "dns 10.0.0.2", "dns 10.0.0.3"}));
    Profile dhcp = Office();
    dhcp.IP = "DHCP";
    dhcp.Mask = dhcp.Gateway = dhcp.DNS1 = dhcp.DNS2 = "";
    EXPECT_EQ(addresses(ReachTargets(dhcp, live)), (Lines{"gw 192.168.1.1", "dns 192.168.1.53"}));
    // A DHCP address with its own DNS server checks that server, the gateway in force.
    dhcp.DNS1 = "1.1.1.1";
    EXPECT_EQ(addresses(ReachTargets(dhcp, live)), (Lines{"gw 192.168.1.1", "dns 1.1.1.1"}));
    // Without a gateway, a static profile checks none.
    Profile noGateway = Office();
    noGateway.Gateway = "";
    EXPECT_EQ(addresses(ReachTargets(noGateway, live)), (Lines{"dns 10.0.0.2", "dns 10.0.0.3"}));

    // The run reads what is in force only where the profile leaves something to DHCP.
    WatchdogServices services;
    services.live = live;
    const ApplyResult result = SafeRun(services, dhcp);
    ASSERT_TRUE(result.pending);
    EXPECT_EQ(addresses(result.pending->targets), (Lines{"gw 192.168.1.1", "dns 1.1.1.1"}));
    WatchdogServices statics;
    SafeRun(statics, Office());
    EXPECT_EQ(std::count(statics.log.begin(), statics.log.end(), "live eth1"), 0);
}

TEST(SafeApply, ChangesLeftPendingAreSettledByAskingFirst) {
    WatchdogServices services;
    services.pending = {{"a1", "eth1", 10}, {"b2", "eth2", 10}, {"c3", "eth3", 0}};
    int call = 0;
    const std::vector<SafeOutcome> outcomes =
        SettlePendingChanges(services, [&](const KeepQuestion& question) {
            EXPECT_TRUE(question.checks.empty());
            EXPECT_GT(question.secondsLeft, 0);
            return call++ == 0 ? KeepAnswer::Keep : KeepAnswer::Restore;
        });
    // The one with no time left is not asked about: it goes back as a countdown would.
    EXPECT_EQ(call, 2);
    ASSERT_EQ(outcomes.size(), 3u);
    EXPECT_EQ(services.log, (Lines{"keep a1", "restore b2", "restore c3"}));
    EXPECT_EQ(outcomes[1].interface, "eth2");
    EXPECT_EQ(outcomes[1].kind, SafeOutcome::Kind::Restored);
}

TEST(NetshReportSafe, PendingAndSnapshotLines) {
    NetshReport report(1);
    report.Read("pending: w1");          // no seconds
    report.Read("pending:  5");          // no id
    report.Read("pending: w1 5 extra");  // trailing words
    report.Read("pending: w1 -3");
    EXPECT_EQ(report.PendingId(), "");
    report.Read("pending: w1 5");
    EXPECT_EQ(report.PendingId(), "w1");
    EXPECT_EQ(report.PendingSeconds(), 5);
    report.Read("snapshot: failed: ");
    EXPECT_EQ(report.SnapshotFailure(), "no reason given");
    NetshReport undone(1);
    undone.Read("pending: failed: cannot bind the socket");
    EXPECT_EQ(undone.PendingId(), "");
    EXPECT_EQ(undone.SnapshotFailure(), "cannot bind the socket");
}

}  // namespace
}  // namespace quorv::apply
