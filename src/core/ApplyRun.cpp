#include "core/ApplyRun.h"

#include <utility>

#include "core/CommaText.h"
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

CommandOutcome SystemServices::RunAndWait(const NetshCommand& command) {
    platform::RunOutput run = platform::RunAndWaitCaptured(command.args, {programFolder_});
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

std::string FailureSummary(const ApplyResult& result) {
    if (result.failures.empty()) {
        return {};
    }
    std::string text = "The profile was not applied completely. These steps failed:\n";
    for (const ApplyFailure& failure : result.failures) {
        text += '\n';
        switch (failure.kind) {
            case ApplyFailure::Kind::NotStarted:
                text += failure.commandLine + "\n    could not be started";
                if (!failure.reason.empty()) {
                    text += ": " + failure.reason;
                }
                text += '\n';
                break;
            case ApplyFailure::Kind::ExitCode:
                text += failure.commandLine + "\n    ended with exit code " +
                        std::to_string(failure.exitCode);
                text += failure.errorLines.empty() ? "\n" : ":\n";
                for (const std::string& line : failure.errorLines) {
                    text += "    " + line + '\n';
                }
                break;
            case ApplyFailure::Kind::NotAuthorized:
                text +=
                    failure.commandLine +
                    "\n    needs administrator rights, which were not granted: " + failure.reason +
                    '\n';
                break;
            case ApplyFailure::Kind::PrinterNotSet:
                text += "The printer \"" + failure.commandLine +
                        "\" could not be made the default printer.\n";
                break;
        }
    }
    return text;
}

ElevatedOutcome ApplyServices::RunAndWaitElevated(const NetshCommand&) {
    ElevatedOutcome outcome;
    outcome.notAuthorized = "this program cannot ask for them here";
    return outcome;
}

ApplyRun::ApplyRun(ApplyServices& services, ProgressTexts texts, ProgressCallback progress)
    : services_(services), texts_(std::move(texts)), progress_(std::move(progress)) {}

void ApplyRun::Progress(const std::string& text) {
    if (progress_) {
        progress_(text);
    }
}

ElevatedOutcome ApplyRun::RunElevated(const NetshCommand& command) {
    ElevatedOutcome elevated = services_.RunAndWaitElevated(command);
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

ElevatedOutcome ApplyRun::RunWithRights(const NetshCommand& command) {
    if (elevation_ == Elevation::Granted) {
        return RunElevated(command);
    }
    ElevatedOutcome elevated;
    elevated.command = services_.RunAndWait(command);
    if (elevated.command.exitCode != platform::kExitNeedsPrivilege) {
        return elevated;
    }
    if (elevation_ == Elevation::NotAsked) {
        elevated = RunElevated(command);
        elevation_ = elevated.notAuthorized.empty() ? Elevation::Granted : Elevation::Refused;
        refusal_ = elevated.notAuthorized;
    } else {
        elevated.notAuthorized = refusal_;
    }
    return elevated;
}

void ApplyRun::RunCommand(const NetshCommand& command, ApplyResult& result) {
    const ElevatedOutcome elevated = RunWithRights(command);
    const CommandOutcome& outcome = elevated.command;
    if (outcome.exitCode == 0 && elevated.notAuthorized.empty()) {
        return;
    }
    ApplyFailure failure;
    failure.commandLine = command.line;
    failure.exitCode = outcome.exitCode;
    if (!elevated.notAuthorized.empty()) {
        failure.kind = ApplyFailure::Kind::NotAuthorized;
        failure.reason = elevated.notAuthorized;
    } else if (outcome.exitCode == -1 && !outcome.startError.empty()) {
        failure.kind = ApplyFailure::Kind::NotStarted;
        failure.reason = outcome.startError;
    } else {
        failure.kind = ApplyFailure::Kind::ExitCode;
        failure.errorLines = FirstLines(outcome.errorOutput, kErrorLinesKept);
    }
    result.failures.push_back(std::move(failure));
}

ApplyResult ApplyRun::Run(const Profile& profile, bool showScriptWindow) {
    ApplyResult result;

    Progress(texts_.msgChangeIP);
    for (const NetshCommand& command : AddressCommands(profile)) {
        RunCommand(command, result);
    }

    // Shown even when the profile has no gateway.
    Progress(texts_.msgChangeGateway);
    for (const NetshCommand& command : GatewayCommands(profile)) {
        RunCommand(command, result);
    }

    Progress(texts_.msgChangeDNS);
    for (const NetshCommand& command : DnsCommands(profile)) {
        RunCommand(command, result);
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
        if (!services_.SetDefaultPrinter(profile.Printer)) {
            ApplyFailure failure;
            failure.kind = ApplyFailure::Kind::PrinterNotSet;
            failure.commandLine = profile.Printer;
            result.failures.push_back(std::move(failure));
        }
    }
    return result;
}

}  // namespace quorv::apply
