// How SystemServices gets administrator rights for netsh: pkexec, started directly.
#include <climits>
#include <cstdlib>

#include "core/ApplyRun.h"
#include "system/Process.h"
#include "system/ProgramFolder.h"
#include "system/ProgramLookup.h"

namespace quorv::apply {

namespace {

// pkexec's own statuses: the prompt was dismissed, or no authorisation (which covers a
// refusing rule as well as a missing agent or polkit daemon).
constexpr int kPkexecDismissed = 126;
constexpr int kPkexecNotAuthorized = 127;

std::string RealPath(const std::string& path) {
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : std::string();
}

// What pkexec's failure means: a cancelled prompt or a refusing policy is said in
// notAuthorized, a missing polkit daemon or agent in unasked.
ElevatedOutcome PkexecRefusal(int exitCode, const std::string& errorOutput) {
    ElevatedOutcome outcome;
    outcome.command.exitCode = exitCode;
    if (exitCode == kPkexecDismissed) {
        outcome.notAuthorized = "the password prompt was cancelled";
        return outcome;
    }
    // No system bus, or nothing on it that owns polkit's name: nobody refused anything.
    if (errorOutput.find("Error getting authority") != std::string::npos ||
        errorOutput.find("Error checking for authorization") != std::string::npos) {
        outcome.unasked = Unasked::NoAuthority;
        return outcome;
    }
    // "No authentication agent found", or no terminal for pkexec's own textual agent.
    if (errorOutput.find("authentication agent") != std::string::npos) {
        outcome.unasked = Unasked::NoAgent;
        return outcome;
    }
    outcome.notAuthorized = "the system's policy does not allow this user to change the network";
    return outcome;
}

}  // namespace

ElevatedOutcome SystemServices::RunAndWaitElevated(const NetshCommand& script,
                                                   const OutputLine& onLine) {
    ElevatedOutcome outcome;
    const std::vector<std::string>& args = script.args;
    const std::string folder = programFolder_.empty() ? platform::ProgramFolder() : programFolder_;
    const std::string program =
        args.empty() ? std::string() : RealPath(platform::FindProgram(args[0], folder));
    // Nothing but the program folder's own netsh is ever run as root.
    if (program.empty() || program != RealPath(folder + "netsh")) {
        outcome.notAuthorized = "only netsh from the program folder is run with them";
        return outcome;
    }
    const std::string pkexec = platform::FindInPath("pkexec");
    if (pkexec.empty()) {
        outcome.notAuthorized = "pkexec is not installed";
        return outcome;
    }
    std::vector<std::string> elevated{pkexec, program};
    elevated.insert(elevated.end(), args.begin() + 1, args.end());
    platform::WaitOptions wait;
    wait.input = script.input;
    wait.onOutputLine = onLine;
    const platform::RunOutput run = platform::RunAndWaitCaptured(elevated, {folder}, wait);
    if (!run.Started()) {
        outcome.notAuthorized = "pkexec could not be started: " + run.startError;
        return outcome;
    }
    if (run.exitCode == kPkexecDismissed || run.exitCode == kPkexecNotAuthorized) {
        return PkexecRefusal(run.exitCode, run.standardError);
    }
    outcome.command.exitCode = run.exitCode;
    outcome.command.errorOutput =
        run.standardError.empty() ? run.standardOutput : run.standardError;
    return outcome;
}

}  // namespace quorv::apply
