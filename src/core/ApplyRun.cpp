#include "core/ApplyRun.h"

#include <algorithm>
#include <utility>

#include "core/CommaText.h"
#include "core/NetshReport.h"
#include "system/DefaultPrinter.h"
#include "system/ExitStatus.h"
#include "system/Process.h"
#include "system/WinExec.h"

namespace quorv::apply {

namespace {

std::vector<std::string> FirstLines(const std::string& text, size_t count) {
    std::vector<std::string> lines;
    for (const std::string& line : SplitLines(text)) {
        std::string_view trimmed = TrimBlanks(line);
        if (trimmed.empty()) {
            continue;
        }
        lines.emplace_back(trimmed);
        if (lines.size() == count) {
            break;
        }
    }
    return lines;
}

}  // namespace

SystemServices::SystemServices(std::string programFolder)
    : programFolder_(std::move(programFolder)) {}

CommandOutcome SystemServices::RunAndWait(const NetshCommand& script, const OutputLine& onLine) {
    platform::WaitOptions wait;
    wait.input = script.input;
    wait.onOutputLine = onLine;
    platform::RunOutput run = platform::RunAndWaitCaptured(script.args, {programFolder_}, wait);
    CommandOutcome outcome;
    outcome.exitCode = run.exitCode;
    outcome.startError = run.startError;
    outcome.errorOutput =
        TrimBlanks(run.standardError).empty() ? run.standardOutput : run.standardError;
    return outcome;
}

bool SystemServices::WinExec(const std::string& commandLine, bool shown) {
    return platform::WinExec(commandLine, shown, {programFolder_});
}

bool SystemServices::SetDefaultPrinter(const std::string& printer) {
    return apply::SetDefaultPrinter(printer);
}

std::optional<std::string> SystemServices::DefaultPrinter() {
    return ReadDefaultPrinter();
}

namespace {

std::string Filled(const std::string& text, const std::string& value) {
    std::string out = text;
    if (auto at = out.find("%1"); at != std::string::npos) {
        out.replace(at, 2, value);
    }
    return out;
}

// What is said under a failed step's command line, indented.
std::string Explanation(const ApplyFailure& failure, const FailureTexts& texts) {
    switch (failure.kind) {
        case ApplyFailure::Kind::NotStarted:
            return "    " +
                   (failure.reason.empty() ? texts.msgNotStarted
                                           : Filled(texts.msgNotStartedBecause, failure.reason)) +
                   '\n';
        case ApplyFailure::Kind::ExitCode: {
            std::string text = "    " + Filled(texts.msgExitCode, std::to_string(failure.exitCode));
            text += failure.errorLines.empty() ? "\n" : ":\n";
            for (const std::string& line : failure.errorLines) {
                text += "    " + line + '\n';
            }
            return text;
        }
        case ApplyFailure::Kind::NotAuthorized:
            return "    " + Filled(texts.msgNotAuthorized, failure.reason) + '\n';
        case ApplyFailure::Kind::NotRun:
            return "    " + Filled(texts.msgNotRun, failure.reason) + '\n';
        case ApplyFailure::Kind::NoLease:
            return "    " + Filled(texts.msgNoDhcpLease, failure.reason) + '\n';
        case ApplyFailure::Kind::SnapshotFailed:
            return "    " + Filled(texts.msgSnapshotFailed, failure.reason) + '\n';
        case ApplyFailure::Kind::NoSnapshot:
            return "    " + texts.msgNoSnapshot + '\n';
        case ApplyFailure::Kind::PrinterNotSet:
            break;
    }
    return {};
}

}  // namespace

std::vector<std::pair<const char*, std::string*>> TextsByKey(ProgressTexts& texts) {
    FailureTexts& failures = texts.failures;
    return {{"msgChangeIP", &texts.msgChangeIP},
            {"msgChangeGateway", &texts.msgChangeGateway},
            {"msgChangeDNS", &texts.msgChangeDNS},
            {"msgChangeScript", &texts.msgChangeScript},
            {"msgChangePrinter", &texts.msgChangePrinter},
            {"msgNoPolkitDaemon", &texts.msgNoPolkitDaemon},
            {"msgNoPolkitAgent", &texts.msgNoPolkitAgent},
            {"msgApplyIncomplete", &failures.msgApplyIncomplete},
            {"msgNotStarted", &failures.msgNotStarted},
            {"msgNotStartedBecause", &failures.msgNotStartedBecause},
            {"msgExitCode", &failures.msgExitCode},
            {"msgNotAuthorized", &failures.msgNotAuthorized},
            {"msgNotRun", &failures.msgNotRun},
            {"msgNoDhcpLease", &failures.msgNoDhcpLease},
            {"msgPrinterNotSet", &failures.msgPrinterNotSet},
            {"msgSnapshotFailed", &failures.msgSnapshotFailed},
            {"msgNoSnapshot", &failures.msgNoSnapshot}};
}

std::string FailureSummary(const ApplyResult& result, const FailureTexts& texts) {
    if (result.failures.empty()) {
        return {};
    }
    std::string text = texts.msgApplyIncomplete + '\n';
    // Steps that all failed for one reason (no rights, no netsh, no such interface) are
    // listed together, with the reason said once.
    const ApplyFailure& first = result.failures.front();
    const std::string shared = Explanation(first, texts);
    bool oneReason = result.failures.size() > 1 && !shared.empty();
    for (const ApplyFailure& failure : result.failures) {
        oneReason = oneReason && Explanation(failure, texts) == shared;
    }
    if (oneReason) {
        text += '\n';
        for (const ApplyFailure& failure : result.failures) {
            text += failure.commandLine + '\n';
        }
        return text + '\n' + shared;
    }
    for (const ApplyFailure& failure : result.failures) {
        text += '\n';
        if (failure.kind == ApplyFailure::Kind::PrinterNotSet) {
            text += Filled(texts.msgPrinterNotSet, failure.commandLine) + '\n';
        } else {
            text += failure.commandLine + '\n' + Explanation(failure, texts);
        }
    }
    return text;
}

ElevatedOutcome ApplyServices::RunAndWaitElevated(const NetshCommand&, const OutputLine&) {
    ElevatedOutcome outcome;
    outcome.notAuthorized = "this program cannot ask for them here";
    return outcome;
}

std::vector<platform::ReachTarget> ApplyServices::LiveTargets(const std::string&) {
    return {};
}

std::vector<platform::ReachResult> ApplyServices::CheckReachable(
    const std::vector<platform::ReachTarget>&, std::chrono::milliseconds) {
    return {};
}

platform::PendingAnswer ApplyServices::KeepPending(const std::string&) {
    return {false, {}, "this program cannot keep or restore settings here"};
}

platform::PendingAnswer ApplyServices::RestorePending(const std::string&) {
    return {false, {}, "this program cannot keep or restore settings here"};
}

ApplyRun::ApplyRun(ApplyServices& services, ProgressTexts texts, ProgressCallback progress)
    : services_(services), texts_(std::move(texts)), progress_(std::move(progress)) {}

void ApplyRun::Progress(const std::string& text) {
    if (progress_) {
        progress_(text);
    }
}

ElevatedOutcome ApplyRun::RunElevated(const NetshCommand& script, const OutputLine& onLine) {
    ElevatedOutcome elevated = services_.RunAndWaitElevated(script, onLine);
    if (elevated.unasked == Unasked::No) {
        return elevated;
    }
    const bool noAuthority = elevated.unasked == Unasked::NoAuthority;
    elevated.notAuthorized = noAuthority ? texts_.msgNoPolkitDaemon : texts_.msgNoPolkitAgent;
    // An empty text would read as rights granted.
    if (elevated.notAuthorized.empty()) {
        elevated.notAuthorized =
            core::BuiltInText(noAuthority ? "msgNoPolkitDaemon" : "msgNoPolkitAgent");
    }
    return elevated;
}

bool ApplyRun::RunNetsh(const std::vector<NetshCommand>& commands, ApplyResult& result) {
    std::vector<NetshCommand> scripted;
    for (const NetshCommand& command : commands) {
        if (FitsOnScriptLine(command)) {
            scripted.push_back(command);
            continue;
        }
        // No interface or address has a line break; it would end the script's line.
        ApplyFailure failure;
        failure.commandLine = command.line;
        failure.reason = "a value holds a line break";
        result.failures.push_back(std::move(failure));
    }
    if (scripted.empty()) {
        Progress(texts_.msgChangeGateway);
        Progress(texts_.msgChangeDNS);
        return true;
    }

    // What netsh said of each script line; the script holds nothing but the commands, so line
    // n is command n - 1.
    NetshReport report(scripted.size());
    int shown = 0;  // progress texts after the first one
    // The watchdog's clock starts when netsh says it waits, not when netsh ends.
    std::optional<std::chrono::steady_clock::time_point> pendingSaid;
    auto onLine = [&](const std::string& line) {
        int phases = report.Read(line);
        if (!pendingSaid && !report.PendingId().empty()) {
            pendingSaid = std::chrono::steady_clock::now();
        }
        for (; shown < std::min(phases, 2); ++shown) {
            Progress(shown == 0 ? texts_.msgChangeGateway : texts_.msgChangeDNS);
        }
    };
    NetshCommand script = NetshScript(scripted);
    if (keepSeconds_ > 0) {
        script.args.insert(script.args.begin() + 1,
                           {"--keep-within", std::to_string(keepSeconds_ + kKeepAllowanceSeconds)});
    }
    ElevatedOutcome run;
    run.command = services_.RunAndWait(script, onLine);
    if (run.command.exitCode == platform::kExitNeedsPrivilege) {
        // It changed nothing and reported nothing: the whole script goes again, asking once.
        report = NetshReport(scripted.size());
        pendingSaid.reset();
        run = RunElevated(script, onLine);
    }
    for (; shown < 2; ++shown) {
        Progress(shown == 0 ? texts_.msgChangeGateway : texts_.msgChangeDNS);
    }

    const CommandOutcome& outcome = run.command;
    if (keepSeconds_ > 0 && !report.SnapshotFailure().empty()) {
        // Nothing changed, so nothing after it may run either: scripts and printer would
        // change what no restore takes back.
        ApplyFailure failure;
        failure.kind = ApplyFailure::Kind::SnapshotFailed;
        failure.commandLine = script.line;
        failure.exitCode = outcome.exitCode;
        failure.reason = report.SnapshotFailure();
        result.failures.push_back(std::move(failure));
        return false;
    }
    if (keepSeconds_ > 0 && !report.PendingId().empty()) {
        PendingApply pending;
        pending.id = report.PendingId();
        pending.deadline = *pendingSaid + std::chrono::seconds(report.PendingSeconds());
        result.pending = std::move(pending);
    }
    for (size_t i = 0; i < scripted.size(); ++i) {
        const NetshReport::Line& said = report.Said(i);
        // A netsh that ends with 0 has put every line in place, whether it said so or not.
        const bool ok = said.state == NetshReport::State::Ok ||
                        (said.state == NetshReport::State::Unknown && outcome.exitCode == 0);
        if (ok && run.notAuthorized.empty()) {
            continue;
        }
        ApplyFailure failure;
        failure.commandLine = scripted[i].line;
        failure.exitCode = outcome.exitCode;
        if (!run.notAuthorized.empty()) {
            failure.kind = ApplyFailure::Kind::NotAuthorized;
            failure.reason = run.notAuthorized;
        } else if (outcome.exitCode == -1 && !outcome.startError.empty()) {
            failure.kind = ApplyFailure::Kind::NotStarted;
            failure.reason = outcome.startError;
        } else if (said.state == NetshReport::State::Failed) {
            failure.kind = ApplyFailure::Kind::ExitCode;
            failure.errorLines = {said.reason};
        } else if (said.state == NetshReport::State::NotRun) {
            failure.kind = ApplyFailure::Kind::NotRun;
            failure.reason = said.after >= 1 && size_t(said.after) <= scripted.size()
                                 ? scripted[size_t(said.after) - 1].line
                                 : std::string();
        } else if (said.state == NetshReport::State::NoLease) {
            failure.kind = ApplyFailure::Kind::NoLease;
            failure.reason = profileInterface_;
        } else {
            // netsh ended without a word on this line: what it printed is all there is.
            failure.kind = ApplyFailure::Kind::ExitCode;
            failure.errorLines = FirstLines(outcome.errorOutput, kErrorLinesKept);
        }
        result.failures.push_back(std::move(failure));
    }
    bool changed = false;
    for (size_t i = 0; i < scripted.size(); ++i) {
        const NetshReport::State state = report.Said(i).state;
        changed = changed || state == NetshReport::State::Ok ||
                  state == NetshReport::State::NoLease ||
                  (state == NetshReport::State::Unknown && outcome.exitCode == 0);
    }
    if (keepSeconds_ > 0 && !result.pending && changed && run.notAuthorized.empty()) {
        // netsh changed something but never said it waits: nothing can take it back.
        ApplyFailure failure;
        failure.kind = ApplyFailure::Kind::NoSnapshot;
        failure.commandLine = script.line;
        failure.exitCode = outcome.exitCode;
        result.failures.push_back(std::move(failure));
    }
    return true;
}

ApplyResult ApplyRun::Run(const Profile& profile, bool showScriptWindow) {
    ApplyResult result;

    // The gateway text shows even when the profile has no gateway.
    Progress(texts_.msgChangeIP);
    profileInterface_ = profile.Interface;
    if (!RunNetsh(NetshCommands(profile), result)) {
        return result;
    }

    const std::vector<std::string> lines = SplitLines(profile.Script);
    const std::string total = std::to_string(lines.size());
    for (size_t k = 0; k < lines.size(); ++k) {
        Progress(texts_.msgChangeScript + "(" + std::to_string(k + 1) + "/" + total + ")...");
        if (TrimBlanks(lines[k]).empty()) {
            continue;
        }
        // Started as written, leading blanks included.
        if (!services_.WinExec(lines[k], showScriptWindow)) {
            ApplyFailure failure;
            failure.kind = ApplyFailure::Kind::NotStarted;
            failure.commandLine = lines[k];
            result.failures.push_back(std::move(failure));
        }
    }

    if (!profile.Printer.empty()) {
        Progress(texts_.msgChangePrinter);
        // A restore sets the old default back, so it is read before it changes.
        const std::optional<std::string> previous =
            result.pending ? services_.DefaultPrinter() : std::nullopt;
        if (!services_.SetDefaultPrinter(profile.Printer)) {
            ApplyFailure failure;
            failure.kind = ApplyFailure::Kind::PrinterNotSet;
            failure.commandLine = profile.Printer;
            result.failures.push_back(std::move(failure));
        } else if (previous && *previous != profile.Printer) {
            result.pending->previousPrinter = previous;
        }
    }

    if (result.pending) {
        PendingApply& pending = *result.pending;
        pending.interface = profile.Interface;
        pending.hasScript = std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
            return !TrimBlanks(line).empty();
        });
        const bool needsLive = profile.IsDhcp() || profile.DNS1.empty();
        pending.targets = ReachTargets(profile, needsLive ? services_.LiveTargets(profile.Interface)
                                                          : std::vector<platform::ReachTarget>{});
    }
    return result;
}

}  // namespace quorv::apply
